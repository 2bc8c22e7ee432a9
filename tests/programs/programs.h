// SPDX-License-Identifier: MIT
#pragma once
// What the tables of program runs share: where the programs and the runs' folders are, and the
// checks that several tables make.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "program_runs.h"

namespace zmr::test {

inline std::string CliProgram() {
  return ZMR_CLI_PROGRAM;
}

// The desktop tool, or empty when it is not built.
inline std::string GuiProgram() {
  return ZMR_GUI_PROGRAM;
}

// A folder of its own for one run of a table.
inline std::string RunFolder(const std::string& table, const std::string& run) {
  return std::string(ZMR_RUNS_DIR) + "/" + table + "/" + run;
}

inline const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGQUIT:
      return "SIGQUIT";
  }
  return "?";
}

// `text` as a pattern that matches just it.
inline std::string RegexText(const std::string& text) {
  std::string pattern;
  for (const char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

// A line of a run-log record: the time since the run started, two spaces, `text` (a pattern).
inline std::string LogLine(const std::string& text) {
  return " +[0-9]+\\.[0-9]{3} s  " + text;
}

// The record of a whole successful update, line by line in the order the run writes them.
inline void ExpectWholeSuccessRecord(const RunOutcome& run) {
  EXPECT_EQ(run.LogLines("== .*"), 1u);
  for (const char* step :
       {"run started", "CheckPrinterCount  ok  1 found", "CheckPrinterStatus  ok .*",
        "stop requests held until the release", "CheckVersion  ok .*", "printer in download mode",
        "SwitchToDownloadMode  ok", "Reopen  ok .*",
        "DownloadImages DATA1\\(M\\)  ok  1024123 bytes", "DownloadImages DATA3\\(F\\)  ok .*",
        "VerifyVersions  ok .*", "ReleasePrinter  ok", "printer released from download mode",
        "outcome: 2024 \"Success!\""}) {
    EXPECT_EQ(run.LogLines(LogLine(step)), 1u) << step;
  }
}

}  // namespace zmr::test
