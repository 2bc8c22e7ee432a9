// SPDX-License-Identifier: MIT
// One lock per user wherever the program is started from: a copy started as from a desktop
// session (XDG_RUNTIME_DIR set) and one as from ssh, cron or a plain shell (without it), same
// user, same home, started together: one of them runs, the other ends at once with status 3 and
// prints nothing.
#include <filesystem>
#include <string>
#include <vector>

#include "programs.h"

namespace zmr::test {
namespace {

namespace fs = std::filesystem;

TEST(InstanceLock, OneLockWithAndWithoutARuntimeFolder) {
  const std::string home = RunFolder("instance-lock", "home");
  fs::remove_all(home);
  fs::create_directories(home + "/runtime");
  fs::permissions(home + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
  std::vector<ProgramRun> runs;
  for (const bool runtime : {true, false}) {
    ProgramRun run;
    run.name = runtime ? "with XDG_RUNTIME_DIR" : "without XDG_RUNTIME_DIR";
    run.folder = RunFolder("instance-lock", runtime ? "with" : "without");
    run.argv = {CliProgram()};
    // The copy that gets the lock stays a moment: busy for 2 s, then refused as printing.
    run.env["ZMR470_SIM"] = "busy=2000 printing=1";
    run.env["HOME"] = home;
    run.env["XDG_STATE_HOME"] = std::nullopt;
    if (runtime) run.env["XDG_RUNTIME_DIR"] = home + "/runtime";
    runs.push_back(std::move(run));
  }
  const std::vector<RunOutcome> outcomes = RunAll(runs, 60000);
  SCOPED_TRACE(outcomes[0].Describe() + "\n" + outcomes[1].Describe());
  const int first = outcomes[0].ShellStatus();
  const int second = outcomes[1].ShellStatus();
  EXPECT_TRUE((first == 3 && second == 12) || (first == 12 && second == 3))
      << first << " and " << second;
  for (const RunOutcome& run : outcomes) {
    if (run.ShellStatus() != 3) continue;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.trace.empty()) << "the second copy reached the printer";
  }
  // Both looked for it in the one place.
  EXPECT_TRUE(fs::exists(home + "/.local/state/zmr470-update/TALVERON_ZMR470_Update_Tool.lock"));
  EXPECT_TRUE(fs::is_empty(home + "/runtime"));
}

}  // namespace
}  // namespace zmr::test
