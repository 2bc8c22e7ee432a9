// On Windows the machine is kept awake through the thread's execution state. (Holding a shutdown
// needs a window; the desktop tool does that itself.)
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
