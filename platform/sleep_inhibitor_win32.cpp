// SPDX-License-Identifier: MIT
// Keeping the machine awake on Windows: the thread's execution state asks the system not to sleep
// while it is set. Holding a shutdown needs a window (ShutdownBlockReasonCreate), which the
// desktop front end owns; this service covers sleep only.
#include <windows.h>

#include "platform/sleep_inhibitor.h"

namespace zmr::platform {

std::unique_ptr<SleepInhibitor> SleepInhibitor::Take(const std::string&, const std::string&,
                                                     std::string* problem) {
  if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
    if (problem) *problem = "SetThreadExecutionState refused";
    return nullptr;
  }
  return std::unique_ptr<SleepInhibitor>(new SleepInhibitor(0));
}

SleepInhibitor::~SleepInhibitor() {
  SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace zmr::platform
