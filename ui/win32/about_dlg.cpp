// SPDX-License-Identifier: MIT
#include "ui/win32/about_dlg.h"

#include "ui/control_ids.h"
#include "ui/win32/ui_log.h"
#include "ui/win32/window_place.h"

namespace zmr::ui {

INT_PTR CAboutDlg::DoModal(HWND owner) {
  return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreWindow(window, GetWindow(window, GW_OWNER));
      return TRUE;
    case WM_SHOWWINDOW:
      if (wParam) UiLog::Window(IDD_ABOUTBOX, WindowText(window));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace zmr::ui
