// SPDX-License-Identifier: MIT
#pragma once
// The progress window: template 103 as a modeless dialog owned by the main window, with the
// message (1005), the percentage (1004), the bar (1003) and a Cancel button that nothing shows.
// Enter, Esc and the close box leave it open; only its owner closes it. CProgressDlg drives it.
#include "ui/win32/windows_api.h"

#include "update/update_view.h"

namespace zmr::ui {

class Win32ProgressWindow final : public ProgressWindow {
 public:
  Win32ProgressWindow(HINSTANCE instance, HWND owner);
  ~Win32ProgressWindow() override;

  HWND Window() const { return window_; }

  bool Create() override;
  void Destroy() override;
  void SetCaption(const std::string& text) override;
  void SetMessage(const std::string& text) override;
  void SetBarRange(int32_t lower, int32_t upper) override;
  void SetBarStep(int32_t step) override;
  int32_t SetBarPosition(int32_t position) override;
  std::string PercentText() const override;
  void SetPercentText(const std::string& text) override;
  // Runs every message waiting in the thread's queue, the progress window's keyboard
  // messages through IsDialogMessage; the only place where the run lets windows repaint.
  void DrainEvents() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  HWND owner_;
  HWND window_ = nullptr;
  bool logged_ = false;
};

}  // namespace zmr::ui
