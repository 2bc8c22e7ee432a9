// SPDX-License-Identifier: MIT
#include "ui/win32/shutdown_block.h"

namespace zmr::ui {

void ShutdownBlock::OnEnteringDownloadMode() {
  // Held before the rest of the guard is told: from the command's first byte on, the printer
  // depends on the run.
  Hold();
  ForwardingObserver::OnEnteringDownloadMode();
}

void ShutdownBlock::OnDownloadModeEntered() {
  Hold();
  ForwardingObserver::OnDownloadModeEntered();
}

void ShutdownBlock::OnDownloadModeNotEntered() {
  Release();
  ForwardingObserver::OnDownloadModeNotEntered();
}

void ShutdownBlock::OnReleased(bool leaveSent) {
  Release();
  ForwardingObserver::OnReleased(leaveSent);
}

void ShutdownBlock::OnRunEnded(const RunResult& result, const DisplayFields& fields) {
  Release();  // a run always releases first; this only makes sure
  ForwardingObserver::OnRunEnded(result, fields);
}

void ShutdownBlock::Hold() {
  // The reason is only what Windows shows; the refusal itself is the answer to
  // WM_QUERYENDSESSION, which holds also where no reason can be registered.
  if (held_ || !window_) return;
  held_ = true;
  ShutdownBlockReasonCreate(window_, reason_.c_str());
}

void ShutdownBlock::Release() {
  if (!held_) return;
  held_ = false;
  if (window_ && IsWindow(window_)) ShutdownBlockReasonDestroy(window_);
}

}  // namespace zmr::ui
