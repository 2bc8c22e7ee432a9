// SPDX-License-Identifier: MIT
// A randomised campaign: whole updates over the strict simulated printer under a virtual clock,
// each with settings, faults, force mode, language and start tick drawn from its seed, and the
// invariants of every run checked afterwards:
//   - exactly one closing message;
//   - "Success!" only when the printer's memory holds the three images intact;
//   - the printer released on every path that released it (once in download mode and reopened);
//   - no driver handle left open;
//   - no protocol violation by the tool (beyond those a printer slower than the tool's fixed
//     waits forces on it);
//   - and a run with no fault on a printer the tool may update ends in "Success!".
//
//   zmr_campaign [--seeds N] [--first S] [--quiet]   runs seeds S .. S+N-1 (default 0, 1000)
//   zmr_campaign --seed S [--trace FILE]             runs one seed and tells all about it
//
// Every failing run is printed with its seed and its settings, so that it can be replayed with
// --seed, or with the tool itself and ZMR470_SIM. The exit status is 1 when a run failed.
#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "driver_api/handle_table.h"
#include "images/image_set.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "sim/sim_bus.h"
#include "sim/sim_env.h"
#include "tests/update/quiet_view.h"
#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

class Keys final : public platform::KeyState {
 public:
  explicit Keys(bool force) : force_(force) {}
  bool IsDown(platform::Key) const override { return force_; }

 private:
  bool force_;
};

// ---- What one seed draws ----

struct Plan {
  std::string settings;  // ZMR470_SIM text
  bool force = false;
  platform::Language language = platform::Language::English;
  uint32_t startTick = 0;
  // Violations the printer's slowness forces on a correct tool.
  std::vector<sim::ViolationKind> forced;
  // No fault and a printer the tool may update: the run must succeed.
  bool mustSucceed = false;
};

