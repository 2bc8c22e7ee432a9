#pragma once
// What both front ends do before they show anything: take the single-instance lock and bind the
// driver library that is loaded by name.
#include <memory>

#include "link/driver_library.h"
#include "platform/instance_lock.h"

namespace zmr {

// The lock's name is the main window's title.
inline constexpr const char* kInstanceName = "TALVERON ZMR470 Update Tool";
// The one text shown when the loaded driver library or one of its entry points is missing.
inline constexpr const char* kDriverNotFoundText = "WUsbXpIf.dll Not Found";
inline constexpr const char* kDriverNotFoundTitle = "Error";

enum class StartupOutcome {
  Ready,           // lock held, all five entry points bound
  AlreadyRunning,  // another instance holds the lock (or it cannot be made): end silently
  DriverNotFound,  // show kDriverNotFoundText, then end
};

struct Startup {
  StartupOutcome outcome;
  // Held for the life of the process once taken; the system frees it when the process ends.
  std::unique_ptr<platform::InstanceLock> lock;
};

// Takes the lock, then binds `library` (when it is not bound yet).
Startup StartUp(CDriverLibrary& library);

}  // namespace zmr
