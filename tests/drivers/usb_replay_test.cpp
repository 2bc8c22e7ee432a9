// SPDX-License-Identifier: MIT
// A session of the libusb drivers recorded with ZMR470_USB_FULLTRACE over the emulated bus, played
// back by the simulated printer: the same tool ends the same way, with no divergence.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../update/quiet_view.h"
#include "emulated_bus_fixture.h"
#include "sim/recording.h"
#include "sim/sim_bus.h"
#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr::test {
namespace {

// The simulated bus's entry points under names of their own: this program is linked with the
// libusb ones.
int SimDeviceNum() {
  return sim::SimBus::Instance().DeviceCount();
}
int SimDeviceInfo(int index, char* id, char* path) {
  return sim::SimBus::Instance().DeviceInfo(index, id, path) ? 1 : 0;
}
intptr_t SimOpenBulk3(const char* pipe, const char* path) {
  return sim::SimBus::Instance().OpenByPath(pipe, path);
}
int SimSetVenderID(uint16_t vendor) {
  return sim::SimBus::Instance().SetVendorId(vendor) ? 1 : 0;
}
int SimSetProductID(const uint16_t* products, int count) {
  sim::SimBus::Instance().SetProductIds(products, count);
  return 1;
}
intptr_t SimOpenCont(int index, int) {
  return sim::SimBus::Instance().OpenControl(index);
}
intptr_t SimOpenBulk(const char* pipe, int index) {
  return sim::SimBus::Instance().OpenByIndex(pipe, index);
}

struct Ending {
  uint32_t message;
  RunReason reason;
  std::string detail;
  DisplayFields fields;
};

Ending Press(VirtualClock& clock, const ImportedDriver& imported, const CDriverLibrary& loaded) {
  QuietView view;
  const platform::NoKeysDown keys;
  CUpdateProcedure procedure(view, {clock, keys, imported, loaded, platform::Language::English});
  procedure.OnDownload();
  const RunResult& run = procedure.LastRun();
  return {run.messageId, run.reason, run.detail, procedure.Fields()};
}

TEST_F(EmulatedBusTest, ARecordingOfTheLibusbDriversReplaysWithTheSameEnding) {
  struct Case {
    const char* name;
    std::vector<sim::Fault> faults;
    UsbDeviceDescription device;
    uint32_t message;
  };
  const Case cases[] = {
      {"success by device path", {}, {.sysName = "1-2"}, IDS_SUCCESS},
      // The printer stops taking DATA2 after 1000 bytes of its 5th block: the write times out.
      {"a write cut short by index",
       {sim::Fault::ShortBlock('t', 5, 1000)},
       {.sysName = "1-2", .interfaceClass = 0xFF},
       IDS_FAILED},
  };
  const ScopedTransferTimeout timeout(100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path =
        testing::TempDir() + "zmr470-usb-recording-" + std::to_string(getpid());
    std::remove(path.c_str());
    setenv("ZMR470_USB_TRACE", path.c_str(), 1);
    setenv("ZMR470_USB_FULLTRACE", "1", 1);
    sim::PrinterConfig config;
    config.faults = c.faults;
    Plug(c.device, config);
    const Ending recorded = Press(clock_, imported_, loaded_);
    Unplug();
    unsetenv("ZMR470_USB_TRACE");
    unsetenv("ZMR470_USB_FULLTRACE");
    ASSERT_EQ(recorded.message, c.message) << recorded.detail;

    sim::SimConfig replay;
    replay.replayFile = path;
    replay.traceFile = path + ".replay";
    VirtualClock clock;
    sim::SimBus::Instance().Reset(replay, clock);
    CDriverLibrary loaded;
    loaded.SetVenderID = SimSetVenderID;
    loaded.SetProductID = SimSetProductID;
    loaded.UsbOpenCont = SimOpenCont;
    loaded.UsbOpenBulk = SimOpenBulk;
    loaded.UsbDeviceIoControl = UsbDeviceIoControl;
    const Ending replayed = Press(clock, {SimDeviceNum, SimDeviceInfo, SimOpenBulk3}, loaded);
    EXPECT_EQ(sim::SimBus::Instance().ReplayProblem(), "");
    sim::SimBus::Instance().Clear();  // ends the replay: what it did not play is a divergence
    std::ifstream trace(replay.traceFile);
    for (std::string line; std::getline(trace, line);) {
      EXPECT_EQ(line.find(" DIVERGE "), std::string::npos) << line;
    }
    std::remove(replay.traceFile.c_str());

    EXPECT_EQ(replayed.message, recorded.message);
    EXPECT_STREQ(Name(replayed.reason), Name(recorded.reason));
    EXPECT_EQ(replayed.detail, recorded.detail);
    EXPECT_EQ(replayed.fields.beforeVersion, recorded.fields.beforeVersion);
    EXPECT_EQ(replayed.fields.afterVersion, recorded.fields.afterVersion);
    EXPECT_EQ(replayed.fields.afterCheckSum, recorded.fields.afterCheckSum);
    std::remove(path.c_str());
  }
}

}  // namespace
}  // namespace zmr::test
