// SPDX-License-Identifier: MIT
#pragma once
// The update procedure behind the Download button, with no window toolkit in it: every gate,
// wait, message, field and release between the press and the one closing message. It holds the
// update state of the main window (fields, image set, download-mode flag); the Qt window, the
// Win32 window, the terminal front end and the tests each drive one through an UpdateView.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "images/image_set.h"
#include "link/driver_library.h"
#include "link/printer_port.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "update/progress_dlg.h"
#include "update/run_observer.h"
#include "update/run_reasons.h"
#include "update/run_result.h"
#include "update/update_context.h"
#include "update/update_view.h"
#include "update/version_gate.h"

namespace zmr {

// "port TransferFailed (101)": the port's sticky code, named, with its number.
std::string PortErrorText(const CPrinterPort& port);
// "DATA1(M) 316G21 / 08A6, ...": the images whose version or check sum is not empty; bytes of a
// version outside printable ASCII (and the backslash) as \xNN.
std::string VersionsText(const std::array<std::string, kImageCount>& versions,
                         const std::array<std::string, kImageCount>& checkSums);

// What a step that stops the run knows beyond its reason and detail (CUpdateProcedure::Stop).
struct StopContext {
  std::string seen = {};  // for the step's record, when it saw more than the detail says
  std::unique_ptr<CProgressDlg>* window = nullptr;  // the step's open progress window, if any
  const ReportedImage* data1 = nullptr;  // the printer's DATA1, for a message that quotes it
};

class CUpdateProcedure {
 public:
  // Resets the update state as the main window does when it opens: every image carried, own
  // texts set, no buffers, total time weight 0, download-mode flag clear.
  CUpdateProcedure(UpdateView& view, const UpdateContext& context);

  // The press of Download: runs one whole update attempt and returns when it has ended.
  void OnDownload();
  bool IsRunning() const { return running_; }

  // How the last press ended: its closing message and the named reason of the step that stopped
  // it (RunReason::kSuccess after "Success!").
  const RunResult& LastRun() const { return lastRun_; }

  // Steps. Each gives 1 to go on and 0 to stop, having stopped through Stop: its reason noted in
  // LastRun(), the printer released or not and the message shown as the reason's row says.
  // Here: the printer count and the status gate.
  [[nodiscard]] int CheckPrinterCount(CPrinterPort& port);
  [[nodiscard]] int CheckPrinterStatus(CPrinterPort& port);
  [[nodiscard]] int SwitchToDownloadMode(CPrinterPort& port);
  // version_gate.cpp: the version gate before the download and the verification after it. The
  // verification is given the download's window (which may be empty) so that a failure can
  // delete it before the message; on success the caller releases the printer.
  [[nodiscard]] int CheckVersion(CPrinterPort& port);
  [[nodiscard]] int VerifyVersions(CPrinterPort& port, std::unique_ptr<CProgressDlg>& progress);
  // image_download.cpp: every carried image's erase, wait, transfer and blocks; the release.
  [[nodiscard]] int BuildImages();
  void FreeImages() { images_.FreeImages(); }
  [[nodiscard]] int DownloadImages(CPrinterPort& port, CProgressDlg& progress);
  int ReleasePrinter(CPrinterPort& port);

  ImageSet& Images() { return images_; }
  const ImageSet& Images() const { return images_; }
  const DisplayFields& Fields() const { return fields_; }
  bool DownloadModeFlag() const { return downloadMode_; }
  platform::Language Language() const { return language_; }

 private:
  // Everything of a press from counting the printers to the closing message; false when the run
  // leaves through the common exit.
  bool RunUpdate(CPrinterPort& port, bool force, std::unique_ptr<CProgressDlg>& download);
  // The one way a run stops, in the order the reason's row gives: notes the reason and detail in
  // LastRun(), tells the observer that the row's step failed (unless the step was the release,
  // which has told its own), releases the printer or gives it up, deletes the window when the
  // box is not to be shown over it, and shows the row's message. Gives 0, for the step to return.
  int Stop(CPrinterPort& port, RunReason reason, std::string detail, StopContext context = {});
  // Tells the observer that a step (or, with `image`, that image's part of it) has ended; a
  // failed step without a detail of its own carries the run's.
  void Step(RunStep step, bool ok, std::string detail = {}, const char* image = nullptr);
  void NoteDownloadModeEntered();
  // Tells the observer once per run that the printer no longer depends on the run.
  void NoteReleased(bool leaveSent);
  // The row's message, loaded now in the procedure's language (and formatted with the printer's
  // DATA1 when the row quotes it).
  void ShowMessage(const ReasonRow& row, const ReportedImage* data1 = nullptr);
  std::unique_ptr<CProgressDlg> NewProgress(uint32_t captionId);
  // A new window, created and prepared as every step shows one: range 0..100, position 0.
  std::unique_ptr<CProgressDlg> ShowProgress(uint32_t captionId);

  UpdateView& view_;
  Clock& clock_;
  const platform::KeyState& keys_;
  const ImportedDriver& imported_;
  const CDriverLibrary& loaded_;
  platform::Language language_;
  ImageSet images_;
  DisplayFields fields_;
  RunResult lastRun_;
  RunObserver* observer_;
  bool downloadMode_ = false;
  bool releaseOwed_ = false;  // OnDownloadModeEntered was told and OnReleased not yet
  bool running_ = false;
};

}  // namespace zmr
