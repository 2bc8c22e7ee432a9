// SPDX-License-Identifier: MIT
// The libusb driver libraries on the emulated bus: counting, describing and opening printers, the
// status and version requests crossing the bus, transfers to a printer that stops answering, and
// what closing leaves behind.
#include <gtest/gtest.h>

#include <regex.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "emulated_bus_fixture.h"
#include "link/status_query.h"
#include "protocol/commands.h"
#include "protocol/device_id.h"
#include "protocol/version_report.h"
#include "sim/sim_trace.h"

namespace zmr::test {
namespace {

UsbDeviceDescription PrinterAt(const char* sysName) {
  return {.sysName = sysName};
}
UsbDeviceDescription MakersInterfaceAt(const char* sysName) {
  return {.sysName = sysName, .interfaceClass = 0xFF};
}
UsbDeviceDescription OtherProductAt(const char* sysName, uint8_t interfaceClass = 7) {
  return {.sysName = sysName, .productId = 0x5007, .interfaceClass = interfaceClass};
}

struct CountCase {
  const char* name;
  std::vector<UsbDeviceDescription> devices;
  int listed;    // by libTUsbPrIf
  int openable;  // by libZUsbXpIf
};

// One process, one libusb context per library, devices plugged and unplugged between the cases:
// every count has to see the bus as it is now.
TEST_F(EmulatedBusTest, CountsTheMatchingPrintersAsTheyComeAndGo) {
  const std::vector<CountCase> cases = {
      {"no device", {}, 0, 0},
      {"one printer", {PrinterAt("1-2")}, 1, 0},
      {"two printers", {PrinterAt("1-2"), PrinterAt("1-3")}, 2, 0},
      {"another product ID", {OtherProductAt("1-2")}, 0, 0},
      {"another product beside ours", {OtherProductAt("1-2"), PrinterAt("1-3")}, 1, 0},
      {"the maker's interface", {MakersInterfaceAt("1-2")}, 0, 1},
      {"two with the maker's interface",
       {MakersInterfaceAt("1-2"), MakersInterfaceAt("1-3")},
       0,
       2},
      {"another product, maker's interface", {OtherProductAt("1-2", 0xFF)}, 0, 0},
      {"one of each kind", {PrinterAt("1-2"), MakersInterfaceAt("1-3")}, 1, 1},
      {"no device again", {}, 0, 0},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const UsbDeviceDescription& spec : c.devices) Plug(spec);
    auto port = NewPort();
    EXPECT_EQ(port->CountListedPrinters(), c.listed);
    EXPECT_EQ(port->CountOpenablePrinters(), c.openable);
    EXPECT_EQ(port->GetPrinterCount(), c.listed + c.openable);
    // Counting opens and closes the printers of the loaded library: nothing stays open or claimed.
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
    for (size_t i = 0; i < c.devices.size(); ++i) EXPECT_EQ(Device(i).Counts().claimedNow, 0);
    Unplug();
  }
}

TEST_F(EmulatedBusTest, DescribesEachPrinterByItsIdsAndItsPlaceOnTheBus) {
  const std::string hub = AddEmulatedHub("1-4");
  Plug(PrinterAt("1-4.1"));
  Plug(OtherProductAt("1-2"));
  Plug(MakersInterfaceAt("1-3"));  // not libTUsbPrIf's

  // The hub and the printer with the maker's interface are not listed; the order is that of
  // the places on the bus.
  ASSERT_EQ(UsbGetDeviceNum(), 2);
  const struct {
    const char* id;
    const char* path;
  } expected[] = {{"USB\\VID_04CB&PID_5007", "usb:1-2"}, {"USB\\VID_04CB&PID_5006", "usb:1-4.1"}};
  for (int i = 0; i < 2; ++i) {
    char id[ZMR_DRIVER_TEXT_SIZE] = {};
    char path[ZMR_DRIVER_TEXT_SIZE] = {};
    ASSERT_NE(UsbGetDeviceInfo(i, id, path), 0);
    EXPECT_STREQ(id, expected[i].id);
    EXPECT_STREQ(path, expected[i].path);
  }
  uint16_t ids[2] = {};
  char id[ZMR_DRIVER_TEXT_SIZE] = {};
  char path[ZMR_DRIVER_TEXT_SIZE] = {};
  ASSERT_NE(UsbGetDeviceInfo(1, id, path), 0);
  ASSERT_TRUE(ParseDeviceId(id, sizeof id, ids));
  EXPECT_EQ(ids[0], 0x04CB);
  EXPECT_EQ(ids[1], 0x5006);

  EXPECT_EQ(UsbGetDeviceInfo(-1, id, path), 0);
  EXPECT_EQ(UsbGetDeviceInfo(2, id, path), 0);
  EXPECT_EQ(UsbGetDeviceInfo(0, nullptr, path), 0);
  EXPECT_EQ(UsbGetDeviceInfo(0, id, nullptr), 0);

  Unplug();
  RemoveEmulatedDevice(hub);
}

TEST_F(EmulatedBusTest, OpensAPrinterByItsDevicePathWithOneClaimForBothPipes) {
  Plug(PrinterAt("1-3"));
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  EXPECT_EQ(port->DriverPath(), DriverPath::kByDevicePath);
  EXPECT_STREQ(port->DevicePath(), "usb:1-3");
  EXPECT_TRUE(port->IsPipeOpen(CPrinterPort::kWritePipe));
  EXPECT_TRUE(port->IsPipeOpen(CPrinterPort::kReadPipe));
  EXPECT_EQ(driver_api::OpenHandleCount(), 2u);
  EXPECT_EQ(Device(0).Counts().claims, 1);
}

TEST_F(EmulatedBusTest, OpensByIndexInTheOrderOfThePlacesOnTheBus) {
  Plug(MakersInterfaceAt("1-5"));
  Plug(MakersInterfaceAt("1-3"));
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  EXPECT_EQ(port->DriverPath(), DriverPath::kByIndex);
  EXPECT_EQ(Device(1).Counts().claims, 1) << "index 0 is the printer at 1-3";
  EXPECT_EQ(Device(0).Counts().claims, 0);
  port->Close();

  const uint16_t product = 0x5006;
  ASSERT_NE(SetVenderID(0x04CB), 0);
  SetProductID(&product, 1);
  const platform::DriverHandle second = UsbOpenBulk("PIPE01", 1);
  ASSERT_NE(second, platform::kInvalidHandle);
  EXPECT_EQ(Device(0).Counts().claims, 1);
  EXPECT_EQ(UsbOpenBulk("PIPE01", 2), platform::kInvalidHandle);
  platform::CloseHandle(second);
}

TEST_F(EmulatedBusTest, RefusesWhatNamesNoPipeOfAPrinter) {
  Plug(PrinterAt("1-2"));
  Plug(MakersInterfaceAt("1-3"));
  char unterminated[ZMR_DRIVER_TEXT_SIZE];
  std::memset(unterminated, 'x', sizeof unterminated);
  std::memcpy(unterminated, "usb:1-2", 7);
  const uint16_t product = 0x5006;
  ASSERT_NE(SetVenderID(0x04CB), 0);
  SetProductID(&product, 1);

  EXPECT_EQ(UsbOpenBulk3("PIPE00", "usb:1-9"), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk3("PIPE00", "usb:1-3"), platform::kInvalidHandle) << "not libTUsbPrIf's";
  EXPECT_EQ(UsbOpenBulk3("PIPE00", unterminated), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk3("PIPE00", nullptr), platform::kInvalidHandle);
  for (const char* name : {"PIPE02", "PIPE0", "PIPE000", "pipe00", ""}) {
    EXPECT_EQ(UsbOpenBulk3(name, "usb:1-2"), platform::kInvalidHandle) << name;
    EXPECT_EQ(UsbOpenBulk(name, 0), platform::kInvalidHandle) << name;
  }
  EXPECT_EQ(UsbOpenBulk3(nullptr, "usb:1-2"), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk(nullptr, 0), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenBulk("PIPE00", -1), platform::kInvalidHandle);
  EXPECT_EQ(UsbOpenCont(1, 0), platform::kInvalidHandle);

  // The control channel holds the printer open but carries nothing, and no control request is
  // supported.
  const platform::DriverHandle control = UsbOpenCont(0, 0);
  ASSERT_NE(control, platform::kInvalidHandle);
  uint8_t byte = 0;
  uint32_t done = 7;
  EXPECT_FALSE(platform::WriteHandle(control, &byte, 1, &done));
  EXPECT_EQ(done, 0u);
  uint32_t returned = 7;
  EXPECT_EQ(UsbDeviceIoControl(control, 0x220000, nullptr, 0, &byte, 1, &returned), 0);
  EXPECT_EQ(returned, 0u);
  platform::CloseHandle(control);
  EXPECT_EQ(Device(0).Counts().claims, 0);
  EXPECT_EQ(Device(1).Counts().claimedNow, 0);
}

TEST_F(EmulatedBusTest, TakesThePrinterFromTheKernelDriverAndGivesItBack) {
  Plug({.sysName = "1-2", .kernelDriverBound = true});
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  EXPECT_EQ(Device(0).Counts().detaches, 1);
  EXPECT_FALSE(Device(0).KernelDriverBound());
  port->Close();
  EXPECT_EQ(Device(0).Counts().reattaches, 1);
  EXPECT_TRUE(Device(0).KernelDriverBound());
}

TEST_F(EmulatedBusTest, APrinterHeldByAnotherProgramDoesNotOpenAndLeavesNothingOpen) {
  Plug({.sysName = "1-2", .heldByOtherProgram = true});
  auto port = NewPort();
  EXPECT_EQ(port->GetPrinterCount(), 1) << "counting does not open a listed printer";
  EXPECT_EQ(port->Open(), 0);
  EXPECT_EQ(port->ErrorCode(), PortError::kOpenFailed);
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  EXPECT_EQ(OpenDeviceNodes(), 0u);
}

TEST_F(EmulatedBusTest, StatusGateAndVersionRequestCrossTheBus) {
  sim::PrinterConfig config;
  config.busyMs = 1200;
  config.unit1Printing = true;
  Plug(PrinterAt("1-2"), config);
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  // The quiet read that empties the IN pipe at the open is the only one cancelled.
  const int drained = Device(0).Counts().discards;

  CStatusQuery query;
  StatusReport report{};
  EXPECT_EQ(Code(WaitWhileBusy(*port, query, 0, report, true)), 0);
  EXPECT_GE(clock_.ElapsedMs(), 1200u) << "polled while the printer said busy";
  EXPECT_FALSE(IsPrinterBusy(report.stateBytes));
  EXPECT_TRUE(IsUnitPrinting(report.unit1Head));
  EXPECT_FALSE(IsUnitPrinting(report.unit2Head));
  EXPECT_FALSE(IsUnitInError(report.unit1Head));

  ASSERT_EQ(port->SendVersionRequest(command::kVersionCode), 1);
  clock_.Sleep(1000);
  VersionReport versions{};
  ASSERT_EQ(port->ReadVersionReply(versions), 1);
  EXPECT_STREQ(versions.data1Version, "316B20");
  EXPECT_EQ(versions.data1CheckSum, 0x1A2Bu);
  EXPECT_STREQ(versions.data2Version, "318C20");
  EXPECT_EQ(versions.data2CheckSum, 0x3C4Du);
  EXPECT_STREQ(versions.data3Version, "D10");
  EXPECT_EQ(versions.data3CheckSum, 0x5E6Fu);
  EXPECT_EQ(Device(0).Counts().discards, drained);
}

TEST_F(EmulatedBusTest, APrinterThatStopsAnsweringFailsTheTransferAfterTheTimeout) {
  const ScopedTransferTimeout timeout(100);
  sim::PrinterConfig config;
  // The second write: the printer takes 1000 bytes of the block and then no more.
  config.faults = {sim::Fault::FailWrite(2).Short(1000)};
  Plug(PrinterAt("1-2"), config);
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  const int drained = Device(0).Counts().discards;  // the quiet read at the open

  // Nothing was asked, so nothing comes: the read is cancelled when its time is up.
  uint8_t reply[kVersionReplySize] = {};
  EXPECT_EQ(port->Read(reply, sizeof reply), 0u);
  EXPECT_EQ(port->ErrorCode(), PortError::kTransferFailed);
  EXPECT_EQ(Device(0).Counts().discards, drained + 1);

  // The cancelled transfer is over: the pipes still carry the next request and its reply.
  ASSERT_EQ(port->SendVersionRequest(command::kVersionCode), 1);
  clock_.Sleep(1000);
  VersionReport versions{};
  EXPECT_EQ(port->ReadVersionReply(versions), 1);

  // A block that the printer stops taking part-way fails and reports the bytes that did go
  // through (the port itself turns any failed write into 0).
  const platform::DriverHandle out = UsbOpenBulk3("PIPE00", "usb:1-2");
  const std::vector<uint8_t> block(4096, 0xFF);
  uint32_t done = 0;
  EXPECT_FALSE(platform::WriteHandle(out, block.data(), 4096, &done));
  EXPECT_EQ(done, 1000u);
  EXPECT_EQ(Device(0).Counts().discards, drained + 2);
  platform::CloseHandle(out);
}

TEST_F(EmulatedBusTest, AfterTheModeSwitchTheOldHandlesFailAtOnceAndAReopenWorks) {
  const ScopedTransferTimeout timeout(100);
  Plug(PrinterAt("1-2"));
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  const int drained = Device(0).Counts().discards;  // the quiet read at the open
  ASSERT_EQ(port->EnterDownloadMode(), 1);

  // The printer has dropped off the bus: the old handle fails without waiting for the timeout.
  const uint8_t wake[4] = {0x1B, 'E', 'W', 'U'};
  EXPECT_EQ(port->Write(wake, 4), 0u);
  EXPECT_EQ(Device(0).Counts().discards, drained);

  port->Close();
  clock_.Sleep(Model(0).Config().reenumerationMs);
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->SendVersionRequest(command::kVersionCode), 1);
  clock_.Sleep(1000);
  VersionReport versions{};
  EXPECT_EQ(port->ReadVersionReply(versions), 1);
  EXPECT_EQ(Model(0).CurrentMode(), sim::Mode::kDownload);
}

