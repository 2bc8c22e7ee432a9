// SPDX-License-Identifier: MIT
#include "ui/win32/run_guard.h"

namespace zmr::ui {

const wchar_t* RunGuard::Reason(platform::Language language) {
  return language == platform::Language::Japanese
             ? L"プリンターを更新しています。コンピューターの電源を切らないでください。"
             : L"Updating the printer. Do not turn off the computer.";
}

void RunGuard::Begin(HWND window, platform::Language language) {
  if (window_ || !window) return;
  window_ = window;
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  ShutdownBlockReasonCreate(window_, Reason(language));
}

void RunGuard::End() {
  if (!window_) return;
  ShutdownBlockReasonDestroy(window_);
  SetThreadExecutionState(ES_CONTINUOUS);
  window_ = nullptr;
}

}  // namespace zmr::ui
