// SPDX-License-Identifier: MIT
#pragma once
// The terminal tool's command line (-f/--force, -h/--help, -V/--version and --json, nothing else),
// its help and its version text. The exit statuses are in exit_status.h.
#include <iosfwd>
#include <string>

#include "ui/cli/exit_status.h"

namespace zmr::cli {

enum class Command { Run, Help, Version, Usage };

struct Arguments {
  Command command = Command::Run;
  // --json: the run's result as one JSON object on standard output (run_json.h), the progress
  // and the closing message on standard error.
  bool json = false;
  // For Command::Usage: what was wrong, as "zmr470-update-cli: unrecognized option '--bogus'".
  std::string error;
  // -f/--force: force mode, as Shift and K held at the press of the desktop tool's Download.
  bool force = false;
};

// The options in the usual manner (getopt_long): -h/--help and -V/--version act on the first
// one given (unambiguous abbreviations of the long names count); -f/--force runs the update in
// force mode; an unknown option, an argument to any of them, or any operand is a usage error. No
// arguments (or only --json and -f) runs the update.
Arguments ParseArguments(int argc, const char* const* argv);

std::string UsageLine();    // "Usage: zmr470-update-cli [OPTION]"
std::string TryHelpLine();  // "Try 'zmr470-update-cli --help' for more information."
std::string HelpText();
std::string VersionText();

// Writes `text` (the help or the version) to `out` and flushes it: kExitSuccess, or, when it
// cannot be written (a full disk, a closed pipe), a line on `err` and kExitOutputFailed.
int WriteText(std::ostream& out, std::ostream& err, const std::string& text);

}  // namespace zmr::cli
