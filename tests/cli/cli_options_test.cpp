#include "ui/cli/cli_options.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "update/string_table.h"

namespace zmr::cli {
namespace {

Command Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "zmr470-update-cli");
  return ParseArguments(static_cast<int>(args.size()), args.data());
}

TEST(ParseArguments, AcceptsOnlyHelpAndVersionAlone) {
  EXPECT_EQ(Parse({}), Command::Run);
  EXPECT_EQ(Parse({"--help"}), Command::Help);
  EXPECT_EQ(Parse({"--version"}), Command::Version);
  for (std::vector<const char*> refused :
       std::vector<std::vector<const char*>>{{"-h"},
                                             {"--Help"},
                                             {"--help=1"},
                                             {""},
                                             {"--"},
                                             {"download"},
                                             {"--help", "--version"},
                                             {"--version", "x"}}) {
    EXPECT_EQ(Parse(refused), Command::Usage) << refused[0];
  }
  EXPECT_EQ(ParseArguments(0, nullptr), Command::Run);
}

TEST(ExitStatus, ZeroOnlyForSuccessAndDistinctForEveryOutcome) {
  EXPECT_EQ(ExitStatusFor(IDS_SUCCESS), 0);
  EXPECT_EQ(ExitStatusFor(std::nullopt), kExitNoOutcome);
  EXPECT_EQ(ExitStatusFor(IDS_PLEASE_WAIT), kExitNoOutcome);  // never a closing message

  std::set<int> seen = {kExitSuccess, kExitNoOutcome, kExitUsage, kExitAlreadyRunning,
                        kExitDriverNotFound};
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
