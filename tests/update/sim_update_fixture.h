// SPDX-License-Identifier: MIT
#pragma once
// One press of Download on a procedure wired to the simulated printers: the linked libTUsbPrIf,
// the process's CDriverLibrary bound to the simulated libZUsbXpIf.so, one VirtualClock for all,
// and a recording view. Also reads the printer's trace back as a timeline of named transfers and
// the sleeps between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver_api/handle_table.h"
#include "fake_view.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "sim/sim_bus.h"
#include "update/update_procedure.h"

namespace zmr::test {

// The tick at which every run starts: the counter wraps about 33 s into an update.
inline constexpr uint32_t kStartTick = 0xFFFF8000u;

struct Sleep {
  uint64_t end;  // virtual ms since the clock was made
  uint32_t ms;
};

// The name of a write or read of the trace: "enter", "erase p", "block 4096", "read 48", ...
inline std::string TransferName(const sim::TraceEntry& entry) {
  std::string name;
  // A write that failed moved nothing: it is known by the bytes it offered.
  const auto& b = entry.ok || entry.direction == 'R' ? entry.bytes : entry.offered;
  if (entry.direction == 'R') {
    name = "read " + std::to_string(entry.length);
  } else if (entry.length == 4 && (b.size() < 4 || b[0] == 0x1B)) {
    const uint8_t kind = b.size() >= 4 ? b[1] : 0, what = b.size() >= 4 ? b[2] : 0;
    const uint8_t arg = b.size() >= 4 ? b[3] : 0;
    if (kind == 'f' && what == 'g')
      name = "enter";
    else if (kind == 'f' && what == 'r')
      name = "leave";
    else if (kind == 'f' && what == 'e')
      name = std::string("erase ") + char(arg);
    else if (kind == 'f' && what == 't')
      name = std::string("transfer ") + char(arg);
    else if (kind == 'V' && what == '#')
      name = "version";
    else if (kind == 'V' && what == '2')
      name = std::string("status ") + char(arg);
    else if (kind == 'E')
      name = "wake";
    else
      name = "command ?";
  } else {
    name = "block " + std::to_string(entry.length);
  }
  if (!entry.ok)
    name += " failed";
  else if (entry.done != entry.length)
    name += " short " + std::to_string(entry.done);
  return name;
}

inline bool IsLeave(const sim::TraceEntry& entry) {
  return entry.direction == 'W' && entry.ok && entry.done == 4 && entry.bytes.size() >= 4 &&
         entry.bytes[0] == 0x1B && entry.bytes[1] == 'f' && entry.bytes[2] == 'r' &&
         entry.bytes[3] == 0;
}

inline size_t LeaveCount(const std::vector<sim::TraceEntry>& trace) {
  size_t n = 0;
  for (const auto& entry : trace) n += IsLeave(entry) ? 1 : 0;
  return n;
}

// The lengths of the writes after the transfer command of `type`, up to the next command.
inline std::vector<uint32_t> BlocksOf(const std::vector<sim::TraceEntry>& trace, char type) {
  std::vector<uint32_t> blocks;
  bool inside = false;
  for (const auto& entry : trace) {
    if (entry.direction != 'W') continue;
    const std::string name = TransferName(entry);
    if (name.rfind("block", 0) == 0) {
      if (inside) blocks.push_back(entry.done);
    } else {
      inside = name == std::string("transfer ") + type;
    }
  }
  return blocks;
}

// Everything a RunObserver was told, as lines in order: "start", "entered", "released 1",
// "step CheckPrinterCount 1", "end NoPrinter".
class RecordingObserver final : public RunObserver {
 public:
  void OnRunStarted(bool force) override { events.push_back(force ? "start force" : "start"); }
  void OnDownloadModeEntered() override { events.push_back("entered"); }
  void OnReleased(bool leaveSent) override {
    events.push_back(std::string("released ") + (leaveSent ? "1" : "0"));
  }
  void OnStep(const StepRecord& step) override {
    events.push_back("step " + step.step + (step.ok ? " 1" : " 0"));
    steps.push_back(step);
  }
  void OnRunEnded(const RunResult& result, const DisplayFields&) override {
    events.push_back(std::string("end ") + Name(result.reason));
  }
  size_t Count(const std::string& prefix) const {
    size_t n = 0;
    for (const auto& e : events) n += e.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
  std::vector<std::string> events;
  std::vector<StepRecord> steps;
};

class SimUpdateTest : public testing::Test {
 protected:
  void SetUp() override {
    // Bound once for the process, as start-up does; the library stays loaded.
    static const bool bound = TheDriverLibrary().IsLoaded() || TheDriverLibrary().Bind();
    ASSERT_TRUE(bound) << "the simulated libZUsbXpIf.so must be on the library path";
    clock.SetSleepObserver([this](uint32_t ms) { sleeps.push_back({clock.ElapsedMs(), ms}); });
    view.now = [this] { return clock.ElapsedMs(); };
  }

