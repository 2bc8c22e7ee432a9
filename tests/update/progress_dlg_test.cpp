// SPDX-License-Identifier: MIT
#include "update/progress_dlg.h"

#include <gtest/gtest.h>

#include <climits>

#include "fake_view.h"

namespace zmr {
namespace {

using test::RecordingView;

TEST(FormatPercent, FollowsTheWrapRule) {
  struct Case {
    int32_t position, lower, upper;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, 100, "0%"},           {50, 0, 100, "50%"},    {99, 0, 100, "99%"},
      {100, 0, 100, "100%"},       {150, 0, 100, "50%"},   {200, 0, 100, "0%"},
      {-30, 0, 100, "-30%"},       {-150, 0, 100, "-50%"}, {15, 10, 20, "50%"},
      {20, 10, 20, "100%"},        {5, 0, 10, "50%"},      {3, 0, 7, "42%"},
      {10, 10, 10, "0%"},           // equal bounds: no division by zero
      {INT_MAX, 0, 100, "-1%"},     // the product wraps at 32 bits
      {0x20000000, 0, -1, "-48%"},  // INT_MIN divided by -1 does not trap
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatPercent(c.position, c.lower, c.upper), c.text)
        << c.position << " in " << c.lower << ".." << c.upper;
  }
}

class ProgressDlgTest : public ::testing::Test {
 protected:
  RecordingView view;
  VirtualClock clock{1000};
};

TEST_F(ProgressDlgTest, NewWindowShowsCaptionBarAtLowerBoundAndUntouchedPercent) {
  CProgressDlg dlg(view, clock, platform::Language::English, 1003);
  ASSERT_TRUE(dlg.Create());
  const test::ProgressWindowRecord& r = *view.progress.at(0);
  EXPECT_EQ(r.caption, "Version Check...");
  EXPECT_EQ(r.message, "");
  EXPECT_EQ(r.lower, 0);
  EXPECT_EQ(r.upper, 100);
  EXPECT_EQ(r.step, 10);
  EXPECT_EQ(r.position, 0);
  EXPECT_EQ(r.percent, " 0 %");
  EXPECT_EQ(r.drains, 0);

  dlg.SetPosition(0);
  EXPECT_EQ(r.percent, "0%");
  dlg.SetMessageId(2020);
  EXPECT_EQ(r.message, "Please wait.");
}

TEST_F(ProgressDlgTest, CaptionZeroStandsForAnEntryTheTableLacks) {
  CProgressDlg dlg(view, clock, platform::Language::Japanese, 0);
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(view.progress.at(0)->caption, "");
}

TEST_F(ProgressDlgTest, PositionDrainsFirstAndRewritesTheLabelOnlyOnChange) {
  CProgressDlg dlg(view, clock, platform::Language::English, 1000);
  ASSERT_TRUE(dlg.Create());
  const test::ProgressWindowRecord& r = *view.progress.at(0);
  // Events are drained before the bar moves: the drain sees the old position.
  std::vector<int32_t> seenAtDrain;
  view.onDrain = [&] { seenAtDrain.push_back(r.position); };

  EXPECT_EQ(dlg.SetPosition(40), 0);
  EXPECT_EQ(dlg.SetPosition(40), 40);
  EXPECT_EQ(dlg.SetPosition(100), 40);
  EXPECT_EQ(r.percent, "100%");
  EXPECT_EQ(seenAtDrain, (std::vector<int32_t>{0, 40, 40}));
  EXPECT_EQ(r.percentWrites, 2);  // "40%" once, "100%" once

  dlg.SetRange(0, 200);
  dlg.SetPosition(50);
  EXPECT_EQ(r.upper, 200);
  EXPECT_EQ(r.percent, "25%");
}

