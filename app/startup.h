// SPDX-License-Identifier: MIT
#pragma once
// What both front ends do before they show anything: take the single-instance lock and bind the
// driver library that is loaded by name.
#include <memory>
#include <string>

#include "driver_api/usb_timeout.h"
#include "link/driver_library.h"
#include "platform/instance_lock.h"
#include "platform/ui_language.h"
#include "update/string_table.h"  // kDriverNotFoundText and its title

namespace zmr {

// The lock's name is the main window's title.
inline constexpr const char* kInstanceName = "TALVERON ZMR470 Update Tool";
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
  // folder for it, a file that does not open): what went wrong, as the system said it. The
  // program says so (LockNotice) and goes on without it, as a broken lock must not keep the user
  // from updating the printer. With AlreadyRunning (the Windows mutex gave no handle) it is what
  // went wrong, for the run log; nothing is shown.
  std::string lockProblem;
  // The real printers' transfer limit as the environment sets it; when it is set but not usable
  // the program says so once and the limit stays 5000 ms.
  driver_api::UsbTimeoutSetting usbTimeout;
};

// "single-instance lock not taken: <the problem>" in `language`.
std::string LockNotice(const Startup& startup, platform::Language language);

// Takes the lock, then binds `library` (when it is not bound yet).
Startup StartUp(CDriverLibrary& library);

}  // namespace zmr
