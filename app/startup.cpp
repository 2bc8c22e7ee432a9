// SPDX-License-Identifier: MIT
#include "app/startup.h"

namespace zmr {

Startup StartUp(CDriverLibrary& library) {
  platform::InstanceLock::Attempt lock = platform::InstanceLock::TryAcquire(kInstanceName);
  Startup result{StartupOutcome::AlreadyRunning, std::move(lock.lock), {}};
  if (lock.outcome == platform::InstanceLock::Outcome::kHeldElsewhere) return result;
  if (lock.outcome == platform::InstanceLock::Outcome::kUnavailable) {
    result.lockProblem = "single-instance lock not taken: " + lock.problem;
  }
  // A library that loaded but lacks an entry point stays loaded until the process ends.
  const bool bound = library.IsLoaded()
                         ? library.SetVenderID && library.SetProductID && library.UsbOpenCont &&
                               library.UsbOpenBulk && library.UsbDeviceIoControl
                         : library.Bind();
  result.outcome = bound ? StartupOutcome::Ready : StartupOutcome::DriverNotFound;
  return result;
}

}  // namespace zmr
