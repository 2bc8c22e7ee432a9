// SPDX-License-Identifier: MIT
#include "app/startup.h"

namespace zmr {

Startup StartUp(CDriverLibrary& library) {
  platform::InstanceLock::Attempt lock = platform::InstanceLock::TryAcquire(kInstanceName);
  Startup result{StartupOutcome::AlreadyRunning, std::move(lock.lock), {}, {}};
  if (lock.outcome == platform::InstanceLock::Outcome::kHeldElsewhere) {
    if (!lock.problem.empty()) result.lockProblem = lock.problem;
    return result;
  }
  if (lock.outcome == platform::InstanceLock::Outcome::kUnavailable) {
    result.lockProblem = lock.problem;
  }
  // A library that loaded but lacks an entry point stays loaded until the process ends.
  const bool bound = library.IsLoaded()
                         ? library.SetVenderID && library.SetProductID && library.UsbOpenCont &&
                               library.UsbOpenBulk && library.UsbDeviceIoControl
                         : library.Bind();
  result.outcome = bound ? StartupOutcome::Ready : StartupOutcome::DriverNotFound;
  result.usbTimeout = driver_api::UsbTimeoutFromEnvironment();
  return result;
}

std::string LockNotice(const Startup& startup, platform::Language language) {
  return FillText(LoadString(IDS_LOCK_NOT_TAKEN, language), {startup.lockProblem});
}

}  // namespace zmr
