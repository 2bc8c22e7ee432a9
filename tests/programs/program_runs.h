// SPDX-License-Identifier: MIT
#pragma once
// Runs the built programs as processes over the simulated printer, many at once, and acts on
// what they do: a line in the simulated printer's trace or on standard output starts a stop
// request, a SIGKILL or a key press (xdotool, for the desktop tool on an X server of its own),
// at once or after a delay. Each run has a folder of its own for its output, its trace, its
// state folder (instance lock, run log) and its home.
//
// The runs go on in real time; a table of them runs in parallel, so a table of whole updates
// takes about as long as one update.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zmr::test {

// What starts an action: the `count`th line of the source that `matches` accepts.
struct Trigger {
  enum class Source { kTrace, kStdout, kStart };
  Source source = Source::kTrace;
  std::function<bool(const std::string& line)> matches;  // ignored for kStart
  int count = 1;
  uint32_t delayMs = 0;  // after the line was seen
  // The action: a signal to the program, or a command run beside it (with its DISPLAY).
  int signal = 0;
  std::vector<std::string> command;
};

struct ProgramRun {
  std::string name;
  std::string folder;  // emptied first; holds out.txt, err.txt, trace.txt, state/, home/
  std::vector<std::string> argv;
  // Set (a value) or unset (nullopt) on top of the defaults: the simulated printer's libraries on
  // the library path, its trace in the folder, XDG_STATE_HOME and HOME in the folder, the C
  // locale, no system bus, no ZMR470_* settings of the caller's.
  std::map<std::string, std::optional<std::string>> env;
  bool display = false;  // the desktop tool: an X server of its own, ZMR470_UI_LOG=-
  std::vector<Trigger> triggers;
  // Runs in the child just before it starts the program (a resource limit, a signal's action).
  std::function<void()> inChild;
  // Runs in the test once the folder is ready, before the program starts (what it is to find).
  std::function<void(const std::string& folder)> prepare;
  bool keepFolder = false;  // the folder as an earlier run left it, not emptied
};

struct RunOutcome {
  bool exited = false;
  int status = -1;  // the exit status, when it exited
  int signal = 0;   // the signal that ended it, when one did
  bool timedOut = false;
  double seconds = 0;
  std::string out, err;
  std::vector<std::string> trace;  // the simulated printer's trace, line by line
  // Per trigger, in order: how many trace lines there were when it acted (-1: it never did).
  std::vector<long> traceLinesAtAction;
  // Per trigger: milliseconds from the program's start to its line being seen and to its action.
  std::vector<long> seenAtMs, actedAtMs;
  std::string log;  // the run log in the folder's state folder, as the run left it

  // The exit status as a shell reports it (128 + the signal's number when one ended it).
  int ShellStatus() const { return exited ? status : 128 + signal; }
  // Whether a trace line from `from` on matches `pattern` (POSIX extended, whole line).
  bool TraceHas(const std::string& pattern, long from = 0) const;
  // Lines of the run log that match `pattern` (whole line).
  size_t LogLines(const std::string& pattern) const;
  bool ErrHas(const std::string& pattern) const;
  bool OutHas(const std::string& pattern) const;
  // Trace lines of protocol violations by the tool.
  std::vector<std::string> Violations() const;
  // What to print when a check fails.
  std::string Describe() const;
};

// Runs every program at once and waits until all have ended; one still running after
// `timeoutMs` is killed (timedOut). Returns the outcomes in the order of `runs`.
std::vector<RunOutcome> RunAll(const std::vector<ProgramRun>& runs, uint32_t timeoutMs);

// Whether the desktop tool can be run here: an X server (Xvfb) and xdotool to press its keys.
bool CanRunOnDisplay();

// Trace lines, as the simulated printer writes them.
bool IsCommand(const std::string& line, const char* hex);  // "1b666700": enter download mode
inline constexpr const char* kEnterHex = "1b666700";
inline constexpr const char* kLeaveHex = "1b667200";
inline constexpr const char* kStatusHex = "1b563230";
// A trigger on the `count`th block written after the transfer command of `type` ('p', 't', 'f').
Trigger OnBlockOf(char type, int count);
// A trigger on the enter-download-mode command.
Trigger OnEnter(uint32_t delayMs);

// The trace line patterns of the leave-download-mode and enter-download-mode commands.
inline const std::string kLeaveLine = "[0-9]+ W PIPE00 4 1b667200";
inline const std::string kEnterLine = "[0-9]+ W PIPE00 4 1b666700";

// The key presses of the desktop tool (xdotool on its display): Enter, or Shift+K held at Enter.
std::vector<std::string> PressDownload(bool shiftK);

}  // namespace zmr::test
