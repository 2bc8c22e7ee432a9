// SPDX-License-Identifier: MIT
#pragma once
// The main window: template 102 run as a modal dialog. It shows the versions the tool carries and
// the versions and check sums the printer reported before and after the last attempt, adds
// "&About..." to its system menu, and runs the update procedure when Download is pressed (it is
// the procedure's UpdateView). It cannot be closed while a run goes on.
#include "ui/win32/windows_api.h"

#include <memory>

#include "platform/ui_language.h"
#include "ui/win32/run_guard.h"
#include "update/update_context.h"
#include "update/update_procedure.h"
#include "update/update_view.h"

namespace zmr::ui {

class CUpdateDlg final : public UpdateView {
 public:
  CUpdateDlg(HINSTANCE instance, const UpdateContext& context);
  ~CUpdateDlg() override;
  CUpdateDlg(const CUpdateDlg&) = delete;
  CUpdateDlg& operator=(const CUpdateDlg&) = delete;

  // The program's way: runs the window until the user closes it.
  INT_PTR DoModal(HWND owner = nullptr);
  // The same window without a modal loop of its own (for tests); destroyed with the object.
  HWND Create(HWND owner = nullptr);

  HWND Window() const { return window_; }
  CUpdateProcedure& Procedure() { return procedure_; }
  const RunGuard& Guard() const { return guard_; }

  // Control 1000: one whole update attempt.
  void OnDownload();

  // UpdateView
  void RefreshFields(const DisplayFields& fields) override;
  void EnableDownloadButton(bool enable) override;
  void FocusDownloadButton() override;
  bool IsWindowEnabled() const override;
  void EnableWindow(bool enable) override;
  void ShowMessage(const Message& message) override;
  // The first progress window of a run comes after the enter-download-mode command: from then
  // until the run ends the run guard is held.
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  bool OnSysCommand(WPARAM command);
  bool OnPaint();
  void OnCancel();

  HINSTANCE instance_;
  platform::Language language_;
  CUpdateProcedure procedure_;
  HWND window_ = nullptr;
  bool modal_ = false;
  bool logged_ = false;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  RunGuard guard_;
};

}  // namespace zmr::ui
