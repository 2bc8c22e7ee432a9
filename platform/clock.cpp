#include "platform/clock.h"

#include <chrono>
#include <thread>

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

void VirtualClock::Sleep(uint32_t ms) {
  elapsed_ += ms;
  std::function<void(uint32_t)> observer;
  {
    std::lock_guard lock(observerMutex_);
    observer = observer_;
  }
  if (observer) observer(ms);
}

void VirtualClock::SetSleepObserver(std::function<void(uint32_t)> observer) {
  std::lock_guard lock(observerMutex_);
  observer_ = std::move(observer);
}

}  // namespace zmr
