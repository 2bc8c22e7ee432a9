#pragma once
// The update procedure behind the Download button, with no window toolkit in it: every gate,
// wait, message, field and release between the press and the one closing message. It holds the
// update state of the main window (fields, image set, download-mode flag); the Qt window, the
// terminal front end and the tests each drive one through an UpdateView.
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
#include "update/update_view.h"

namespace zmr {

class CUpdateProcedure {
 public:
  // Resets the update state as the main window does when it opens: every image carried, own
  // texts set, no buffers, total time weight 0, download-mode flag clear.
  CUpdateProcedure(UpdateView& view, Clock& clock, const platform::KeyState& keys,
                   const ImportedDriver& imported, const CDriverLibrary& loaded,
                   platform::Language language, ImageSet::Source images = EmbeddedImage);

  // The press of Download: runs one whole update attempt and returns when it has ended.
  void OnDownload();
  bool IsRunning() const { return running_; }

  // Steps. Each gives 1 to go on and 0 to stop (having shown its message, where it has one).
  int CheckPrinterCount(CPrinterPort& port);
  int CheckPrinterStatus(CPrinterPort& port);
  int SwitchToDownloadMode(CPrinterPort& port);
  int CheckVersion(CPrinterPort& port);
  int BuildImages() { return images_.BuildImages(); }
  void FreeImages() { images_.FreeImages(); }
  int DownloadImages(CPrinterPort& port, CProgressDlg& progress);
  int SendImageBlocks(CPrinterPort& port, const uint8_t* data, uint32_t size, uint32_t budgetMs,
                      CProgressDlg* progress, int* resultCode);
  void PacedWait(uint32_t totalMs, CProgressDlg* progress, uint32_t stepMs = 100);
  int VerifyVersions(CPrinterPort& port, CProgressDlg* progress);
  int ReleasePrinter(CPrinterPort& port);

  ImageSet& Images() { return images_; }
  const ImageSet& Images() const { return images_; }
  const DisplayFields& Fields() const { return fields_; }
  bool DownloadModeFlag() const { return downloadMode_; }
  platform::Language Language() const { return language_; }

  // Constants of the download.
  static constexpr uint32_t kBlockSize = 4096;
  static constexpr uint32_t kTailGranule = 64;
  static constexpr uint32_t kImageBudgetMs = 120000;
  static constexpr uint32_t kEraseWaitMs = 10000;
  static constexpr uint32_t kDefaultStepMs = 100;
  // Download result codes.
  static constexpr int kDownloadDone = 0;
  static constexpr int kDownloadTimedOut = 2;
  static constexpr int kDownloadShortWrite = 101;

 private:
  // Everything of a press from counting the printers to the closing message; false when the run
  // leaves through the common exit.
  bool RunUpdate(CPrinterPort& port, bool force, std::unique_ptr<CProgressDlg>& download);
  void ShowMessage(uint32_t stringId, MessageTitle title, MessageIcon icon);
  void ShowText(uint32_t stringId, std::string text, MessageTitle title, MessageIcon icon);
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
  bool downloadMode_ = false;
  bool running_ = false;
};

}  // namespace zmr
