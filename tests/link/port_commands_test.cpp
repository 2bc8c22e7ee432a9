// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "protocol/version_report.h"
#include "tests/link/sim_port_fixture.h"

namespace zmr {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes of every write that reached the printer, in order.
std::vector<Bytes> Writes() {
  std::vector<Bytes> writes;
  for (const sim::TraceEntry& entry : sim::SimBus::Instance().TraceEntries()) {
    if (entry.direction == 'W') writes.push_back(entry.bytes);
  }
  return writes;
}

class PortCommandTest : public SimPortTest {};

// Each command's bytes and the pause inside its operation, measured on the virtual clock.
TEST_F(PortCommandTest, BytesAndPauses) {
  struct Case {
    const char* name;
    std::function<int(CPrinterPort&)> send;
    int result;
    Bytes written;  // empty: nothing written
    uint64_t pauseMs;
  };
  const Case cases[] = {
      {"EnterDownloadMode",
       [](CPrinterPort& p) { return p.EnterDownloadMode(); },
       1,
       {0x1B, 'f', 'g', 0x00},
       0},
      {"LeaveDownloadMode",
       [](CPrinterPort& p) { return p.LeaveDownloadMode(); },
       1,
       {0x1B, 'f', 'r', 0x00},
       0},
      {"EraseType0", [](CPrinterPort& p) { return p.SendErase(0); }, 1, {0x1B, 'f', 'e', 'p'}, 100},
      {"EraseType2", [](CPrinterPort& p) { return p.SendErase(2); }, 1, {0x1B, 'f', 'e', 'c'}, 100},
      {"EraseType3", [](CPrinterPort& p) { return p.SendErase(3); }, 1, {0x1B, 'f', 'e', 'f'}, 100},
      {"EraseType4", [](CPrinterPort& p) { return p.SendErase(4); }, 0, {}, 0},
      {"TransferType1",
       [](CPrinterPort& p) { return p.SendTransfer(1); },
       1,
       {0x1B, 'f', 't', 't'},
       100},
      {"TransferType0x100", [](CPrinterPort& p) { return p.SendTransfer(0x100); }, 0, {}, 0},
      {"VersionRequest",
       [](CPrinterPort& p) { return p.SendVersionRequest('#'); },
       1,
       {0x1B, 'V', '#', 0x00},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPrinterPort& port = OpenPrinter();
    const uint64_t before = clock_.ElapsedMs();
    EXPECT_EQ(c.send(port), c.result);
    EXPECT_EQ(clock_.ElapsedMs() - before, c.pauseMs);
    const std::vector<Bytes> writes = Writes();
    if (c.written.empty()) {
      EXPECT_TRUE(writes.empty());
    } else {
      ASSERT_EQ(writes.size(), 1u);
      EXPECT_EQ(writes[0], c.written);
    }
    EXPECT_EQ(port.ErrorCode(), PortError::kNone) << "a bad type sets no code";
  }
}

// A command not written whole fails at once, without the pause; the port says why.
TEST_F(PortCommandTest, FailedCommandWrites) {
  struct Case {
    const char* name;
    sim::Fault fault;
    bool open;
    PortError code;
  };
  const Case cases[] = {
      {"Short", sim::Fault::FailWrite(1).Short(2).Always(), true, PortError::kTransferFailed},
      {"Failed", sim::Fault::FailWrite(1).Always(), true, PortError::kTransferFailed},
      {"NotOpen", sim::Fault{}, false, PortError::kNotOpen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config = Printers(1, 0);
    if (c.open) config.printer.faults = {c.fault};
    CPrinterPort& port = c.open ? OpenPrinter(config) : Start(config);
    const uint64_t before = clock_.ElapsedMs();
    EXPECT_EQ(port.SendErase(0), 0);
    EXPECT_EQ(port.SendTransfer(0), 0);
    EXPECT_EQ(port.EnterDownloadMode(), 0);
    EXPECT_EQ(clock_.ElapsedMs(), before);
    EXPECT_EQ(port.ErrorCode(), c.code);
  }
}

class VersionReplyReadTest : public PortCommandTest {
 protected:
  static VersionReport Poisoned() { return SimPortTest::Poisoned<VersionReport>(); }
};

TEST_F(VersionReplyReadTest, ReadsTheVersionsThePrinterReports) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.data1Version = "316B20";
  config.printer.data1CheckSum = 0x08A6;
  config.printer.data2Version = "318C20";
  config.printer.data2CheckSum = 0x3C4D;
  config.printer.data3Version = "D10";
  config.printer.data3CheckSum = 0x5E6F;
  CPrinterPort& port = OpenPrinter(config);
  ASSERT_EQ(port.SendVersionRequest('#'), 1);
  VersionReport report = Poisoned();
  ASSERT_EQ(port.ReadVersionReply(report), 1);
  EXPECT_STREQ(report.data1Version, "316B20");
  EXPECT_STREQ(report.data2Version, "318C20");
  EXPECT_STREQ(report.data3Version, "D10");
  EXPECT_EQ(report.data1CheckSum, 0x08A6u);
  EXPECT_EQ(report.data2CheckSum, 0x3C4Du);
  EXPECT_EQ(report.data3CheckSum, 0x5E6Fu);
}

TEST_F(VersionReplyReadTest, BadHeaderZeroesTheReportAndSetsNoCode) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.badVersionHeader = true;
  CPrinterPort& port = OpenPrinter(config);
  ASSERT_EQ(port.SendVersionRequest('#'), 1);
  VersionReport report = Poisoned();
  EXPECT_EQ(port.ReadVersionReply(report), 0);
  EXPECT_TRUE(Same(report, VersionReport{}));
  EXPECT_EQ(port.ErrorCode(), PortError::kNone);
}

// A reply not read whole leaves the report as it was.
TEST_F(VersionReplyReadTest, ShortOrMissingReplyKeepsTheReport) {
  struct Case {
    const char* name;
    std::vector<sim::Fault> faults;
    bool request;
    PortError code;
  };
  const Case cases[] = {
      {"Short", {sim::Fault::ShortRead(1, 47)}, true, PortError::kTransferFailed},
      {"Failed", {sim::Fault::FailRead(1)}, true, PortError::kTransferFailed},
      {"NoRequest", {}, false, PortError::kTransferFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config = Printers(1, 0);
    config.printer.faults = c.faults;
    CPrinterPort& port = OpenPrinter(config);
    if (c.request) {
      ASSERT_EQ(port.SendVersionRequest('#'), 1);
    }
    VersionReport report = Poisoned();
    EXPECT_EQ(port.ReadVersionReply(report), 0);
    EXPECT_TRUE(Same(report, Poisoned()));
    EXPECT_EQ(port.ErrorCode(), c.code);
  }
}

}  // namespace
}  // namespace zmr