TEST_F(ProgressDlgTest, EstimateFollowsElapsedTimeBelowOneHundredOnly) {
  CProgressDlg dlg(view, clock, platform::Language::English, 1000);
  ASSERT_TRUE(dlg.Create());
  const test::ProgressWindowRecord& r = *view.progress.at(0);
  dlg.StartEstimate(clock.TickCount(), 5000);

  clock.Advance(2500);
  dlg.AdvanceEstimate();
  EXPECT_EQ(r.position, 50);
  EXPECT_EQ(r.percent, "50%");

  // Past the expected duration: no position change and no draining at all.
  const int drains = r.drains;
  clock.Advance(3500);
  dlg.AdvanceEstimate();
  EXPECT_EQ(r.position, 50);
  EXPECT_EQ(r.drains, drains);
  clock.Advance(100000);
  dlg.AdvanceEstimate();
  EXPECT_EQ(r.position, 50);
}

TEST_F(ProgressDlgTest, EstimateCountsAcrossTheTickWrap) {
  VirtualClock nearWrap(0xFFFFF000u);
  CProgressDlg dlg(view, nearWrap, platform::Language::English, 1000);
  ASSERT_TRUE(dlg.Create());
  dlg.StartEstimate(nearWrap.TickCount(), 10000);
  nearWrap.Advance(7000);  // the tick count has wrapped past 0
  dlg.AdvanceEstimate();
  EXPECT_EQ(view.progress.at(0)->position, 70);
}

TEST_F(ProgressDlgTest, DurationZeroMakesEveryAdvanceANoOp) {
  CProgressDlg dlg(view, clock, platform::Language::English, 1000);
  ASSERT_TRUE(dlg.Create());
  dlg.SetPosition(30);
  const test::ProgressWindowRecord& r = *view.progress.at(0);
  const int drains = r.drains;
  dlg.StartEstimate(clock.TickCount(), 0);
  clock.Advance(50);
  dlg.AdvanceEstimate();
  EXPECT_EQ(r.position, 30);
  EXPECT_EQ(r.drains, drains);
}

TEST_F(ProgressDlgTest, OwnerIsDisabledWhileTheWindowExistsAndEnabledBeforeItGoes) {
  {
    CProgressDlg dlg(view, clock, platform::Language::English, 1001);
    ASSERT_TRUE(dlg.Create());
    EXPECT_FALSE(view.windowEnabled);
  }
  EXPECT_TRUE(view.windowEnabled);
  EXPECT_EQ(view.events, (std::vector<std::string>{"owner:disable", "widget:create", "owner:enable",
                                                   "widget:destroy"}));
}

TEST_F(ProgressDlgTest, OwnerAlreadyDisabledStaysDisabled) {
  view.windowEnabled = false;
  {
    CProgressDlg dlg(view, clock, platform::Language::English, 1001);
    ASSERT_TRUE(dlg.Create());
    dlg.DestroyWindow();
    EXPECT_TRUE(view.progress.at(0)->destroyed);
  }
  EXPECT_FALSE(view.windowEnabled);
  EXPECT_EQ(view.events, (std::vector<std::string>{"widget:create", "widget:destroy"}));
}

TEST_F(ProgressDlgTest, FailedCreateGivesTheOwnerBackAndLeavesEveryOperationHarmless) {
  view.createFails = true;
  CProgressDlg dlg(view, clock, platform::Language::English, 1000);
  EXPECT_FALSE(dlg.Create());
  EXPECT_TRUE(view.windowEnabled);
  EXPECT_FALSE(dlg.HasWindow());

  dlg.SetRange(0, 100);
  dlg.SetMessageId(2021);
  dlg.SetPosition(10);
  dlg.StartEstimate(clock.TickCount(), 1000);
  clock.Advance(500);
  dlg.AdvanceEstimate();
  dlg.DestroyWindow();
  const test::ProgressWindowRecord& r = *view.progress.at(0);
  EXPECT_EQ(r.drains, 0);
  EXPECT_TRUE(r.positions.empty());
  EXPECT_EQ(r.message, "");
  EXPECT_TRUE(view.windowEnabled);
}

}  // namespace
}  // namespace zmr
