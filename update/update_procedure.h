#pragma once
// The update procedure behind the Download button, with no window toolkit in it: every gate,
// wait, message, field and release between the press and the one closing message. It holds the
// update state of the main window (fields, image set, download-mode flag); the Qt window, the
// terminal front end and the tests each drive one through an UpdateView.
#include <cstdint>
#include <memory>

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

 private:
  void ShowMessage(uint32_t stringId, MessageTitle title, MessageIcon icon);
  std::unique_ptr<CProgressDlg> NewProgress(uint32_t captionId);

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
