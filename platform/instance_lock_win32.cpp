// SPDX-License-Identifier: MIT
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
  Attempt attempt;
  const std::string text(name);
  HANDLE mutex = CreateMutexA(nullptr, TRUE, text.c_str());
  if (!mutex) {
    // No handle, whatever the reason (a mutex of another user, an object of another kind under
    // the name, ...): on Windows the tool then ends at once, as when another instance runs,
    // because it cannot tell that none does. The problem is kept for the run log.
    const DWORD error = GetLastError();
    attempt.outcome = Outcome::kHeldElsewhere;
    attempt.problem = "CreateMutex failed with error " + std::to_string(error);
    return attempt;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
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
