// SPDX-License-Identifier: MIT
// The simulated printer's record-stream receiver and memory: images that take, what the printer
// refuses, erases, versions computed from memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sim/sim_printer_fixture.h"

namespace zmr::sim {
namespace {

using test::BuildStream;
using test::Bytes;
using test::Data1Records;
using test::EraseCommand;
using test::ExpectedWordSum;
using test::kLeave;
using test::LargeData1Records;
using test::Record;
using test::SimPrinterTest;
using test::Status;
using test::ToolWrites;
using test::Transfer;
using test::Writes;
using test::ZeroPadding;

TEST_F(SimPrinterTest, ImageSentAsTheToolSendsItTakes) {
  for (const auto& records : {Data1Records(), LargeData1Records()}) {
    Make();
    EnterDownloadMode();
    const std::vector<uint8_t> stream = BuildStream(records);
    SCOPED_TRACE(stream.size());
    Download('p', stream);
    EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kAccepted);
    EXPECT_EQ(printer->ReadMemory(0x00020000, 6), Bytes("316G21"));
    EXPECT_EQ(printer->ReadMemory(0x000200F0, 2), std::vector<uint8_t>({0xFF, 0xFF}));
    const uint16_t expected = ExpectedWordSum(0x00020000, 0xA0000, records);
    const std::vector<uint8_t> reply = VersionReply();  // a command again after the padding
    ASSERT_EQ(reply.size(), 48u);
    EXPECT_EQ(std::string(reply.begin() + 6, reply.begin() + 12), "316G21");
    EXPECT_EQ(reply[36] << 8 | reply[37], expected);
    EXPECT_EQ(printer->WordSum('p'), expected);
    EXPECT_TRUE(Violations().empty()) << Describe(Violations().front());
  }
}

// What the printer refuses: each case breaks one rule of the exchange, once, on a printer in
// download mode that would otherwise take a DATA1 image. The violation is recorded with its
// reason and time, and the printer's memory and replies show the refusal.
TEST_F(SimPrinterTest, RefusesWhatARealPrinterRefuses) {
  // What DATA1's memory holds afterwards.
  enum Memory { kAsItWas, kErased, kEarlierImage };
  struct Case {
    const char* name;
    void (*run)(SimPrinterTest&, const std::vector<uint8_t>& stream);
    ViolationKind kind;
    Memory memory;
  };
  using T = SimPrinterTest;
  using W = std::vector<std::vector<uint8_t>>;
  const Case cases[] = {
      {"no erase before the transfer",
       [](T& t, const auto& stream) {
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kNoErase, kAsItWas},
      {"an erase of another data type",
       [](T& t, const auto& stream) {
         t.Erase('t', 10100);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kNoErase, kAsItWas},
      {"an erase used up by an earlier transfer",
       [](T& t, const auto& stream) {
         t.Download('p', stream);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kNoErase, kEarlierImage},
      {"a transfer while the erase runs",
       [](T& t, const auto& stream) {
         t.Erase('p', 2999);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kEraseRunning, kErased},
      {"padding of 0xFF",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         const size_t tail = stream.size() % 4096;
         ASSERT_TRUE(t.SendAll(Writes(stream, 4096, std::vector<uint8_t>(64 - tail % 64, 0xFF))));
       },
       ViolationKind::kPadding, kErased},
      {"one byte of 0x55 in the padding",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         std::vector<uint8_t> padding = ZeroPadding(stream.size() % 4096);
         padding.back() = 0x55;
         ASSERT_TRUE(t.SendAll(Writes(stream, 4096, padding)));
       },
       ViolationKind::kPadding, kErased},
      {"no padding",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(Writes(stream, 4096, {})));
       },
       ViolationKind::kPadding, kErased},
      {"padding to a length that is no multiple of 64",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(Writes(stream, 4096, std::vector<uint8_t>(10, 0x00))));
       },
       ViolationKind::kPadding, kErased},
      {"padding beyond the next multiple of 64, to 4096",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         const size_t tail = stream.size() % 4096;
         ASSERT_TRUE(t.SendAll(Writes(stream, 4096, std::vector<uint8_t>(4096 - tail, 0x00))));
       },
       ViolationKind::kPadding, kErased},
      {"the image in one write",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(Writes(stream, stream.size(), ZeroPadding(stream.size()))));
       },
       ViolationKind::kBlockSize, kErased},
      {"blocks of 1024 bytes",
       [](T& t, const auto& stream) {
         t.Erase('p', 3000);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(Writes(stream, 1024, ZeroPadding(stream.size() % 1024))));
       },
       ViolationKind::kBlockSize, kErased},
      {"the erase command split across two writes",
       [](T& t, const auto& stream) {
         const std::vector<uint8_t> erase = EraseCommand('p');
         ASSERT_TRUE(
             t.SendAll(W{{erase.begin(), erase.begin() + 2}, {erase.begin() + 2, erase.end()}}));
         t.clock.Advance(10100);
         ASSERT_TRUE(t.Send(Transfer('p')));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kCommandWrite, kAsItWas},
      {"the transfer command after a stray byte in the same write",
       [](T& t, const auto& stream) {
         t.Erase('p', 10100);
         std::vector<uint8_t> transfer = Transfer('p');
         transfer.insert(transfer.begin(), 0x00);
         ASSERT_TRUE(t.Send(transfer));
         ASSERT_TRUE(t.SendAll(ToolWrites(stream)));
       },
       ViolationKind::kCommandWrite, kErased},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config = PrinterConfig{};
    Make();
    EnterDownloadMode();
    clock.Advance(1234);
    const std::vector<Record> records = LargeData1Records();
    const uint32_t before = clock.TickCount();
    c.run(*this, BuildStream(records));

    const std::vector<Violation> violations = Violations();
    ASSERT_FALSE(violations.empty());
    EXPECT_EQ(violations[0].kind, c.kind) << Describe(violations[0]);
    EXPECT_FALSE(violations[0].reason.empty());
    EXPECT_GE(violations[0].tick, before);
    EXPECT_FALSE(violations[0].afterFault);
    // The image did not take: DATA1's memory is as it was, or as the erase left it.
    EXPECT_NE(printer->LastStream('p'), StreamOutcome::kAccepted);
    EXPECT_EQ(printer->ReadMemory(0x00020100, 4) == std::vector<uint8_t>(4, 0xFF),
              c.memory != kEarlierImage);
    const std::vector<uint8_t> reply = VersionReply();
    ASSERT_EQ(reply.size(), 48u);
    const std::string version(reply.begin() + 6, reply.begin() + 12);
    EXPECT_EQ(version, c.memory == kAsItWas  ? std::string("316B20")
                       : c.memory == kErased ? std::string(6, '\xFF')
                                             : std::string("316G21"));
  }
}

