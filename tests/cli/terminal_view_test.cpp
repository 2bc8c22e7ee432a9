// SPDX-License-Identifier: MIT
// The terminal view driven by the core's progress logic under a virtual clock, as the update
// procedure drives it: a time-estimated window, message changes and the closing message.
#include "ui/cli/terminal_view.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "update/progress_dlg.h"
#include "update/string_table.h"

namespace zmr::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class TerminalViewTest : public ::testing::Test {
 protected:
  // A window as the procedure opens one: range 0..100, position 0, a label, a time estimate.
  std::unique_ptr<CProgressDlg> Open(TerminalView& view, uint32_t caption, uint32_t label,
                                     uint32_t durationMs) {
    auto dlg = std::make_unique<CProgressDlg>(view, clock_, platform::Language::English, caption);
    dlg->Create();
    dlg->SetRange(0, 100);
    dlg->SetPosition(0);
    dlg->SetMessageId(label);
    dlg->StartEstimate(clock_.TickCount(), durationMs);
    return dlg;
  }
  // A paced wait: sleep a step, advance the estimate.
  void Wait(CProgressDlg& dlg, uint32_t totalMs, uint32_t stepMs) {
    for (uint32_t waited = 0; waited < totalMs; waited += stepMs) {
      clock_.Sleep(stepMs);
      dlg.AdvanceEstimate();
    }
  }

  VirtualClock clock_;
  std::ostringstream out_;
};

TEST_F(TerminalViewTest, PlainLinesOnePerTenthAndNoControlCharacters) {
  TerminalView view(out_, {});
  auto dlg = Open(view, IDS_INITIALIZING, IDS_PLEASE_WAIT, 5000);
  Wait(*dlg, 5000, 50);  // a hundred advances
  dlg->SetPosition(100);
  dlg.reset();

  const std::vector<std::string> lines = Lines(out_.str());
  ASSERT_EQ(lines.size(), 11u) << out_.str();
  for (int tenth = 0; tenth <= 10; ++tenth) {
    const std::string percent = std::to_string(tenth * 10) + "%";
    EXPECT_EQ(lines[size_t(tenth)].rfind("Initializing... - Please wait. ", 0), 0u);
    EXPECT_EQ(lines[size_t(tenth)].substr(lines[size_t(tenth)].size() - percent.size()), percent);
  }
  for (char c : out_.str()) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
  EXPECT_TRUE(view.IsWindowEnabled()) << "the window comes back when the progress goes";
}

TEST_F(TerminalViewTest, PlainLineForEveryMessageChangeWithinATenth) {
  TerminalView view(out_, {});
  auto dlg = Open(view, IDS_UPGRADE, IDS_LOADING_DATA1, 50200);
  Wait(*dlg, 1000, 100);  // still below 10%
  dlg->SetMessageId(IDS_LOADING_DATA2);
  dlg->SetMessageId(IDS_LOADING_DATA2);  // the same text again is no change
  Wait(*dlg, 1000, 100);
  dlg.reset();

  EXPECT_EQ(Lines(out_.str()), (std::vector<std::string>{
                                   "Upgrade - Loading DATA1(M)... [--------------------]   0%",
                                   "Upgrade - Loading DATA2(T)... [--------------------]   1%"}));
}

TEST_F(TerminalViewTest, AWindowWithNothingToTellShowsNothing) {
  TerminalView view(out_, {});
  auto dlg = std::make_unique<CProgressDlg>(view, clock_, platform::Language::English, 0);
  dlg->Create();
  dlg->SetRange(0, 100);
  dlg->SetPosition(0);
  dlg->SetPosition(5);
  EXPECT_EQ(out_.str(), "");
  dlg->SetPosition(10);  // a tenth of progress is worth a line even without a message
  dlg.reset();
  EXPECT_EQ(out_.str(), "[##------------------]  10%\n");
}

TEST_F(TerminalViewTest, InPlaceRedrawsOnlyChangesAndFinishesTheLineWhenTheWindowGoes) {
  TerminalView view(out_, {.inPlace = true, .columns = [] { return size_t{80}; }});
  auto dlg = Open(view, IDS_VERSION_CHECK, IDS_PLEASE_WAIT, 1000);
  Wait(*dlg, 1000, 10);  // a hundred advances, each a new percentage
  Wait(*dlg, 1000, 10);  // the estimate is over: nothing moves
  dlg->SetPosition(99);
  dlg->SetPosition(100);
  dlg.reset();

  const std::string text = out_.str();
  // "0%" and every percentage from 1 to 99 once, then 100%.
  EXPECT_EQ(Count(text, "\r"), 101u);
  EXPECT_EQ(Count(text, "\x1b[K"), 101u);
  EXPECT_EQ(Count(text, "\n"), 1u);
  EXPECT_EQ(text.rfind("\rVersion Check... - Please wait. [####################] 100%\x1b[K\n"),
            text.size() - 64);
}

TEST_F(TerminalViewTest, InPlaceLineFollowsTheTerminalWidth) {
  size_t columns = 80;
  TerminalView view(out_, {.inPlace = true, .columns = [&] { return columns; }});
  auto dlg = Open(view, IDS_UPGRADE, IDS_LOADING_DATA1, 50200);
  columns = 24;
  dlg->SetPosition(50);
  dlg.reset();
  const std::string last = Lines(out_.str()).back();
  const std::string drawn = last.substr(last.rfind('\r') + 1);
  EXPECT_EQ(drawn, "Upgrade - Loading  50%\x1b[K");  // too narrow for a bar
}

TEST_F(TerminalViewTest, MessageDuringAWindowStartsOnItsOwnLineAndTheTableComesFirst) {
  TerminalView view(out_, {.inPlace = true, .columns = {}});
  DisplayFields fields;
  fields.beforeVersion = {"316B20", "318C20", "D10"};
  fields.beforeCheckSum = {"1A2B", "3C4D", "5E6F"};
  view.RefreshFields(fields);
  auto dlg = Open(view, IDS_UPGRADE, IDS_LOADING_DATA1, 50200);
  Wait(*dlg, 1000, 100);
  // The download runs out of time while its window is open.
  view.ShowMessage(Message{IDS_TIME_OUT, LoadString(IDS_TIME_OUT, platform::Language::English),
                           MessageTitle::Error, MessageIcon::Warning});
  dlg.reset();  // the window goes after the message: nothing more is drawn

  const std::string text = out_.str();
  const std::string tail =
      "[--------------------]   1%\x1b[K\n"
      "          DATA1(M)       DATA2(T)       DATA3(F)\n"
      "Before    316B20 / 1A2B  318C20 / 3C4D  D10 / 5E6F\n"
      "Error: Failed! Time out Error!\n"
      "Please turn the printer OFF and then ON, and download again.\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(view.ClosingMessage(), std::optional<uint32_t>(IDS_TIME_OUT));
}

TEST_F(TerminalViewTest, ConsecutiveWindowsEachGetTheirOwnLine) {
  TerminalView view(out_, {.inPlace = true, .columns = {}});
  auto first = Open(view, IDS_INITIALIZING, IDS_PLEASE_WAIT, 5000);
  first->SetPosition(100);
  first.reset();
  auto second = Open(view, IDS_VERSION_CHECK, IDS_PLEASE_WAIT, 1000);
  second->SetPosition(100);
  second.reset();
  const std::vector<std::string> lines = Lines(out_.str());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("Initializing..."), std::string::npos);
  EXPECT_EQ(lines[0].find("Version Check..."), std::string::npos);
  EXPECT_NE(lines[1].find("Version Check..."), std::string::npos);
}

}  // namespace
}  // namespace zmr::cli
