// SPDX-License-Identifier: MIT
// A printer that an interrupted update left in download mode, with the memory of some data types
// erased (ZMR470_SIM downloadmode=TYPES), against both programs. In normal mode the run refuses as
// the gates decide (an erased DATA1 is no version the tool may replace; a DATA1 that was written
// already is the newest), releases the printer first and says so in its message; force mode
// (-f/--force, Shift+K held at the desktop tool's Download) writes, verifies and releases it:
// "Success!". No run breaks the printer's rules.
#include <string>
#include <vector>

#include "programs.h"

namespace zmr::test {
namespace {

struct StartCase {
  const char* name;
  const char* sim;
  bool desktop;
  bool force;
  int status;             // the terminal tool's exit status
  const char* message;    // the closing message: a line of the terminal tool's, or the desktop
                          // tool's message line, a pattern
  const char* beforeRow;  // the terminal tool's Before row, a pattern (or null)
};

constexpr const char* kAllErased = "downloadmode=ptf speed=0 busy=0";
constexpr const char* kData1Written = "downloadmode=tf data1=316G21:08A6 speed=0 busy=0";

const StartCase kCases[] = {
    {"cli-normal-all-erased", kAllErased, false, false, 16, "DATA1\\(M\\) : \\?{6} / 0000",
     "Before +\\?{6} / 0000 +\\?{6} / 0000 +\\?{3} / 0000"},
    {"cli-normal-data1-written", kData1Written, false, false, 15,
     "Version Check: DATA in the printer is the newest version\\.", "Before +316G21 / 08A6 .*"},
    {"cli-force-all-erased", kAllErased, false, true, 0, "Success!", nullptr},
    {"cli-force-data1-written", kData1Written, false, true, 0, "Success!", nullptr},
    {"desktop-normal-all-erased", kAllErased, true, false, 0,
     "message\tVersion Check\tinformation\tThis program is not applicable on this "
     "printer\\.\\\\nDATA1\\(M\\) : .* / 0000",
     nullptr},
    {"desktop-shift-k-all-erased", kAllErased, true, true, 0,
     "message\tSuccess!\twarning\tSuccess!.*", nullptr},
};

TEST(PrinterLeftInDownloadMode, NormalModeRefusesAndReleasesForceModeRecovers) {
  const bool desktop = !GuiProgram().empty() && CanRunOnDisplay();
  std::vector<ProgramRun> runs;
  std::vector<const StartCase*> cases;
  for (const StartCase& c : kCases) {
    if (c.desktop && !desktop) {
      std::printf("%s: no X server or xdotool here\n", c.name);
      continue;
    }
    ProgramRun run;
    run.name = c.name;
    run.folder = RunFolder("download-mode-start", c.name);
    run.env["ZMR470_SIM"] = c.sim;
    if (c.desktop) {
      run.argv = {GuiProgram()};
      run.display = true;
      Trigger press;
      press.source = Trigger::Source::kStdout;
      press.matches = [](const std::string& line) {
        return line == "window\t102\tTALVERON ZMR470 Update Tool";
      };
      press.command = PressDownload(c.force);
      // The window stays open after its run: closed a while after the closing message, by when the
      // run has ended (the box is answered at once).
      Trigger close;
      close.source = Trigger::Source::kStdout;
      close.matches = [](const std::string& line) { return line.rfind("message\t", 0) == 0; };
      close.delayMs = 2000;
      close.signal = SIGTERM;
      run.triggers = {press, close};
    } else {
      run.argv = {CliProgram()};
      if (c.force) run.argv.push_back("--force");
    }
    runs.push_back(std::move(run));
    cases.push_back(&c);
  }
  const std::vector<RunOutcome> outcomes = RunAll(runs, 180000);
  for (size_t k = 0; k < runs.size(); ++k) {
    const StartCase& c = *cases[k];
    const RunOutcome& run = outcomes[k];
    SCOPED_TRACE(std::string(c.name) + "\n" + run.Describe());
    if (c.desktop) {
      EXPECT_EQ(run.signal, SIGTERM) << "closed after its run";
    } else {
      EXPECT_EQ(run.ShellStatus(), c.status);
    }
    EXPECT_TRUE(run.OutHas(c.message)) << c.message;
    if (c.beforeRow) {
      EXPECT_TRUE(run.OutHas(c.beforeRow)) << c.beforeRow;
    }
    // Released, before the message, in every case; nothing against the printer's rules.
    EXPECT_EQ(run.LogLines(LogLine("printer released from download mode")), 1u);
    EXPECT_TRUE(run.TraceHas(kLeaveLine));
    EXPECT_TRUE(run.Violations().empty());
    if (c.force) {
      EXPECT_EQ(run.LogLines(LogLine("run started \\(force mode\\)")), 1u);
      EXPECT_FALSE(run.TraceHas("[0-9]+ W PIPE00 4 " + std::string(kStatusHex)))
          << "force mode asks no status";
      EXPECT_EQ(run.LogLines(LogLine("VerifyVersions  ok  DATA1\\(M\\) 316G21 / 08A6, DATA2\\(T\\) "
                                     "318C21 / AF7C, DATA3\\(F\\) D11 / EE03")),
                1u);
      EXPECT_EQ(run.LogLines(LogLine("outcome: 2024 \"Success!\"")), 1u);
    } else {
      EXPECT_EQ(run.LogLines(LogLine("CheckVersion  FAILED .*")), 1u);
      EXPECT_FALSE(run.TraceHas("[0-9]+ W PIPE00 4 1b6665.*")) << "nothing erased";
    }
  }
}

}  // namespace
}  // namespace zmr::test
