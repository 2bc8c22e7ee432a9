// SPDX-License-Identifier: MIT
// Sessions of the simulated printer recorded with its full trace and played back with
// SimConfig::replayFile: the same tool ends the same way with no divergence, a tool changed in one
// detail shows where, and a recording that is not one is refused with the line that is wrong.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "replay_fixture.h"
#include "sim/recording.h"
#include "update/string_table.h"

namespace zmr::test {
namespace {

// Drops the notes a replay of a correct tool cannot repeat: the recorded printer's complaints.
std::string WithoutViolations(const std::string& text) {
  std::string kept;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(" VIOLATION ") == std::string::npos) kept += line + "\n";
  }
  return kept;
}

struct Session {
  const char* name;
  const char* settings;  // ZMR470_SIM
  uint32_t message;
};

// The outcomes of the terminal tool's table and the ways to the printer.
const Session kSessions[] = {
    {"Success", "", IDS_SUCCESS},
    {"NotApplicable", "data1=316D20:1A2B", IDS_NOT_APPLICABLE},
    {"TimeBudget", "slow=p1:120001", IDS_TIME_OUT},
    {"ShortWrite", "shortwrite=t5:1000", IDS_FAILED},
    {"VerificationMismatch", "corruptwrite=t3", IDS_FAILED},
    {"NoPrinter", "listed=0", IDS_NOT_CONNECTED},
    {"TwoPrinters", "listed=1 indexed=1", IDS_TWO_PRINTERS},
    {"ByIndex", "listed=0 indexed=1 reenum=2500", IDS_SUCCESS},
    {"NewPathAfterTheSwitch", "newpath others=2", IDS_SUCCESS},
    {"NeverBackAfterTheSwitch", "fault=reopen", IDS_NOT_CONNECTED},
    {"StillBusy", "busy=forever", IDS_FAILED},
    {"ReplyLost", "failread=2", IDS_FAILED},
};

TEST_F(ReplayTest, ARecordedSessionReplaysWithTheSameOutcomeAndNoDivergence) {
  for (const Session& session : kSessions) {
    SCOPED_TRACE(session.name);
    const std::string recording = TempFile(std::string(session.name) + ".rec");
    const std::string replayed = TempFile(std::string(session.name) + ".replay");
    const Outcome recorded = Record(session.settings, recording);
    ASSERT_EQ(recorded.message, session.message) << recorded;

    EXPECT_EQ(Press(ReplayOf(recording, replayed)), recorded);
    EXPECT_EQ(problem_, "");
    const std::string trace = ReadText(replayed);
    EXPECT_EQ(LinesWith(trace, " DIVERGE "), std::vector<std::string>());
    // Every transfer and lookup again, at the same time: the replay's own recording is the one
    // it played.
    EXPECT_EQ(trace, WithoutViolations(ReadText(recording)));
    std::remove(recording.c_str());
    std::remove(replayed.c_str());
  }
}

// ---- A tool changed in one detail ----

// What the changed tool does to its writes on their way to the printer; false leaves one out.
struct Change {
  std::function<bool(std::vector<uint8_t>& bytes)> onWrite;
};
Change* g_change = nullptr;

class ChangedPipe final : public driver_api::Channel {
 public:
  explicit ChangedPipe(driver_api::ChannelHandle inner) : inner_(inner) {}
  ~ChangedPipe() override { driver_api::CloseHandle(inner_); }
  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    return driver_api::ReadHandle(inner_, buffer, length, &done);
  }
  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    std::vector<uint8_t> bytes(buffer, buffer + length);
    if (!g_change->onWrite(bytes)) {
      done = length;
      return true;
    }
    return driver_api::WriteHandle(inner_, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                   &done);
  }

 private:
  driver_api::ChannelHandle inner_;
};

driver_api::ChannelHandle Wrap(driver_api::ChannelHandle handle) {
  if (handle == driver_api::kInvalidHandle) return handle;
  return driver_api::RegisterChannel(std::make_unique<ChangedPipe>(handle));
}
intptr_t ZMR_DRIVER_CALL ChangedOpenBulk3(const char* pipe, const char* path) {
  return Wrap(UsbOpenBulk3(pipe, path));
}
intptr_t ZMR_DRIVER_CALL ChangedOpenBulk(const char* pipe, int index) {
  return Wrap(UsbOpenBulk(pipe, index));
}

// The changed tool's clock: while `skipping`, its waits take no time.
class ChangedClock final : public Clock {
 public:
  explicit ChangedClock(VirtualClock& clock) : clock_(clock) {}
  uint32_t TickCount() override { return clock_.TickCount(); }
  void Sleep(uint32_t ms) override {
    if (!skipping) clock_.Sleep(ms);
  }
  bool skipping = false;