TEST_F(EmulatedBusTest, ClosingTheLastHandleReleasesTheInterfaceAndClosesTheDevice) {
  Plug(PrinterAt("1-2"));

  const platform::DriverHandle out = UsbOpenBulk3("PIPE00", "usb:1-2");
  const platform::DriverHandle in = UsbOpenBulk3("PIPE01", "usb:1-2");
  ASSERT_NE(out, platform::kInvalidHandle);
  ASSERT_NE(in, platform::kInvalidHandle);
  EXPECT_EQ(OpenDeviceNodes(), 1u) << "both pipes share one open device";

  // The device stays open and claimed while one of its handles does.
  ASSERT_TRUE(platform::CloseHandle(in));
  EXPECT_EQ(Device(0).Counts().releases, 0);
  const uint8_t wake[4] = {0x1B, 'E', 'W', 'U'};
  uint32_t done = 0;
  EXPECT_TRUE(platform::WriteHandle(out, wake, 4, &done));
  EXPECT_EQ(done, 4u);

  ASSERT_TRUE(platform::CloseHandle(out));
  const UsbfsCounts counts = Device(0).Counts();
  EXPECT_EQ(counts.claims, 1);
  EXPECT_EQ(counts.releases, 1);
  EXPECT_EQ(counts.claimedNow, 0);
  EXPECT_EQ(counts.refused, 0);
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
  EXPECT_EQ(OpenDeviceNodes(), 0u);
}

