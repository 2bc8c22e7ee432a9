// SPDX-License-Identifier: MIT
// Driver libraries that misbehave in ways the simulated printer does not: texts that fill their
// whole buffer without a NUL, and devices that open only some of their channels.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "driver_api/handle_table.h"
#include "link/printer_port.h"
#include "platform/handle_io.h"

namespace zmr {
namespace {

class NullChannel : public driver_api::Channel {
 public:
  bool Read(uint8_t*, uint32_t length, uint32_t& done) override {
    done = length;
    return true;
  }
  bool Write(const uint8_t*, uint32_t length, uint32_t& done) override {
    done = length;
    return true;
  }
};

// The one fake library of the process: plain C entry points over this state.
struct FakeDriver {
  // Raw 256-byte texts per listed device, copied whole into the caller's buffers.
  std::vector<std::string> deviceIds;
  std::vector<std::string> devicePaths;
  std::vector<std::string> openedPaths;  // paths UsbOpenBulk3 received, read up to their NUL
  // Per device index of the loaded library: whether the control, PIPE00 and PIPE01 channels open.
  std::vector<std::array<bool, 3>> openable;
  int bulkCalls = 0;
  int contCalls = 0;
  int infoCalls = 0;
  bool negativeDeviceNum = false;  // UsbGetDeviceNum reports -1
  bool endless = false;            // reports INT_MAX devices and opens every index
};
FakeDriver* fake = nullptr;

std::string Raw(const std::string& text, char fill) {
  std::string raw = text;
  raw.resize(ZMR_DRIVER_TEXT_SIZE, fill);
  return raw;
}

extern "C" int FakeDeviceNum() {
  if (fake->endless) return std::numeric_limits<int>::max();
  return fake->negativeDeviceNum ? -1 : static_cast<int>(fake->deviceIds.size());
}
extern "C" int FakeDeviceInfo(int index, char* deviceId, char* devicePath) {
  ++fake->infoCalls;
  if (index < 0 || index >= static_cast<int>(fake->deviceIds.size())) return 0;
  std::memcpy(deviceId, fake->deviceIds[index].data(), ZMR_DRIVER_TEXT_SIZE);
  std::memcpy(devicePath, fake->devicePaths[index].data(), ZMR_DRIVER_TEXT_SIZE);
  return 1;
}
extern "C" intptr_t FakeOpenBulk3(const char*, const char* devicePath) {
  // The path must be terminated within its buffer.
  if (!std::memchr(devicePath, '\0', ZMR_DRIVER_TEXT_SIZE)) return platform::kInvalidHandle;
  fake->openedPaths.emplace_back(devicePath);
  return driver_api::RegisterChannel(std::make_unique<NullChannel>());
}
extern "C" int FakeSetVenderID(uint16_t) {
  return 1;
}
extern "C" int FakeSetProductID(const uint16_t*, int) {
  return 1;
}
intptr_t OpenIf(int index, int channel) {
  if (fake->endless) return driver_api::RegisterChannel(std::make_unique<NullChannel>());
  if (index < 0 || index >= static_cast<int>(fake->openable.size()) ||
      !fake->openable[index][channel]) {
    return platform::kInvalidHandle;
  }
  return driver_api::RegisterChannel(std::make_unique<NullChannel>());
}
extern "C" intptr_t FakeOpenCont(int index, int) {
  ++fake->contCalls;
  return OpenIf(index, 0);
}
extern "C" intptr_t FakeOpenBulk(const char* pipe, int index) {
  ++fake->bulkCalls;
  return OpenIf(index, std::strcmp(pipe, "PIPE00") == 0 ? 1 : 2);
}

class HostileDriverTest : public testing::Test {
 protected:
  void SetUp() override {
    fake = &state_;
    imported_ = {&FakeDeviceNum, &FakeDeviceInfo, &FakeOpenBulk3};
  }
  void TearDown() override {
    fake = nullptr;
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  }
  // A CDriverLibrary filled by hand, as Bind would from a loaded library.
  void UseLoadedLibrary() {
    loaded_.SetVenderID = &FakeSetVenderID;
    loaded_.SetProductID = &FakeSetProductID;
    loaded_.UsbOpenCont = &FakeOpenCont;
    loaded_.UsbOpenBulk = &FakeOpenBulk;
  }

