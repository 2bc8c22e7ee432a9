// SPDX-License-Identifier: MIT
#include "ui/win32/message_box.h"

#include "ui/win32/ui_log.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_place.h"

namespace zmr::ui {
namespace {

// The static control of a message box that holds its text.
constexpr int kMessageBoxTextControl = 0xFFFF;

// What the hook of the box being shown needs (one box at a time on the one UI thread).
struct PendingBox {
  HHOOK hook = nullptr;
  const char* icon = "";
  bool answered = false;
};
PendingBox* pending = nullptr;

// Logs the box from the window itself (its title and text as shown) and answers it.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  PendingBox* box = pending;
  if (code == HCBT_ACTIVATE && box && !box->answered) {
    const auto window = reinterpret_cast<HWND>(wParam);
    wchar_t text[2048] = L"";
    GetDlgItemTextW(window, kMessageBoxTextControl, text, 2048);
    UiLog::Message(WindowText(window), box->icon, text);
    box->answered = true;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(box ? box->hook : nullptr, code, wParam, lParam);
}

}  // namespace

void ShowMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, UINT icon) {
  const UINT style = MB_OK | icon;
  if (!UiLog::Enabled()) {
    MessageBoxW(owner, text.c_str(), title.c_str(), style);
    return;
  }
  PendingBox box;
  box.icon = icon == MB_ICONINFORMATION ? "information" : "warning";
  box.hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  PendingBox* outer = pending;
  pending = &box;
  MessageBoxW(owner, text.c_str(), title.c_str(), style);
  pending = outer;
  if (box.hook) UnhookWindowsHookEx(box.hook);
}

void ShowMessageBox(HWND owner, const Message& message) {
  ShowMessageBox(owner, Widen(MessageTitleText(message.title)), Widen(message.text),
                 message.icon == MessageIcon::Information ? MB_ICONINFORMATION : MB_ICONWARNING);
}

}  // namespace zmr::ui
