// SPDX-License-Identifier: MIT
// What the programs' guard learns of download mode, and when: told before the enter-download-
// mode command goes out (so stop requests are held from its first byte), told again the moment
// it has gone out (before the 5 s that follow it), and told when it did not go out. Also how the
// record of a run tells, from the end of a log, that the run before was cut short.
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "sim_update_fixture.h"
#include "update/run_record.h"

namespace zmr {
namespace {

// Notes, at each call about download mode, what the printer had been sent and the time.
class WhenObserver final : public RunObserver {
 public:
  explicit WhenObserver(Clock& clock) : clock_(clock) {}
  void OnEnteringDownloadMode() override { Note("entering"); }
  void OnDownloadModeEntered() override { Note("entered"); }
  void OnDownloadModeNotEntered() override { Note("not entered"); }
  void OnReleased(bool) override { Note("released"); }

  struct Call {
    std::string what;
    std::string lastWrite;  // the name of the last write that reached the printer
    uint32_t tick;
  };
  std::vector<Call> calls;

 private:
  void Note(const std::string& what) {
    std::string last;
    for (const auto& entry : sim::SimBus::Instance().TraceEntries()) {
      if (entry.direction == 'W') last = test::TransferName(entry);
    }
    calls.push_back({what, last, clock_.TickCount()});
  }
  Clock& clock_;
};

using RunObserverTest = test::SimUpdateTest;

TEST_F(RunObserverTest, ToldBeforeAndAtTheEnterCommand) {
  const struct {
    const char* name;
    bool enterFails;
    std::vector<std::string> calls;  // what, after which write
  } cases[] = {
      {"written",
       false,
       {"entering after status 0", "entered after enter", "released after leave"}},
      {"not written", true, {"entering after status 0", "not entered after enter failed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config;
    if (c.enterFails) {
      config.printer.faults.push_back(
          sim::Fault::FailWriteStartingWith({command::kEsc, 'f', 'g', 0}));
    }
    config.trace = true;
    sim::SimBus::Instance().Reset(config, clock);
    WhenObserver when(clock);
    const test::FakeKeys keys(false, false);
    CUpdateProcedure procedure(view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(),
                                      platform::Language::English, EmbeddedImage, &when});
    procedure.OnDownload();
    std::vector<std::string> seen;
    for (const auto& call : when.calls) seen.push_back(call.what + " after " + call.lastWrite);
    EXPECT_EQ(seen, c.calls);
    // Told of the command with no wait between: the record's line is stamped at the command.
    ASSERT_GE(when.calls.size(), 2u);
    EXPECT_EQ(when.calls[1].tick, when.calls[0].tick);
    sim::SimBus::Instance().Clear();
  }
}

TEST(RunRecord, TellsAPreviousRecordWithoutOutcome) {
  const std::string head = "== 2025-03-14 09:26:53 +0100  zmr470-update-cli 1.2.0";
  const std::string started = "      0.000 s  run started\n";
  const std::string ended = "     40.400 s  outcome: 2024 \"Success!\"\n\n";
  const struct {
    const char* name;
    std::string tail;
    std::string unfinished;
  } cases[] = {
      {"empty log", "", ""},
      {"whole record", head + "\n" + started + ended, ""},
      {"cut record", head + "\n" + started, head},
      {"cut record after a whole one", head + "\n" + started + ended + head + "x\n" + started,
       head + "x"},
      {"whole record after a cut one", head + "\n" + started + head + "\n" + started + ended, ""},
      {"only a head", head, head},
      {"no record start in the tail", started, ""},
      {"an outcome only in a note", head + "\n      0.1 s  note: outcome: \n", head},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunRecord::UnfinishedRecord(c.tail), c.unfinished) << c.name;
  }
}

}  // namespace
}  // namespace zmr
