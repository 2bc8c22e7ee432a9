// The single-instance lock on Windows: a named mutex, created owned. The first process never
// closes it, so the name stays taken until that process ends (the system then frees it, also
// after a crash).
#include <windows.h>

#include "platform/instance_lock.h"

namespace zmr::platform {

std::string InstanceLock::PathFor(std::string_view name) {
  return std::string(name);  // the mutex's name in the session's namespace
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  const std::string text(name);
  HANDLE mutex = CreateMutexA(nullptr, TRUE, text.c_str());
  if (!mutex) return nullptr;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return nullptr;
  }
  // The handle is deliberately kept open for the life of the process.
  return std::unique_ptr<InstanceLock>(new InstanceLock(-1));
}

InstanceLock::~InstanceLock() = default;

}  // namespace zmr::platform
