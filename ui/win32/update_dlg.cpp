// SPDX-License-Identifier: MIT
#include "ui/win32/update_dlg.h"

#include "ui/control_ids.h"
#include "ui/win32/about_dlg.h"
#include "ui/win32/busy_cursor.h"
#include "ui/win32/message_box.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/ui_log.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_place.h"
#include "update/string_table.h"

namespace zmr::ui {

namespace {

// The procedure reports to the window's shutdown block, which hands every call on.
UpdateContext ObservedBy(const UpdateContext& context, RunObserver& observer) {
  UpdateContext observed = context;
  observed.observer = &observer;
  return observed;
}

}  // namespace

CUpdateDlg::CUpdateDlg(HINSTANCE instance, const UpdateContext& context,
                       const std::string& shutdownReason)
    : instance_(instance),
      shutdownBlock_(context.observer, Widen(shutdownReason)),
      procedure_(*this, ObservedBy(context, shutdownBlock_)) {}

CUpdateDlg::~CUpdateDlg() {
  BusyCursor::End();
  if (window_ && !modal_) DestroyWindow(window_);
}

INT_PTR CUpdateDlg::DoModal(HWND owner) {
  modal_ = true;
  return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

HWND CUpdateDlg::Create(HWND owner) {
  modal_ = false;
  return CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_UPDATE_DIALOG), owner, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CUpdateDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CUpdateDlg*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
  }
  auto* self = reinterpret_cast<CUpdateDlg*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  const INT_PTR handled = self->OnMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    self->shutdownBlock_.SetWindow(nullptr);
  }
  return handled;
}

INT_PTR CUpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // the focus goes to the first tab stop, the Download button
    case WM_SHOWWINDOW:
      if (wParam && !logged_) UiLog::Window(IDD_UPDATE_DIALOG, WindowText(window_));
      logged_ = logged_ || wParam;
      return FALSE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam);
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icons_.Big());
    case WM_QUERYENDSESSION:
      // A printer in download mode must not lose the tool half-way.
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, shutdownBlock_.Held() ? FALSE : TRUE);
      return TRUE;
    case WM_SETCURSOR:
      return BusyCursor::Answer(window_);
    case WM_DPICHANGED:
      OnDpiChanged();
      return FALSE;  // the dialog manager moves and scales the window
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_DOWNLOAD:
          if (HIWORD(wParam) == BN_CLICKED) OnDownload();
          return TRUE;
        case IDOK:  // Enter when no button is the default: Download is the one button
          if (::IsWindowEnabled(GetDlgItem(window_, IDC_DOWNLOAD))) OnDownload();
          return TRUE;
        case IDCANCEL:  // Esc and the close box
          OnCancel();
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void CUpdateDlg::OnInitDialog() {
  shutdownBlock_.SetWindow(window_);
  if (HMENU menu = GetSystemMenu(window_, FALSE)) {
    wchar_t about[64] = L"";
    if (LoadStringW(instance_, zmr::IDS_ABOUTBOX, about, 64) > 0 && about[0]) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  icons_.Apply(instance_, window_);
  // The own versions are shown; the carried check sums are not.
  for (int i = 0; i < kImageCount; ++i) {
    SetDlgItemTextW(window_, kOwnVersionControl[i],
                    Widen(procedure_.Images().slots[i].ownVersion).c_str());
    SetDlgItemTextW(window_, kOwnCheckSumControl[i], L"");
  }
  CentreWindow(window_, GetWindow(window_, GW_OWNER));
}

bool CUpdateDlg::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) == IDM_ABOUTBOX) {
    // Not in the middle of a run: a box left open there would hold the run (a command posted to
    // the window comes through the progress window's draining).
    if (!procedure_.IsRunning()) CAboutDlg(instance_).DoModal(window_);
    return true;
  }
  // Closing from the system menu (or Alt+F4) waits until the run has ended.
  if ((command & 0xFFF0) == SC_CLOSE && procedure_.IsRunning()) return true;
  return false;
}

bool CUpdateDlg::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  DrawIcon(dc, x, y, icons_.Big());
  EndPaint(window_, &paint);
  return true;
}

void CUpdateDlg::OnCancel() {
  // Never leave the printer in the middle of a download.
  if (procedure_.IsRunning()) return;
  if (modal_)
    EndDialog(window_, IDCANCEL);
  else
    DestroyWindow(window_);
}

void CUpdateDlg::OnDpiChanged() {
  icons_.Apply(instance_, window_);
}

void CUpdateDlg::OnDownload() {
  if (procedure_.IsRunning()) return;  // a press from inside a drained message
  BusyCursor::Begin(window_);
  procedure_.OnDownload();
  BusyCursor::End();
}

void CUpdateDlg::RefreshFields(const DisplayFields& fields) {
  for (int i = 0; i < kImageCount; ++i) {
    SetDlgItemTextW(window_, kBeforeVersionControl[i], Widen(fields.beforeVersion[i]).c_str());
    SetDlgItemTextW(window_, kBeforeCheckSumControl[i], Widen(fields.beforeCheckSum[i]).c_str());
    SetDlgItemTextW(window_, kAfterVersionControl[i], Widen(fields.afterVersion[i]).c_str());
    SetDlgItemTextW(window_, kAfterCheckSumControl[i], Widen(fields.afterCheckSum[i]).c_str());
  }
}

void CUpdateDlg::EnableDownloadButton(bool enable) {
  ::EnableWindow(GetDlgItem(window_, IDC_DOWNLOAD), enable);
}

void CUpdateDlg::FocusDownloadButton() {
  SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window_, IDC_DOWNLOAD)),
               TRUE);
}

bool CUpdateDlg::IsWindowEnabled() const {
  return ::IsWindowEnabled(window_) != FALSE;
}

void CUpdateDlg::EnableWindow(bool enable) {
  ::EnableWindow(window_, enable);
}

void CUpdateDlg::ShowMessage(const Message& message) {
  // The run's closing box: it waits for the user, with the ordinary cursor.
  BusyCursor::End();
  ShowMessageBox(window_, message);
}

std::unique_ptr<ProgressWindow> CUpdateDlg::MakeProgressWindow() {
  return std::make_unique<Win32ProgressWindow>(instance_, window_);
}

}  // namespace zmr::ui
