// SPDX-License-Identifier: MIT
#pragma once
// Protects a printer in download mode from the computer: while held, Windows keeps the machine
// from sleeping (SetThreadExecutionState) and holds a shutdown or log-off with the reason
// "Updating the printer. Do not turn off the computer." (ShutdownBlockReasonCreate on the main
// window). Released on End() or destruction.
#include "ui/win32/windows_api.h"

#include "platform/ui_language.h"

namespace zmr::ui {

class RunGuard {
 public:
  RunGuard() = default;
  ~RunGuard() { End(); }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  // Starts holding on behalf of `window` (a second call while held changes nothing).
  void Begin(HWND window, platform::Language language);
  void End();
  bool Held() const { return window_ != nullptr; }

  // The reason Windows shows while a shutdown waits for the tool.
  static const wchar_t* Reason(platform::Language language);

 private:
  HWND window_ = nullptr;
};

}  // namespace zmr::ui
