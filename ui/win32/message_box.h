// SPDX-License-Identifier: MIT
#pragma once
// Message boxes: MessageBoxW with an OK button and a fixed icon, owned by the main window (or by
// nobody at start-up). With the UI log on, each box is written to the log as it appears and is
// answered at once.
#include "ui/win32/windows_api.h"

#include <string>

#include "update/update_view.h"

namespace zmr::ui {

// `icon` is MB_ICONWARNING or MB_ICONINFORMATION.
void ShowMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, UINT icon);
void ShowMessageBox(HWND owner, const Message& message);

}  // namespace zmr::ui
