// SPDX-License-Identifier: MIT
#include "ui/cli/cli_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string_view>
#include <vector>

#include "images/image_set.h"

#ifndef ZMR_VERSION
#define ZMR_VERSION "0.0.0"
#endif

namespace zmr::cli {
namespace {

constexpr const char* kProgramName = "zmr470-update-cli";

Arguments UsageError(const std::string& what) {
  return {Command::Usage, false, std::string(kProgramName) + ": " + what};
}

}  // namespace

Arguments ParseArguments(int argc, const char* const* argv) {
  if (argc <= 1 || argv == nullptr) return {};
  // getopt_long reorders what it is given; it gets a copy. "+": stop at the first operand.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i] ? argv[i] : ""));
  args.push_back(nullptr);
  static constexpr int kJson = 0x100;  // a long option only
  static const option kOptions[] = {{"force", no_argument, nullptr, 'f'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {"json", no_argument, nullptr, kJson},
                                    {nullptr, 0, nullptr, 0}};
  Arguments run;
  opterr = 0;  // the messages are ours
  optind = 0;  // start afresh, also when called again
  for (;;) {
    const int option = getopt_long(argc, args.data(), "+fhV", kOptions, nullptr);
    if (option == -1) break;
    if (option == 'h') return {Command::Help, run.json, {}};
    if (option == 'V') return {Command::Version, run.json, {}};
    if (option == kJson) {
      run.json = true;
      continue;
    }
    if (option == 'f') {
      run.force = true;
      continue;
    }
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
  return run;
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
      "  -f, --force    force mode: skip the checks of the printer's status and version\n"
      "                 (Shift+K at the desktop tool's Download); for a printer that an\n"
      "                 interrupted update left in download mode\n"
      "  -h, --help     display this help and exit\n"
      "  -V, --version  display the version and the versions carried, and exit\n"
      "      --json     when the run ends, print its result as one JSON object on standard\n"
      "                 output (the closing message in English, the exit status and reason,\n"
      "                 the versions before and after, the driver folders, the run log);\n"
      "                 the progress and the closing message go to standard error\n\n"
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
