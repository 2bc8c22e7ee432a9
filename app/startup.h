// SPDX-License-Identifier: MIT
#pragma once
// What both front ends do before they show anything: take the single-instance lock and bind the
// driver library that is loaded by name.
#include <memory>
#include <string>

#include "link/driver_library.h"
#include "platform/instance_lock.h"

namespace zmr {

// The lock's name is the main window's title.
inline constexpr const char* kInstanceName = "TALVERON ZMR470 Update Tool";
// The one text shown when the loaded driver library or one of its entry points is missing.
inline constexpr const char* kDriverNotFoundText = "WUsbXpIf.dll Not Found";
inline constexpr const char* kDriverNotFoundTitle = "Error";

enum class StartupOutcome {
  Ready,           // all five entry points bound; the lock held, or see lockProblem
  AlreadyRunning,  // another instance holds the lock: end silently
  DriverNotFound,  // show kDriverNotFoundText, then end
};

struct Startup {
  StartupOutcome outcome;
  // Held for the life of the process once taken; the system frees it when the process ends.
  std::unique_ptr<platform::InstanceLock> lock;
  // Set when the lock could not be made for a reason other than another instance (no private
  // folder for it, a file that does not open): the program says so and goes on without it, as a
  // broken lock must not keep the user from updating the printer.
  std::string lockProblem;
};

// Takes the lock, then binds `library` (when it is not bound yet).
Startup StartUp(CDriverLibrary& library);

}  // namespace zmr
