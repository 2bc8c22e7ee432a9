// SPDX-License-Identifier: MIT
#pragma once
// Holding a shutdown or log-off while the printer is in download mode: the main window answers
// WM_QUERYENDSESSION with "no" and gives Windows the reason to show the user
// (ShutdownBlockReasonCreate). A console program cannot do this, so it is the desktop tool's own
// part of the run guard: it follows the run's observer from just before the enter-download-mode
// command to the printer's release, and hands every call on to the program's observer (the run
// guard, with the run log and the sleep block). Once the printer is released nothing is held, the
// closing box included.
#include "ui/win32/windows_api.h"

#include <string>

#include "update/run_observer.h"

namespace zmr::ui {

class ShutdownBlock final : public ForwardingObserver {
 public:
  // `next` may be null; `reason` is the text Windows shows while the shutdown waits.
  ShutdownBlock(RunObserver* next, std::wstring reason)
      : ForwardingObserver(next), reason_(std::move(reason)) {}
  ~ShutdownBlock() override { Release(); }
  ShutdownBlock(const ShutdownBlock&) = delete;
  ShutdownBlock& operator=(const ShutdownBlock&) = delete;

  // The top-level window that holds the shutdown (until it is set, nothing can be held).
  void SetWindow(HWND window) { window_ = window; }
  // Whether the window must refuse the end of the session now.
  bool Held() const { return held_; }

  void OnEnteringDownloadMode() override;
  void OnDownloadModeEntered() override;
  void OnDownloadModeNotEntered() override;
  void OnReleased(bool leaveSent) override;
  void OnRunEnded(const RunResult& result, const DisplayFields& fields) override;

 private:
  void Hold();
  void Release();

  std::wstring reason_;
  HWND window_ = nullptr;
  bool held_ = false;
};

}  // namespace zmr::ui
