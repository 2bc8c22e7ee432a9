// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "protocol/commands.h"
#include "protocol/status_report.h"
#include "protocol/version_report.h"

namespace zmr {
namespace {

// A version reply with its header, versions and check sums at their offsets; every byte the
// decoder does not take is filled with noise.
struct VersionReply {
  uint8_t bytes[kVersionReplySize];
  VersionReply() {
    std::memset(bytes, 0xA5, sizeof(bytes));
    bytes[0] = '#';
    bytes[1] = '.';
    bytes[2] = 0x00;
    std::memcpy(bytes + 6, "M01.23", 6);
    std::memcpy(bytes + 12, "T04.56", 6);
    std::memcpy(bytes + 30, "F78", 3);
    Put16(36, 0x08A6);
    Put16(38, 0xFFFF);
    Put16(44, 0x0001);
  }
  void Put16(size_t offset, uint16_t value) {
    bytes[offset] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(value);
  }
};

TEST(VersionReplyTest, DecodesVersionsAndBigEndianSums) {
  VersionReply reply;
  VersionReport report;
  std::memset(&report, 0x5A, sizeof(report));
  ASSERT_TRUE(DecodeVersionReply(reply.bytes, report));
  EXPECT_EQ(std::string(report.data1Version, sizeof(report.data1Version)),
            std::string("M01.23\0\0", 8));
  EXPECT_EQ(std::string(report.data2Version, sizeof(report.data2Version)),
            std::string("T04.56\0\0", 8));
  EXPECT_EQ(std::string(report.data3Version, sizeof(report.data3Version)), std::string("F78\0", 4));
  EXPECT_EQ(report.data1CheckSum, 0x08A6u);
  EXPECT_EQ(report.data2CheckSum, 0xFFFFu);
  EXPECT_EQ(report.data3CheckSum, 0x0001u);
}

TEST(VersionReplyTest, VersionBytesAreCopiedWithoutTest) {
  VersionReply reply;
  std::memcpy(reply.bytes + 6, "\xFF\x01\x00\x7F\x80 ", 6);
  VersionReport report{};
  ASSERT_TRUE(DecodeVersionReply(reply.bytes, report));
  EXPECT_EQ(0, std::memcmp(report.data1Version, "\xFF\x01\x00\x7F\x80 \0\0", 8));
}

struct HeaderCase {
  const char* name;
  uint8_t header[3];
  bool accepted;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class VersionHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(VersionHeaderTest, OnlyTheFirstThreeBytesAreTested) {
  const HeaderCase& c = GetParam();
  VersionReply reply;
  std::memcpy(reply.bytes, c.header, 3);
  VersionReport report;
  std::memset(&report, 0x5A, sizeof(report));
  EXPECT_EQ(DecodeVersionReply(reply.bytes, report), c.accepted);
  if (!c.accepted) {
    const VersionReport zero{};
    EXPECT_EQ(0, std::memcmp(&report, &zero, sizeof(report))) << "a refused reply zeroes it";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionHeaderTest,
    testing::Values(HeaderCase{"Accepted", {'#', '.', 0x00}, true},
                    HeaderCase{"DigitZeroInsteadOfNul", {'#', '.', '0'}, false},
                    HeaderCase{"WrongFirst", {'$', '.', 0x00}, false},
                    HeaderCase{"WrongSecond", {'#', ',', 0x00}, false},
                    HeaderCase{"AllZero", {0x00, 0x00, 0x00}, false}),
    [](const testing::TestParamInfo<HeaderCase>& param) { return param.param.name; });

// A status reply of type `type` whose header matches and whose body bytes tell where they came
// from (byte i holds i, truncated).
std::array<uint8_t, 256> StatusReply(uint8_t type) {
  std::array<uint8_t, 256> reply{};
  for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i);
  reply[0] = 0xE4;
  reply[1] = 'V';
  reply[2] = '2';
  reply[3] = static_cast<uint8_t>('0' + type);
  return reply;
}

TEST(StatusReplyTest, LengthsPerType) {
  EXPECT_EQ(StatusReplyLength(0), 256u);
  EXPECT_EQ(StatusReplyLength(1), 192u);
  EXPECT_EQ(StatusReplyLength(2), 192u);
  EXPECT_EQ(StatusReplyLength(3), 0u);
  EXPECT_EQ(StatusReplyLength(0xFF), 0u);
}

// Where each type puts its unit block: type 1 fills only unit1, type 2 only unit2 (from the
// block that follows the common block), type 0 both.
TEST(StatusReplyTest, UnitBlocksPerType) {
  for (uint8_t type = 0; type < 3; ++type) {
    SCOPED_TRACE(testing::Message() << "type " << int(type));
    const auto reply = StatusReply(type);
    StatusReport report;
    std::memset(&report, 0x5A, sizeof(report));
    ASSERT_TRUE(DecodeStatusReply(reply.data(), StatusReplyLength(type), type, report));
    EXPECT_EQ(report.statusType, type);
    EXPECT_EQ(0, std::memcmp(report.common, reply.data() + 4, 124));
    EXPECT_EQ(report.stateBytes[0], 4);
    EXPECT_EQ(report.stateBytes[1], 5);
    const uint8_t zero[64] = {};
    const uint8_t* unit1 = type == 2 ? zero : reply.data() + 128;
    const uint8_t* unit2 = type == 0 ? reply.data() + 192 : type == 2 ? reply.data() + 128 : zero;
    EXPECT_EQ(0, std::memcmp(report.unit1, unit1, 64));
    EXPECT_EQ(0, std::memcmp(report.unit2, unit2, 64));
    EXPECT_EQ(0, std::memcmp(report.unit1Head, unit1, 6));
    EXPECT_EQ(0, std::memcmp(report.unit2Head, unit2, 6));
  }
}

TEST(StatusReplyTest, RefusedReplyLeavesReportUntouched) {
  struct Case {
    const char* name;
    uint8_t type;
    size_t offset;  // header byte to spoil
    uint8_t value;
    size_t length;
  };
  const Case cases[] = {
      {"WrongMarker", 0, 0, 0xE5, 256},   {"WrongV", 0, 1, 'v', 256},
      {"WrongTwo", 0, 2, '3', 256},       {"OtherTypeCharacter", 0, 3, '1', 256},
      {"ShortForType0", 0, 0, 0xE4, 255}, {"ShortForType1", 1, 0, 0xE4, 191},
      {"TypeOutOfRange", 3, 3, '3', 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto reply = StatusReply(c.type);
    reply[c.offset] = c.value;
    StatusReport report;
    std::memset(&report, 0x5A, sizeof(report));
    EXPECT_FALSE(DecodeStatusReply(reply.data(), c.length, c.type, report));
    StatusReport untouched;
    std::memset(&untouched, 0x5A, sizeof(untouched));
    EXPECT_EQ(0, std::memcmp(&report, &untouched, sizeof(report)));
  }
}

TEST(StatusPredicateTest, BusyOnlyOnAtSign) {
  EXPECT_TRUE(IsPrinterBusy({0x00, '@'}));
  EXPECT_TRUE(IsPrinterBusy({'@', '@'}));
  EXPECT_FALSE(IsPrinterBusy({'@', 0x00}));
  EXPECT_FALSE(IsPrinterBusy({0x00, 'A'}));
}

TEST(StatusPredicateTest, SecondUnitOnlyOnExactly0x80) {
  StatusReport report{};
  for (const uint8_t value : {0x00, 0x7F, 0x81, 0xFF, 0xC0}) {
    report.common[29] = value;
    EXPECT_FALSE(HasSecondUnit(report)) << int(value);
  }
  report.common[29] = 0x80;
  EXPECT_TRUE(HasSecondUnit(report));
}

TEST(StatusPredicateTest, UnitHead) {
  EXPECT_FALSE(IsUnitPrinting({0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_TRUE(IsUnitPrinting({0x01, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(IsUnitPrinting({0, 0x01, 0, 0, 0, 0}));
  EXPECT_FALSE(IsUnitInError({0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF}));
  EXPECT_TRUE(IsUnitInError({0, 0, 0, 0x01, 0, 0}));
}

TEST(DataTypeCodeTest, TypesZeroToThree) {
  EXPECT_EQ(command::DataTypeCode(0), 'p');
  EXPECT_EQ(command::DataTypeCode(1), 't');
  EXPECT_EQ(command::DataTypeCode(2), 'c');
  EXPECT_EQ(command::DataTypeCode(3), 'f');
  EXPECT_EQ(command::DataTypeCode(4), 0);
  EXPECT_EQ(command::DataTypeCode(0xFFFF), 0);
}

}  // namespace
}  // namespace zmr
