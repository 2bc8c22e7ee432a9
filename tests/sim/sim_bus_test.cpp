// SPDX-License-Identifier: MIT
// The simulated bus through the two driver libraries' entry points, as the tool calls them.
#include "sim/sim_bus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "driver_api/driver_api.h"
#include "driver_api/handle_table.h"
#include "platform/handle_io.h"

namespace zmr::sim {
namespace {

const uint8_t kEnter[] = {0x1B, 'f', 'g', 0};
const uint8_t kVersion[] = {0x1B, 'V', '#', 0};
const uint16_t kProduct = 0x5006;

class SimBusTest : public ::testing::Test {
 protected:
  void Configure() { SimBus::Instance().Reset(config, clock); }
  void SetUp() override { Configure(); }
  void TearDown() override {
    EXPECT_EQ(SimBus::Instance().OpenHandleCount(), 0u);
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
    SimBus::Instance().Clear();
  }

  struct Info {
    bool ok;
    std::string id;
    std::string path;
  };
  static Info DeviceInfo(int index) {
    char id[ZMR_DRIVER_TEXT_SIZE] = {};
    char path[ZMR_DRIVER_TEXT_SIZE] = {};
    const bool ok = UsbGetDeviceInfo(index, id, path) != 0;
    return {ok, std::string(id, strnlen(id, sizeof id)),
            std::string(path, strnlen(path, sizeof path))};
  }
  static bool WriteAll(intptr_t handle, const uint8_t* bytes, uint32_t length) {
    uint32_t done = 0;
    return platform::WriteHandle(handle, bytes, length, &done) && done == length;
  }
  static void Close(intptr_t& handle) {
    if (handle != platform::kInvalidHandle) platform::CloseHandle(handle);
    handle = platform::kInvalidHandle;
  }
  static bool SelectOurPrinter() {
    const bool ok = SetVenderID(0x04CB) != 0;
    SetProductID(&kProduct, 1);
    return ok;
  }

