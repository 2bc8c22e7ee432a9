// SPDX-License-Identifier: MIT
// Requests to stop while the printer is in download mode, against both programs as processes:
// each of SIGINT, SIGTERM, SIGHUP and SIGQUIT 0.5 s, 2.5 s and 4.9 s after the
// enter-download-mode command (during the 5 s wait that follows it) and during each image's
// blocks. The run goes on to its end, the printer is told to leave download mode and the run log
// has the whole record; the terminal tool then ends with the status of its outcome, the desktop
// tool with 128 + the signal's number once its closing message is closed. Before the command a
// request still ends either program at once. All runs go on at the same time.
#include <string>
#include <vector>

#include "programs.h"

namespace zmr::test {
namespace {

struct Moment {
  const char* name;
  Trigger trigger;
};

std::vector<Moment> InDownloadMode() {
  return {{"0.5s", OnEnter(500)},        {"2.5s", OnEnter(2500)},
          {"4.9s", OnEnter(4900)},       {"DATA1", OnBlockOf('p', 20)},
          {"DATA2", OnBlockOf('t', 20)}, {"DATA3", OnBlockOf('f', 20)}};
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A whole update that takes about as long as its fixed waits; the blocks of each image take a
// moment (DATA1 about 1 s), so that a request can reach the tool in the middle of them.
constexpr const char* kWholeUpdate = "speed=1000000 busy=0";
// A printer that stays busy: the run never gets past the status gate.
constexpr const char* kStaysBusy = "busy=forever";

Trigger OnStatusRequest() {
  Trigger trigger;
  trigger.matches = [](const std::string& line) { return IsCommand(line, kStatusHex); };
  return trigger;
}

Trigger OnMainWindow() {
  Trigger trigger;
  trigger.source = Trigger::Source::kStdout;
  trigger.matches = [](const std::string& line) {
    return line == "window\t102\tTALVERON ZMR470 Update Tool";
  };
  trigger.command = PressDownload(false);
  return trigger;
}

struct Expect {
  bool desktop;
  int signal;
  bool before;  // sent before the enter-download-mode command
};

TEST(StopRequests, HeldFromTheEnterCommandToTheReleaseInBothPrograms) {
  const bool desktop = !GuiProgram().empty() && CanRunOnDisplay();
  std::vector<ProgramRun> runs;
  std::vector<Expect> expect;
  auto add = [&](bool onDesktop, const std::string& moment, int signal, Trigger trigger,
                 const char* sim) {
    ProgramRun run;
    run.name = std::string(onDesktop ? "desktop-" : "cli-") + SignalName(signal) + "-" + moment;
    run.folder = RunFolder("stop-requests", run.name);
    run.argv = {onDesktop ? GuiProgram() : CliProgram()};
    run.env["ZMR470_SIM"] = sim;
    run.display = onDesktop;
    if (onDesktop) run.triggers.push_back(OnMainWindow());
    trigger.signal = signal;
    run.triggers.push_back(std::move(trigger));
    runs.push_back(std::move(run));
    expect.push_back({onDesktop, signal, moment == "before"});
  };
  const std::vector<Moment> moments = InDownloadMode();
  for (const int signal : kSignals) {
    for (const Moment& moment : moments)
      add(false, moment.name, signal, moment.trigger, kWholeUpdate);
    add(false, "before", signal, OnStatusRequest(), kStaysBusy);
  }
  if (desktop) {
    // Each request once, the moments taken in turn.
    for (size_t i = 0; i < moments.size(); ++i) {
      const int signal = kSignals[i % std::size(kSignals)];
      add(true, moments[i].name, signal, moments[i].trigger, kWholeUpdate);
    }
    for (const int signal : kSignals) add(true, "before", signal, OnStatusRequest(), kStaysBusy);
  }

  const std::vector<RunOutcome> outcomes = RunAll(runs, 240000);
  for (size_t k = 0; k < runs.size(); ++k) {
    const RunOutcome& run = outcomes[k];
    const Expect& e = expect[k];
    SCOPED_TRACE(runs[k].name + "\n" + run.Describe());
    const long sentAt = run.traceLinesAtAction.back();
    ASSERT_GE(sentAt, 0) << "the request was never sent";
    EXPECT_TRUE(run.Violations().empty());
    if (e.before) {
      // The default action: the program ends by the signal, nothing more reaches the printer.
      EXPECT_FALSE(run.exited);
      EXPECT_EQ(run.signal, e.signal);
      EXPECT_FALSE(run.TraceHas(kEnterLine));
      continue;
    }
    EXPECT_TRUE(run.TraceHas(kEnterLine, 0));
    EXPECT_FALSE(run.TraceHas(kEnterLine, sentAt)) << "sent before the command";
    EXPECT_TRUE(run.TraceHas(kLeaveLine, sentAt));
    ExpectWholeSuccessRecord(run);
    EXPECT_EQ(run.LogLines(LogLine(std::string(SignalName(e.signal)) +
                                   " arrived in download mode and was held until now")),
              1u);
    if (e.desktop) {
      EXPECT_EQ(run.ShellStatus(), 128 + e.signal);
      EXPECT_TRUE(run.OutHas("message\tSuccess!\twarning\t.*"));
    } else {
      EXPECT_EQ(run.ShellStatus(), 0);
      EXPECT_TRUE(run.OutHas("Success!"));
      EXPECT_TRUE(
          run.ErrHas("The update cannot be interrupted now: the printer is in download "
                     "mode\\. About [0-9]+ s left\\."));
    }
  }
  double longest = 0;
  for (const RunOutcome& run : outcomes) longest = std::max(longest, run.seconds);
  std::printf("%zu runs at once; the longest took %.1f s\n", runs.size(), longest);
}

}  // namespace
}  // namespace zmr::test