// The faults that make a transfer fail on the printer's side, without the host doing wrong.
TEST_F(SimPrinterTest, RefusedTransferAndSlowEraseAreFaultsNotViolations) {
  config.refusedTransfers = "p";
  config.eraseMs = 12000;
  Make();
  EnterDownloadMode();
  const std::vector<uint8_t> stream = BuildStream(Data1Records());
  Erase('p', 12000);
  ASSERT_TRUE(Send(Transfer('p')));
  ASSERT_TRUE(SendAll(ToolWrites(stream)));
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
  EXPECT_EQ(printer->ReadMemory(0x00020100, 1), std::vector<uint8_t>{0xFF});
  EXPECT_TRUE(Violations().empty());
  // The tool's 10.1 s are too short for this erase.
  Download('t', BuildStream({{0x000F0000, Bytes("xxxxxx")}}));
  ASSERT_EQ(Violations().size(), 1u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kEraseRunning);
  // The printer reports busy while it erases.
  config.asleepUntilWake = false;
  printer->SetConfig(config);
  ASSERT_TRUE(Send(EraseCommand('f')));
  ASSERT_TRUE(Send(Status('0')));
  EXPECT_EQ(Read(256).at(5), '@');
  clock.Advance(12000);
  ASSERT_TRUE(Send(Status('0')));
  EXPECT_EQ(Read(256).at(5), 0x00);
}

