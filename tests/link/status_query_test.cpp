// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/status_query.h"
#include "tests/link/sim_port_fixture.h"

namespace zmr {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kWake = {0x1B, 'E', 'W', 'U'};

class StatusQueryTest : public SimPortTest {
 protected:
  static StatusReport Poisoned() { return SimPortTest::Poisoned<StatusReport>(); }
  static std::vector<sim::TraceEntry> Trace() { return Bus().TraceEntries(); }
  static size_t WriteCount() {
    size_t count = 0;
    for (const auto& entry : Trace()) count += entry.direction == 'W';
    return count;
  }

  CStatusQuery query_;
};

// The numbers the system reports for each named error: a pipe that is not open and a reply with a
// wrong header share 1.
TEST(StatusErrorCode, NumbersOfTheNamedErrors) {
  const struct {
    StatusError error;
    int code;
    const char* name;
  } cases[] = {
      {StatusError::kNone, 0, "None"},
      {StatusError::kNotOpen, 1, "NotOpen"},
      {StatusError::kBadReplyHeader, 1, "BadReplyHeader"},
      {StatusError::kTransferFailed, 101, "TransferFailed"},
      {StatusError::kBadType, 201, "BadType"},
      {StatusError::kStillBusy, 203, "StillBusy"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Code(c.error), c.code) << c.name;
    EXPECT_STREQ(Name(c.error), c.name);
  }
}

// The request's bytes and the 50 ms between writing it and reading the reply.
TEST_F(StatusQueryTest, RequestPerTypeWithPauseBeforeTheReply) {
  for (uint8_t type = 0; type < 3; ++type) {
    SCOPED_TRACE(testing::Message() << "type " << int(type));
    CPrinterPort& port = OpenPrinter();
    StatusReport report = Poisoned();
    ASSERT_TRUE(query_.QueryStatus(port, type, report));
    EXPECT_EQ(report.statusType, type);
    const auto trace = Trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].direction, 'W');
    EXPECT_EQ(trace[0].bytes, (Bytes{0x1B, 'V', '2', static_cast<uint8_t>('0' + type)}));
    EXPECT_EQ(trace[1].direction, 'R');
    EXPECT_EQ(trace[1].length, StatusReplyLength(type));
    if (sim::kSeesReadsWhenMade) {
      EXPECT_EQ(trace[1].tick - trace[0].tick, 50u);
    }
  }
}

