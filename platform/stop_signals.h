// SPDX-License-Identifier: MIT
#pragma once
// Holding the requests to stop (SIGINT, SIGTERM, SIGHUP and SIGQUIT; on Windows the console's
// Ctrl-C, Ctrl-Break, close, log-off and shutdown events) while a program must not be interrupted:
// the printer in download mode.
// Outside a hold the requests keep the action they had (by default the process ends at once).
#include <functional>
#include <memory>

namespace zmr::platform {

class StopSignalHold {
 public:
  // Called once per hold, with the number of the first request that arrived; it runs on a
  // thread of the hold's own, so it may only do thread-safe work (write a line, set a flag).
  using Notice = std::function<void(int signal)>;

  // From now until Release, a stop request does not end the process: the first one is kept and
  // `notice` is told of it. A request that the process ignored when the hold began stays
  // ignored. Null only when the hold cannot be set up (no pipe, no thread): the caller goes on
  // unprotected. One hold at a time per process.
  static std::unique_ptr<StopSignalHold> Begin(Notice notice);

  // Restores the actions the requests had before and gives the first request that arrived
  // during the hold (0 for none). A request after this acts at once. Called by the destructor
  // when the owner has not.
  int Release();
  ~StopSignalHold();
  StopSignalHold(const StopSignalHold&) = delete;
  StopSignalHold& operator=(const StopSignalHold&) = delete;

  struct State;

 private:
  explicit StopSignalHold(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace zmr::platform
