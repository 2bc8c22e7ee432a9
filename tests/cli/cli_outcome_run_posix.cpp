// SPDX-License-Identifier: MIT
// RunOutcome on Linux: zmr470-update-cli (ZMR_CLI_PROGRAM) with the simulated printer's driver
// libraries found by name (ZMR_SIM_LIB_DIR), and a folder of the row's own under
// ZMR_CLI_OUTCOME_DIR for its single-instance lock, its run log and the printer's trace, so that
// rows can run at once.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_outcomes.h"
#include "tests/cli/posix_process.h"

namespace zmr::test {

bool RunOutcomeChoosesLanguage() {
  return true;  // LANG and its kin, as the row says
}

CliRun RunOutcome(const CliOutcome& outcome) {
  const std::string dir = std::string(ZMR_CLI_OUTCOME_DIR) + "/" + outcome.name;
  const std::string trace = dir + "/sim-trace.txt";
  std::error_code error;
  std::filesystem::remove_all(dir, error);
  std::filesystem::create_directories(dir + "/state", error);
  chmod(dir.c_str(), 0700);  // the lock wants a private folder

  setenv("LD_LIBRARY_PATH", ZMR_SIM_LIB_DIR, 1);
  setenv("ZMR470_SIM", outcome.sim, 1);
  setenv("ZMR470_SIM_TRACE", trace.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) setenv(name, "", 1);
  setenv("LANG", outcome.locale ? outcome.locale : "C", 1);
  setenv("TERM", "xterm", 1);

  char program[] = ZMR_CLI_PROGRAM;
  char* argv[] = {program, nullptr};
  const ProcessResult result = RunProcess(argv, {});
  CliRun run{result.status, result.out, result.err, {}};
  if (!result.problem.empty()) run.err += "(" + result.problem + ")\n";
  std::ostringstream traced;
  traced << std::ifstream(trace).rdbuf();
  run.trace = traced.str();
  return run;
}

}  // namespace zmr::test
