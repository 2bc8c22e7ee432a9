// SPDX-License-Identifier: MIT
// A whole update through the libusb driver libraries: the core's procedure runs on the virtual
// clock, and every command and image block crosses the emulated bus to the printer model.
#include <gtest/gtest.h>

#include "../update/fake_view.h"
#include "emulated_bus_fixture.h"
#include "images/image_set.h"
#include "update/update_procedure.h"

namespace zmr::test {
namespace {

TEST_F(EmulatedBusTest, CompleteUpdateOfAllThreeImagesEndsInSuccess) {
  sim::SimPrinter& printer = Plug({.sysName = "1-2"});
  RecordingView view;
  const FakeKeys keys(false, false);
  CUpdateProcedure procedure(view, {clock_, keys, imported_, loaded_, platform::Language::English});

  procedure.OnDownload();

  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].message.title, MessageTitle::Success) << view.messages[0].message.text;
  // The printer took each image whole and reports what it now holds.
  for (const char type : {'p', 't', 'f'}) {
    EXPECT_EQ(printer.LastStream(type), sim::StreamOutcome::kAccepted) << type;
  }
  const sim::ReportedVersions versions = printer.Versions();
  EXPECT_EQ(versions.data1, kImages[kData1].version);
  EXPECT_EQ(versions.data2, kImages[kData2].version);
  EXPECT_EQ(versions.data3, kImages[kData3].version);
  EXPECT_EQ(versions.data1CheckSum, 0x08A6);
  EXPECT_EQ(versions.data2CheckSum, 0xAF7C);
  EXPECT_EQ(versions.data3CheckSum, 0xEE03);
  for (int i = 0; i < kImageCount; ++i) {
    EXPECT_EQ(view.shownFields.afterVersion[i], kImages[i].version);
    EXPECT_EQ(view.shownFields.afterCheckSum[i], kImages[i].checkSum);
  }
  EXPECT_EQ(printer.CurrentMode(), sim::Mode::kNormal) << "released from download mode";
  // Every write and read kept to the printer's rules: framing, erase before transfer, timing.
  for (const sim::Violation& violation : printer.Violations()) ADD_FAILURE() << Describe(violation);

  // Every open was closed again, no transfer ran into its timeout, and only the usbfs requests
  // of a printer's life were made.
  const UsbfsCounts counts = Device(0).Counts();
  EXPECT_GE(counts.claims, 2) << "opened, and reopened after the mode switch";
  EXPECT_EQ(counts.releases, counts.claims);
  EXPECT_EQ(counts.claimedNow, 0);
  // The only cancelled reads are the quiet ones that empty the IN pipe at the open and the reopen:
  // no transfer of the update ran into its timeout.
  EXPECT_EQ(counts.discards, 2);
  EXPECT_EQ(counts.refused, 0);
  EXPECT_EQ(OpenDeviceNodes(), 0u);
}

// A printer of the model plugged in while the first one switches to download mode is the one that
// libZUsbXpIf opens by index at the reopen: the run ends as a failed reopen does, and neither
// printer gets another byte.
TEST_F(EmulatedBusTest, APrinterPluggedInDuringTheModeSwitchGetsNothing) {
  sim::SimPrinter& first = Plug({.sysName = "1-2"});
  bool plugged = false;
  clock_.SetSleepObserver([&](uint32_t ms) {
    if (ms == 100 && !plugged) {  // the pause before the reopen
      plugged = true;
      Plug({.sysName = "1-3", .interfaceClass = 0xFF});
    }
  });
  RecordingView view;
  const FakeKeys keys(false, false);
  CUpdateProcedure procedure(view, {clock_, keys, imported_, loaded_, platform::Language::English});

  procedure.OnDownload();
  clock_.SetSleepObserver(nullptr);

  ASSERT_TRUE(plugged);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].message.stringId, IDS_NOT_CONNECTED);
  EXPECT_EQ(procedure.LastRun().reason, RunReason::kPrinterCountChanged)
      << procedure.LastRun().detail;
  EXPECT_EQ(Model(1).WriteCount(), 0u) << "the late printer was written to";
  EXPECT_EQ(Model(1).CurrentMode(), sim::Mode::kNormal);
  EXPECT_EQ(first.CurrentMode(), sim::Mode::kDownload) << "left for the power cycle 2000 asks for";
  EXPECT_EQ(Device(1).Counts().claimedNow, 0);
  EXPECT_EQ(OpenDeviceNodes(), 0u);
}

}  // namespace
}  // namespace zmr::test
