// SPDX-License-Identifier: MIT
#pragma once
// A CPrinterPort on the simulated printers: the linked libTUsbPrIf and the process's
// CDriverLibrary bound to the simulated libZUsbXpIf.so, all under one VirtualClock.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "driver_api/handle_table.h"
#include "link/imported_driver.h"
#include "link/printer_port.h"
#include "platform/clock.h"
#include "platform/handle_io.h"
#include "sim/sim_bus.h"

namespace zmr {

// Reaches states of a port that no operation leaves behind.
class PrinterPortTestAccess {
 public:
  static void CloseReadPipe(CPrinterPort& port) {
    platform::CloseHandle(port.readPipe_);
    port.readPipe_ = platform::kInvalidHandle;
  }
};

class SimPortTest : public testing::Test {
 protected:
  void SetUp() override {
    // Bound once for the process, as start-up does; the library stays loaded.
    static const bool bound = TheDriverLibrary().IsLoaded() || TheDriverLibrary().Bind();
    ASSERT_TRUE(bound) << "the simulated libZUsbXpIf.so must be on the library path";
  }

  void TearDown() override {
    port_.reset();
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
    EXPECT_EQ(sim::SimBus::Instance().OpenHandleCount(), 0u);
    sim::SimBus::Instance().Clear();
  }

  // A bus built from `config` (with the trace kept in full) and a closed port on it. The printer
  // is awake and has its version reply ready at once: these tests are about the port, and read
  // what they ask for straight away (the printer's own timing is the simulator's tests' concern).
  CPrinterPort& Start(sim::SimConfig config) {
    config.trace = true;
    config.traceAllBytes = true;
    config.printer.asleepUntilWake = false;
    config.printer.versionReplyMs = 0;
    port_.reset();
    sim::SimBus::Instance().Reset(config, clock_);
    port_ = std::make_unique<CPrinterPort>(LinkedImportedDriver(), TheDriverLibrary(), clock_);
    return *port_;
  }

  // Start(config) with the port opened (the open is expected to succeed).
  CPrinterPort& OpenPrinter(sim::SimConfig config = Printers(1, 0)) {
    CPrinterPort& port = Start(config);
    EXPECT_EQ(port.Open(), 1);
    return port;
  }

  static sim::SimConfig Printers(int listed, int indexed) {
    sim::SimConfig config;
    config.listed = listed;
    config.indexed = indexed;
    return config;
  }

  static sim::SimBus& Bus() { return sim::SimBus::Instance(); }

  // A record filled with 0x5A, so that a decoder that writes nothing leaves it recognisable.
  template <typename Report>
  static Report Poisoned() {
    Report report;
    std::memset(&report, 0x5A, sizeof(report));
    return report;
  }
  template <typename Report>
  static bool Same(const Report& a, const Report& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
  }

  VirtualClock clock_;
  std::unique_ptr<CPrinterPort> port_;
};

}  // namespace zmr
