// SPDX-License-Identifier: MIT
// The real clock on POSIX: the monotonic clock, in milliseconds.
#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace zmr {

uint32_t RealClock::TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void RealClock::Sleep(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace zmr
