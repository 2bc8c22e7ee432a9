// SPDX-License-Identifier: MIT
#pragma once
// Printers plugged into the emulated USB bus for one test, each answered by its own SimPrinter on
// the test's VirtualClock, and the tool's view of them: a CPrinterPort over the libusb driver
// libraries this program is linked with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver_api/driver_api.h"
#include "driver_api/handle_table.h"
#include "emulated_printer.h"
#include "link/driver_library.h"
#include "link/printer_port.h"
#include "platform/clock.h"
#include "sim/sim_printer.h"

namespace zmr::test {

// Transfers of devices opened while it lives fail after `ms` instead of the drivers' 5 s.
class ScopedTransferTimeout {
 public:
  explicit ScopedTransferTimeout(unsigned ms) {
    setenv("ZMR470_USB_TIMEOUT_MS", std::to_string(ms).c_str(), 1);
  }
  ~ScopedTransferTimeout() { unsetenv("ZMR470_USB_TIMEOUT_MS"); }
};

// File descriptors of this process open on a USB device node (libusb holds one per open device).
inline size_t OpenDeviceNodes() {
  size_t count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.string().find("/dev/bus/usb/") != std::string::npos) ++count;
  }
  return count;
}

class EmulatedBusTest : public ::testing::Test {
 protected:
  EmulatedBusTest() {
    loaded_.SetVenderID = SetVenderID;
    loaded_.SetProductID = SetProductID;
    loaded_.UsbOpenCont = UsbOpenCont;
    loaded_.UsbOpenBulk = UsbOpenBulk;
    loaded_.UsbDeviceIoControl = UsbDeviceIoControl;
  }

  void TearDown() override {
    Unplug();
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u) << "a handle was left open";
  }

  // Plugs in a device answered by a new model with `config`.
  sim::SimPrinter& Plug(const UsbDeviceDescription& spec, const sim::PrinterConfig& config = {}) {
    auto& entry = plugged_.emplace_back();
    entry.model = std::make_unique<sim::SimPrinter>(config, clock_);
    entry.device = std::make_unique<EmulatedPrinter>(spec, entry.model.get());
    return *entry.model;
  }
  EmulatedPrinter& Device(size_t index) { return *plugged_.at(index).device; }
  sim::SimPrinter& Model(size_t index) { return *plugged_.at(index).model; }
  void Unplug() { plugged_.clear(); }

  std::unique_ptr<CPrinterPort> NewPort() {
    return std::make_unique<CPrinterPort>(imported_, loaded_, clock_);
  }

  VirtualClock clock_;
  ImportedDriver imported_{UsbGetDeviceNum, UsbGetDeviceInfo, UsbOpenBulk3};
  CDriverLibrary loaded_;

 private:
  struct Plugged {
    std::unique_ptr<sim::SimPrinter> model;
    std::unique_ptr<EmulatedPrinter> device;  // unplugged before its model goes
  };
  std::vector<Plugged> plugged_;
};

}  // namespace zmr::test
