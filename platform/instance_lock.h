#pragma once
// A named lock that only one process of the user can hold, released by the system when the
// holding process ends, also after a crash. On POSIX it lives in a private per-user directory
// ($XDG_RUNTIME_DIR, else a 0700 folder under /tmp); on Windows it is a named mutex, which the
// holder keeps until it ends.
#include <memory>
#include <string>
#include <string_view>

namespace zmr::platform {

class InstanceLock {
 public:
  // Null when another process holds the lock or the lock cannot be made.
  static std::unique_ptr<InstanceLock> Acquire(std::string_view name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // The file that carries the lock for a name (for tests and messages).
  static std::string PathFor(std::string_view name);

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zmr::platform
