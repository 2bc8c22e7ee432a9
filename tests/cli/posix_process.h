// SPDX-License-Identifier: MIT
#pragma once
// Runs a program as a child process and takes what it writes: standard output and standard
// error through pipes (or both on a pseudo-terminal), its exit status, and, when asked, a signal
// sent once the simulated printer's trace has grown to a number of lines. For the terminal
// tool's process tests.
#include <string>

namespace zmr::test {

struct ProcessOptions {
  bool tty = false;           // standard output and error on a pseudo-terminal of 80 columns
  bool closedStdout = false;  // standard output a pipe whose reading end is already closed
  bool fullStdout = false;    // standard output /dev/full (every write fails: no space)
  bool noStdout = false;      // descriptor 1 closed: no standard output at all
  int signal = 0;             // sent once the trace file has `signalAtTrace` lines (0: none)
  long signalAtTrace = -1;
  std::string traceFile;  // watched with inotify for the signal
};

struct ProcessResult {
  int status = -1;  // the exit status, or 128 + the signal that ended it
  std::string out;  // with `tty`, everything the terminal got
  std::string err;
  long traceLinesAtSignal = -1;  // -1: no signal was sent
  std::string problem;           // why the program could not be run; empty when it ran
};

// Runs argv[0] with the arguments that follow (null-terminated) and the environment of this
// process, and waits until it has ended and closed both outputs.
ProcessResult RunProcess(char** argv, const ProcessOptions& options);

}  // namespace zmr::test
