#pragma once
// The terminal tool's command line (none but --help and --version) and its exit statuses.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zmr::cli {

enum class Command { Run, Help, Version, Usage };

// No arguments runs the update; "--help" or "--version" alone ask for those; anything else is a
// usage error.
Command ParseArguments(int argc, const char* const* argv);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoOutcome = 1;  // the run ended without a closing message
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAlreadyRunning = 3;
inline constexpr int kExitDriverNotFound = 4;
// The closing messages 2000 to 2008 end with 10 to 18.
inline constexpr int kExitFirstMessage = 10;

// The exit status for the closing message with this string-table number (none: kExitNoOutcome).
int ExitStatusFor(std::optional<uint32_t> closingMessage);

struct ExitStatusEntry {
  int status;
  const char* meaning;
};
// Every exit status the tool can end with, in ascending order.
const std::array<ExitStatusEntry, 14>& ExitStatuses();

std::string UsageLine();  // "usage: zmr470-update-cli [--help | --version]"
std::string HelpText();
std::string VersionText();

}  // namespace zmr::cli
