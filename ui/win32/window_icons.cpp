// SPDX-License-Identifier: MIT
#include "ui/win32/window_icons.h"

#include <utility>

#include "ui/control_ids.h"

namespace zmr::ui {
namespace {

// The per-monitor DPI calls exist from Windows 10 on; the tool also starts on older systems,
// which scale every window by the system DPI.
template <typename Function>
Function User32Entry(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpi && window) {
    if (const UINT dpi = getDpi(window)) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

int MetricForDpi(int metric, UINT dpi) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = User32Entry<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(metric, dpi) : GetSystemMetrics(metric);
}

void WindowIcons::Apply(HINSTANCE instance, HWND window) {
  const UINT dpi = WindowDpi(window);
  auto load = [instance](int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
  };
  HICON big = load(MetricForDpi(SM_CXICON, dpi));
  HICON small = load(MetricForDpi(SM_CXSMICON, dpi));
  if (!big || !small) {  // keep what the window has
    if (big) DestroyIcon(big);
    if (small) DestroyIcon(small);
    return;
  }
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  Free();
  big_ = big;
  small_ = small;
}

void WindowIcons::Free() {
  if (big_) DestroyIcon(std::exchange(big_, nullptr));
  if (small_) DestroyIcon(std::exchange(small_, nullptr));
}

}  // namespace zmr::ui
