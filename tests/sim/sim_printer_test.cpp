// SPDX-License-Identifier: MIT
// The simulated printer on the bus: mode switches and presence, busy, transfer faults and speed,
// the trace.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sim/sim_printer_fixture.h"

namespace zmr::sim {
namespace {

using test::BuildStream;
using test::Data1Records;
using test::EraseCommand;
using test::kEnter;
using test::kLeave;
using test::kVersion;
using test::kWake;
using test::SimPrinterTest;
using test::Status;
using test::ToolWrites;
using test::Transfer;

TEST_F(SimPrinterTest, ModeSwitchDropsThePrinterOffTheBusForAWhile) {
  config.reenumerationMs = 800;
  Make();
  const uint32_t connection = printer->Connection();
  ASSERT_TRUE(Send(kVersion));
  ASSERT_TRUE(Send(kEnter));
  EXPECT_EQ(printer->CurrentMode(), Mode::kDownload);
  EXPECT_FALSE(printer->IsPresent());
  EXPECT_FALSE(Send(kVersion));
  clock.Advance(799);
  EXPECT_FALSE(printer->IsPresent());
  clock.Advance(1);
  EXPECT_TRUE(printer->IsPresent());
  EXPECT_TRUE(Read(48).empty());  // the reply asked for before the switch is gone
  uint32_t done = 9;
  EXPECT_FALSE(printer->HostWrite(connection, kVersion.data(), 4, done));  // a stale handle
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(printer->HostWrite(printer->Connection(), kVersion.data(), 4, done));
  EXPECT_EQ(printer->Reenumerations(), 1u);

  config.reappears = false;
  printer->SetConfig(config);
  ASSERT_TRUE(Send(kLeave));
  clock.Advance(100000);
  EXPECT_FALSE(printer->IsPresent());
}

TEST_F(SimPrinterTest, BusyForTheConfiguredTimeAfterWake) {
  config.busyMs = 3000;
  Make();
  auto busy = [&] {
    EXPECT_TRUE(Send(Status('0')));
    const std::vector<uint8_t> reply = Read(256);
    EXPECT_EQ(reply.size(), 256u);
    return reply.size() == 256 && reply[5] == '@';
  };
  EXPECT_TRUE(busy());  // asleep until the wake command
  clock.Advance(100000);
  EXPECT_TRUE(busy());
  ASSERT_TRUE(Send(kWake));
  EXPECT_TRUE(busy());
  clock.Advance(2999);
  EXPECT_TRUE(busy());
  clock.Advance(1);
  EXPECT_FALSE(busy());

  config.staysBusy = true;
  printer->SetConfig(config);
  clock.Advance(1000000);
  EXPECT_TRUE(busy());

  config = PrinterConfig{};
  config.asleepUntilWake = false;
  Make();
  EXPECT_FALSE(busy());
}

TEST_F(SimPrinterTest, FaultsStrikeAtTheChosenTransfer) {
  // Nine blocks and a tail.
  const std::vector<uint8_t> stream = BuildStream({{0x00020000, std::vector<uint8_t>(40000, 1)}});
  const struct {
    const char* name;
    Fault fault;
    uint32_t failingWrite;  // 1-based write that goes wrong in the sequence below
    uint32_t moved;
  } cases[] = {
      // writes: 1 enter, 2 erase p, 3 transfer p, 4-13 blocks 1-10 of DATA1, 14 erase t
      {"nth write", Fault::FailWrite(2), 2, 0},
      {"write that begins with the erase of t", Fault::FailWriteStartingWith(EraseCommand('t')), 14,
       0},
      {"block 7 of DATA1", Fault::FailBlock('p', 7), 10, 0},
      {"short block 7 of DATA1", Fault::ShortBlock('p', 7, 1000), 10, 1000},
      {"block 2 of DATA2 (never sent)", Fault::FailBlock('t', 2), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    config.faults = {c.fault};
    Make();
    std::vector<std::vector<uint8_t>> writes = {kEnter, EraseCommand('p'), Transfer('p')};
    for (const auto& block : ToolWrites(stream)) writes.push_back(block);
    writes.push_back(EraseCommand('t'));
    for (uint32_t i = 0; i < writes.size(); ++i) {
      uint32_t done = 0;
      const bool ok =
          printer->HostWrite(writes[i].data(), static_cast<uint32_t>(writes[i].size()), done);
      const bool hit = i + 1 == c.failingWrite;
      EXPECT_EQ(ok && done == writes[i].size(), !hit) << "write " << i + 1;
      if (hit) {
        EXPECT_EQ(done, c.moved);
      }
      if (i == 0) clock.Advance(config.reenumerationMs);
    }
  }
}

TEST_F(SimPrinterTest, RepeatedFaultsAndReadFaults) {
  config.faults = {Fault::FailWrite(3).Always(), Fault::ShortRead(1, 10), Fault::FailRead(2)};
  Make();
  EXPECT_TRUE(Send(kVersion));
  EXPECT_TRUE(Send(kVersion));
  EXPECT_FALSE(Send(kVersion));
  EXPECT_FALSE(Send(kVersion));
  config.faults.erase(config.faults.begin());
  printer->SetConfig(config);
  EXPECT_EQ(VersionReply().size(), 10u);  // read 1
  EXPECT_TRUE(VersionReply().empty());    // read 2 fails
  EXPECT_EQ(VersionReply().size(), 48u);
  EXPECT_TRUE(Read(48).empty()) << "what a fault cut off is gone";
}

TEST_F(SimPrinterTest, CorruptedTransfersGoThroughButDoNotTake) {
  config.faults = {Fault::CorruptBlock('p', 1, 20), Fault::FailRead(1)};
  config.faults[1].effect = Fault::Effect::kCorrupt;
  config.faults[1].bytes = 2;
  Make();
  EnterDownloadMode();
  // Byte 20 is the first length byte of the second record: the stream runs on until the next
  // command comes.
  Download('p', BuildStream(Data1Records()));  // every write reported whole
  const std::vector<uint8_t> reply = VersionReply();
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
  ASSERT_EQ(reply.size(), 48u);
  EXPECT_EQ(reply[2], 0xFF);
  // What the host did after the printer garbled its bytes is not held against it.
  EXPECT_FALSE(Violations().empty());
  EXPECT_TRUE(ByHost(Violations()).empty()) << Describe(ByHost(Violations()).front());
}

TEST_F(SimPrinterTest, SlowBlocksAndTransferSpeedTakeClockTime) {
  config.bytesPerSecond = 200000;
  config.faults = {Fault::SlowFromBlock('p', 7, 121000)};
  Make();
  EnterDownloadMode();
  Erase('p', 10100);
  ASSERT_TRUE(Send(Transfer('p')));
  std::vector<uint64_t> elapsed;
  const std::vector<uint8_t> block(4096, 0);
  for (int i = 0; i < 8; ++i) {
    const uint64_t before = clock.ElapsedMs();
    ASSERT_TRUE(Send(block));
    elapsed.push_back(clock.ElapsedMs() - before);
  }
  // 4096 bytes at 200000 B/s is 20.48 ms: the fractions are carried, not lost.
  EXPECT_EQ(elapsed[0] + elapsed[1] + elapsed[2] + elapsed[3] + elapsed[4], 102u);
  EXPECT_GE(elapsed[6], 121000u);
  EXPECT_GE(elapsed[7], 121000u);
}

TEST_F(SimPrinterTest, TraceRecordsEveryTransfer) {
  trace.EnableMemory();
  clock.Advance(1234);
  ASSERT_TRUE(Send(kVersion));
  clock.Advance(1000);
  Read(48);
  std::vector<uint8_t> block(100, 0xAB);
  ASSERT_TRUE(Send(block));  // refused, but it went over the bus
  const std::vector<TraceEntry> entries = trace.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].tick, 1234u);
  EXPECT_EQ(entries[0].direction, 'W');
  EXPECT_EQ(entries[0].bytes, kVersion);
  EXPECT_EQ(entries[1].direction, 'R');
  EXPECT_EQ(entries[1].done, 48u);
  EXPECT_EQ(entries[2].bytes.size(), 16u);
  EXPECT_EQ(FormatTraceLine(entries[0], 1000), "234 W PIPE00 4 1b562300");
  EXPECT_EQ(FormatTraceLine(entries[2], 2234),
            "0 W PIPE00 100 abababababababababababababababab...");

