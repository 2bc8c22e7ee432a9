// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include "platform/stop_signals.h"

namespace zmr::platform {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr unsigned char kEndOfHold = 0;  // no signal has number 0

// The write end of the self-pipe of the hold in force; -1 outside a hold. The handler only
// writes the signal's number into it.
std::atomic<int> gPipeWrite{-1};

extern "C" void OnStopSignal(int signal) {
  const int saved = errno;
  const int fd = gPipeWrite.load();
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);  // full pipe: one is enough
  }
  errno = saved;
}

}  // namespace

struct StopSignalHold::State {
  int readEnd = -1;
  int writeEnd = -1;
  struct sigaction previous[std::size(kStopSignals)] = {};
  bool installed[std::size(kStopSignals)] = {};
  std::atomic<int> first{0};
  std::thread watcher;
  bool released = false;

  void Note(int signal, const Notice& notice) {
    int none = 0;
    if (signal > 0 && first.compare_exchange_strong(none, signal) && notice) notice(signal);
  }
};

std::unique_ptr<StopSignalHold> StopSignalHold::Begin(Notice notice) {
  auto state = std::make_unique<State>();
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
  state->readEnd = ends[0];
  state->writeEnd = ends[1];
  int expected = -1;
  if (!gPipeWrite.compare_exchange_strong(expected, state->writeEnd)) {
    close(ends[0]);
    close(ends[1]);
    return nullptr;  // another hold is in force
  }

  State* raw = state.get();
  try {
    raw->watcher = std::thread([raw, notice = std::move(notice)] {
      for (;;) {
        pollfd fd{raw->readEnd, POLLIN, 0};
        if (poll(&fd, 1, -1) < 0 && errno != EINTR) return;
        unsigned char byte = 0;
        ssize_t n;
        while ((n = read(raw->readEnd, &byte, 1)) == 1) {
          if (byte == kEndOfHold) return;
          raw->Note(byte, notice);
        }
        if (n == 0) return;
      }
    });
  } catch (...) {
    gPipeWrite.store(-1);
    close(raw->readEnd);
    close(raw->writeEnd);
    return nullptr;
  }

  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    struct sigaction current {};
    if (sigaction(kStopSignals[i], nullptr, &current) != 0) continue;
    if (current.sa_handler == SIG_IGN) continue;  // e.g. SIGHUP under nohup
    struct sigaction hold {};
    hold.sa_handler = OnStopSignal;
    sigemptyset(&hold.sa_mask);
    hold.sa_flags = SA_RESTART;
    raw->installed[i] = sigaction(kStopSignals[i], &hold, &raw->previous[i]) == 0;
  }
  return std::unique_ptr<StopSignalHold>(new StopSignalHold(std::move(state)));
}

StopSignalHold::StopSignalHold(std::unique_ptr<State> state) : state_(std::move(state)) {}

int StopSignalHold::Release() {
  State& s = *state_;
  if (s.released) return s.first.load();
  s.released = true;
  for (size_t i = 0; i < std::size(kStopSignals); ++i) {
    if (s.installed[i]) sigaction(kStopSignals[i], &s.previous[i], nullptr);
  }
  // A signal that came before the actions were restored is in the pipe ahead of the end mark.
  const unsigned char end = kEndOfHold;
  while (write(s.writeEnd, &end, 1) < 0 && (errno == EINTR || errno == EAGAIN)) {
  }
  if (s.watcher.joinable()) s.watcher.join();
  gPipeWrite.store(-1);
  close(s.readEnd);
  close(s.writeEnd);
  return s.first.load();
}

StopSignalHold::~StopSignalHold() {
  Release();
}

}  // namespace zmr::platform
