#include "app/startup.h"

namespace zmr {

Startup StartUp(CDriverLibrary& library) {
  Startup result{StartupOutcome::AlreadyRunning, platform::InstanceLock::Acquire(kInstanceName)};
  if (!result.lock) return result;
  // A library that loaded but lacks an entry point stays loaded until the process ends.
  const bool bound = library.IsLoaded()
                         ? library.SetVenderID && library.SetProductID && library.UsbOpenCont &&
                               library.UsbOpenBulk && library.UsbDeviceIoControl
                         : library.Bind();
  result.outcome = bound ? StartupOutcome::Ready : StartupOutcome::DriverNotFound;
  return result;
}

}  // namespace zmr
