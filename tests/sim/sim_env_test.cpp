// SPDX-License-Identifier: MIT
// The ZMR470_SIM settings.
#include "sim/sim_env.h"

#include <gtest/gtest.h>

#include <functional>

namespace zmr::sim {
namespace {

TEST(SimEnvTest, SettingsTable) {
  using Check = std::function<bool(const SimConfig&)>;
  const struct {
    const char* text;
    Check check;
  } cases[] = {
      {"listed=0 indexed=2 others=3",
       [](const SimConfig& c) { return c.listed == 0 && c.indexed == 2 && c.others == 3; }},
      {"data1=316A25:08a6 data2=318C21 data3=D11:EE03",
       [](const SimConfig& c) {
         return c.printer.data1Version == "316A25" && c.printer.data1CheckSum == 0x08A6 &&
                c.printer.data2Version == "318C21" && c.printer.data3Version == "D11" &&
                c.printer.data3CheckSum == 0xEE03;
       }},
      {"busy=3000", [](const SimConfig& c) { return c.printer.busyMs == 3000; }},
      {"busy=forever", [](const SimConfig& c) { return c.printer.staysBusy; }},
      {"printing=2 error=12 second",
       [](const SimConfig& c) {
         return !c.printer.unit1Printing && c.printer.unit2Printing && c.printer.unit1Error &&
                c.printer.unit2Error && c.printer.secondUnit;
       }},
      {"speed=0 reenum=250 newpath",
       [](const SimConfig& c) {
         return c.printer.bytesPerSecond == 0 && c.printer.reenumerationMs == 250 &&
                c.newPathAfterModeSwitch;
       }},
      {"fault=reopen,vendorid fault=badversion,statustype,shortstatus",
       [](const SimConfig& c) {
         return !c.printer.reappears && c.vendorIdRefused && c.printer.badVersionHeader &&
                c.printer.wrongStatusType && c.printer.statusShortBy == 16;
       }},
      {"fault=noprinter", [](const SimConfig& c) { return c.listed == 0 && c.indexed == 0; }},
      {"nopipe=indexed:01@1 nopipe=PIPE00",
       [](const SimConfig& c) {
         return c.openFaults.size() == 2 && c.openFaults[0].via == OpenFault::Via::kIndexed &&
                c.openFaults[0].pipe == "PIPE01" && c.openFaults[0].after == 1 &&
                c.openFaults[1].via == OpenFault::Via::kAny && c.openFaults[1].pipe == "PIPE00";
       }},
      {"failwrite=x1b666574",
       [](const SimConfig& c) {
         const Fault& f = c.printer.faults.at(0);
         return f.match == Fault::Match::kPrefix && f.effect == Fault::Effect::kFail &&
                f.prefix == std::vector<uint8_t>{0x1B, 0x66, 0x65, 0x74} && !f.repeat;
       }},
      {"shortwrite=p7:100",
       [](const SimConfig& c) {
         const Fault& f = c.printer.faults.at(0);
         return f.match == Fault::Match::kBlock && f.dataType == 'p' && f.nth == 7 &&
                f.effect == Fault::Effect::kShort && f.bytes == 100;
       }},
      {"slow=f3+:121000",
       [](const SimConfig& c) {
         const Fault& f = c.printer.faults.at(0);
         return f.match == Fault::Match::kBlock && f.dataType == 'f' && f.nth == 3 && f.repeat &&
                f.effect == Fault::Effect::kSlow && f.delayMs == 121000;
       }},
      {"corruptwrite=t2:5 corruptread=x23",
       [](const SimConfig& c) {
         const auto& f = c.printer.faults;
         return f.size() == 2 && f[0].effect == Fault::Effect::kCorrupt && f[0].dataType == 't' &&
                f[0].nth == 2 && f[0].bytes == 5 && f[1].direction == Fault::Direction::kRead &&
                f[1].match == Fault::Match::kPrefix && f[1].bytes == 0;
       }},
      {"failread=2 shortread=1:40",
       [](const SimConfig& c) {
         const auto& f = c.printer.faults;
         return f.size() == 2 && f[0].direction == Fault::Direction::kRead && f[0].nth == 2 &&
                f[1].effect == Fault::Effect::kShort && f[1].bytes == 40;
       }},
      {"erase=12000 reply=1500 refuse=tf asleep=0 fulltrace",
       [](const SimConfig& c) {
         return c.printer.eraseMs == 12000 && c.printer.versionReplyMs == 1500 &&
                c.printer.refusedTransfers == "tf" && !c.printer.asleepUntilWake && c.traceAllBytes;
       }},
      {"speed=1000 speed=60000000 busy=60000 slow=p1:300000",
       [](const SimConfig& c) {
         return c.printer.bytesPerSecond == 60000000 && c.printer.busyMs == 60000 &&
                c.printer.faults.at(0).delayMs == 300000;
       }},
      {"downloadmode=pt",
       [](const SimConfig& c) { return c.printer.erasedInDownloadMode == "pt"; }},
      {"  id=USB\\VID_04CB&PID_5006  path=/dev/sim0 ",
       [](const SimConfig& c) {
         return c.printerDeviceId == "USB\\VID_04CB&PID_5006" && c.printerDevicePath == "/dev/sim0";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    SimConfig config;
    std::vector<std::string> problems;
    ParseSimSettings(c.text, config, problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_TRUE(c.check(config));
  }
}

TEST(SimEnvTest, UnusableSettingsAreReportedAndIgnored) {
  SimConfig config;
  std::vector<std::string> problems;
  ParseSimSettings(
      "colour=red listed=x data1= busy=-1 printing=3 failwrite=0 failwrite=q1 shortwrite=x1 "
      "failread=p1 slow=3 fault=melt nopipe=PIPE02 vid=12345 indexed=2",
      config, problems);
  EXPECT_EQ(problems,
            (std::vector<std::string>{"colour=red", "listed=x", "data1=", "busy=-1", "printing=3",
                                      "failwrite=0", "failwrite=q1", "shortwrite=x1", "failread=p1",
                                      "slow=3", "fault=melt", "nopipe=PIPE02", "vid=12345"}));
  EXPECT_EQ(config.indexed, 2);  // the good one still counts
  EXPECT_EQ(config.listed, SimConfig{}.listed);
  EXPECT_TRUE(config.printer.faults.empty());
}

// A setting that is reported as ignored leaves nothing of itself behind, and numbers stay
// within what a device could do.
TEST(SimEnvTest, SettingsTakeWholeOrNotAtAll) {
  const char* refused[] = {
      "data1=316G21:zz",
      "data1=316G21X",
      "data3=D110",
      "fault=reopen,bogus",
      "fault=badversion,",
      "speed=1",
      "speed=999",
      "speed=60000001",
      "slow=1:4294967295",
      "slow=p7:300001",
      "busy=60001",
      "reenum=4294967295",
      "erase=60001",
      "reply=x",
      "refuse=x",
      "refuse=pp",
      "downloadmode=",
      "downloadmode=px",
      "shortwrite=3:2000000",
  };
  const SimConfig defaults;
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    SimConfig config;
    std::vector<std::string> problems;
    ParseSimSettings(text, config, problems);
    EXPECT_EQ(problems, std::vector<std::string>{text});
    EXPECT_EQ(config.printer.data1Version, defaults.printer.data1Version);
    EXPECT_EQ(config.printer.data1CheckSum, defaults.printer.data1CheckSum);
    EXPECT_EQ(config.printer.data3Version, defaults.printer.data3Version);
    EXPECT_TRUE(config.printer.reappears);
    EXPECT_FALSE(config.printer.badVersionHeader);
    EXPECT_EQ(config.printer.bytesPerSecond, defaults.printer.bytesPerSecond);
    EXPECT_EQ(config.printer.busyMs, defaults.printer.busyMs);
    EXPECT_EQ(config.printer.reenumerationMs, defaults.printer.reenumerationMs);
    EXPECT_EQ(config.printer.eraseMs, defaults.printer.eraseMs);
    EXPECT_EQ(config.printer.versionReplyMs, defaults.printer.versionReplyMs);
    EXPECT_TRUE(config.printer.refusedTransfers.empty());
    EXPECT_TRUE(config.printer.faults.empty());
  }
}

}  // namespace
}  // namespace zmr::sim
