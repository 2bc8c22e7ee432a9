// SPDX-License-Identifier: MIT
// The simulated printer as a device: commands, replies, memory, record streams, faults, timing.
#include "sim/sim_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/sim/stream_builder.h"

namespace zmr::sim {
namespace {

using test::BuildStream;
using test::Bytes;
using test::ExpectedWordSum;
using test::Record;

const std::vector<uint8_t> kEnter = {0x1B, 'f', 'g', 0};
const std::vector<uint8_t> kLeave = {0x1B, 'f', 'r', 0};
const std::vector<uint8_t> kVersion = {0x1B, 'V', '#', 0};
const std::vector<uint8_t> kWake = {0x1B, 'E', 'W', 'U'};
std::vector<uint8_t> EraseCommand(char type) {
  return {0x1B, 'f', 'e', static_cast<uint8_t>(type)};
}
std::vector<uint8_t> Transfer(char type) {
  return {0x1B, 'f', 't', static_cast<uint8_t>(type)};
}
std::vector<uint8_t> Status(char type) {
  return {0x1B, 'V', '2', static_cast<uint8_t>(type)};
}

// A small DATA1 image: the version record at the base, some code, a stretch left unwritten.
std::vector<Record> Data1Records(const std::string& version = "316G21") {
  std::vector<uint8_t> code(300);
  for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 7 + 1);
  return {{0x00020000, Bytes(version)},
          {0x00020006, std::vector<uint8_t>(10, 0xFF)},
          {0x00020100, code},
          {0x000BFFF0, Bytes("316G21")}};
}

// A DATA1 image of three writes: two blocks and a tail.
std::vector<Record> LargeData1Records() {
  std::vector<uint8_t> code(9000);
  for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 13 + 5);
  return {{0x00020000, Bytes("316G21")}, {0x00020100, code}};
}

// Zero bytes after the last `tail` stream bytes of a write, up to the next multiple of 64.
std::vector<uint8_t> ZeroPadding(size_t tail) {
  return std::vector<uint8_t>(tail / 64 * 64 + 64 - tail, 0x00);
}

// The stream cut into writes of `chunk` bytes, the last one followed by `padding`.
std::vector<std::vector<uint8_t>> Writes(const std::vector<uint8_t>& stream, size_t chunk,
                                         const std::vector<uint8_t>& padding) {
  std::vector<std::vector<uint8_t>> writes;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    const size_t n = std::min(chunk, stream.size() - at);
    writes.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                        stream.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  writes.back().insert(writes.back().end(), padding.begin(), padding.end());
  return writes;
}

// As the tool sends an image: blocks of 4096, the tail zero-padded to the next multiple of 64.
std::vector<std::vector<uint8_t>> ToolWrites(const std::vector<uint8_t>& stream) {
  const size_t tail = stream.size() % 4096 == 0 ? 4096 : stream.size() % 4096;
  return Writes(stream, 4096, ZeroPadding(tail));
}

class SimPrinterTest : public ::testing::Test {
 public:  // the cases of a table drive it from outside
  void Make() { printer = std::make_unique<SimPrinter>(config, clock, &trace, 0); }
  void SetUp() override { Make(); }

  bool Send(const std::vector<uint8_t>& bytes) {
    uint32_t done = 0;
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    return printer->HostWrite(bytes.data(), n, done) && done == n;
  }
  bool SendAll(const std::vector<std::vector<uint8_t>>& writes) {
    for (const auto& write : writes) {
      if (!Send(write)) return false;
    }
    return true;
  }
  std::vector<uint8_t> Read(uint32_t length = 256) {
    std::vector<uint8_t> buffer(length, 0xEE);
    uint32_t done = 0;
    if (!printer->HostRead(buffer.data(), length, done)) done = 0;
    buffer.resize(done);
    return buffer;
  }
  void EnterDownloadMode() {
    ASSERT_TRUE(Send(kEnter));
    clock.Advance(config.reenumerationMs);
    ASSERT_TRUE(printer->IsPresent());
  }
  void Erase(char type, uint32_t waitMs) {
    ASSERT_TRUE(Send(EraseCommand(type)));
    clock.Advance(waitMs);
  }
  // As the tool does it: erase, the erase's time, transfer command, the stream in the tool's
  // writes.
  void Download(char type, const std::vector<uint8_t>& stream) {
    Erase(type, 10100);
    ASSERT_TRUE(Send(Transfer(type)));
    ASSERT_TRUE(SendAll(ToolWrites(stream)));
  }
  std::vector<uint8_t> VersionReply() {
    EXPECT_TRUE(Send(kVersion));
    clock.Advance(1000);
    return Read(48);
  }
  std::vector<Violation> Violations() const { return printer->Violations(); }

  VirtualClock clock;
  Trace trace;
  PrinterConfig config;
  std::unique_ptr<SimPrinter> printer;
};