// What the printer reports about its units reaches the predicates.
TEST_F(StatusQueryTest, DecodedStatusFeedsThePredicates) {
  struct Case {
    const char* name;
    bool unit1Printing, unit2Printing, unit1Error, unit2Error, secondUnit;
  };
  const Case cases[] = {
      {"Idle", false, false, false, false, false},
      {"FirstPrinting", true, false, false, false, false},
      {"SecondInError", false, false, false, true, true},
      {"BothPrintingFirstInError", true, true, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config = Printers(1, 0);
    config.printer.unit1Printing = c.unit1Printing;
    config.printer.unit2Printing = c.unit2Printing;
    config.printer.unit1Error = c.unit1Error;
    config.printer.unit2Error = c.unit2Error;
    config.printer.secondUnit = c.secondUnit;
    CPrinterPort& port = OpenPrinter(config);
    StatusReport report = Poisoned();
    ASSERT_TRUE(query_.QueryStatus(port, 0, report));
    EXPECT_FALSE(IsPrinterBusy(report.stateBytes));
    EXPECT_EQ(HasSecondUnit(report), c.secondUnit);
    EXPECT_EQ(IsUnitPrinting(report.unit1Head), c.unit1Printing);
    EXPECT_EQ(IsUnitPrinting(report.unit2Head), c.unit2Printing);
    EXPECT_EQ(IsUnitInError(report.unit1Head), c.unit1Error);
    EXPECT_EQ(IsUnitInError(report.unit2Head), c.unit2Error);
  }
}

// Every failure of the query: its code, how many writes reached the printer, and the report
// left as it was.
TEST_F(StatusQueryTest, Failures) {
  struct Case {
    const char* name;
    sim::SimConfig config;
    bool open;
    bool closeReadPipe;
    uint8_t type;
    StatusError error;
    size_t writes;
  };
  auto with = [](auto change) {
    sim::SimConfig config = Printers(1, 0);
    change(config.printer);
    return config;
  };
  const Case cases[] = {
      {"TypeOutOfRange", Printers(1, 0), true, false, 3, StatusError::kBadType, 0},
      {"TypeOutOfRangeReadPipeClosed", Printers(1, 0), true, true, 3, StatusError::kNotOpen, 0},
      {"PortClosed", Printers(1, 0), false, false, 0, StatusError::kNotOpen, 0},
      {"WrongTypeCharacter", with([](auto& p) { p.wrongStatusType = true; }), true, false, 0,
       StatusError::kBadReplyHeader, 1},
      {"ShortReply", with([](auto& p) { p.statusShortBy = 16; }), true, false, 0,
       StatusError::kTransferFailed, 1},
      {"ShortRequest", with([](auto& p) { p.faults = {sim::Fault::FailWrite(1).Short(3)}; }), true,
       false, 0, StatusError::kTransferFailed, 1},
      {"FailedRead", with([](auto& p) { p.faults = {sim::Fault::FailRead(1)}; }), true, false, 1,
       StatusError::kTransferFailed, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPrinterPort& port = c.open ? OpenPrinter(c.config) : Start(c.config);
    if (c.closeReadPipe) PrinterPortTestAccess::CloseReadPipe(port);
    CStatusQuery query;
    StatusReport report = Poisoned();
    EXPECT_FALSE(query.QueryStatus(port, c.type, report));
    EXPECT_STREQ(Name(query.Error()), Name(c.error));
    EXPECT_EQ(query.ErrorCode(), Code(c.error));
    EXPECT_EQ(WriteCount(), c.writes);
    EXPECT_TRUE(Same(report, Poisoned()));
  }
}

TEST_F(StatusQueryTest, CodeIsKeptAfterALaterSuccess) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.faults = {sim::Fault::FailRead(1)};
  CPrinterPort& port = OpenPrinter(config);
  StatusReport report{};
  EXPECT_FALSE(query_.QueryStatus(port, 0, report));
  EXPECT_TRUE(query_.QueryStatus(port, 0, report));
  EXPECT_EQ(query_.ErrorCode(), Code(StatusError::kTransferFailed));
}

TEST_F(StatusQueryTest, TransfersReportTheirCount) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.faults = {sim::Fault::FailWrite(1).Short(1)};
  CPrinterPort& port = OpenPrinter(config);
  uint32_t count = 99;
  EXPECT_FALSE(query_.SendBytes(port, kWake.data(), 4, &count));
  EXPECT_EQ(count, sim::kSeesShortWrites ? 1u : 0u);
  EXPECT_EQ(query_.ErrorCode(), Code(StatusError::kTransferFailed));
  uint8_t buffer[8];
  EXPECT_FALSE(query_.ReceiveBytes(port, buffer, sizeof(buffer), &count));
  EXPECT_EQ(count, 0u);
}

TEST_F(StatusQueryTest, WakeNeedsOnlyTheWritePipe) {
  CPrinterPort& port = OpenPrinter();
  PrinterPortTestAccess::CloseReadPipe(port);
  ASSERT_TRUE(query_.SendWake(port));
  const auto trace = Trace();
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0].bytes, kWake);
  StatusReport report{};
  EXPECT_FALSE(query_.QueryStatus(port, 0, report));
  EXPECT_EQ(query_.Error(), StatusError::kNotOpen);

  port.Close();
  EXPECT_FALSE(query_.SendWake(port));
  EXPECT_EQ(query_.Error(), StatusError::kNotOpen);
}

