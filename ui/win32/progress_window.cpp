// SPDX-License-Identifier: MIT
#include "ui/win32/progress_window.h"

#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/win32/busy_cursor.h"
#include "ui/win32/ui_log.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_place.h"

namespace zmr::ui {

static_assert(IDC_PROGRESS_CANCEL == IDCANCEL, "Esc must reach the hidden Cancel button");

Win32ProgressWindow::Win32ProgressWindow(HINSTANCE instance, HWND owner)
    : instance_(instance), owner_(owner) {}

Win32ProgressWindow::~Win32ProgressWindow() {
  Destroy();
}

INT_PTR CALLBACK Win32ProgressWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreWindow(window, GetWindow(window, GW_OWNER));
      return TRUE;
    case WM_COMMAND:
      // Enter (IDOK), Esc and the hidden Cancel button (IDCANCEL) do nothing: the work goes on.
      return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
    case WM_CLOSE:
      return TRUE;  // the close box does not close it either
    case WM_SETCURSOR:
      return BusyCursor::Answer(window);
    default:
      return FALSE;
  }
}

bool Win32ProgressWindow::Create() {
  if (window_) return true;
  window_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_PROGRESS), owner_, DialogProc, 0);
  return window_ != nullptr;
}

void Win32ProgressWindow::Destroy() {
  if (!window_) return;
  HWND window = window_;
  window_ = nullptr;
  DestroyWindow(window);
}

void Win32ProgressWindow::SetCaption(const std::string& text) {
  if (!window_) return;
  SetWindowTextW(window_, Widen(text).c_str());
  // Logged once it has its caption: the window is visible from its creation, a moment earlier.
  if (!logged_) UiLog::Window(IDD_PROGRESS, WindowText(window_));
  logged_ = true;
}

void Win32ProgressWindow::SetMessage(const std::string& text) {
  if (window_) SetDlgItemTextW(window_, IDC_PROGRESS_MESSAGE, Widen(text).c_str());
}

void Win32ProgressWindow::SetBarRange(int32_t lower, int32_t upper) {
  if (!window_) return;
  const auto range = static_cast<LPARAM>(((static_cast<uint32_t>(upper) & 0xFFFFu) << 16) |
                                         (static_cast<uint32_t>(lower) & 0xFFFFu));
  SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, range);
}

void Win32ProgressWindow::SetBarStep(int32_t step) {
  if (window_)
    SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

int32_t Win32ProgressWindow::SetBarPosition(int32_t position) {
  if (!window_) return 0;
  return static_cast<int32_t>(
      SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0));
}

std::string Win32ProgressWindow::PercentText() const {
  if (!window_) return {};
  return Narrow(WindowText(GetDlgItem(window_, IDC_PROGRESS_PERCENT)));
}

void Win32ProgressWindow::SetPercentText(const std::string& text) {
  if (window_) SetDlgItemTextW(window_, IDC_PROGRESS_PERCENT, Widen(text).c_str());
}

void Win32ProgressWindow::DrainEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that waits for it
      return;
    }
    if (window_ && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace zmr::ui
