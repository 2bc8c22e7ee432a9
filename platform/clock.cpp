// SPDX-License-Identifier: MIT
// The virtual clock (the same on every OS).
#include "platform/clock.h"

namespace zmr {

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
