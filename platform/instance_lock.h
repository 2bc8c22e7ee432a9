// SPDX-License-Identifier: MIT
#pragma once
// A named lock that only one process of the user can hold, released by the system when the
// holding process ends, also after a crash. On POSIX it lives in a 0700 folder the tool makes in
// the user's state folder ($XDG_STATE_HOME/zmr470-update, by default
// ~/.local/state/zmr470-update), whatever else the environment of the process holds, so that a
// copy from the desktop session and one from ssh, cron or a plain shell take the same lock. On
// Windows it is a named mutex, which the holder keeps until it ends.
#include <memory>
#include <string>
#include <string_view>

namespace zmr::platform {

class InstanceLock {
 public:
  enum class Outcome {
    kAcquired,
    kHeldElsewhere,  // another process of the user holds it (on Windows: or no handle at all,
                     // with `problem` set)
    kUnavailable,    // it cannot be made (no private directory, a file that does not open ...)
  };
  struct Attempt {
    Outcome outcome = Outcome::kUnavailable;
    std::unique_ptr<InstanceLock> lock;  // set exactly for kAcquired
    std::string problem;                 // for kUnavailable: what went wrong, with the path
  };

  static Attempt TryAcquire(std::string_view name);
  // The lock, or null when it is held elsewhere or cannot be made.
  static std::unique_ptr<InstanceLock> Acquire(std::string_view name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The file that carries the lock for a name (for tests and messages); empty when there is no
  // private directory for it.
  static std::string PathFor(std::string_view name);

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zmr::platform