  FakeDriver state_;
  ImportedDriver imported_;
  CDriverLibrary loaded_;
  VirtualClock clock_;
};

TEST_F(HostileDriverTest, DevicePathFillingItsBufferIsCutTo255Characters) {
  const std::string path(ZMR_DRIVER_TEXT_SIZE, 'p');  // no NUL anywhere
  state_.deviceIds = {Raw("USB\\VID_04CB&PID_5006", '\0')};
  state_.devicePaths = {path};
  CPrinterPort port(imported_, loaded_, clock_);
  ASSERT_EQ(port.Open(), 1);
  EXPECT_EQ(port.DriverPath(), DriverPath::kByDevicePath);
  EXPECT_EQ(std::string(port.DevicePath()), path.substr(0, 255));
  ASSERT_EQ(state_.openedPaths.size(), 2u);
  EXPECT_EQ(state_.openedPaths[0], path.substr(0, 255));
  port.Close();
}

TEST_F(HostileDriverTest, FindDevicePathZeroFillsAndLeavesDestinationAloneOnNoMatch) {
  state_.deviceIds = {Raw("USB\\VID_04CB&PID_1111", 'x'), Raw("usb\\vid_04cb&pid_5006", 'x')};
  state_.devicePaths = {Raw("first", '\0'), Raw("second", '\0')};
  CPrinterPort port(imported_, loaded_, clock_);

  char dest[CPrinterPort::kDevicePathSize];
  std::memset(dest, '#', sizeof(dest));
  const uint16_t printer[2] = {0x04CB, 0x5006};
  ASSERT_TRUE(port.FindDevicePath(dest, printer));
  EXPECT_STREQ(dest, "second");
  EXPECT_EQ(std::string(dest + 6, sizeof(dest) - 6), std::string(sizeof(dest) - 6, '\0'));

  std::memset(dest, '#', sizeof(dest));
  const uint16_t other[2] = {0x04CB, 0x2222};
  EXPECT_FALSE(port.FindDevicePath(dest, other));
  EXPECT_EQ(std::string(dest, sizeof(dest)), std::string(sizeof(dest), '#'));
}

// Device ID texts that fill their buffer without a NUL are parsed within it.
TEST_F(HostileDriverTest, UnterminatedDeviceIdsAreCountedSafely) {
  const std::string id = "USB\\VID_04CB&PID_5006";
  state_.deviceIds = {std::string(ZMR_DRIVER_TEXT_SIZE - id.size(), 'z') + id,
                      std::string(ZMR_DRIVER_TEXT_SIZE, 'z')};
  state_.devicePaths = {Raw("a", '\0'), Raw("b", '\0')};
  CPrinterPort port(imported_, loaded_, clock_);
  EXPECT_EQ(port.CountListedPrinters(), 1);
}

// Each probe makes all three calls and closes whatever opened; probing stops at the first index
// that does not open completely.
TEST_F(HostileDriverTest, OpenableProbeClosesEveryHandle) {
  struct Case {
    const char* name;
    std::vector<std::array<bool, 3>> openable;
    int count;
  };
  const Case cases[] = {
      {"None", {}, 0},
      {"OneComplete", {{true, true, true}}, 1},
      {"ControlMissing", {{true, true, true}, {false, true, true}, {true, true, true}}, 1},
      {"ReadPipeMissing", {{true, true, false}}, 0},
      {"TwoComplete", {{true, true, true}, {true, true, true}, {true, false, true}}, 2},
  };
  UseLoadedLibrary();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state_.openable = c.openable;
    state_.contCalls = state_.bulkCalls = 0;
    CPrinterPort port(imported_, loaded_, clock_);
    EXPECT_EQ(port.CountOpenablePrinters(), c.count);
    EXPECT_EQ(state_.contCalls, c.count + 1);
    EXPECT_EQ(state_.bulkCalls, 2 * (c.count + 1));
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
    EXPECT_EQ(port.ErrorCode(), PortError::kNone) << "counting sets no code";
  }
}

TEST_F(HostileDriverTest, NegativeDeviceCountListsNothing) {
  state_.negativeDeviceNum = true;
  state_.deviceIds = {Raw("USB\\VID_04CB&PID_5006", '\0')};
  state_.devicePaths = {Raw("path", '\0')};
  CPrinterPort port(imported_, loaded_, clock_);
  EXPECT_EQ(port.CountListedPrinters(), 0);
  EXPECT_EQ(port.OpenByDevicePath(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kOpenFailed);
  EXPECT_STREQ(port.DevicePath(), "");
  EXPECT_EQ(state_.infoCalls, 0);
}

// A library that claims endless devices, or opens every index, does not keep counting forever.
TEST_F(HostileDriverTest, EndlessDevicesAreCountedOnlyUpToTheLimit) {
  state_.endless = true;
  UseLoadedLibrary();
  CPrinterPort port(imported_, loaded_, clock_);
  EXPECT_EQ(port.CountListedPrinters(), 0);
  EXPECT_EQ(state_.infoCalls, CPrinterPort::kMaxDevices);
  EXPECT_EQ(port.CountOpenablePrinters(), CPrinterPort::kMaxDevices);
  EXPECT_EQ(state_.contCalls, CPrinterPort::kMaxDevices);
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
}

TEST_F(HostileDriverTest, AbsentEntryPointsCountNothingAndOpenNothing) {
  const ImportedDriver none;
  CPrinterPort port(none, loaded_, clock_);
  EXPECT_EQ(port.GetPrinterCount(), 0);
  EXPECT_EQ(port.OpenByPipeName(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen) << "no SetVenderID";
  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kOpenFailed) << "the device path's code stands";
  EXPECT_FALSE(port.IsPipeOpen(CPrinterPort::kWritePipe));
  EXPECT_FALSE(port.IsPipeOpen(CPrinterPort::kReadPipe));
}

}  // namespace
}  // namespace zmr
