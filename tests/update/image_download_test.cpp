// SPDX-License-Identifier: MIT
// The paced wait and the block transfer on their own, without a procedure.
#include <gtest/gtest.h>

#include <vector>

#include "sim_update_fixture.h"
#include "update/image_download.h"

namespace zmr {
namespace {

using test::FakeKeys;
using test::RecordingView;

TEST(PacedWait, SleepsInWholeStepsUnderAWindowAndAtOnceWithout) {
  struct Case {
    uint32_t total, step;
    bool window;
    std::vector<uint32_t> sleeps;
  };
  const Case cases[] = {
      {50, 100, true, {}},                                // less than one step: nothing at all
      {50, 100, false, {50}},                             // no window: the whole total at once
      {1050, 100, true, std::vector<uint32_t>(10, 100)},  // the remainder is not waited
      {1000, 0, true, std::vector<uint32_t>(10, 100)},    // step 0 stands for 100
      {0xFFFFFFFFu, 1, true, {}},                         // step count negative as a signed number
      {0xFFFFFFFFu, 0, false, {0xFFFFFFFFu}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.total << "/" << c.step << (c.window ? " window" : ""));
    RecordingView view;
    VirtualClock clock;
    std::vector<uint32_t> sleeps;
    clock.SetSleepObserver([&](uint32_t ms) { sleeps.push_back(ms); });
    CProgressDlg progress(view, clock, platform::Language::English, 1000);
    progress.Create();
    PacedWait(clock, c.total, c.window ? &progress : nullptr, c.step);
    EXPECT_EQ(sleeps, c.sleeps);
  }
}

TEST(PacedWait, EveryStepAdvancesTheEstimate) {
  RecordingView view;
  VirtualClock clock;
  CProgressDlg progress(view, clock, platform::Language::English, 1001);
  progress.Create();
  progress.StartEstimate(clock.TickCount(), 5000);
  PacedWait(clock, 5000, &progress, 50);
  // 1% per step; the hundredth step reaches the expected duration and changes nothing.
  std::vector<int32_t> expected = {0};  // set when the window was made
  for (int32_t p = 1; p < 100; ++p) expected.push_back(p);
  EXPECT_EQ(view.progress.at(0)->positions, expected);
  EXPECT_EQ(clock.ElapsedMs(), 5000u);
}

// The block transfer alone: its bytes go to a printer that was sent no transfer command, which
// refuses them as writes where a command was due. Only their sizes and timing matter here.
class BlockTransfer : public test::SimUpdateTest {
 protected:
  BlockTransfer() { allowedViolations = {sim::ViolationKind::kCommandWrite}; }
};

TEST_F(BlockTransfer, WholeBlocksThenATailPaddedPastTheNextMultipleOf64) {
  struct Case {
    uint32_t size;
    std::vector<uint32_t> writes;
  };
  const Case cases[] = {
      {0, {}},
      {63, {64}},
      {64, {128}},
      {100, {128}},
      {8192, {4096, 4096}},
      {4096 + 64, {4096, 128}},
      {4096 + 4031, {4096, 4032}},
      {4096 + 4032, {4096, 4096}},
      {4096 + 4095, {4096, 4096}},
  };
  const FakeKeys keys(false, false);
  Make(sim::SimConfig{}, keys);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    sim::SimBus::Instance().ClearTrace();
    CPrinterPort port(LinkedImportedDriver(), TheDriverLibrary(), clock);
    ASSERT_EQ(port.Open(), 1);
    const std::vector<uint8_t> image(c.size, 0xA5);
    EXPECT_EQ(SendImageBlocks(port, clock, image.data(), c.size, 120000, nullptr),
              DownloadResult::kDone);
    std::vector<uint32_t> writes;
    for (const auto& entry : Trace()) {
      if (entry.direction == 'W') writes.push_back(entry.length);
    }
    EXPECT_EQ(writes, c.writes);
  }
}

TEST_F(BlockTransfer, BudgetIsTestedAfterEachWholeBlockOnly) {
  const FakeKeys keys(false, false);
  sim::SimConfig config;
  config.printer.bytesPerSecond = 4096;  // one second per whole block
  Make(config, keys);
  CPrinterPort port(LinkedImportedDriver(), TheDriverLibrary(), clock);
  ASSERT_EQ(port.Open(), 1);
  const std::vector<uint8_t> image(3 * 4096 + 100, 0xA5);
  struct Case {
    uint32_t budget;
    DownloadResult result;
    size_t writes;
  };
  const Case cases[] = {
      {3000, DownloadResult::kDone, 4},      // at the budget is within it
      {2999, DownloadResult::kTimedOut, 3},  // the third block still goes out
      {1500, DownloadResult::kTimedOut, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.budget);
    sim::SimBus::Instance().ClearTrace();
    EXPECT_EQ(SendImageBlocks(port, clock, image.data(), static_cast<uint32_t>(image.size()),
                              c.budget, nullptr),
              c.result);
    EXPECT_EQ(Trace().size(), c.writes);
  }
}

// Where the transfer stopped, for the run's detail: blocks count from 1 and the tail is one.
TEST_F(BlockTransfer, ReportsTheBlockItStoppedIn) {
  struct Case {
    const char* name;
    uint32_t size;
    bool noData;
    uint32_t failedWrite;  // 0: none
    uint32_t budget;
    DownloadResult result;
    uint32_t block, blocks;
  };
  const uint32_t size = 3 * 4096 + 100;
  const Case cases[] = {
      {"AllSent", size, false, 0, 120000, DownloadResult::kDone, 4, 4},
      {"ThirdBlockFails", size, false, 3, 120000, DownloadResult::kShortWrite, 3, 4},
      {"TailFails", size, false, 4, 120000, DownloadResult::kShortWrite, 4, 4},
      {"BudgetRunsOutInTheSecond", size, false, 0, 1500, DownloadResult::kTimedOut, 2, 4},
      {"NoImageBytes", 100, true, 0, 120000, DownloadResult::kShortWrite, 1, 1},
      {"EmptyImage", 0, false, 0, 120000, DownloadResult::kDone, 0, 0},
  };
  const FakeKeys keys(false, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config;
    config.printer.bytesPerSecond = 4096;  // one second per whole block
    if (c.failedWrite) config.printer.faults.push_back(sim::Fault::FailWrite(c.failedWrite));
    Make(config, keys);
    CPrinterPort port(LinkedImportedDriver(), TheDriverLibrary(), clock);
    ASSERT_EQ(port.Open(), 1);
    const std::vector<uint8_t> image(c.size, 0xA5);
    BlockPosition at;
    EXPECT_EQ(SendImageBlocks(port, clock, c.noData ? nullptr : image.data(), c.size, c.budget,
                              nullptr, &at),
              c.result);
    EXPECT_EQ(at.block, c.block);
    EXPECT_EQ(at.blocks, c.blocks);
  }
}

}  // namespace
}  // namespace zmr
