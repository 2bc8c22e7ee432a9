// SPDX-License-Identifier: MIT
#include "ui/cli/cli_options.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

#include "update/string_table.h"

namespace zmr::cli {
namespace {

Arguments Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "zmr470-update-cli");
  return ParseArguments(static_cast<int>(args.size()), args.data());
}

TEST(ParseArguments, TheUsualOptions) {
  const struct {
    std::vector<const char*> args;
    Command command;
    const char* error;
  } cases[] = {
      {{}, Command::Run, ""},
      {{"--"}, Command::Run, ""},
      {{"-h"}, Command::Help, ""},
      {{"--help"}, Command::Help, ""},
      {{"--he"}, Command::Help, ""},  // an unambiguous abbreviation
      {{"-V"}, Command::Version, ""},
      {{"--version"}, Command::Version, ""},
      {{"--help", "--version"}, Command::Help, ""},  // the first one acts
      {{"-Vh"}, Command::Version, ""},
      {{"--bogus"}, Command::Usage, "zmr470-update-cli: unrecognized option '--bogus'"},
      {{"--Help"}, Command::Usage, "zmr470-update-cli: unrecognized option '--Help'"},
      {{"-x", "--help"}, Command::Usage, "zmr470-update-cli: invalid option -- 'x'"},
      {{"-hx"}, Command::Help, ""},
      {{"--help=1"},
       Command::Usage,
       "zmr470-update-cli: option '--help' doesn't allow an argument"},
      {{"download"}, Command::Usage, "zmr470-update-cli: extra operand 'download'"},
      {{""}, Command::Usage, "zmr470-update-cli: extra operand ''"},
      {{"--", "--help"}, Command::Usage, "zmr470-update-cli: extra operand '--help'"},
      {{"-"}, Command::Usage, "zmr470-update-cli: extra operand '-'"},
  };
  for (int round = 0; round < 2; ++round) {  // parsing again starts afresh
    for (const auto& c : cases) {
      const Arguments parsed = Parse(c.args);
      std::string shown;
      for (const char* arg : c.args) shown += std::string(arg) + " ";
      EXPECT_EQ(parsed.command, c.command) << shown;
      EXPECT_EQ(parsed.error, c.error) << shown;
    }
  }
  EXPECT_EQ(ParseArguments(0, nullptr).command, Command::Run);
  // The caller's arguments stay as they were.
  std::vector<const char*> args = {"zmr470-update-cli", "x", "-h"};
  const std::vector<const char*> copy = args;
  ParseArguments(3, args.data());
  EXPECT_EQ(args, copy);
}

// -f/--force runs the update in force mode; it takes no argument and does not outrank the help.
TEST(ParseArguments, ForceMode) {
  const struct {
    std::vector<const char*> args;
    Command command;
    bool force;
  } cases[] = {
      {{"-f"}, Command::Run, true},
      {{"--force"}, Command::Run, true},
      {{"--fo"}, Command::Run, true},
      {{"-f", "-f"}, Command::Run, true},
      {{}, Command::Run, false},
      {{"-fh"}, Command::Help, false},
      {{"--force=1"}, Command::Usage, false},
      {{"-f", "now"}, Command::Usage, false},
  };
  for (const auto& c : cases) {
    const Arguments parsed = Parse(c.args);
    std::string shown;
    for (const char* arg : c.args) shown += std::string(arg) + " ";
    EXPECT_EQ(parsed.command, c.command) << shown;
    EXPECT_EQ(parsed.force, c.force) << shown;
  }
  EXPECT_NE(HelpText().find("  -f, --force "), std::string::npos);
}

TEST(WriteText, ReportsOutputThatCannotBeWritten) {
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(WriteText(out, err, "text\n"), kExitSuccess);
  EXPECT_EQ(out.str(), "text\n");
  EXPECT_EQ(err.str(), "");

  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(WriteText(broken, err, "text\n"), kExitOutputFailed);
  EXPECT_EQ(err.str().rfind("zmr470-update-cli: write error", 0), 0u) << err.str();
}

TEST(ExitStatus, ZeroOnlyForSuccessAndDistinctForEveryOutcome) {
  EXPECT_EQ(ExitStatusFor(IDS_SUCCESS), 0);
  EXPECT_EQ(ExitStatusFor(std::nullopt), kExitNoOutcome);
  EXPECT_EQ(ExitStatusFor(IDS_PLEASE_WAIT), kExitNoOutcome);  // never a closing message

  std::set<int> seen = {kExitSuccess,        kExitNoOutcome,      kExitUsage,
                        kExitAlreadyRunning, kExitDriverNotFound, kExitOutputFailed};
  for (uint32_t id = IDS_NOT_CONNECTED; id <= IDS_FAILED; ++id) {
    const int status = ExitStatusFor(id);
    EXPECT_TRUE(seen.insert(status).second) << "status " << status << " of " << id << " reused";
    EXPECT_GT(status, 0);
    EXPECT_LT(status, 126);  // above that the shell means something else
  }
  EXPECT_EQ(ExitStatusFor(IDS_NOT_CONNECTED), 10);
  EXPECT_EQ(ExitStatusFor(IDS_TIME_OUT), 17);

  // The help lists every status the tool can end with, and no other.
  std::set<int> listed;
  for (const ExitStatusEntry& entry : ExitStatuses()) listed.insert(entry.status);
  EXPECT_EQ(listed, seen);
}

TEST(HelpText, ListsEveryExitStatusWithTheMessageItStandsFor) {
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind(UsageLine() + "\n", 0), 0u);
  for (const ExitStatusEntry& entry : ExitStatuses()) {
    EXPECT_NE(help.find(entry.meaning), std::string::npos) << entry.status;
  }
  // The meaning of each message status starts as the English message itself does.
  for (uint32_t id = IDS_NOT_CONNECTED; id <= IDS_FAILED; ++id) {
    const std::string text = LoadString(id, platform::Language::English);
    const std::string firstWords = text.substr(0, text.find_first_of("\n.!"));
    const int status = ExitStatusFor(id);
    for (const ExitStatusEntry& entry : ExitStatuses()) {
      if (entry.status == status) {
        EXPECT_NE(std::string(entry.meaning).find(firstWords), std::string::npos) << id;
      }
    }
  }
}

}  // namespace
}  // namespace zmr::cli
