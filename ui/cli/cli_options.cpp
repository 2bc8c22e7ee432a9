#include "ui/cli/cli_options.h"

#include <string_view>

#include "images/image_set.h"
#include "update/string_table.h"

#ifndef ZMR_VERSION
#define ZMR_VERSION "0.0.0"
#endif

namespace zmr::cli {
namespace {

constexpr const char* kProgramName = "zmr470-update-cli";

}  // namespace

Command ParseArguments(int argc, const char* const* argv) {
  if (argc <= 1) return Command::Run;
  if (argc > 2 || argv[1] == nullptr) return Command::Usage;
  const std::string_view argument(argv[1]);
  if (argument == "--help") return Command::Help;
  if (argument == "--version") return Command::Version;
  return Command::Usage;
}

int ExitStatusFor(std::optional<uint32_t> closingMessage) {
  if (!closingMessage) return kExitNoOutcome;
  if (*closingMessage == IDS_SUCCESS) return kExitSuccess;
  if (*closingMessage >= IDS_NOT_CONNECTED && *closingMessage <= IDS_FAILED)
    return kExitFirstMessage + int(*closingMessage - IDS_NOT_CONNECTED);
  return kExitNoOutcome;
}

const std::array<ExitStatusEntry, 14>& ExitStatuses() {
  static const std::array<ExitStatusEntry, 14> statuses = {{
      {kExitSuccess, "Success!: the printer was updated and verified"},
      {kExitNoOutcome, "the update ended without an outcome"},
      {kExitUsage, "usage error: an argument other than --help or --version"},
      {kExitAlreadyRunning, "another instance of the tool is running (nothing is printed)"},
      {kExitDriverNotFound, "the driver library could not be loaded (\"WUsbXpIf.dll Not Found\")"},
      {10, "Error: Printer is not connected."},
      {11, "Error: Two or more printers are connected."},
      {12, "Error: It is under printing."},
      {13, "Error: Printer Error."},
      {14, "Error: Failed Version Information!"},
      {15, "Version Check: DATA in the printer is the newest version."},
      {16, "Version Check: This program is not applicable on this printer."},
      {17, "Error: Failed! Time out Error!"},
      {18, "Error: Failed! (status, download or verification failed)"},
  }};
  return statuses;
}

std::string UsageLine() {
  return std::string("usage: ") + kProgramName + " [--help | --version]";
}

std::string HelpText() {
  std::string text = UsageLine() + "\n\n";
  text +=
      "Updates the one TALVERON ZMR470 printer on the USB bus, as the Download button of the\n"
      "desktop tool does: checks the printer, switches it to download mode, checks its version,\n"
      "sends DATA1(M), DATA2(T) and DATA3(F), reads the versions back and verifies them.\n"
      "Progress, the printer's versions and the closing message go to standard output, in the\n"
      "user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG). The update takes about a minute;\n"
      "do not power off the printer meanwhile.\n\n"
      "  --help     show this text and exit\n"
      "  --version  show the tool's version and the versions it carries, and exit\n\n"
      "Exit status:\n";
  for (const ExitStatusEntry& entry : ExitStatuses()) {
    std::string status = std::to_string(entry.status);
    text += "  " + std::string(3 - status.size(), ' ') + status + "  " + entry.meaning + "\n";
  }
  return text;
}

std::string VersionText() {
  std::string text = std::string(kProgramName) + " " + ZMR_VERSION + "\n";
  for (const ImageInfo& image : kImages) {
    text += std::string(image.label) + "  " + image.version + "\n";
  }
  return text;
}

}  // namespace zmr::cli
