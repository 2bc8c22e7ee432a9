// SPDX-License-Identifier: MIT
#pragma once
// The about box: template 100 (icon 128, the tool's name and version, OK), modal over the main
// window.
#include "ui/win32/windows_api.h"

namespace zmr::ui {

class CAboutDlg {
 public:
  explicit CAboutDlg(HINSTANCE instance) : instance_(instance) {}
  // Runs the box until OK, Esc or the close box; the owner is disabled meanwhile.
  INT_PTR DoModal(HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HINSTANCE instance_;
};

}  // namespace zmr::ui
