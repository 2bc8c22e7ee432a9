// SPDX-License-Identifier: MIT
// Holding the console's stop requests on Windows. The system calls the control handler on a thread
// of its own; the handler keeps the first request and answers that it was handled, so the process
// goes on. A close, log-off or shutdown event ends the process anyway once the handler returns
// (the system allows a few seconds), which nothing in a console program can prevent.
#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>

#include "platform/stop_signals.h"

namespace zmr::platform {

struct StopSignalHold::State {
  Notice notice;
  std::atomic<int> first{0};
};

namespace {

std::mutex holdMutex;
StopSignalHold::State* current = nullptr;

int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return SIGINT;
    case CTRL_CLOSE_EVENT:
      return 1;  // as SIGHUP: the console went away
    default:
      return SIGTERM;  // log-off, shutdown
  }
}

BOOL WINAPI Handler(DWORD event) {
  std::lock_guard lock(holdMutex);
  if (current == nullptr) return FALSE;  // not holding: the default action
  int expected = 0;
  if (current->first.compare_exchange_strong(expected, SignalOf(event)) && current->notice) {
    current->notice(SignalOf(event));
  }
  return TRUE;
}

}  // namespace

StopSignalHold::StopSignalHold(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<StopSignalHold> StopSignalHold::Begin(Notice notice) {
  auto state = std::make_unique<State>();
  state->notice = std::move(notice);
  {
    std::lock_guard lock(holdMutex);
    if (current != nullptr) return nullptr;  // one hold at a time
    current = state.get();
  }
  if (!SetConsoleCtrlHandler(Handler, TRUE)) {
    std::lock_guard lock(holdMutex);
    current = nullptr;
    return nullptr;
  }
  return std::unique_ptr<StopSignalHold>(new StopSignalHold(std::move(state)));
}

int StopSignalHold::Release() {
  if (!state_) return 0;
  SetConsoleCtrlHandler(Handler, FALSE);
  {
    std::lock_guard lock(holdMutex);
    if (current == state_.get()) current = nullptr;
  }
  const int first = state_->first.load();
  state_.reset();
  return first;
}

StopSignalHold::~StopSignalHold() {
  Release();
}

}  // namespace zmr::platform
