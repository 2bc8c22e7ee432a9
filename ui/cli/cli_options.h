// SPDX-License-Identifier: MIT
#pragma once
// The terminal tool's command line (-h/--help and -V/--version, nothing else) and its exit
// statuses.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace zmr::cli {

enum class Command { Run, Help, Version, Usage };

struct Arguments {
  Command command = Command::Run;
  // For Command::Usage: what was wrong, as "zmr470-update-cli: unrecognized option '--bogus'".
  std::string error;
};

// The options in the usual manner (getopt_long): -h/--help and -V/--version act on the first
// one given (unambiguous abbreviations of the long names count); an unknown option, an argument
// to either, or any operand is a usage error. No arguments runs the update.
Arguments ParseArguments(int argc, const char* const* argv);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoOutcome = 1;  // the run ended without a closing message
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAlreadyRunning = 3;
inline constexpr int kExitDriverNotFound = 4;
inline constexpr int kExitOutputFailed = 5;  // the help or version text could not be written
// The closing messages 2000 to 2008 end with 10 to 18.
inline constexpr int kExitFirstMessage = 10;

// The exit status for the closing message with this string-table number (none: kExitNoOutcome).
int ExitStatusFor(std::optional<uint32_t> closingMessage);

struct ExitStatusEntry {
  int status;
  const char* meaning;
};
// Every exit status the tool can end with, in ascending order.
const std::array<ExitStatusEntry, 15>& ExitStatuses();

std::string UsageLine();    // "Usage: zmr470-update-cli [OPTION]"
std::string TryHelpLine();  // "Try 'zmr470-update-cli --help' for more information."
std::string HelpText();
std::string VersionText();

// Writes `text` (the help or the version) to `out` and flushes it: kExitSuccess, or, when it
// cannot be written (a full disk, a closed pipe), a line on `err` and kExitOutputFailed.
int WriteText(std::ostream& out, std::ostream& err, const std::string& text);

}  // namespace zmr::cli