class Draw {
 public:
  explicit Draw(uint64_t seed) : rng_(seed) {}
  uint32_t Uniform(uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  template <size_t N>
  const char* Pick(const std::array<const char*, N>& items) {
    return items[Uniform(0, N - 1)];
  }
  // Log-uniform between low and high.
  uint32_t Spread(uint32_t low, uint32_t high) {
    const double x = std::uniform_real_distribution<double>(std::log(low), std::log(high))(rng_);
    return std::clamp(static_cast<uint32_t>(std::exp(x)), low, high);
  }

 private:
  std::mt19937_64 rng_;
};

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

// A version text of `width` characters at most, of the kind a confused printer might report.
std::string OddVersion(Draw& d, size_t width) {
  static const char kChars[] = "ABCDGXZ0123456789%#-_./\x01\x7f\xc3\xa9\xff";
  std::string text;
  const uint32_t length = d.Uniform(1, static_cast<uint32_t>(width));
  for (uint32_t i = 0; i < length; ++i) text += kChars[d.Uniform(0, sizeof kChars - 2)];
  return text;
}

// Where a transfer fault strikes.
std::string FaultPoint(Draw& d, bool write) {
  static const std::array<const char*, 11> kCommands = {
      "x1b666700", "x1b667200", "x1b666570", "x1b666574", "x1b666566", "x1b667470",
      "x1b667474", "x1b667466", "x1b562300", "x1b455755", "x1b563230"};
  const uint32_t kind = write ? d.Uniform(0, 2) : 0;
  if (kind == 0) return std::to_string(d.Uniform(1, write ? 700 : 4));
  if (kind == 1) return kCommands[d.Uniform(0, kCommands.size() - 1)];
  static const std::array<const char*, 3> kTypes = {"p", "t", "f"};
  static const uint32_t kBlocks[] = {251, 101, 90};
  const uint32_t type = d.Uniform(0, 2);
  return std::string(kTypes[type]) + std::to_string(d.Uniform(1, kBlocks[type]));
}

std::string DrawFault(Draw& d) {
  switch (d.Uniform(0, 12)) {
    case 0: {
      static const std::array<const char*, 6> kNamed = {"reopen",     "vendorid",    "badversion",
                                                        "statustype", "shortstatus", "busy"};
      return std::string("fault=") + d.Pick(kNamed);
    }
    case 1: {
      static const std::array<const char*, 6> kPipes = {"PIPE00",         "PIPE01", "listed:PIPE01",
                                                        "indexed:PIPE00", "00",     "01"};
      std::string text = std::string("nopipe=") + d.Pick(kPipes);
      if (d.Chance(0.7)) text += "@" + std::to_string(d.Uniform(0, 3));
      return text;
    }
    case 2:
    case 3:
      return "failwrite=" + FaultPoint(d, true) + (d.Chance(0.1) ? "+" : "");
    case 4:
    case 5:
      return "shortwrite=" + FaultPoint(d, true) + ":" + std::to_string(d.Uniform(0, 4095));
    case 6:
    case 7: {
      const std::string at = FaultPoint(d, true);
      const bool repeat = d.Chance(0.3) && at[0] != 'x';
      return "slow=" + at + (repeat ? "+" : "") + ":" + std::to_string(d.Spread(1, 130000));
    }
    case 8:
      return "corruptwrite=" + FaultPoint(d, true) + ":" + std::to_string(d.Uniform(0, 4095));
    case 9:
      return "failread=" + FaultPoint(d, false);
    case 10:
      return "shortread=" + FaultPoint(d, false) + ":" + std::to_string(d.Uniform(0, 255));
    case 11:
      return "corruptread=" + FaultPoint(d, false) + ":" + std::to_string(d.Uniform(0, 255));
    default: {
      static const std::array<const char*, 4> kTypes = {"p", "t", "f", "ptf"};
      return std::string("refuse=") + d.Pick(kTypes);
    }
  }
}

Plan MakePlan(uint64_t seed) {
  Draw d(seed);
  Plan plan;
  std::vector<std::string> s;
  bool good = true;  // so far, a printer the tool may update without a fault

  if (d.Chance(0.12)) {
    static const std::array<const char*, 7> kBuses = {
        "listed=0", "listed=2", "listed=0 indexed=1", "indexed=1", "listed=0 indexed=2",
        "others=3", "pid=5007"};
    const std::string bus = d.Pick(kBuses);
    s.push_back(bus);
    good = bus == "listed=0 indexed=1" || bus == "others=3";
  }
  if (d.Chance(0.2)) s.push_back("newpath");

  plan.force = d.Chance(0.1);
  // The status gate.
  uint32_t busy = 1500;
  bool staysBusy = false;
  const uint32_t busyKind = d.Uniform(0, 99);
  if (busyKind < 60) {
    busy = d.Uniform(0, 3000);
  } else if (busyKind < 70) {
    busy = d.Uniform(3000, 12000);
  } else if (busyKind < 73) {
    staysBusy = true;
  }
  s.push_back(staysBusy ? "busy=forever" : "busy=" + std::to_string(busy));
  if (d.Chance(0.05)) s.push_back("asleep=0");
  static const std::array<const char*, 3> kUnits = {"1", "2", "12"};
  const bool printing = d.Chance(0.05);
  const bool error = d.Chance(0.05);
  const bool second = d.Chance(0.2);
  if (printing) s.push_back(std::string("printing=") + d.Pick(kUnits));
  if (error) s.push_back(std::string("error=") + d.Pick(kUnits));
  if (second) s.push_back("second");
  if (!plan.force && (staysBusy || busy > 9000 || printing || error)) good = false;

  // Timing of the printer.
  uint32_t speed = 0;
  const uint32_t speedKind = d.Uniform(0, 9);
  if (speedKind >= 4) speed = d.Spread(speedKind == 4 ? 1000 : 20000, 60000000);
  s.push_back("speed=" + std::to_string(speed));
  if (speed != 0 && speed < 20000) good = false;
  const uint32_t reenum = d.Chance(0.85) ? d.Uniform(0, 3000) : d.Uniform(3000, 8000);
  s.push_back("reenum=" + std::to_string(reenum));
  if (reenum > 5000) good = false;
  const uint32_t erase = d.Chance(0.9) ? d.Uniform(0, 10100) : d.Uniform(10101, 14000);
  s.push_back("erase=" + std::to_string(erase));
  if (erase > 10100) {
    plan.forced.push_back(sim::ViolationKind::kEraseRunning);
    good = false;
  }
  const uint32_t reply = d.Chance(0.9) ? d.Uniform(0, 1000) : d.Uniform(1001, 1500);
  s.push_back("reply=" + std::to_string(reply));
  if (reply > 1000) {
    plan.forced.push_back(sim::ViolationKind::kReadEarly);
    good = false;
  }

  // Versions.
  static const std::array<const char*, 5> kAccepted = {"316A20", "316B20", "316B29", "316C20",
                                                       "316A25"};
  const uint32_t versionKind = d.Uniform(0, 99);
  std::string data1;
  if (versionKind < 60) {
    data1 = d.Pick(kAccepted);
  } else if (versionKind < 75) {
    data1 = "316G21";
    if (!plan.force) good = false;
  } else {
    data1 = OddVersion(d, 6);
    if (!plan.force) good = false;
  }
  s.push_back("data1=" + data1 + ":" + Hex(d.Uniform(0, 0xFFFF), 4));
  if (d.Chance(0.2)) s.push_back("data2=" + OddVersion(d, 6));
  if (d.Chance(0.2)) s.push_back("data3=" + OddVersion(d, 3) + ":" + Hex(d.Uniform(0, 0xFFFF), 4));

  // Faults.
  const uint32_t faults = d.Chance(0.45) ? 0 : d.Uniform(1, 2);
  for (uint32_t i = 0; i < faults; ++i) s.push_back(DrawFault(d));
  if (faults) good = false;

  plan.language = d.Chance(0.3) ? platform::Language::Japanese : platform::Language::English;
  // Often near the counter's wrap, so that it wraps during the run.
  plan.startTick = d.Chance(0.4) ? UINT32_MAX - d.Uniform(0, 400000) : d.Uniform(0, UINT32_MAX);

  for (const std::string& token : s) plan.settings += (plan.settings.empty() ? "" : " ") + token;
  plan.mustSucceed = good;
  return plan;
}

// ---- One run ----

struct Outcome {
  std::vector<std::string> failures;
  uint32_t message = 0;
};

bool IsCommand(const sim::TraceEntry& entry, const uint8_t (&command)[4]) {
  return entry.direction == 'W' && entry.length == 4 && entry.offered.size() == 4 &&
         std::equal(entry.offered.begin(), entry.offered.end(), command);
}

Outcome Run(const Plan& plan, const std::string& traceFile, bool verbose) {
  static const uint8_t kEnter[4] = {0x1B, 'f', 'g', 0};
  static const uint8_t kLeave[4] = {0x1B, 'f', 'r', 0};
  Outcome outcome;
  auto fail = [&outcome](std::string what) { outcome.failures.push_back(std::move(what)); };

  sim::SimConfig config;
  std::vector<std::string> problems;
  sim::ParseSimSettings(plan.settings, config, problems);
  for (const std::string& problem : problems) fail("setting not taken: " + problem);
  config.trace = true;
  config.traceFile = traceFile;

  VirtualClock clock(plan.startTick);
  sim::SimBus& bus = sim::SimBus::Instance();
  bus.Reset(config, clock);
  test::QuietView view;
  const Keys keys(plan.force);
  bool flagLeftSet = false;
  {
    CUpdateProcedure procedure(
        view, {clock, keys, LinkedImportedDriver(), TheDriverLibrary(), plan.language});
    procedure.OnDownload();
    flagLeftSet = procedure.DownloadModeFlag();
    if (procedure.Images().AnyBufferHeld()) fail("an image buffer is still held");
    if (procedure.IsRunning()) fail("the procedure still runs");
  }

  // Exactly one closing message.
  if (view.messages.size() != 1) {
    fail("closing messages: " + std::to_string(view.messages.size()));
  } else {
    outcome.message = view.messages[0];
  }
  if (!view.buttonEnabled || !view.windowEnabled) fail("the window or its button left disabled");

  // Success only with the three images intact in the memory of a printer on the bus (of the one
  // the tool could open, where a fault hides another).
  const bool success = outcome.message == IDS_SUCCESS;
  size_t intactPrinters = 0;
  for (size_t i = 0; i < bus.PrinterCount(); ++i) {
    sim::SimPrinter& printer = bus.Printer(i);
    const sim::ReportedVersions v = printer.Versions();
    bool intact = v.data1 == kImages[kData1].version && v.data2 == kImages[kData2].version &&
                  v.data3 == kImages[kData3].version && v.data1CheckSum == 0x08A6 &&
                  v.data2CheckSum == 0xAF7C && v.data3CheckSum == 0xEE03;
    for (char type : {'p', 't', 'f'})
      intact = intact && printer.LastStream(type) == sim::StreamOutcome::kAccepted;
    if (intact) ++intactPrinters;
  }
  if (success && intactPrinters != 1) {
    fail("success, but " + std::to_string(intactPrinters) + " printers hold the images");
  }
  if (plan.mustSucceed && !success) {
    fail("a printer the tool may update, with no fault, ended in message " +
         std::to_string(outcome.message));
  }

  // Released whenever download mode was entered and the printer was reopened.
  const std::vector<sim::TraceEntry> trace = bus.TraceEntries();
  bool entered = false;
  bool leaveTried = false;
  bool leaveWritten = false;
  for (const sim::TraceEntry& entry : trace) {
    if (IsCommand(entry, kEnter) && entry.ok && entry.done == 4) entered = true;
    if (IsCommand(entry, kLeave)) {
      leaveTried = true;
      leaveWritten = leaveWritten || (entry.ok && entry.done == 4);
    }
  }
  const bool reopened = entered && outcome.message != IDS_NOT_CONNECTED;
  if (reopened && !leaveTried) fail("download mode entered and the printer not released");
  if (!entered && leaveTried) fail("a release without download mode");
  if (leaveWritten && flagLeftSet) fail("released, but the download-mode flag is still set");
  if (reopened && !leaveTried && !flagLeftSet) fail("the download-mode flag cleared unreleased");

  // No handle left open.
  if (driver_api::OpenHandleCount() != 0)
    fail("handles left open: " + std::to_string(driver_api::OpenHandleCount()));
  if (bus.OpenHandleCount() != 0)
    fail("simulated handles left open: " + std::to_string(bus.OpenHandleCount()));

  // No violation by the tool.
  for (const sim::Violation& violation : sim::ByHost(bus.Violations())) {
    if (std::find(plan.forced.begin(), plan.forced.end(), violation.kind) == plan.forced.end())
      fail("protocol violation: " + sim::Describe(violation));
  }

  if (verbose) {
    std::printf("message %" PRIu32 ", %zu transfers, %.1f s of virtual time\n", outcome.message,
                trace.size(), static_cast<double>(clock.ElapsedMs()) / 1000.0);
    for (const sim::Violation& violation : bus.Violations())
      std::printf("  %s\n", sim::Describe(violation).c_str());
  }
  bus.Clear();
  return outcome;
}

void PrintPlan(uint64_t seed, const Plan& plan) {
  std::printf("  seed %" PRIu64 ": ZMR470_SIM=\"%s\" force=%d language=%s start=0x%08" PRIx32
              "\n  replay: zmr_campaign --seed %" PRIu64 "\n",
              seed, plan.settings.c_str(), plan.force ? 1 : 0,
              plan.language == platform::Language::Japanese ? "ja" : "en", plan.startTick, seed);
}

int Main(int argc, char** argv) {
  uint64_t first = 0;
  uint64_t count = 1000;
  bool one = false;
  bool quiet = false;
  std::string traceFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--seeds" && hasValue) {
      count = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--first" && hasValue) {
      first = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && hasValue) {
      first = std::strtoull(argv[++i], nullptr, 10);
      count = 1;
      one = true;
    } else if (arg == "--trace" && hasValue) {
      traceFile = argv[++i];
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      std::fprintf(stderr,
                   "usage: zmr_campaign [--seeds N] [--first S] [--quiet]\n"
                   "       zmr_campaign --seed S [--trace FILE]\n");
      return 2;
    }
  }
  // The simulated libZUsbXpIf is linked into this program, so loading it by name finds it.
  if (!TheDriverLibrary().IsLoaded() && !TheDriverLibrary().Bind()) {
    std::fprintf(stderr, "zmr_campaign: the simulated libZUsbXpIf.so cannot be loaded\n");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  std::map<uint32_t, uint64_t> messages;
  uint64_t failed = 0;
  for (uint64_t seed = first; seed < first + count; ++seed) {
    const Plan plan = MakePlan(seed);
    if (one) PrintPlan(seed, plan);
    const Outcome outcome = Run(plan, traceFile, one);
    ++messages[outcome.message];
    if (!outcome.failures.empty()) {
      ++failed;
      std::printf("FAILED seed %" PRIu64 "\n", seed);
      for (const std::string& what : outcome.failures) std::printf("  %s\n", what.c_str());
      if (!one) PrintPlan(seed, plan);
      std::fflush(stdout);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!quiet || failed) {
    std::printf("seeds %" PRIu64 " to %" PRIu64 ": %" PRIu64 " runs, %" PRIu64
                " failed, %.1f s (%.0f runs/s)\n  closing messages:",
                first, first + count - 1, count, failed, seconds,
                seconds > 0 ? static_cast<double>(count) / seconds : 0.0);
    for (const auto& [id, n] : messages) std::printf(" %" PRIu32 "x%" PRIu64, id, n);
    std::printf("\n");
  }
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace zmr

int main(int argc, char** argv) {
  return zmr::Main(argc, argv);
}
