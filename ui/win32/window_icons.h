// SPDX-License-Identifier: MIT
#pragma once
// Icon 128 in the sizes a window asks for at its monitor's DPI (the program is per-monitor DPI
// aware): the big icon (title bar of Alt+Tab, 32 px at 96 DPI) and the small one (caption and
// task bar, 16 px at 96 DPI). The resource carries 16, 20, 24, 32, 40, 48, 64 and 256 px, so
// the usual scales get a drawn image rather than a stretched one.
#include "ui/win32/windows_api.h"

namespace zmr::ui {

// The DPI of the monitor the window is on (96 without per-monitor support).
UINT WindowDpi(HWND window);
// A system metric (SM_CXICON, SM_CXSMICON, ...) at a DPI.
int MetricForDpi(int metric, UINT dpi);

class WindowIcons {
 public:
  WindowIcons() = default;
  ~WindowIcons() { Free(); }
  WindowIcons(const WindowIcons&) = delete;
  WindowIcons& operator=(const WindowIcons&) = delete;

  // Loads both sizes for the window's DPI and gives them to the window (WM_SETICON); the ones
  // of before are freed once the window has the new ones.
  void Apply(HINSTANCE instance, HWND window);
  HICON Big() const { return big_; }
  HICON Small() const { return small_; }

 private:
  void Free();
  HICON big_ = nullptr;
  HICON small_ = nullptr;
};

}  // namespace zmr::ui