 private:
  VirtualClock& clock_;
};

bool Is(const std::vector<uint8_t>& bytes, std::vector<uint8_t> command) {
  return bytes == command;
}
const std::vector<uint8_t> kTransferData1 = {0x1B, 'f', 't', 'p'};
const std::vector<uint8_t> kEraseData2 = {0x1B, 'f', 'e', 't'};
const std::vector<uint8_t> kTransferData2 = {0x1B, 'f', 't', 't'};
const std::vector<uint8_t> kVersionRequest = {0x1B, 'V', '#', 0x00};
const std::vector<uint8_t> kWake = {0x1B, 'E', 'W', 'U'};

// The number of the first recorded write, from 1 and counting reads, for which `match` holds;
// `match` sees the writes in order and may keep state.
uint32_t RecordedNumber(const sim::Recording& recording,
                        const std::function<bool(const std::vector<uint8_t>&)>& match) {
  for (size_t i = 0; i < recording.transfers.size(); ++i) {
    const sim::RecordedTransfer& t = recording.transfers[i];
    if (t.direction == 'W' && match(t.bytes)) return static_cast<uint32_t>(i + 1);
  }
  return 0;
}

TEST_F(ReplayTest, AToolChangedInOneDetailDivergesAtThatTransfer) {
  const std::string recording = TempFile("changed.rec");
  const Outcome recorded = Record("", recording);
  ASSERT_EQ(recorded.message, IDS_SUCCESS);
  sim::Recording parsed;
  std::string error;
  ASSERT_TRUE(sim::LoadRecording(recording, parsed, error)) << error;

  struct Case {
    const char* name;
    // Makes the change, given the tool's clock; and finds the recorded write it concerns.
    std::function<bool(std::vector<uint8_t>&, ChangedClock&)> change;
    std::function<bool(const std::vector<uint8_t>&)> concerns;
    const char* divergence;
  };
  // The last block of DATA1: the first write after its transfer command that is no full block.
  auto lastBlockOfData1 = [] {
    return [inData1 = false](const std::vector<uint8_t>& bytes) mutable {
      if (bytes.size() == 4) inData1 = Is(bytes, kTransferData1);
      return inData1 && bytes.size() != 4 && bytes.size() < 4096;
    };
  };
  const Case cases[] = {
      {"another padding byte",
       [tail = lastBlockOfData1()](std::vector<uint8_t>& bytes, ChangedClock&) mutable {
         if (tail(bytes)) bytes.back() = 0x01;
         return true;
       },
       lastBlockOfData1(), ": 01, the recording has 00 (1 byte differs)"},
      {"no wait after the erase of DATA2",
       [](std::vector<uint8_t>& bytes, ChangedClock& clock) {
         clock.skipping = Is(bytes, kEraseData2);
         return true;
       },
       [](const std::vector<uint8_t>& bytes) { return Is(bytes, kTransferData2); },
       "came 0 ms after the transfer before it; the recording 10100 ms"},
      {"another command",
       [first = true](std::vector<uint8_t>& bytes, ChangedClock&) mutable {
         if (first && Is(bytes, kVersionRequest)) bytes[2] = '$', first = false;
         return true;
       },
       [](const std::vector<uint8_t>& bytes) { return Is(bytes, kVersionRequest); },
       "a write of 4 bytes differs at byte 2: 24, the recording has 23"},
      {"the wake command left out",
       [](std::vector<uint8_t>& bytes, ChangedClock&) { return !Is(bytes, kWake); },
       [](const std::vector<uint8_t>& bytes) { return Is(bytes, kWake); },
       "the write of 4 bytes 1b455755 recorded here was not made"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    ChangedClock toolClock(clock);
    Change change{[&](std::vector<uint8_t>& bytes) { return c.change(bytes, toolClock); }};
    g_change = &change;
    CDriverLibrary loaded;
    BindSimLoaded(loaded);
    loaded.UsbOpenBulk = ChangedOpenBulk;
    const ImportedDriver imported{UsbGetDeviceNum, UsbGetDeviceInfo, ChangedOpenBulk3};
    const std::string replayed = TempFile("changed.replay");

    const Outcome outcome =
        Press(ReplayOf(recording, replayed), clock, toolClock, imported, loaded);
    g_change = nullptr;

    EXPECT_EQ(outcome.message, recorded.message) << "the replay goes on as recorded";
    const uint32_t number = RecordedNumber(parsed, c.concerns);
    ASSERT_NE(number, 0u);
    const std::vector<std::string> divergences = LinesWith(ReadText(replayed), " DIVERGE ");
    ASSERT_EQ(divergences.size(), 1u) << testing::PrintToString(divergences);
    EXPECT_NE(divergences[0].find(" DIVERGE " + std::to_string(number) + " "), std::string::npos)
        << divergences[0];
    EXPECT_NE(divergences[0].find(c.divergence), std::string::npos) << divergences[0];
    std::remove(replayed.c_str());
  }
  std::remove(recording.c_str());
}

// ---- Recordings that are not ----

TEST_F(ReplayTest, ARecordingThatIsNotOneIsRefusedWithItsLine) {
  const std::string recording = TempFile("bad.rec");
  ASSERT_EQ(Record("data1=316D20:1A2B", recording).message, IDS_NOT_APPLICABLE);
  const std::string whole = ReadText(recording);
  std::remove(recording.c_str());
  // Cut in the middle of its last transfer's bytes.
  const size_t lastBytes = whole.rfind(" R PIPE01 48 ") + 20;
  const std::string cut = whole.substr(0, lastBytes);
  const std::string cutLine =
      "line " + std::to_string(std::count(cut.begin(), cut.end(), '\n') + 1) + ": ";

  struct Case {
    const char* name;
    std::string text;
    std::string error;  // the start of the message
  };
  const Case cases[] = {
      {"cut short", cut, cutLine + "the file ends in the middle of this line"},
      {"not hexadecimal", "0 LIST 1\n12 W PIPE00 4 1b5623zz\n",
       "line 2: 'zz' at byte 3 is not hexadecimal"},
      {"not a line of a recording", "# a note\n0 LIST 1\n5 HELLO\n",
       "line 3: 'HELLO' is not a kind of line"},
      {"a reply longer than its read", "5 R PIPE01 4 0102030405\n",
       "line 1: a reply of 5 bytes to a read of 4: longer than the read allows"},
      {"a plain trace", "0 W PIPE00 100 abababababababababababababababab...\n",
       "line 1: only the first 16 bytes are in this line"},
      {"a write with bytes missing", "0 W PIPE00 8 01020304\n",
       "line 1: a write of 8 bytes shows 4"},
      {"a read short of what it says", "0 R PIPE01 48 0102 short 3\n",
       "line 1: short 3 with 2 bytes"},
      {"two sessions", "10 LIST 1\n5 LIST 1\n", "line 2: its time 5 ms is before the line above"},
      {"a bad escape", "0 DEVICE 0 USB%G1 p\n", "line 1: 'USB%G1' is not a device ID"},
      {"a word too many", "0 CONTROL 0 ok twice\n", "line 1: unexpected 'twice' at its end"},
      {"an error that is no name", std::string("0 R PIPE01 4 - failed A\0B\n", 26),
       "line 1: 'A?B' is not the name of an error"},
      {"a number too large", "99999999999 LIST 1\n", "line 1: '99999999999' is not a time in ms"},
      {"nothing recorded", "# only a note\n\n", "it holds no line of a recording"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Recording parsed;
    std::string error;
    EXPECT_FALSE(sim::ParseRecording(c.text, parsed, error));
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    EXPECT_TRUE(parsed.transfers.empty() && parsed.calls.empty());
  }

  // Played, the replay does not start: it says why, and the bus has no printer.
  std::ofstream(recording, std::ios::binary) << cut;
  const Outcome outcome = Press(ReplayOf(recording, TempFile("bad.replay")));
  EXPECT_EQ(outcome.message, IDS_NOT_CONNECTED);
  EXPECT_NE(problem_.find(recording + ": " + cutLine), std::string::npos) << problem_;
  EXPECT_EQ(Press(ReplayOf(TempFile("no-such.rec"), TempFile("bad.replay"))).message,
            IDS_NOT_CONNECTED);
  EXPECT_NE(problem_.find("cannot be read"), std::string::npos) << problem_;
  std::remove(recording.c_str());
  std::remove(TempFile("bad.replay").c_str());
}

// What the reader takes in, it writes out the same way: the two sides of one format.
TEST_F(ReplayTest, ARecordingReadsBackAsItWasWritten) {
  const std::string recording = TempFile("format.rec");
  ASSERT_EQ(Record("newpath others=1 shortwrite=t5:1000", recording).message, IDS_FAILED);
  sim::Recording parsed;
  std::string error;
  ASSERT_TRUE(sim::LoadRecording(recording, parsed, error)) << error;
  EXPECT_EQ(sim::FormatRecording(parsed), WithoutViolations(ReadText(recording)));
  std::remove(recording.c_str());
}

}  // namespace
}  // namespace zmr::test
