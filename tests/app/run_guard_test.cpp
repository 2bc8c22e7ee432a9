// SPDX-License-Identifier: MIT
// The sleep inhibitor around a run, against a mock login manager on a private system bus (see
// with_mock_logind.sh): the lock is held from the moment the printer is in download mode until its
// release, on success and on every way a run can end after download mode.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../update/sim_update_fixture.h"
#include "app/run_guard.h"

namespace zmr {
namespace {

struct Inhibitor {
  std::string what, who, why, mode;
};

// The login manager's list of inhibitor locks, asked over the system bus.
std::vector<Inhibitor> ListInhibitors() {
  std::vector<Inhibitor> list;
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return list;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  if (sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "ListInhibitors", &error, &reply,
                         "") >= 0 &&
      sd_bus_message_enter_container(reply, 'a', "(ssssuu)") >= 0) {
    const char *what, *who, *why, *mode;
    uint32_t uid, pid;
    while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
      list.push_back({what, who, why, mode});
    }
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
  return list;
}

// Forwards to the guard and looks at the login manager's list at the moments that matter.
class Probe final : public RunObserver {
 public:
  explicit Probe(RunGuard& guard) : guard_(guard) {}
  void OnRunStarted(bool force) override { guard_.OnRunStarted(force); }
  void OnEnteringDownloadMode() override { guard_.OnEnteringDownloadMode(); }
  void OnDownloadModeNotEntered() override { guard_.OnDownloadModeNotEntered(); }
  void OnDownloadModeEntered() override {
    guard_.OnDownloadModeEntered();
    inDownloadMode = ListInhibitors();
  }
  void OnReleased(bool leaveSent) override {
    guard_.OnReleased(leaveSent);
    afterRelease = ListInhibitors();
    released = true;
  }
  void OnStep(const StepRecord& step) override { guard_.OnStep(step); }
  void OnRunEnded(const RunResult& result, const DisplayFields& fields) override {
    guard_.OnRunEnded(result, fields);
  }
  std::vector<Inhibitor> inDownloadMode, afterRelease;
  bool released = false;

 private:
  RunGuard& guard_;
};

struct Case {
  const char* name;
  void (*setup)(sim::SimConfig&);
  platform::Language language = platform::Language::English;
};

constexpr uint8_t kEsc = 0x1B;

const Case kCases[] = {
    {"Success", [](sim::SimConfig&) {}},
    {"SuccessJapanese", [](sim::SimConfig&) {}, platform::Language::Japanese},
    {"ReopenFails", [](sim::SimConfig& c) { c.printer.reappears = false; }},
    {"VersionRefused", [](sim::SimConfig& c) { c.printer.data1Version = "316G21"; }},
    {"EraseNotWritten",
     [](sim::SimConfig& c) {
       c.printer.faults.push_back(sim::Fault::FailWriteStartingWith({kEsc, 'f', 'e', 't'}));
     }},
    {"VerificationFails",
     [](sim::SimConfig& c) { c.printer.faults.push_back(sim::Fault::CorruptBlock('t', 3)); }},
    {"LeaveNotWritten",
     [](sim::SimConfig& c) {
       c.printer.faults.push_back(sim::Fault::FailWriteStartingWith({kEsc, 'f', 'r', 0}).Always());
     }},
};

class InhibitorAroundARun : public test::SimUpdateTest, public testing::WithParamInterface<Case> {};

TEST_P(InhibitorAroundARun, HeldInDownloadModeAndReleasedWithThePrinter) {
  ASSERT_NE(std::getenv("DBUS_SYSTEM_BUS_ADDRESS"), nullptr) << "run under with_mock_logind.sh";
  const Case& c = GetParam();
  sim::SimConfig config;
  c.setup(config);
  config.trace = true;
  sim::SimBus::Instance().Reset(config, clock);
  EXPECT_TRUE(ListInhibitors().empty());

  RunGuard guard(clock, {"zmr470-update-cli", c.language, {}, ""});
  Probe probe(guard);
  const test::FakeKeys keys(false, false);
  CUpdateProcedure procedure(view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(),
                                    c.language, EmbeddedImage, &probe});
  procedure.OnDownload();

  ASSERT_EQ(probe.inDownloadMode.size(), 1u);
  const Inhibitor& lock = probe.inDownloadMode[0];
  EXPECT_EQ(lock.what, "sleep:shutdown:idle");
  EXPECT_EQ(lock.who, "zmr470-update");
  EXPECT_EQ(lock.why, InhibitorWhy(c.language));
  EXPECT_EQ(lock.mode, "block");
  EXPECT_TRUE(probe.released);
  EXPECT_TRUE(probe.afterRelease.empty()) << "still held after the release";
  EXPECT_TRUE(ListInhibitors().empty());
}

INSTANTIATE_TEST_SUITE_P(Runs, InhibitorAroundARun, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& row) { return row.param.name; });

// Without a login manager on the bus the run goes on, and its record says why nothing was held.
using RunGuardTest = test::SimUpdateTest;

TEST_F(RunGuardTest, WithoutLoginManagerTheRunGoesOnAndTheLogSaysSo) {
  const char* saved = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string old = saved ? saved : "";
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zmr470-test-bus", 1);
  sim::SimBus::Instance().Reset(sim::SimConfig{}, clock);
  const std::string log = testing::TempDir() + "zmr470-run-guard-test.log";
  std::remove(log.c_str());
  RunGuard guard(clock, {"zmr470-update-cli", platform::Language::English, {}, log});
  const test::FakeKeys keys(false, false);
  CUpdateProcedure procedure(view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(),
                                    platform::Language::English, EmbeddedImage, &guard});
  procedure.OnDownload();
  if (saved) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", old.c_str(), 1);
  } else {
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }

  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].message.stringId, IDS_SUCCESS);
  EXPECT_EQ(guard.WrittenLog(), log);
  std::FILE* file = std::fopen(log.c_str(), "re");
  ASSERT_NE(file, nullptr);
  std::string text(65536, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  EXPECT_NE(text.find("sleep and shutdown not inhibited: "), std::string::npos) << text;
  EXPECT_NE(text.find("outcome: 2024"), std::string::npos) << text;
}

}  // namespace
}  // namespace zmr
