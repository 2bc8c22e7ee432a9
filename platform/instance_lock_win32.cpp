// The single-instance lock on Windows: a named mutex, created owned. The first process never
// closes it, so the name stays taken until that process ends (the system then frees it, also
// after a crash).
#include <windows.h>

#include "platform/instance_lock.h"

namespace zmr::platform {

std::string InstanceLock::PathFor(std::string_view name) {
  return std::string(name);  // the mutex's name in the session's namespace
}

InstanceLock::Attempt InstanceLock::TryAcquire(std::string_view name) {
  const std::string text(name);
  Attempt attempt;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, text.c_str());
  // No mutex counts as taken elsewhere: the tool then ends without a word, as for a second copy.
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (mutex) ::CloseHandle(mutex);
    attempt.outcome = Outcome::kHeldElsewhere;
    return attempt;
  }
  // The handle is deliberately kept open for the life of the process.
  attempt.outcome = Outcome::kAcquired;
  attempt.lock.reset(new InstanceLock(-1));
  return attempt;
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  return TryAcquire(name).lock;
}

InstanceLock::~InstanceLock() = default;

}  // namespace zmr::platform