TEST_F(SimPrinterTest, VersionsOfEachTypeComeFromTheirVersionRecords) {
  EnterDownloadMode();
  const std::vector<Record> data2 = {{0x000F0000, Bytes("xxxxxx")}, {0x0012FFF0, Bytes("318C21")}};
  const std::vector<Record> data3 = {{0x00170000, Bytes("317D11")}};
  Download('t', BuildStream(data2));
  Download('f', BuildStream(data3));
  const ReportedVersions v = printer->Versions();
  EXPECT_EQ(v.data2, "318C21");
  EXPECT_EQ(v.data2CheckSum, ExpectedWordSum(0x000F0000, 0x40000, data2));
  EXPECT_EQ(v.data3, "D11");
  EXPECT_EQ(v.data3CheckSum, ExpectedWordSum(0x00170000, 0x40000, data3));
  EXPECT_EQ(v.data1, "316B20");  // not touched
}

TEST_F(SimPrinterTest, BrokenStreamsDoNotTake) {
  const std::vector<Record> good = Data1Records();
  const uint16_t erasedSum = ExpectedWordSum(0x00020000, 0xA0000, {});
  std::vector<uint8_t> badKind = BuildStream(good);
  badKind[0] = 'p';
  std::vector<uint8_t> zeroLength = BuildStream({{0x00020000, {}}});
  std::vector<uint8_t> noEnd = BuildStream(good);
  noEnd.back() = 'X';
  const struct {
    const char* name;
    std::vector<uint8_t> stream;
  } cases[] = {
      {"wrong sum", BuildStream(good, 1)},
      {"record below the range", BuildStream({{0x0001FFFF, {1, 2}}})},
      {"record past the range", BuildStream({{0x000BFFFF, {1, 2}}})},
      {"record of another type's range", BuildStream({{0x000F0000, {1}}})},
      {"bad kind byte", badKind},
      {"zero length", zeroLength},
      {"no end mark", noEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Make();
    EnterDownloadMode();
    Download('p', BuildStream(good));  // an earlier good image is erased first
    Download('p', c.stream);
    EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
    ASSERT_EQ(Violations().size(), 1u);
    EXPECT_EQ(Violations()[0].kind, ViolationKind::kStream) << Describe(Violations()[0]);
    EXPECT_EQ(printer->Versions().data1CheckSum, erasedSum);
    EXPECT_NE(printer->Versions().data1CheckSum, ExpectedWordSum(0x00020000, 0xA0000, good));
    EXPECT_EQ(printer->ReadMemory(0x00020100, 1), std::vector<uint8_t>({0xFF}));
    // The printer still takes commands written on their own.
    ASSERT_TRUE(Send(kLeave));
    EXPECT_EQ(printer->CurrentMode(), Mode::kNormal);
  }
}

TEST_F(SimPrinterTest, CommandWrittenAloneCutsOffAnUnfinishedTransfer) {
  EnterDownloadMode();
  const std::vector<uint8_t> stream = BuildStream(LargeData1Records());
  Erase('p', 10100);
  ASSERT_TRUE(Send(Transfer('p')));
  ASSERT_TRUE(Send(std::vector<uint8_t>(stream.begin(), stream.begin() + 4096)));
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kReceiving);
  ASSERT_TRUE(Send(kLeave));
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
  EXPECT_TRUE(Violations().empty()) << "a host may give up on a transfer";
  EXPECT_EQ(printer->CurrentMode(), Mode::kNormal);
  EXPECT_FALSE(printer->IsPresent());
}

TEST_F(SimPrinterTest, TransferOutsideDownloadModeStoresNothing) {
  Send(Transfer('p'));
  ASSERT_TRUE(SendAll(ToolWrites(BuildStream(Data1Records()))));
  ASSERT_EQ(Violations().size(), 1u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kNotInDownloadMode);
  EXPECT_EQ(printer->ReadMemory(0x00020000, 1), std::vector<uint8_t>({0xFF}));
  EXPECT_EQ(printer->Versions().data1, "316B20");
  EXPECT_EQ(VersionReply().size(), 48u);  // and it went back to reading commands
}

}  // namespace
}  // namespace zmr::sim
