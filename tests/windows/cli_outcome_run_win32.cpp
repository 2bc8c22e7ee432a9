// SPDX-License-Identifier: MIT
// RunOutcome under Windows: zmr470-update-cli.exe with the simulated printer's DLLs
// (ZMR_SIM_DLL_DIR) and a trace file of its own.
#include <windows.h>

#include <fstream>
#include <sstream>

#include "tests/cli/cli_outcomes.h"
#include "tests/windows/win32_process.h"

namespace zmr::test {

// A program's language is the session's: Wine takes it from the LANG that the whole test program
// was started with, not from the environment the program gets.
bool RunOutcomeChoosesLanguage() {
  return false;
}

CliRun RunOutcome(const CliOutcome& outcome) {
  char tempDir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tempDir);
  const std::string trace = std::string(tempDir) + "zmr470-outcome-" + outcome.name + ".txt";
  DeleteFileA(trace.c_str());
  const Win32Run run = RunCli({outcome.sim, ZMR_SIM_DLL_DIR, trace});
  std::ostringstream traced;
  traced << std::ifstream(trace, std::ios::binary).rdbuf();
  DeleteFileA(trace.c_str());
  return {static_cast<int>(run.status), run.out, run.err, traced.str()};
}

}  // namespace zmr::test