  VirtualClock clock;
  SimConfig config;
};

TEST_F(SimBusTest, ListsPrintersAndOtherDevices) {
  config.listed = 2;
  config.others = 2;
  config.extra = {{"HID\\VID_04CB&PID_5006", "not-usb"}};
  Configure();
  ASSERT_EQ(UsbGetDeviceNum(), 5);
  EXPECT_EQ(DeviceInfo(0).id.find("USB\\VID_04CB&PID_5006"), std::string::npos);
  EXPECT_EQ(DeviceInfo(1).id.find("USB\\VID_04CB&PID_5006"), std::string::npos);
  EXPECT_EQ(DeviceInfo(2).id, "HID\\VID_04CB&PID_5006");
  EXPECT_EQ(DeviceInfo(3).id, "USB\\VID_04CB&PID_5006&REV_0100");
  EXPECT_EQ(DeviceInfo(4).id, "usb\\vid_04cb&pid_5006&rev_0100");
  EXPECT_NE(DeviceInfo(3).path, DeviceInfo(4).path);
  EXPECT_EQ(DeviceInfo(3).path, SimBus::Instance().DevicePath(0));
  EXPECT_FALSE(DeviceInfo(5).ok);
  EXPECT_FALSE(DeviceInfo(-1).ok);
  char id[ZMR_DRIVER_TEXT_SIZE] = {};
  EXPECT_EQ(UsbGetDeviceInfo(3, id, nullptr), 0);
}

TEST_F(SimBusTest, OpensPipesByPathAndMovesBytes) {
  const std::string path = DeviceInfo(0).path;
  intptr_t out = UsbOpenBulk3("PIPE00", path.c_str());
  intptr_t in = UsbOpenBulk3("PIPE01", path.c_str());
  ASSERT_NE(out, platform::kInvalidHandle);
  ASSERT_NE(in, platform::kInvalidHandle);
  EXPECT_EQ(SimBus::Instance().OpenHandleCount(), 2u);
  ASSERT_TRUE(WriteAll(out, kVersion, 4));
  clock.Advance(1000);  // the reply is ready a while after the request
  uint8_t reply[48] = {};
  uint32_t done = 0;
#ifndef _WIN32  // there PIPE00's end is a pipe that waits for data that never comes
  EXPECT_FALSE(platform::ReadHandle(out, reply, 48, &done));  // PIPE00 only writes
#endif
  EXPECT_TRUE(platform::ReadHandle(in, reply, 48, &done));
  EXPECT_EQ(done, 48u);
  EXPECT_EQ(reply[0], '#');
  EXPECT_FALSE(WriteAll(in, kVersion, 4));  // PIPE01 only reads
  EXPECT_EQ(UsbOpenBulk3("PIPE02", path.c_str()), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk3(nullptr, path.c_str()), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk3("PIPE00", "\\\\?\\usb#elsewhere"), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk3("PIPE00", nullptr), platform::kInvalidHandle);
  Close(out);
  Close(in);
}

TEST_F(SimBusTest, HandlesGoStaleAcrossTheModeSwitch) {
  for (const bool newPath : {false, true}) {
    SCOPED_TRACE(newPath);
    config.newPathAfterModeSwitch = newPath;
    config.printer.reenumerationMs = 1000;
    Configure();
    const std::string before = DeviceInfo(0).path;
    intptr_t out = UsbOpenBulk3("PIPE00", before.c_str());
    ASSERT_TRUE(WriteAll(out, kEnter, 4));
    EXPECT_EQ(SimBus::Instance().Printer(0).CurrentMode(), Mode::kDownload);
    EXPECT_EQ(UsbGetDeviceNum(), 0);  // off the bus while it re-enumerates
    EXPECT_EQ(UsbOpenBulk3("PIPE00", before.c_str()), platform::kInvalidHandle);
    clock.Advance(1000);
    ASSERT_EQ(UsbGetDeviceNum(), 1);
    EXPECT_FALSE(WriteAll(out, kVersion, 4));
    Close(out);
    const std::string after = DeviceInfo(0).path;
    EXPECT_EQ(after != before, newPath);
    intptr_t stale = UsbOpenBulk3("PIPE00", before.c_str());
    EXPECT_EQ(stale != platform::kInvalidHandle, !newPath);
    Close(stale);
    out = UsbOpenBulk3("PIPE00", after.c_str());
    EXPECT_TRUE(WriteAll(out, kVersion, 4));
    Close(out);
  }
}

TEST_F(SimBusTest, LongTextsAreCutTo255CharactersAndANul) {
  const std::string longId = "USB\\VID_04CB&PID_5006&" + std::string(300, 'R');
  const std::string longPath(256, 'p');
  config.printerDeviceId = longId;
  config.printerDevicePath = longPath + "tail";
  Configure();
  char id[ZMR_DRIVER_TEXT_SIZE + 8];
  char path[ZMR_DRIVER_TEXT_SIZE + 8];
  std::memset(id, 0x5A, sizeof id);
  std::memset(path, 0x5A, sizeof path);
  ASSERT_NE(UsbGetDeviceInfo(0, id, path), 0);
  EXPECT_EQ(std::string(id), longId.substr(0, ZMR_DRIVER_TEXT_SIZE - 1));
  EXPECT_EQ(std::string(path), longPath.substr(0, ZMR_DRIVER_TEXT_SIZE - 1));
  for (size_t i = ZMR_DRIVER_TEXT_SIZE; i < sizeof id; ++i) {
    EXPECT_EQ(id[i], 0x5A);
    EXPECT_EQ(path[i], 0x5A);
  }
  // The path handed out opens the printer.
  intptr_t out = UsbOpenBulk3("PIPE00", path);
  EXPECT_NE(out, platform::kInvalidHandle);
  Close(out);
}

TEST_F(SimBusTest, OpensIndexedPrintersAmongTheSetIds) {
  config.listed = 0;
  config.indexed = 2;
  Configure();
  EXPECT_EQ(UsbOpenBulk("PIPE00", 0), platform::kInvalidHandle);  // no vendor ID set yet
  ASSERT_TRUE(SelectOurPrinter());
  for (int index = 0; index < 2; ++index) {
    intptr_t control = UsbOpenCont(index, 0);
    intptr_t out = UsbOpenBulk("PIPE00", index);
    EXPECT_NE(control, platform::kInvalidHandle);
    EXPECT_TRUE(WriteAll(out, kVersion, 4));
    Close(control);
    Close(out);
  }
  EXPECT_EQ(UsbOpenCont(2, 0), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk("PIPE01", 2), platform::kInvalidHandle);
  EXPECT_EQ(SimBus::Instance().Printer(1).WriteCount(), 1u);
  const uint16_t other = 0x5007;
  SetProductID(&other, 1);
  EXPECT_EQ(UsbOpenBulk("PIPE00", 0), platform::kInvalidHandle);
  EXPECT_EQ(UsbDeviceIoControl(0, 1, nullptr, 0, nullptr, 0, nullptr), 0);

  config.vendorIdRefused = true;
  Configure();
  EXPECT_EQ(SetVenderID(0x04CB), 0);
}

TEST_F(SimBusTest, PipesThatDoNotOpen) {
  using Via = OpenFault::Via;
  const struct {
    const char* name;
    OpenFault fault;
    bool listed00, listed01, indexed00, indexed01;  // second open of each
  } cases[] = {
      {"PIPE00 anywhere", {Via::kAny, "PIPE00", 0}, false, true, false, true},
      {"listed PIPE01", {Via::kListed, "PIPE01", 0}, true, false, true, true},
      {"indexed PIPE01 after the first open",
       {Via::kIndexed, "PIPE01", 1},
       true,
       true,
       true,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    config.listed = 1;
    config.indexed = 1;
    config.openFaults = {c.fault};
    Configure();
    ASSERT_TRUE(SelectOurPrinter());
    const std::string path = DeviceInfo(0).path;
    for (int round = 0; round < 2; ++round) {
      intptr_t handles[] = {UsbOpenBulk3("PIPE00", path.c_str()),
                            UsbOpenBulk3("PIPE01", path.c_str()), UsbOpenBulk("PIPE00", 0),
                            UsbOpenBulk("PIPE01", 0)};
      const bool expected[] = {c.listed00, c.listed01, c.indexed00, c.indexed01};
      for (int i = 0; i < 4; ++i) {
        if (round == 1) {
          EXPECT_EQ(handles[i] != platform::kInvalidHandle, expected[i]) << i;
        }
        Close(handles[i]);
      }
    }
  }
}

TEST_F(SimBusTest, TraceKeepsEveryTransferWithItsTime) {
  config.trace = true;
  Configure();
  intptr_t out = UsbOpenBulk3("PIPE00", DeviceInfo(0).path.c_str());
  clock.Advance(500);
  ASSERT_TRUE(WriteAll(out, kVersion, 4));
  Close(out);
  const std::vector<TraceEntry> entries = SimBus::Instance().TraceEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].tick, 500u);
  EXPECT_EQ(std::string(entries[0].Pipe()), "PIPE00");
  SimBus::Instance().ClearTrace();
  EXPECT_TRUE(SimBus::Instance().TraceEntries().empty());
}

TEST_F(SimBusTest, TraceFileHasOneLinePerTransfer) {
  const std::string file = ::testing::TempDir() + "sim_trace_test.txt";
  std::remove(file.c_str());
  config.traceFile = file;
  config.printer.faults = {Fault::ShortRead(1, 10)};
  clock.Advance(7000);  // lines count from the set-up of the bus
  Configure();
  intptr_t out = UsbOpenBulk3("PIPE00", DeviceInfo(0).path.c_str());
  intptr_t in = UsbOpenBulk3("PIPE01", DeviceInfo(0).path.c_str());
  clock.Advance(25);
  ASSERT_TRUE(WriteAll(out, kVersion, 4));
  clock.Advance(1000);
  uint8_t reply[48];
  uint32_t done = 0;
  platform::ReadHandle(in, reply, sizeof reply, &done);
  platform::ReadHandle(in, reply, sizeof reply, &done);
  Close(out);
  Close(in);
  SimBus::Instance().Clear();  // closes the file
  std::ifstream stream(file);
  const std::string text((std::istreambuf_iterator<char>(stream)),
                         std::istreambuf_iterator<char>());
  // Where reads are seen only as replies go into the pipe, the reply is read right after its
  // request, and the read of nothing is not seen.
  EXPECT_EQ(text,
            kSeesReadsWhenMade
                ? "25 W PIPE00 4 1b562300\n"
                  "1025 R PIPE01 48 232e0004700033313642 short 10\n"
                  "1025 VIOLATION read-nothing: a read of 48 bytes with no request to answer\n"
                  "1025 R PIPE01 48 - failed\n"
                : "25 W PIPE00 4 1b562300\n"
                  "25 R PIPE01 48 232e0004700033313642 short 10\n");
  std::remove(file.c_str());
}

TEST_F(SimBusTest, ConfiguresItselfFromTheEnvironmentAtFirstUse) {
  SimBus::Instance().Clear();
  ::setenv("ZMR470_SIM", "listed=3", 1);
  EXPECT_EQ(UsbGetDeviceNum(), 3);
  EXPECT_TRUE(SimBus::Instance().IsConfigured());
  EXPECT_EQ(SimBus::Instance().Config().printer.bytesPerSecond, 200000u);
  ::unsetenv("ZMR470_SIM");
}

}  // namespace
}  // namespace zmr::sim
