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
std::vector<uint8_t> Erase(char type) {
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

class SimPrinterTest : public ::testing::Test {
 protected:
  void Make() { printer = std::make_unique<SimPrinter>(config, clock, &trace, 0); }
  void SetUp() override { Make(); }

  bool Send(const std::vector<uint8_t>& bytes, size_t chunk = 0) {
    if (chunk == 0) chunk = std::max<size_t>(bytes.size(), 1);
    for (size_t at = 0; at < bytes.size(); at += chunk) {
      const uint32_t n = static_cast<uint32_t>(std::min(chunk, bytes.size() - at));
      uint32_t done = 0;
      if (!printer->HostWrite(bytes.data() + at, n, done) || done != n) return false;
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
  // Erase, transfer command, the stream in writes of `chunk` bytes, zero padding to 64.
  void Download(char type, std::vector<uint8_t> stream, size_t chunk = 4096) {
    ASSERT_TRUE(Send(Erase(type)));
    ASSERT_TRUE(Send(Transfer(type)));
    stream.resize((stream.size() / 64 + 1) * 64, 0x00);
    ASSERT_TRUE(Send(stream, chunk));
  }
  std::vector<uint8_t> VersionReply() {
    EXPECT_TRUE(Send(kVersion));
    return Read(48);
  }

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
  // An erase in normal mode does nothing.
  ASSERT_TRUE(Send(Erase('p')));
  EXPECT_EQ(printer->Versions().data1, "316A25");
}

TEST_F(SimPrinterTest, BadVersionHeaderWhenAsked) {
  config.badVersionHeader = true;
  Make();
  const std::vector<uint8_t> reply = VersionReply();
  ASSERT_EQ(reply.size(), 48u);
  EXPECT_EQ(reply[2], '0');
}

TEST_F(SimPrinterTest, StreamLandsInMemoryWhateverTheWriteSizes) {
  const std::vector<Record> records = Data1Records();
  const uint16_t expected = ExpectedWordSum(0x00020000, 0xA0000, records);
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{64}, size_t{4096}}) {
    SCOPED_TRACE(chunk);
    Make();
    EnterDownloadMode();
    Download('p', BuildStream(records), chunk);
    EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kAccepted);
    EXPECT_EQ(printer->ReadMemory(0x00020100, 3), std::vector<uint8_t>({1, 8, 15}));
    EXPECT_EQ(printer->ReadMemory(0x000200F0, 2), std::vector<uint8_t>({0xFF, 0xFF}));
    const std::vector<uint8_t> reply = VersionReply();  // follows the zero padding
    ASSERT_EQ(reply.size(), 48u);
    EXPECT_EQ(std::string(reply.begin() + 6, reply.begin() + 12), "316G21");
    EXPECT_EQ(reply[36] << 8 | reply[37], expected);
    EXPECT_EQ(printer->WordSum('p'), expected);
  }
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
  const std::vector<uint8_t> stream = BuildStream(Data1Records());
  ASSERT_TRUE(Send(Erase('p')));
  ASSERT_TRUE(Send(Transfer('p')));
  ASSERT_TRUE(Send(std::vector<uint8_t>(stream.begin(), stream.begin() + 100)));
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kReceiving);
  ASSERT_TRUE(Send(kLeave));
  EXPECT_EQ(printer->LastStream('p'), StreamOutcome::kRejected);
  EXPECT_EQ(printer->CurrentMode(), Mode::kNormal);
  EXPECT_FALSE(printer->IsPresent());
}

TEST_F(SimPrinterTest, TransferOutsideDownloadModeStoresNothing) {
  Send(Transfer('p'));
  ASSERT_TRUE(Send(BuildStream(Data1Records())));
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

TEST_F(SimPrinterTest, ReadWithoutAPendingReplyFails) {
  uint8_t buffer[48];
  uint32_t done = 7;
  EXPECT_FALSE(printer->HostRead(buffer, sizeof buffer, done));
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(Send(kVersion));
  EXPECT_EQ(Read(20).size(), 20u);  // a short read uses the reply up
  EXPECT_TRUE(Read(48).empty());
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
  EXPECT_FALSE(busy());  // not woken yet
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
  const std::vector<uint8_t> stream = BuildStream(Data1Records());
  std::vector<uint8_t> big(4096 * 9, 0);
  std::copy(stream.begin(), stream.end(), big.begin());
  const struct {
    const char* name;
    Fault fault;
    uint32_t failingWrite;  // 1-based write that goes wrong in the sequence below
    uint32_t moved;
  } cases[] = {
      // writes: 1 enter, 2 erase p, 3 transfer p, 4.. blocks 1-9 of DATA1, 13 erase t
      {"nth write", Fault::FailWrite(2), 2, 0},
      {"write that begins with the erase of t", Fault::FailWriteStartingWith(Erase('t')), 13, 0},
      {"block 7 of DATA1", Fault::FailBlock('p', 7), 10, 0},
      {"short block 7 of DATA1", Fault::ShortBlock('p', 7, 1000), 10, 1000},
      {"block 2 of DATA2 (never sent)", Fault::FailBlock('t', 2), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    config.faults = {c.fault};
    Make();
    std::vector<std::vector<uint8_t>> writes = {kEnter, Erase('p'), Transfer('p')};
    for (size_t at = 0; at < big.size(); at += 4096) {
      writes.emplace_back(big.begin() + static_cast<std::ptrdiff_t>(at),
                          big.begin() + static_cast<std::ptrdiff_t>(at + 4096));
    }
    writes.push_back(Erase('t'));
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
  EXPECT_TRUE(Send(kVersion));
  EXPECT_EQ(Read(48).size(), 10u);  // read 1
  EXPECT_TRUE(Send(kVersion));
  EXPECT_TRUE(Read(48).empty());  // read 2 fails
  EXPECT_TRUE(Send(kVersion));
  EXPECT_EQ(Read(48).size(), 48u);
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
}

TEST_F(SimPrinterTest, SlowBlocksAndTransferSpeedTakeClockTime) {
  config.bytesPerSecond = 200000;
  config.faults = {Fault::SlowFromBlock('p', 7, 121000)};
  Make();
  EnterDownloadMode();
  ASSERT_TRUE(Send(Erase('p')));
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
  Read(48);
  std::vector<uint8_t> block(100, 0xAB);
  ASSERT_TRUE(Send(block));
  const std::vector<TraceEntry> entries = trace.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].tick, 1234u);
  EXPECT_EQ(entries[0].direction, 'W');
  EXPECT_EQ(entries[0].bytes, kVersion);
  EXPECT_EQ(entries[1].direction, 'R');
  EXPECT_EQ(entries[1].done, 48u);
  EXPECT_EQ(entries[2].bytes.size(), 16u);
  EXPECT_EQ(FormatTraceLine(entries[0], 1000), "234 W PIPE00 4 1b562300");
  EXPECT_EQ(FormatTraceLine(entries[2], 1234),
            "0 W PIPE00 100 abababababababababababababababab...");
}

}  // namespace
}  // namespace zmr::sim
