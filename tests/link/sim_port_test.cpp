// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/driver_library.h"
#include "tests/link/sim_port_fixture.h"

namespace zmr {
namespace {

using sim::OpenFault;
using sim::SimConfig;

const uint8_t kVersionRequest[4] = {0x1B, 'V', '#', 0x00};

TEST(DriverLibraryTest, BindsTheFiveEntryPointsOnce) {
  CDriverLibrary library;
  ASSERT_TRUE(library.Bind());
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_NE(library.SetVenderID, nullptr);
  EXPECT_NE(library.SetProductID, nullptr);
  EXPECT_NE(library.UsbOpenCont, nullptr);
  EXPECT_NE(library.UsbOpenBulk, nullptr);
  EXPECT_NE(library.UsbDeviceIoControl, nullptr);
  EXPECT_FALSE(library.Bind()) << "only while nothing is loaded";
}

TEST(DriverLibraryTest, MissingLibraryOrEntryPoints) {
  CDriverLibrary missing;
  EXPECT_FALSE(missing.Bind("NoSuchDriverLibrary"));
  EXPECT_FALSE(missing.IsLoaded());

  // The linked library exports none of the five; it stays loaded all the same.
  CDriverLibrary lacking;
  EXPECT_FALSE(lacking.Bind("TUsbPrIf"));
  EXPECT_TRUE(lacking.IsLoaded());
  EXPECT_EQ(lacking.SetVenderID, nullptr);
}

class PrinterCountTest : public SimPortTest {};

TEST_F(PrinterCountTest, CountsOverBothPathsAndLeavesNoHandle) {
  struct Case {
    const char* name;
    SimConfig config;
    int listed;
    int openable;
  };
  SimConfig otherProduct = Printers(1, 0);
  otherProduct.extra = {{"USB\\VID_04CB&PID_5007&REV_0100", "other-product"},
                        {"USB\\VID_04CC&PID_5006", "other-vendor"},
                        {"USB\\ROOT_HUB20", "hub"}};
  SimConfig refused = Printers(1, 2);
  refused.vendorIdRefused = true;
  SimConfig pipeMissing = Printers(0, 2);
  pipeMissing.openFaults = {OpenFault{OpenFault::Via::kIndexed, "PIPE01", 0}};
  SimConfig manyOthers = Printers(2, 0);
  manyOthers.others = 5;

  const Case cases[] = {
      {"OneListedOneOpenable", Printers(1, 1), 1, 1},
      {"Nothing", Printers(0, 0), 0, 0},
      {"TwoListedOneInLowerCase", Printers(2, 0), 2, 0},
      {"ThreeOpenable", Printers(0, 3), 0, 3},
      {"OtherDevicesNotCounted", otherProduct, 1, 0},
      {"AmongOtherDevices", manyOthers, 2, 0},
      {"VendorIdRefused", refused, 1, 0},
      {"ReadPipeDoesNotOpen", pipeMissing, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPrinterPort& port = Start(c.config);
    EXPECT_EQ(port.CountListedPrinters(), c.listed);
    EXPECT_EQ(port.CountOpenablePrinters(), c.openable);
    EXPECT_EQ(port.GetPrinterCount(), c.listed + c.openable);
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
    EXPECT_EQ(port.ErrorCode(), PortError::kNone);
  }
}

class PortOpenTest : public SimPortTest {};

TEST_F(PortOpenTest, OpensThroughEitherLibraryPreferringTheIndexedOne) {
  struct Case {
    const char* name;
    SimConfig config;
    int result;
    DriverPath driverPath;
    PortError code;
  };
  SimConfig refused = Printers(1, 1);
  refused.vendorIdRefused = true;
  const Case cases[] = {
      {"Indexed", Printers(0, 1), 1, DriverPath::kByIndex, PortError::kNone},
      {"Listed", Printers(1, 0), 1, DriverPath::kByDevicePath, PortError::kNone},
      {"BothPrefersIndexed", Printers(1, 1), 1, DriverPath::kByIndex, PortError::kNone},
      {"VendorRefusedFallsBackToListed", refused, 1, DriverPath::kByDevicePath, PortError::kNone},
      {"NoPrinter", Printers(0, 0), 0, DriverPath::kByIndex, PortError::kOpenFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPrinterPort& port = Start(c.config);
    EXPECT_EQ(port.Open(), c.result);
    EXPECT_EQ(port.ErrorCode(), c.code);
    EXPECT_EQ(port.DriverPath(), c.driverPath);
    EXPECT_EQ(port.IsPipeOpen(CPrinterPort::kWritePipe), c.result == 1);
    EXPECT_EQ(port.IsPipeOpen(CPrinterPort::kReadPipe), c.result == 1);
    EXPECT_FALSE(port.IsPipeOpen(2));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  }
}

TEST_F(PortOpenTest, VendorIdRefusedIsCode1OnTheIndexedPath) {
  SimConfig config = Printers(0, 1);
  config.vendorIdRefused = true;
  CPrinterPort& port = Start(config);
  EXPECT_EQ(port.OpenByPipeName(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
}

TEST_F(PortOpenTest, OpenOnAnOpenPortFailsAndKeepsThePipes) {
  CPrinterPort& port = Start(Printers(1, 1));
  ASSERT_EQ(port.Open(), 1);
  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
  EXPECT_EQ(port.OpenByDevicePath(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
  EXPECT_EQ(port.DriverPath(), DriverPath::kByIndex);
  EXPECT_EQ(driver_api::OpenHandleCount(), 2u);
  // The first pipes still carry the printer's answer.
  uint8_t reply[48];
  EXPECT_EQ(port.Write(kVersionRequest, 4), 4u);
  EXPECT_EQ(port.Read(reply, sizeof(reply)), 48u);
}

// A pipe that does not open: the other is closed again, both are marked closed, code 100.
TEST_F(PortOpenTest, HalfOpenAttemptIsUndone) {
  struct Case {
    const char* name;
    SimConfig config;
    const char* pipe;
  };
  const Case cases[] = {
      {"IndexedReadPipe", Printers(0, 1), "PIPE01"},
      {"IndexedWritePipe", Printers(0, 1), "PIPE00"},
      {"ListedReadPipe", Printers(1, 0), "PIPE01"},
      {"ListedWritePipe", Printers(1, 0), "PIPE00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimConfig config = c.config;
    config.openFaults = {OpenFault{OpenFault::Via::kAny, c.pipe, 0}};
    CPrinterPort& port = Start(config);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.ErrorCode(), PortError::kOpenFailed);
    EXPECT_FALSE(port.IsPipeOpen(CPrinterPort::kWritePipe));
    EXPECT_FALSE(port.IsPipeOpen(CPrinterPort::kReadPipe));
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  }
}

TEST_F(PortOpenTest, SuccessfulOpenClearsTheCode) {
  CPrinterPort& port = Start(Printers(1, 0));
  uint8_t byte = 0;
  EXPECT_EQ(port.Read(&byte, 1), 0u);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
  ASSERT_EQ(port.Open(), 1);
  EXPECT_EQ(port.ErrorCode(), PortError::kNone);
}

class PortTransferTest : public SimPortTest {};

TEST_F(PortTransferTest, NotOpenGivesZeroAndCode1) {
  CPrinterPort& port = Start(Printers(1, 0));
  uint8_t buffer[4] = {};
  EXPECT_EQ(port.Write(kVersionRequest, 4), 0u);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
  EXPECT_EQ(port.Read(buffer, 4), 0u);
  EXPECT_EQ(port.ErrorCode(), PortError::kNotOpen);
  EXPECT_TRUE(Bus().TraceEntries().empty());
}

TEST_F(PortTransferTest, ShortReadIsStickyAcrossLaterSuccess) {
  SimConfig config = Printers(1, 0);
  config.printer.faults = {sim::Fault::ShortRead(1, 40)};
  CPrinterPort& port = Start(config);
  ASSERT_EQ(port.Open(), 1);
  uint8_t reply[48];
  ASSERT_EQ(port.Write(kVersionRequest, 4), 4u);
  EXPECT_EQ(port.Read(reply, 48), 40u);
  EXPECT_EQ(port.ErrorCode(), PortError::kTransferFailed);

  ASSERT_EQ(port.Write(kVersionRequest, 4), 4u);
  EXPECT_EQ(port.Read(reply, 48), 48u);
  EXPECT_EQ(port.ErrorCode(), PortError::kTransferFailed) << "a success does not reset it";
}

TEST_F(PortTransferTest, FailedOrShortWritesAndFailedReads) {
  struct Case {
    const char* name;
    sim::Fault fault;
    bool read;
    uint32_t result;
  };
  const Case cases[] = {
      {"FailedWrite", sim::Fault::FailWrite(1), false, 0},
      {"ShortWrite", sim::Fault::FailWrite(1).Short(3), false, sim::kSeesShortWrites ? 3u : 0u},
      {"FailedRead", sim::Fault::FailRead(1), true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimConfig config = Printers(1, 0);
    config.printer.faults = {c.fault};
    CPrinterPort& port = Start(config);
    ASSERT_EQ(port.Open(), 1);
    uint8_t reply[48];
    if (c.read) {
      ASSERT_EQ(port.Write(kVersionRequest, 4), 4u);
      EXPECT_EQ(port.Read(reply, 48), c.result);
    } else {
      EXPECT_EQ(port.Write(kVersionRequest, 4), c.result);
    }
    EXPECT_EQ(port.ErrorCode(), PortError::kTransferFailed);
  }
}

class DevicePathTest : public SimPortTest {};

TEST_F(DevicePathTest, StoredPathIsKeptAcrossCloseUntilCleared) {
  CPrinterPort& port = Start(Printers(1, 0));
  EXPECT_STREQ(port.DevicePath(), "");
  ASSERT_EQ(port.Open(), 1);
  const std::string path = port.DevicePath();
  EXPECT_EQ(path, Bus().DevicePath(0));
  port.Close();
  EXPECT_EQ(port.DevicePath(), path);
  port.ClearDevicePath();
  EXPECT_STREQ(port.DevicePath(), "");
  EXPECT_EQ(std::string(port.DevicePath(), CPrinterPort::kDevicePathSize),
            std::string(CPrinterPort::kDevicePathSize, '\0'));
}

// After the mode switch the printer comes back under a new path: the stored one no longer opens
// it, and only a fresh look-up after ClearDevicePath does.
TEST_F(DevicePathTest, StalePathFailsUntilLookedUpAgain) {
  SimConfig config = Printers(1, 0);
  config.newPathAfterModeSwitch = true;
  CPrinterPort& port = Start(config);
  ASSERT_EQ(port.Open(), 1);
  const std::string before = port.DevicePath();
  const uint8_t enterDownloadMode[4] = {0x1B, 'f', 'g', 0x00};
  ASSERT_EQ(port.Write(enterDownloadMode, 4), 4u);
  port.Close();
  clock_.Sleep(config.printer.reenumerationMs + 100);
  ASSERT_NE(Bus().DevicePath(0), before);

  EXPECT_EQ(port.Open(), 0);
  EXPECT_EQ(port.ErrorCode(), PortError::kOpenFailed);
  EXPECT_EQ(port.DevicePath(), before) << "a failed open keeps the stored path";

  port.ClearDevicePath();
  ASSERT_EQ(port.Open(), 1);
  EXPECT_EQ(port.DevicePath(), Bus().DevicePath(0));
  EXPECT_EQ(port.DriverPath(), DriverPath::kByDevicePath);
}

TEST_F(DevicePathTest, PathOfTheFirstMatchingListedDevice) {
  SimConfig config = Printers(2, 0);
  config.others = 2;
  CPrinterPort& port = Start(config);
  char dest[CPrinterPort::kDevicePathSize];
  const uint16_t ids[2] = {0x04CB, 0x5006};
  ASSERT_TRUE(port.FindDevicePath(dest, ids));
  EXPECT_EQ(std::string(dest), Bus().DevicePath(0));
}

}  // namespace
}  // namespace zmr
