// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "protocol/device_id.h"

namespace zmr {
namespace {

struct DeviceIdCase {
  const char* name;
  std::string text;
  bool parsed;
  uint16_t vendor = 0;
  uint16_t product = 0;
};

void PrintTo(const DeviceIdCase& c, std::ostream* os) {
  *os << c.name;
}

class DeviceIdTest : public testing::TestWithParam<DeviceIdCase> {};

TEST_P(DeviceIdTest, ReadsVendorAndProduct) {
  const DeviceIdCase& c = GetParam();
  uint16_t ids[2] = {0xDEAD, 0xBEEF};
  EXPECT_EQ(ParseDeviceId(c.text.data(), c.text.size(), ids), c.parsed);
  if (c.parsed) {
    EXPECT_EQ(ids[0], c.vendor);
    EXPECT_EQ(ids[1], c.product);
  } else {
    EXPECT_EQ(ids[0], 0xDEAD) << "a failed parse leaves the IDs alone";
    EXPECT_EQ(ids[1], 0xBEEF);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeviceIdTest,
    testing::Values(
        DeviceIdCase{"Plain", "USB\\VID_04CB&PID_5006", true, 0x04CB, 0x5006},
        DeviceIdCase{"LowerCase", "usb\\vid_04cb&pid_5006", true, 0x04CB, 0x5006},
        DeviceIdCase{"MixedCaseDigits", "USB\\VID_aBcD&PID_Ef01", true, 0xABCD, 0xEF01},
        DeviceIdCase{"EmbeddedInText", "MFG:x;USB\\VID_04CB&PID_5006&REV_0100\\6&1234", true,
                     0x04CB, 0x5006},
        DeviceIdCase{"FewerDigits", "USB\\VID_4CB&PID_6", true, 0x04CB, 0x0006},
        DeviceIdCase{"OneDigitEach", "USB\\VID_0&PID_F", true, 0x0000, 0x000F},
        // At most four digits are read; the fifth is trailing text after the product ID.
        DeviceIdCase{"FiveProductDigits", "USB\\VID_04CB&PID_50061", true, 0x04CB, 0x5006},
        // A fifth vendor digit stands where "&PID_" must follow.
        DeviceIdCase{"FiveVendorDigits", "USB\\VID_004CB&PID_5006", false},
        DeviceIdCase{"NoVendorDigits", "USB\\VID_&PID_5006", false},
        DeviceIdCase{"NoProductDigits", "USB\\VID_04CB&PID_", false},
        DeviceIdCase{"NotHex", "USB\\VID_G4CB&PID_5006", false},
        DeviceIdCase{"SignNotAccepted", "USB\\VID_+4CB&PID_5006", false},
        DeviceIdCase{"SpaceNotAccepted", "USB\\VID_ 4CB&PID_5006", false},
        DeviceIdCase{"PrefixWithoutPattern", "USB\\ROOT_HUB", false},
        // Only the first "USB\" counts, even when a later one would match.
        DeviceIdCase{"FirstPrefixDecides", "USB\\HUB USB\\VID_04CB&PID_5006", false},
        DeviceIdCase{"NoPrefix", "VID_04CB&PID_5006", false},
        DeviceIdCase{"ForwardSlash", "USB/VID_04CB&PID_5006", false},
        DeviceIdCase{"Empty", "", false},
        // Text after a NUL is not part of the device ID.
        DeviceIdCase{"StopsAtNul", std::string("USB\\VID_04CB\0&PID_5006", 22), false}),
    [](const testing::TestParamInfo<DeviceIdCase>& param) { return param.param.name; });

TEST(DeviceIdBoundsTest, NullTextIsRefused) {
  uint16_t ids[2] = {};
  EXPECT_FALSE(ParseDeviceId(nullptr, 256, ids));
}

// A driver text may fill its whole buffer without a NUL: parsing stays within the given size.
TEST(DeviceIdBoundsTest, UnterminatedBufferIsReadOnlyWithinItsSize) {
  const std::string id = "USB\\VID_04CB&PID_5006";
  char buffer[ZMR_DRIVER_TEXT_SIZE];
  std::memset(buffer, 'x', sizeof(buffer));
  std::memcpy(buffer + sizeof(buffer) - id.size(), id.data(), id.size());
  uint16_t ids[2] = {};
  ASSERT_TRUE(ParseDeviceId(buffer, sizeof(buffer), ids));
  EXPECT_EQ(ids[0], 0x04CB);
  EXPECT_EQ(ids[1], 0x5006);

  // The same text cut by the size: the product digits lie beyond it.
  ids[0] = ids[1] = 0;
  EXPECT_FALSE(ParseDeviceId(buffer, sizeof(buffer) - 4, ids));
}

// Sizes beyond one driver buffer are not trusted: only the first 256 bytes are examined.
TEST(DeviceIdBoundsTest, LongerTextIsCutAtOneBuffer) {
  std::string text(ZMR_DRIVER_TEXT_SIZE, 'x');
  text += "USB\\VID_04CB&PID_5006";
  uint16_t ids[2] = {};
  EXPECT_FALSE(ParseDeviceId(text.data(), text.size(), ids));
}

}  // namespace
}  // namespace zmr
