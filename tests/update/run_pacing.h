// SPDX-License-Identifier: MIT
#pragma once
// How a run gets to its end, for the rows of the outcome table: the timeline of what reached the
// printer and of every wait in between (each fixed wait, each status poll, each release wait, in
// order), and the progress windows' bars against the time that passed.
//
// A row's timeline is written from the pieces below, each a step of the procedure as the printer
// and the clock see it. The bars follow from the timeline: a window's bar moves after every step
// of its paced waits (the 5 s after the enter-download-mode command in steps of 50 ms, the 1 s of
// a version reply and the 10 s of each erase in steps of 100 ms) and after every block written
// whole, and it then shows the share of its expected duration that has passed (5 s, 1 s, and
// for the download the total time weight x 100 ms), while that share is below 100; besides, it
// is 0 when the window opens and 99 or 100 where the procedure sets them.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake_view.h"
#include "sim/sim_trace.h"
#include "sim_update_fixture.h"
#include "update/run_result.h"

namespace zmr::test {

using Steps = std::vector<std::string>;

inline Steps Join(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Folds runs of the same entry as the fixture's Timeline does ("sleep 100 x10").
inline Steps Folded(const Steps& steps) {
  Steps folded;
  for (const std::string& step : steps) {
    if (!folded.empty()) {
      std::string& last = folded.back();
      const size_t x = last.rfind(" x");
      const std::string base = x == std::string::npos ? last : last.substr(0, x);
      if (base == step) {
        const int n = x == std::string::npos ? 1 : std::stoi(last.substr(x + 2));
        last = step + " x" + std::to_string(n + 1);
        continue;
      }
    }
    folded.push_back(step);
  }
  return folded;
}

inline Steps Times(const Steps& steps, int n) {
  Steps all;
  for (int i = 0; i < n; ++i) all.insert(all.end(), steps.begin(), steps.end());
  return all;
}

// The status gate: the wake command, then a status request, 50 ms, its reply; while busy, 500 ms
// and again. `polls` requests in all.
inline Steps StatusGate(int polls = 1) {
  const Steps poll = {"status 0", "sleep 50", "read 256"};
  return Join({{"wake"}, Times(Join({poll, {"sleep 500"}}), polls - 1), poll});
}
// The enter-download-mode command, its 5 s in steps of 50 ms, 100 ms before the reopen.
inline const Steps kModeSwitch = Join({{"enter"}, Steps(100, "sleep 50"), {"sleep 100"}});
// A version request and its reply 1 s later, in steps of 100 ms.
inline const Steps kVersionReply = Join({{"version"}, Steps(10, "sleep 100"), {"read 48"}});
// The version gate: the reply, then the last position held 500 ms.
inline const Steps kVersionGate = Join({kVersionReply, {"sleep 500"}});
// One image: its erase command, 100 ms, the 10 s erase wait in steps of 100 ms, the transfer
// command, 100 ms, then `blocks` (the names of the writes).
inline Steps Image(char type, const Steps& blocks) {
  return Join({{std::string("erase ") + type},
               Steps(101, "sleep 100"),
               {std::string("transfer ") + type, "sleep 100"},
               blocks});
}
inline Steps Blocks(int full, const std::string& tail) {
  Steps blocks(static_cast<size_t>(full), "block 4096");
  if (!tail.empty()) blocks.push_back(tail);
  return blocks;
}
inline const Steps kData1 = Image('p', Blocks(250, "block 128"));
inline const Steps kData2 = Image('t', Blocks(100, "block 128"));
inline const Steps kData3 = Image('f', Blocks(89, "block 3776"));
inline const Steps kAllImages = Join({kData1, kData2, kData3});
// The release: the leave-download-mode command and 2 s.
inline const Steps kRelease = {"leave", "sleep 2000"};
// After a verified download: the last position held 500 ms.
inline const Steps kFinalPause = {"sleep 500"};
// From the reopen on, everything that a good run does.
inline const Steps kSuccessTail = Join({kAllImages, kVersionReply, kRelease, kFinalPause});

// ---- The rows ----

// The timeline of each row of the outcome table, by the row's name; the rows made for each
// position of a version text are told by how they end. Null for a row that has none here.
inline std::optional<Steps> RowTimeline(const std::string& name, RunReason reason) {
  const Steps gate = StatusGate();
  const Steps refused = Join({gate, kModeSwitch, kVersionGate, kRelease});
  const Steps success = Join({gate, kModeSwitch, kVersionGate, kSuccessTail});
  const Steps forced = Join({kModeSwitch, kSuccessTail});
  const Steps imagesThenFail = Join({gate, kModeSwitch, kVersionGate, kAllImages});
  if (name.rfind("OffByOne", 0) == 0) return reason == RunReason::kSuccess ? success : refused;
  const std::map<std::string, Steps> rows = {
      {"Success", success},
      {"NoPrinter", {}},
      {"TwoPrintersOneOnEachDriverPath", {}},
      {"OpenFails", {}},
      {"StatusQueryFails", {"wake", "status 0", "sleep 50", "read 256 failed"}},
      // Busy: a request every 500 ms (each 50 ms before its reply) until 10 s have passed.
      {"BusyForMoreThanTenSeconds", StatusGate(20)},
      {"BusyForAWhileThenIdle", Join({StatusGate(7), kModeSwitch, kVersionGate, kSuccessTail})},
      {"PrintingUnit1", gate},
      {"PrintingUnit2WithSecondUnit", gate},
      {"PrintingUnit2IgnoredWithoutSecondUnit", success},
      {"ErrorUnit1", gate},
      {"ErrorUnit2WithSecondUnit", gate},
      {"PrintingAndInErrorAtOnce", gate},
      {"EnterDownloadModeNotWritten", Join({gate, {"enter failed"}})},
      {"ReopenFails", Join({gate, kModeSwitch})},
      {"SecondPrinterPluggedInDuringModeSwitch", Join({gate, kModeSwitch})},
      {"SecondPrinterPluggedInBehindAnIndexedOne", Join({gate, kModeSwitch})},
      {"NewDevicePathAfterModeSwitch", success},
      {"VersionRequestNotWritten", Join({gate, kModeSwitch, {"version failed"}, kRelease})},
      {"VersionReplyMalformed", Join({gate, kModeSwitch, kVersionReply, kRelease})},
      {"VersionReplyShort", Join({gate,
                                  kModeSwitch,
                                  {"version"},
                                  Steps(10, "sleep 100"),
                                  {"read 48 short 47"},
                                  kRelease})},
      {"AlreadyNewest", refused},
      {"NotApplicable", refused},
      {"NotApplicableJapaneseSmallCheckSum", refused},
      {"NotApplicableHostileVersionText", refused},
      // The second release finds the port closed: nothing reaches the printer, the wait repeats.
      {"LeaveNotWrittenAfterRefusal",
       Join({gate, kModeSwitch, kVersionGate, {"leave failed", "sleep 2000", "sleep 2000"}})},
      {"AcceptedOnFiveCharacters", success},
      {"AcceptedFirstEntry", success},
      {"ImageBuildFails", refused},
      {"EraseNotWrittenForData2",
       Join({gate, kModeSwitch, kVersionGate, kData1, {"erase t failed"}, kRelease})},
      {"TransferNotWritten", Join({gate,
                                   kModeSwitch,
                                   kVersionGate,
                                   kData1,
                                   kData2,
                                   {"erase f"},
                                   Steps(101, "sleep 100"),
                                   {"transfer f failed"},
                                   kRelease})},
      {"ShortBlockWrite",
       Join({gate, kModeSwitch, kVersionGate,
             Image('p', {"block 4096", "block 4096", "block 4096 short 100"}), kRelease})},
      {"FailedTailWrite", Join({gate, kModeSwitch, kVersionGate, kData1, kData2,
                                Image('f', Blocks(89, "block 3776 failed")), kRelease})},
      {"Data2Block7Fails",
       Join({gate, kModeSwitch, kVersionGate, kData1,
             Image('t', Join({Blocks(6, ""), {"block 4096 failed"}})), kRelease})},
      {"TimeBudgetExceededDuringBlock7",
       Join({gate, kModeSwitch, kVersionGate,
             Image('p', Join({Blocks(6, ""), {"sleep 120001", "block 4096"}})), kRelease})},
      // Verified, but the leave-download-mode command was not written: no last pause.
      {"LeaveNotWrittenAfterVerifiedDownload",
       Join({imagesThenFail, kVersionReply, {"leave failed", "sleep 2000"}})},
      {"BudgetReachedButNotExceeded",
       Join({gate, kModeSwitch, kVersionGate, kData1,
             Image('t', Join({Blocks(49, ""), {"sleep 120000"}, Blocks(51, "block 128")})), kData3,
             kVersionReply, kRelease, kFinalPause})},
      {"SlowTailIsNeverTimed",
       Join({gate, kModeSwitch, kVersionGate, kData1,
             Image('t', Join({Blocks(100, ""), {"sleep 200000", "block 128"}})), kData3,
             kVersionReply, kRelease, kFinalPause})},
      {"VerificationReadsData2CheckSumWrong", Join({imagesThenFail, kVersionReply, kRelease})},
      {"VerificationRequestNotWrittenInForceMode",
       Join({kModeSwitch, kAllImages, {"version failed"}, kRelease})},
      {"VerificationReplyUnreadable",
       Join({imagesThenFail, {"version"}, Steps(10, "sleep 100"), {"read 48 failed"}, kRelease})},
      {"ForceModeWithPrintingPrinter", forced},
      {"ForceModeSkipsTheVersionGate", forced},
      {"ShiftAloneIsNotForce", gate},
      {"KAloneIsNotForceAndIsNotLookedAt", gate},
  };
  const auto found = rows.find(name);
  if (found == rows.end()) return std::nullopt;
  return found->second;
}

// ---- The bars ----

// Every transfer and every sleep of a run in order, with the virtual time at which it ended.
struct TimedStep {
  std::string name;
  uint64_t at = 0;
  uint32_t sleepMs = 0;  // for a sleep
  bool sleep = false;
};

inline std::vector<TimedStep> TimedSteps(const std::vector<sim::TraceEntry>& trace,
                                         const std::vector<Sleep>& sleeps) {
  std::vector<TimedStep> steps;
  size_t s = 0;
  for (const auto& entry : trace) {
    const uint64_t at = static_cast<uint32_t>(entry.tick - kStartTick);
    while (s < sleeps.size() && sleeps[s].end <= at) {
      steps.push_back({"sleep", sleeps[s].end, sleeps[s].ms, true});
      ++s;
    }
    steps.push_back({TransferName(entry), at, 0, false});
  }
  for (; s < sleeps.size(); ++s) steps.push_back({"sleep", sleeps[s].end, sleeps[s].ms, true});
  return steps;
}

// The moments at which the bar of whatever window is open moves: after each step of a paced
// wait and after each block written whole within its image's budget.
inline std::vector<uint64_t> BarMoves(const std::vector<TimedStep>& steps) {
  std::vector<uint64_t> moves;
  std::string command;      // the last command written
  bool paused = false;      // the pause after an erase or transfer command has passed
  uint64_t blocksFrom = 0;  // when the image's budget started
  for (const TimedStep& step : steps) {
    if (!step.sleep) {
      const bool block = step.name.rfind("block ", 0) == 0;
      if (!block && step.name.rfind("read", 0) != 0) {
        command = step.name;
        paused = false;
      }
      // Written whole (no "short", no "failed"); a tail block is never timed, and a full block
      // after the budget ends the image with the bar where it was.
      const bool whole = block && step.name.find(' ', 6) == std::string::npos;
      if (whole && (step.name != "block 4096" || step.at - blocksFrom <= 120000))
        moves.push_back(step.at);
      continue;
    }
    const bool erase = command.rfind("erase ", 0) == 0;
    const bool transfer = command.rfind("transfer ", 0) == 0;
    if ((erase || transfer) && !paused && step.sleepMs == 100) {
      paused = true;  // the command's own pause
      if (transfer) blocksFrom = step.at;
      continue;
    }
    if ((command == "enter" && step.sleepMs == 50) ||
        (command == "version" && step.sleepMs == 100) || (erase && step.sleepMs == 100)) {
      moves.push_back(step.at);
    }
  }
  return moves;
}

// The expected duration of a window's estimate, by its caption.
inline uint32_t ExpectedDurationMs(const std::string& caption) {
  if (caption == "Initializing...") return 5000;
  if (caption == "Version Check...") return 1000;
  return 502 * 100;  // "Upgrade": the total time weight of the three images x 100 ms
}

inline void ExpectBarsFollowTime(const std::vector<std::shared_ptr<ProgressWindowRecord>>& windows,
                                 const std::vector<uint64_t>& moves) {
  for (size_t w = 0; w < windows.size(); ++w) {
    const ProgressWindowRecord& window = *windows[w];
    SCOPED_TRACE("progress window " + window.caption);
    if (!window.created) continue;
    const uint32_t duration = ExpectedDurationMs(window.caption);
    const uint64_t start = window.createdAt;
    auto share = [&](uint64_t at) { return static_cast<int32_t>((at - start) * 100 / duration); };
    // Where the bar should have moved: the moves while this window was open (a move at the
    // moment one window goes and the next opens belongs to the one that goes).
    std::vector<std::pair<int32_t, uint64_t>> expected = {{0, start}, {0, start}};
    for (const uint64_t at : moves) {
      const bool earlier = w > 0 && at <= windows[w - 1]->destroyedAt;
      if (at < start || at > window.destroyedAt || earlier) continue;
      if (share(at) < 100) expected.push_back({share(at), at});
    }
    // What it did: the positions that follow time, and the fixed ones (99, 100) after them.
    std::vector<std::pair<int32_t, uint64_t>> followed;
    std::vector<int32_t> fixed;
    for (size_t i = 0; i < window.positions.size(); ++i) {
      const int32_t p = window.positions[i];
      const uint64_t at = window.positionTimes[i];
      if (i < 2 || (fixed.empty() && p == share(at) && p < 100)) {
        followed.push_back({p, at});
      } else {
        fixed.push_back(p);
      }
    }
    EXPECT_EQ(followed, expected);
    const bool fixedEnd = fixed.empty() || fixed == std::vector<int32_t>{99} ||
                          fixed == std::vector<int32_t>{100} ||
                          fixed == (std::vector<int32_t>{99, 100});
    EXPECT_TRUE(fixedEnd) << testing::PrintToString(fixed);
  }
}

}  // namespace zmr::test
