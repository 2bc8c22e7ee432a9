// SPDX-License-Identifier: MIT
#pragma once
// Where the dialogs appear: none of the templates gives a position, so each window is centred
// over its owner, or on the work area of its monitor when it has none, and kept whole on the work
// area of the monitor it lands on.
#include "ui/win32/windows_api.h"

#include <string>

namespace zmr::ui {

void CentreWindow(HWND window, HWND owner);

// The window's caption text.
std::wstring WindowText(HWND window);

}  // namespace zmr::ui
