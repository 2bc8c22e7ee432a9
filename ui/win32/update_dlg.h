// SPDX-License-Identifier: MIT
#pragma once
// The main window: template 102 run as a modal dialog. It shows the versions the tool carries and
// the versions and check sums the printer reported before and after the last attempt, adds
// "&About..." to its system menu, and runs the update procedure when Download is pressed (it is
// the procedure's UpdateView). It cannot be closed, nor its about box opened, while a run goes
// on; while the printer is in download mode it holds a shutdown or log-off.
#include "ui/win32/windows_api.h"

#include <memory>
#include <string>

#include "platform/ui_language.h"
#include "ui/win32/shutdown_block.h"
#include "ui/win32/window_icons.h"
#include "update/update_context.h"
#include "update/update_procedure.h"
#include "update/update_view.h"

namespace zmr::ui {

class CUpdateDlg final : public UpdateView {
 public:
  // The run is reported to `context.observer` (the program's run guard); `shutdownReason` is
  // what Windows shows while the window holds a shutdown (UTF-8).
  CUpdateDlg(HINSTANCE instance, const UpdateContext& context,
             const std::string& shutdownReason = {});
  ~CUpdateDlg() override;
  CUpdateDlg(const CUpdateDlg&) = delete;
  CUpdateDlg& operator=(const CUpdateDlg&) = delete;

  // The program's way: runs the window until the user closes it.
  INT_PTR DoModal(HWND owner = nullptr);
  // The same window without a modal loop of its own (for tests); destroyed with the object.
  HWND Create(HWND owner = nullptr);

  HWND Window() const { return window_; }
  CUpdateProcedure& Procedure() { return procedure_; }
  // Whether the window refuses the end of the session now (the printer is in download mode).
  bool HoldsShutdown() const { return shutdownBlock_.Held(); }

  // Control 1000: one whole update attempt.
  void OnDownload();

  // UpdateView
  void RefreshFields(const DisplayFields& fields) override;
  void EnableDownloadButton(bool enable) override;
  void FocusDownloadButton() override;
  bool IsWindowEnabled() const override;
  void EnableWindow(bool enable) override;
  void ShowMessage(const Message& message) override;
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  bool OnSysCommand(WPARAM command);
  bool OnPaint();
  void OnCancel();
  void OnDpiChanged();

  HINSTANCE instance_;
  // Before the procedure, which is told of the run through it.
  ShutdownBlock shutdownBlock_;
  CUpdateProcedure procedure_;
  HWND window_ = nullptr;
  bool modal_ = false;
  bool logged_ = false;
  WindowIcons icons_;
};

}  // namespace zmr::ui
