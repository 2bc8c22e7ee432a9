// SPDX-License-Identifier: MIT
#include "ui/cli/cli_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string_view>
#include <vector>

#include "images/image_set.h"
#include "update/string_table.h"

#ifndef ZMR_VERSION
#define ZMR_VERSION "0.0.0"
#endif

namespace zmr::cli {
namespace {

constexpr const char* kProgramName = "zmr470-update-cli";

Arguments UsageError(const std::string& what) {
  return {Command::Usage, std::string(kProgramName) + ": " + what};
}

}  // namespace

Arguments ParseArguments(int argc, const char* const* argv) {
  if (argc <= 1 || argv == nullptr) return {};
  // getopt_long reorders what it is given; it gets a copy. "+": stop at the first operand.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i] ? argv[i] : ""));
  args.push_back(nullptr);
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;  // the messages are ours
  optind = 0;  // start afresh, also when called again
  for (;;) {
    const int option = getopt_long(argc, args.data(), "+hV", kOptions, nullptr);
    if (option == -1) break;
    if (option == 'h') return {Command::Help, {}};
    if (option == 'V') return {Command::Version, {}};
    const std::string_view given = args[optind - 1];
    if (given.substr(0, 2) == "--") {
      const std::string_view name = given.substr(0, given.find('='));
      if (optopt != 0)
        return UsageError("option '" + std::string(name) + "' doesn't allow an argument");
      return UsageError("unrecognized option '" + std::string(given) + "'");
    }
    return UsageError("invalid option -- '" + std::string(1, static_cast<char>(optopt)) + "'");
  }
  if (optind < argc) return UsageError("extra operand '" + std::string(args[optind]) + "'");
  return {};
}

int ExitStatusFor(std::optional<uint32_t> closingMessage) {
  if (!closingMessage) return kExitNoOutcome;
  if (*closingMessage == IDS_SUCCESS) return kExitSuccess;
  if (*closingMessage >= IDS_NOT_CONNECTED && *closingMessage <= IDS_FAILED)
    return kExitFirstMessage + int(*closingMessage - IDS_NOT_CONNECTED);
  return kExitNoOutcome;
}

const std::array<ExitStatusEntry, 15>& ExitStatuses() {
  static const std::array<ExitStatusEntry, 15> statuses = {{
      {kExitSuccess, "Success!: the printer was updated and verified"},
      {kExitNoOutcome, "the update ended without an outcome"},
      {kExitUsage, "usage error: an unknown option or an operand"},
      {kExitAlreadyRunning, "another instance of the tool is running (nothing is printed)"},
      {kExitDriverNotFound, "the driver library could not be loaded (\"WUsbXpIf.dll Not Found\")"},
      {kExitOutputFailed, "the help or version text could not be written"},
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
  return std::string("Usage: ") + kProgramName + " [OPTION]";
}

std::string TryHelpLine() {
  return std::string("Try '") + kProgramName + " --help' for more information.";
}

std::string HelpText() {
  std::string text = UsageLine() + "\n";
  text +=
      "Update the one TALVERON ZMR470 printer on the USB bus, as the Download button of the\n"
      "desktop tool does: check the printer, switch it to download mode, check its version,\n"
      "send DATA1(M), DATA2(T) and DATA3(F), read the versions back and verify them.\n"
      "Progress, the printer's versions and the closing message go to standard output. The\n"
      "update takes about a minute; do not power off the printer meanwhile.\n\n"
      "  -h, --help     display this help and exit\n"
      "  -V, --version  display the version and the versions carried, and exit\n\n"
      "The texts are in the user's language: LANGUAGE, then LC_ALL, LC_MESSAGES and LANG, as\n"
      "gettext chooses (LANGUAGE is ignored in the C locale); Japanese or English.\n\n"
      "Exit status:\n";
  for (const ExitStatusEntry& entry : ExitStatuses()) {
    std::string status = std::to_string(entry.status);
    text += "  " + std::string(3 - status.size(), ' ') + status + "  " + entry.meaning + "\n";
  }
  return text;
}

std::string VersionText() {
  std::string text = std::string(kProgramName) + " " + ZMR_VERSION + "\n";
  text +=
      "Copyright (C) 2026 The zmr470-update authors.\n"
      "License MIT: <https://opensource.org/license/mit>.\n"
      "This is free software: you are free to change and redistribute it.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n\n"
      "Data carried:\n";
  for (const ImageInfo& image : kImages) {
    text += std::string(image.label) + "  " + image.version + "\n";
  }
  return text;
}

int WriteText(std::ostream& out, std::ostream& err, const std::string& text) {
  errno = 0;
  out << text << std::flush;
  if (out.good()) return kExitSuccess;
  const int error = errno;
  err << kProgramName << ": write error";
  if (error != 0) err << ": " << std::strerror(error);
  err << "\n" << std::flush;
  return kExitOutputFailed;
}

}  // namespace zmr::cli
