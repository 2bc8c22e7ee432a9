// SPDX-License-Identifier: MIT
// The simulated printer's replies: the version and status reply bytes, and the reads of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/sim/sim_printer_fixture.h"

namespace zmr::sim {
namespace {

using test::EraseCommand;
using test::kVersion;
using test::SimPrinterTest;
using test::Status;

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

}  // namespace
}  // namespace zmr::sim