class BusyWaitTest : public StatusQueryTest {};

// A printer that stays busy ends the wait a little over 10 s after the wake command, also when
// the tick counter wraps on the way.
TEST_F(BusyWaitTest, StillBusyAfterTheLimit) {
  for (const uint32_t startTick : {0u, 0xFFFFFFFFu - 3000u}) {
    SCOPED_TRACE(testing::Message() << "start tick " << startTick);
    clock_.Advance(startTick - clock_.TickCount());
    sim::SimConfig config = Printers(1, 0);
    config.printer.staysBusy = true;
    CPrinterPort& port = OpenPrinter(config);
    StatusReport report{};
    const uint64_t before = clock_.ElapsedMs();
    EXPECT_EQ(WaitWhileBusy(port, query_, 0, report, true), StatusError::kStillBusy);
    const uint64_t waited = clock_.ElapsedMs() - before;
    EXPECT_GT(waited, kBusyLimitMs);
    EXPECT_LT(waited, kBusyLimitMs + kBusyPollMs + 100);
    EXPECT_TRUE(IsPrinterBusy(report.stateBytes)) << "the last busy status";
    EXPECT_EQ(query_.ErrorCode(), 0) << "203 is not stored in the query";
  }
}

TEST_F(BusyWaitTest, EndsWhenThePrinterIsNoLongerBusy) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.busyMs = 3000;
  CPrinterPort& port = OpenPrinter(config);
  StatusReport report = Poisoned();
  const uint64_t before = clock_.ElapsedMs();
  EXPECT_EQ(Code(WaitWhileBusy(port, query_, 0, report, true)), 0);
  const uint64_t waited = clock_.ElapsedMs() - before;
  EXPECT_GE(waited, 3000u);
  EXPECT_LT(waited, 3000u + kBusyPollMs + 100);
  EXPECT_FALSE(IsPrinterBusy(report.stateBytes));
  EXPECT_EQ(report.statusType, 0);

  // The wake command first, and the first status request right after it.
  const auto trace = Trace();
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(trace[0].bytes, kWake);
  EXPECT_EQ(trace[1].bytes, (Bytes{0x1B, 'V', '2', '0'}));
  EXPECT_EQ(trace[1].tick, trace[0].tick);
}

TEST_F(BusyWaitTest, WithoutPollingOneQueryBusyOrNot) {
  sim::SimConfig config = Printers(1, 0);
  config.printer.staysBusy = true;
  CPrinterPort& port = OpenPrinter(config);
  StatusReport report{};
  EXPECT_EQ(Code(WaitWhileBusy(port, query_, 0, report, false)), 0);
  EXPECT_TRUE(IsPrinterBusy(report.stateBytes));
  const auto trace = Trace();
  ASSERT_EQ(trace.size(), 2u) << "no wake command, one request, one reply";
  EXPECT_EQ(trace[0].bytes, (Bytes{0x1B, 'V', '2', '0'}));
}

TEST_F(BusyWaitTest, GivesTheQueryCodeOnFailure) {
  struct Case {
    const char* name;
    bool open;
    bool poll;
    bool wrongType;
    uint8_t type;
    StatusError error;
  };
  const Case cases[] = {
      {"ClosedPolling", false, true, false, 0, StatusError::kNotOpen},
      {"ClosedNotPolling", false, false, false, 0, StatusError::kNotOpen},
      {"BadReplyPolling", true, true, true, 0, StatusError::kBadReplyHeader},
      {"BadTypeNotPolling", true, false, false, 7, StatusError::kBadType},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimConfig config = Printers(1, 0);
    config.printer.wrongStatusType = c.wrongType;
    CPrinterPort& port = c.open ? OpenPrinter(config) : Start(config);
    CStatusQuery query;
    StatusReport report{};
    EXPECT_STREQ(Name(WaitWhileBusy(port, query, c.type, report, c.poll)), Name(c.error));
  }
}

}  // namespace
}  // namespace zmr