  void TearDown() override {
    ExpectNoViolations();
    procedure_.reset();
    sim::SimBus::Instance().Clear();
  }

  // The tool kept to the printer's rules: every write framed, each image erased before it, no
  // read before its reply was ready or shorter than it. A test of a printer slower than the
  // tool's waits names the kinds it expects in `allowedViolations`.
  void ExpectNoViolations() const {
    for (const sim::Violation& violation : sim::ByHost(sim::SimBus::Instance().Violations())) {
      if (std::find(allowedViolations.begin(), allowedViolations.end(), violation.kind) ==
          allowedViolations.end()) {
        ADD_FAILURE() << "protocol violation: " << sim::Describe(violation);
      }
    }
  }

  CUpdateProcedure& Make(sim::SimConfig config, const platform::KeyState& keys,
                         ImageSet::Source images = EmbeddedImage,
                         platform::Language language = platform::Language::English,
                         bool allBytes = false) {
    config.trace = true;
    config.traceAllBytes = allBytes;
    sim::SimBus::Instance().Reset(config, clock);
    procedure_ = std::make_unique<CUpdateProcedure>(
        view, UpdateContext{clock, keys, LinkedImportedDriver(), TheDriverLibrary(), language,
                            images, &observer});
    return *procedure_;
  }

  std::vector<sim::TraceEntry> Trace() const { return sim::SimBus::Instance().TraceEntries(); }

  // Transfers and sleeps in the order they happened; runs of the same entry are folded ("x100").
  std::vector<std::string> Timeline() const {
    std::vector<std::string> items;
    auto add = [&items](const std::string& item) {
      if (!items.empty()) {
        std::string& last = items.back();
        const size_t x = last.rfind(" x");
        const std::string base = x == std::string::npos ? last : last.substr(0, x);
        if (base == item) {
          const int n = x == std::string::npos ? 1 : std::stoi(last.substr(x + 2));
          last = item + " x" + std::to_string(n + 1);
          return;
        }
      }
      items.push_back(item);
    };
    size_t s = 0;
    for (const auto& entry : Trace()) {
      // Transfers take no time here, so one at tick t follows every sleep that ended by t.
      const uint64_t at = static_cast<uint32_t>(entry.tick - kStartTick);
      while (s < sleeps.size() && sleeps[s].end <= at)
        add("sleep " + std::to_string(sleeps[s++].ms));
      add(TransferName(entry));
    }
    while (s < sleeps.size()) add("sleep " + std::to_string(sleeps[s++].ms));
    return items;
  }

  VirtualClock clock{kStartTick};
  std::vector<sim::ViolationKind> allowedViolations;
  RecordingView view;
  RecordingObserver observer;
  std::vector<Sleep> sleeps;
  std::unique_ptr<CUpdateProcedure> procedure_;
};

}  // namespace zmr::test