  // Every byte, when asked; and a violation as a line of its own.
  trace.Reset();
  trace.EnableMemory(true);
  ASSERT_TRUE(Send(std::vector<uint8_t>(20, 0x01)));
  ASSERT_EQ(trace.Entries().size(), 1u);
  std::string hex;
  for (int i = 0; i < 20; ++i) hex += "01";
  EXPECT_EQ(FormatTraceLine(trace.Entries()[0], 2234, true), "0 W PIPE00 20 " + hex);
  const std::vector<Violation> violations = Violations();
  ASSERT_EQ(violations.size(), 2u);
  EXPECT_EQ(FormatViolationLine(violations[1], 2234),
            "0 VIOLATION command-write: a write of 20 bytes (0101010101010101...) where a command "
            "was due; a command is one write of 4 bytes");
}

// A printer that an interrupted update left behind: in download mode, awake and idle, its erased
// types reported from their memory (0xFF), the others as configured; the leave-download-mode
// command takes it back to normal mode, and an erase makes a type take a stream again.
TEST_F(SimPrinterTest, StartsLeftInDownloadModeWithTypesErased) {
  config.erasedInDownloadMode = "pf";
  config.busyMs = 1500;
  Make();
  EXPECT_EQ(printer->CurrentMode(), Mode::kDownload);
  EXPECT_TRUE(printer->IsPresent());
  ASSERT_TRUE(Send(Status('0')));
  const std::vector<uint8_t> status = Read(256);
  ASSERT_EQ(status.size(), 256u);
  EXPECT_EQ(status[4], 'D');
  EXPECT_EQ(status[5], 0x00) << "not busy";
  EXPECT_EQ(status[128 + 1], 0x00) << "not printing";
  EXPECT_EQ(status[128 + 3], 0x00) << "no error";

  const std::vector<uint8_t> reply = VersionReply();
  ASSERT_EQ(reply.size(), 48u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 6, reply.begin() + 12),
            std::vector<uint8_t>(6, 0xFF));
  EXPECT_EQ(reply[36], 0x00);
  EXPECT_EQ(reply[37], 0x00);
  EXPECT_EQ(std::string(reply.begin() + 12, reply.begin() + 18), config.data2Version);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 30, reply.begin() + 33),
            std::vector<uint8_t>(3, 0xFF));

  ASSERT_TRUE(Send(Transfer('p')));  // no erase since: refused, as after any mode switch
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
  ASSERT_TRUE(Send(kLeave));
  EXPECT_EQ(printer->CurrentMode(), Mode::kNormal);
  ASSERT_EQ(Violations().size(), 1u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kNoErase);
}

}  // namespace
}  // namespace zmr::sim
