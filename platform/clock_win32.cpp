// SPDX-License-Identifier: MIT
// The real clock on Windows: the system tick count and Sleep.
#include <windows.h>

#include "platform/clock.h"

namespace zmr {

uint32_t RealClock::TickCount() {
  return GetTickCount();
}

void RealClock::Sleep(uint32_t ms) {
  ::Sleep(ms);
}

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace zmr
