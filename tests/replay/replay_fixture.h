// SPDX-License-Identifier: MIT
#pragma once
// One press of Download over the simulated bus, recorded to a file or replayed from one, and the
// lines of the trace it left. The tool talks to the simulated driver libraries this program is
// linked with; a test may hand it other entry points (a tool changed in one detail).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver_api/driver_api.h"
#include "driver_api/handle_table.h"
#include "link/driver_library.h"
#include "platform/clock.h"
#include "sim/sim_bus.h"
#include "sim/sim_env.h"
#include "tests/update/quiet_view.h"
#include "update/update_procedure.h"

namespace zmr::test {

// How a press ended, as far as a user or a script sees it.
struct Outcome {
  uint32_t message = 0;
  RunReason reason = RunReason::kSuccess;
  std::string detail;
  DisplayFields fields;
  uint64_t elapsedMs = 0;  // virtual time the press took

  bool operator==(const Outcome& other) const {
    return message == other.message && reason == other.reason && detail == other.detail &&
           fields.beforeVersion == other.fields.beforeVersion &&
           fields.beforeCheckSum == other.fields.beforeCheckSum &&
           fields.afterVersion == other.fields.afterVersion &&
           fields.afterCheckSum == other.fields.afterCheckSum && elapsedMs == other.elapsedMs;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << o.message << " " << Name(o.reason) << " (" << o.detail << ") after " << o.elapsedMs
             << " ms, after " << o.fields.afterVersion[0] << "/" << o.fields.afterCheckSum[0];
}

inline std::string TempFile(const std::string& name) {
  return testing::TempDir() + "zmr470-replay-" + std::to_string(getpid()) + "-" + name;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The lines of `text` that contain `word` (" DIVERGE ", " VIOLATION ").
inline std::vector<std::string> LinesWith(const std::string& text, const std::string& word) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(word) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// The simulated driver libraries' entry points, as the tool binds them.
inline ImportedDriver SimImported() {
  return {UsbGetDeviceNum, UsbGetDeviceInfo, UsbOpenBulk3};
}
inline void BindSimLoaded(CDriverLibrary& loaded) {
  loaded.SetVenderID = SetVenderID;
  loaded.SetProductID = SetProductID;
  loaded.UsbOpenCont = UsbOpenCont;
  loaded.UsbOpenBulk = UsbOpenBulk;
  loaded.UsbDeviceIoControl = UsbDeviceIoControl;
}

class ReplayTest : public testing::Test {
 protected:
  ReplayTest() { BindSimLoaded(loaded_); }

  void TearDown() override {
    sim::SimBus::Instance().Clear();
    EXPECT_EQ(driver_api::OpenHandleCount(), 0u) << "a handle was left open";
  }

  // The simulated printer as ZMR470_SIM sets it up, and its trace to `traceFile` (emptied).
  static sim::SimConfig Settings(const std::string& settings, const std::string& traceFile) {
    sim::SimConfig config = sim::EnvironmentDefaults();
    std::vector<std::string> problems;
    sim::ParseSimSettings(settings, config, problems);
    EXPECT_TRUE(problems.empty()) << settings;
    config.traceFile = traceFile;
    std::remove(traceFile.c_str());
    return config;
  }

  // One press of Download on `toolClock` with the bus on `busClock` (the same, unless the tool's
  // waits are changed), through `imported` and `loaded`. The bus is cleared afterwards, which
  // ends a replay.
  Outcome Press(const sim::SimConfig& config, VirtualClock& busClock, Clock& toolClock,
                const ImportedDriver& imported, const CDriverLibrary& loaded) {
    sim::SimBus::Instance().Reset(config, busClock);
    QuietView view;
    const platform::NoKeysDown keys;
    CUpdateProcedure procedure(view,
                               {toolClock, keys, imported, loaded, platform::Language::English});
    const uint64_t start = busClock.ElapsedMs();
    procedure.OnDownload();
    EXPECT_EQ(view.messages.size(), 1u) << "one closing message";
    problem_ = sim::SimBus::Instance().ReplayProblem();
    sim::SimBus::Instance().Clear();
    const RunResult& run = procedure.LastRun();
    return {run.messageId, run.reason, run.detail, procedure.Fields(),
            busClock.ElapsedMs() - start};
  }
  Outcome Press(const sim::SimConfig& config) {
    VirtualClock clock;
    return Press(config, clock, clock, SimImported(), loaded_);
  }

  // Records a session of the simulated printer set up by `settings` into `file`.
  Outcome Record(const std::string& settings, const std::string& file) {
    return Press(Settings(settings + " fulltrace", file));
  }
  // Replays `recording`, with the replay's own full trace in `traceFile`.
  sim::SimConfig ReplayOf(const std::string& recording, const std::string& traceFile) {
    sim::SimConfig config = Settings("fulltrace", traceFile);
    config.replayFile = recording;
    return config;
  }

  CDriverLibrary loaded_;
  std::string problem_;  // why the last replay could not start
};

}  // namespace zmr::test
