// Stop requests on Windows are the console's Ctrl+C, Ctrl+Break and close events. While a hold
// is on, the handler keeps the first of them and tells the owner (on the thread the system runs
// the handler on); the process goes on.
#include <windows.h>

#include <atomic>

#include "platform/stop_signals.h"

namespace zmr::platform {

struct StopSignalHold::State {
  Notice notice;
  std::atomic<int> first{0};
  bool released = false;
};

namespace {

std::atomic<StopSignalHold::State*> current{nullptr};

BOOL WINAPI OnControl(DWORD event) {
  StopSignalHold::State* state = current.load();
  if (!state) return FALSE;
  // The console's events stand in for the signals' numbers: 2 (interrupt) for Ctrl+C and
  // Ctrl+Break, 1 (hang-up) for closing the console.
  const int signal = event == CTRL_CLOSE_EVENT ? 1 : 2;
  int none = 0;
  if (state->first.compare_exchange_strong(none, signal) && state->notice) state->notice(signal);
  return TRUE;
}

}  // namespace

std::unique_ptr<StopSignalHold> StopSignalHold::Begin(Notice notice) {
  auto state = std::make_unique<State>();
  state->notice = std::move(notice);
  current.store(state.get());
  if (!SetConsoleCtrlHandler(OnControl, TRUE)) {
    current.store(nullptr);
    return nullptr;
  }
  return std::unique_ptr<StopSignalHold>(new StopSignalHold(std::move(state)));
}

StopSignalHold::StopSignalHold(std::unique_ptr<State> state) : state_(std::move(state)) {}

int StopSignalHold::Release() {
  if (!state_->released) {
    SetConsoleCtrlHandler(OnControl, FALSE);
    current.store(nullptr);
    state_->released = true;
  }
  return state_->first.load();
}

StopSignalHold::~StopSignalHold() {
  Release();
}

}  // namespace zmr::platform