TEST_F(SimPrinterTest, ReportsConfiguredVersionsUntilMemoryIsTouched) {
  config.data1Version = "316A25";
  config.data1CheckSum = 0x08A6;
  config.data3Version = "D1";  // shorter texts are padded with NUL
  Make();
  const std::vector<uint8_t> reply = VersionReply();
  ASSERT_EQ(reply.size(), 48u);
  EXPECT_EQ(reply[0], '#');
  EXPECT_EQ(reply[1], '.');
  EXPECT_EQ(reply[2], 0x00);
  EXPECT_EQ(std::string(reply.begin() + 6, reply.begin() + 12), "316A25");
  EXPECT_EQ(std::string(reply.begin() + 12, reply.begin() + 18), "318C20");
  EXPECT_EQ(std::string(reply.begin() + 30, reply.begin() + 33), std::string("D1\0", 3));
  EXPECT_EQ(reply[36], 0x08);
  EXPECT_EQ(reply[37], 0xA6);
  EXPECT_EQ(reply[38] << 8 | reply[39], config.data2CheckSum);
  EXPECT_EQ(reply[44] << 8 | reply[45], config.data3CheckSum);
  // An erase in normal mode does nothing, and is refused.
  ASSERT_TRUE(Send(EraseCommand('p')));
  EXPECT_EQ(printer->Versions().data1, "316A25");
  ASSERT_EQ(Violations().size(), 1u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kNotInDownloadMode);
}

TEST_F(SimPrinterTest, BadVersionHeaderWhenAsked) {
  config.badVersionHeader = true;
  Make();
  const std::vector<uint8_t> reply = VersionReply();
  ASSERT_EQ(reply.size(), 48u);
  EXPECT_EQ(reply[2], '0');
}

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

// The reads: the version reply is ready only a while after the request, and a read takes the
// whole reply.
TEST_F(SimPrinterTest, ReadsTooEarlyOrTooShortAreRefused) {
  config.versionReplyMs = 300;
  Make();
  // Nothing asked, nothing to read.
  EXPECT_TRUE(Read(48).empty());
  ASSERT_EQ(Violations().size(), 1u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kReadNothing);

  // Too early: nothing comes, and the reply stays for later.
  ASSERT_TRUE(Send(kVersion));
  clock.Advance(299);
  EXPECT_TRUE(Read(48).empty());
  ASSERT_EQ(Violations().size(), 2u);
  EXPECT_EQ(Violations()[1].kind, ViolationKind::kReadEarly);
  EXPECT_EQ(Violations()[1].tick, clock.TickCount());
  clock.Advance(1);
  const std::vector<uint8_t> whole = Read(48);
  ASSERT_EQ(whole.size(), 48u);
  EXPECT_EQ(whole[0], '#');
  EXPECT_EQ(Violations().size(), 2u);

  // Too short: the first bytes come, the rest stays in the pipe for the next read.
  ASSERT_TRUE(Send(kVersion));
  clock.Advance(300);
  const std::vector<uint8_t> first = Read(20);
  ASSERT_EQ(first.size(), 20u);
  ASSERT_EQ(Violations().size(), 3u);
  EXPECT_EQ(Violations()[2].kind, ViolationKind::kShortRead);
  const std::vector<uint8_t> rest = Read(48);
  ASSERT_EQ(rest.size(), 28u);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), whole.begin()));
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.begin() + 20));
  EXPECT_TRUE(Read(48).empty());  // used up
  EXPECT_EQ(Violations().size(), 4u);

  // A read for more than the reply is no violation: the reply ends the transfer.
  ASSERT_TRUE(Send(Status('1')));
  EXPECT_EQ(Read(256).size(), 192u);
  EXPECT_EQ(Violations().size(), 4u);
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

TEST_F(SimPrinterTest, StatusReplyPerTypeAndUnit) {
  config.unit1Printing = true;
  config.unit2Error = true;
  config.secondUnit = true;
  Make();
  const struct {
    char type;
    size_t length;
    int printingAt;  // offset of a unit block's bytes 0-1 that must be nonzero, -1 none
    int errorAt;     // offset of a unit block's byte 3 that must be nonzero, -1 none
  } cases[] = {{'0', 256, 128, 195}, {'1', 192, 128, -1}, {'2', 192, -1, 131}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    ASSERT_TRUE(Send(Status(c.type)));
    const std::vector<uint8_t> reply = Read(256);
    ASSERT_EQ(reply.size(), c.length);
    EXPECT_EQ(reply[0], 0xE4);
    EXPECT_EQ(reply[1], 'V');
    EXPECT_EQ(reply[2], '2');
    EXPECT_EQ(reply[3], c.type);
    EXPECT_EQ(reply[33], 0x80);
    for (size_t block = 128; block < reply.size(); block += 64) {
      const bool printing = reply[block] << 8 | reply[block + 1];
      EXPECT_EQ(printing, static_cast<int>(block) == c.printingAt) << block;
      EXPECT_EQ(reply[block + 3] != 0, static_cast<int>(block + 3) == c.errorAt) << block;
    }
  }
  ASSERT_TRUE(Send(Status('3')));
  EXPECT_TRUE(Read(256).empty());
  ASSERT_EQ(Violations().size(), 2u);
  EXPECT_EQ(Violations()[0].kind, ViolationKind::kUnknownCommand);
  EXPECT_EQ(Violations()[1].kind, ViolationKind::kReadNothing);
}

TEST_F(SimPrinterTest, MalformedStatusReplies) {
  config.wrongStatusType = true;
  config.statusShortBy = 16;
  Make();
  ASSERT_TRUE(Send(Status('0')));
  const std::vector<uint8_t> reply = Read(256);
  ASSERT_EQ(reply.size(), 240u);
  EXPECT_NE(reply[3], '0');
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

}  // namespace
}  // namespace zmr::sim