// A reply that nobody read (its reader timed out, or the tool before this one ended) waits in the
// printer's IN pipe. Opening the pipe reads it away, so that the next request gets its own answer
// and not the stale one.
TEST_F(EmulatedBusTest, AReplyLeftInTheInPipeIsNotTakenForTheNextOne) {
  const ScopedTransferTimeout timeout(100);
  Plug(PrinterAt("1-2"));
  {
    auto earlier = NewPort();
    ASSERT_EQ(earlier->Open(), 1);
    ASSERT_EQ(earlier->SendVersionRequest(command::kVersionCode), 1);
    clock_.Sleep(1000);  // the reply is made, and its reader has given up
  }                      // closed with the 48-byte version reply unread

  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  CStatusQuery query;
  StatusReport report{};
  EXPECT_EQ(Code(WaitWhileBusy(*port, query, 0, report, true)), 0)
      << "the status request read the earlier version reply";
}

// The simulated printer's trace format, as the scripts that read it see a line.
bool IsTraceLine(const std::string& line) {
  static const char* const kPattern =
      "^[0-9]+ (W PIPE00|R PIPE01) [0-9]+ (-|([0-9a-f]{2}){1,16}(\\.\\.\\.)?)"
      "( short [0-9]+| failed( LIBUSB_ERROR_[A-Z_]+)?)?$";
  regex_t re;
  if (regcomp(&re, kPattern, REG_EXTENDED | REG_NOSUB) != 0) return false;
  const bool match = regexec(&re, line.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return match;
}

// ZMR470_USB_TRACE: the libusb libraries write the simulated printer's line format, so the same
// scripts read a real printer's session.
TEST_F(EmulatedBusTest, UsbTraceWritesTheSimulatedPrintersLineFormat) {
  // The pattern is the one the simulator's own lines follow.
  sim::TraceEntry entry;
  entry.direction = 'R';
  entry.length = 48;
  entry.done = 20;
  entry.ok = true;
  entry.bytes.assign(16, 0x23);
  ASSERT_TRUE(IsTraceLine(sim::FormatTraceLine(entry, 0))) << sim::FormatTraceLine(entry, 0);

  const ScopedTransferTimeout timeout(100);
  const std::string path = testing::TempDir() + "zmr470-usb-trace-" + std::to_string(getpid());
  std::remove(path.c_str());
  setenv("ZMR470_USB_TRACE", path.c_str(), 1);
  Plug(PrinterAt("1-2"));
  auto port = NewPort();
  ASSERT_EQ(port->Open(), 1);
  ASSERT_EQ(port->SendVersionRequest(command::kVersionCode), 1);
  clock_.Sleep(1000);  // the printer's time to make the reply
  VersionReport versions{};
  ASSERT_EQ(port->ReadVersionReply(versions), 1);
  uint8_t nothing[4];
  EXPECT_EQ(port->Read(nothing, sizeof nothing), 0u);  // no reply pending: times out
  port.reset();
  unsetenv("ZMR470_USB_TRACE");

  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  std::remove(path.c_str());
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) EXPECT_TRUE(IsTraceLine(line)) << line;
  EXPECT_NE(lines[0].find(" W PIPE00 4 1b562300"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" R PIPE01 48 232e00"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("..."), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(" R PIPE01 4 - failed LIBUSB_ERROR_TIMEOUT"), std::string::npos)
      << lines[2];
}

}  // namespace
}  // namespace zmr::test
