// SPDX-License-Identifier: MIT
#pragma once
// Keeping the machine from sleeping, shutting down or going idle while the printer is in download
// mode: on Linux a lock of the login manager (systemd-logind's Inhibit over the system bus, mode
// "block" for sleep, shutdown and idle), held as the descriptor it hands out; on Windows the
// thread's execution state (sleep only: holding a shutdown needs the desktop tool's window).
#include <memory>
#include <string>

namespace zmr::platform {

class SleepInhibitor {
 public:
  // Takes the lock for `who` (the program) with `why` (shown to the user by the desktop when it
  // refuses to sleep or shut down). Null when it cannot be taken (no system bus, no login
  // manager, refused), with `problem` saying why; the caller goes on without it. Waits at most a
  // few seconds for the bus.
  static std::unique_ptr<SleepInhibitor> Take(const std::string& who, const std::string& why,
                                              std::string* problem);
  // Releases the lock.
  ~SleepInhibitor();
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

 private:
  explicit SleepInhibitor(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zmr::platform
