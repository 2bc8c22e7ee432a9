// SPDX-License-Identifier: MIT
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace zmr {
namespace {

TEST(VirtualClock, SleepAdvancesAtOnceAndWrapsTheTick) {
  VirtualClock clock(0xFFFFFF00u);
  std::vector<uint32_t> sleeps;
  clock.SetSleepObserver([&](uint32_t ms) { sleeps.push_back(ms); });
  const uint32_t start = clock.TickCount();
  clock.Sleep(0x200);
  clock.Advance(5);
  EXPECT_EQ(clock.TickCount(), 0x105u);          // wrapped past zero
  EXPECT_EQ(clock.TickCount() - start, 0x205u);  // unsigned difference survives the wrap
  EXPECT_EQ(clock.ElapsedMs(), 0x205u);
  EXPECT_EQ(sleeps, std::vector<uint32_t>{0x200});  // Advance is not a sleep
}

}  // namespace
}  // namespace zmr
