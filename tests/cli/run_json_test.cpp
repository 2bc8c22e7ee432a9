// SPDX-License-Identifier: MIT
#include "ui/cli/run_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <vector>

#include "ui/cli/cli_options.h"
#include "update/string_table.h"

namespace zmr::cli {
namespace {

using nlohmann::json;

TEST(JsonOption, RunsTheUpdateOrGivesWayToHelpAndVersion) {
  const struct {
    std::vector<const char*> args;
    Command command;
    bool json;
    const char* error;
  } cases[] = {
      {{"--json"}, Command::Run, true, ""},
      {{"--js"}, Command::Run, true, ""},
      {{"--json", "--json"}, Command::Run, true, ""},
      {{"--json", "--help"}, Command::Help, true, ""},
      {{"-V", "--json"}, Command::Version, false, ""},
      {{"--json=1"},
       Command::Usage,
       false,
       "zmr470-update-cli: option '--json' doesn't allow an argument"},
      {{"--json", "now"}, Command::Usage, false, "zmr470-update-cli: extra operand 'now'"},
  };
  for (const auto& c : cases) {
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "zmr470-update-cli");
    const Arguments parsed = ParseArguments(static_cast<int>(args.size()), args.data());
    EXPECT_EQ(parsed.command, c.command) << c.args[0];
    EXPECT_EQ(parsed.json, c.json) << c.args[0];
    EXPECT_EQ(parsed.error, c.error) << c.args[0];
  }
  EXPECT_NE(HelpText().find("--json"), std::string::npos);
}

RunJson Finished() {
  RunJson run;
  run.exitStatus = 0;
  run.messageId = IDS_SUCCESS;
  run.title = "Success!";
  run.text = "This DATA was downloaded properly on printer.";
  run.reason = "Success";
  run.fields.beforeVersion = {"316B20", "318C20", "D10"};
  run.fields.beforeCheckSum = {"1A2B", "3C4D", "5E6F"};
  run.fields.afterVersion = {"316G21", "318C21", "D11"};
  run.fields.afterCheckSum = {"08A6", "AF7C", "EE03"};
  run.linkedDriverFolder = "/usr/lib/zmr470-update";
  run.loadedDriverFolder = "C:\\Program Files\\ZMR470";
  run.runLog = "/home/u/.local/state/zmr470-update/zmr470-update.log";
  return run;
}

TEST(RunJson, OneObjectOnOneLine) {
  const std::string text = FormatRunJson(Finished());
  ASSERT_EQ(text.find('\n'), text.size() - 1);
  const json object = json::parse(text);
  EXPECT_EQ(object["exit_status"], 0);
  EXPECT_EQ(object["message"]["id"], 2024);
  EXPECT_EQ(object["message"]["title"], "Success!");
  EXPECT_EQ(object["reason"], "Success");
  EXPECT_TRUE(object["step"].is_null());
  EXPECT_EQ(object["before"]["data1"]["version"], "316B20");
  EXPECT_EQ(object["after"]["data2"]["label"], "DATA2(T)");
  EXPECT_EQ(object["after"]["data3"]["check_sum"], "EE03");
  EXPECT_EQ(object["driver_folders"]["ZUsbXpIf"], "C:\\Program Files\\ZMR470");
  EXPECT_EQ(object["tool"]["name"], "zmr470-update-cli");
  EXPECT_FALSE(object["tool"]["version"].get<std::string>().empty());

  // A run that read nothing and wrote no log, and a start-up failure without a message.
  RunJson early;
  early.exitStatus = 3;
  early.reason = "AlreadyRunning";
  const json nothing = json::parse(FormatRunJson(early));
  for (const char* key : {"message", "before", "after", "run_log"}) {
    EXPECT_TRUE(nothing[key].is_null()) << key;
  }
  EXPECT_TRUE(nothing["driver_folders"]["TUsbPrIf"].is_null());
  // Only what was read: the After fields of the DATA2 that failed stay out.
  RunJson part = Finished();
  part.fields.afterVersion = {"316G21", "", "D11"};
  part.fields.afterCheckSum = {"08A6", "", "EE03"};
  EXPECT_FALSE(json::parse(FormatRunJson(part))["after"].contains("data2"));
}

// The printer's bytes may be anything: the object stays valid JSON in plain ASCII, each byte that
// is not part of valid UTF-8 standing as U+FFFD and the rest kept.
TEST(RunJson, ValidWhateverBytesThePrinterSent) {
  RunJson run = Finished();
  run.fields.beforeVersion = {
      "\xff\xfe"
      "D20",
      "31\xc3\xa9"
      "C2",
      std::string("D\x01\x80", 3)};
  run.detail =
      "DATA1 \xff\xfe"
      "D20";
  const std::string text = FormatRunJson(run);
  for (const char c : text) EXPECT_LT(static_cast<unsigned char>(c), 0x80) << text;
  const json object = json::parse(text);
  EXPECT_EQ(object["before"]["data1"]["version"],
            "\xef\xbf\xbd\xef\xbf\xbd"
            "D20");
  EXPECT_EQ(object["before"]["data2"]["version"],
            "31\xc3\xa9"
            "C2");
  EXPECT_EQ(object["before"]["data3"]["version"], "D\x01\xef\xbf\xbd");
  EXPECT_EQ(object["detail"],
            "DATA1 \xef\xbf\xbd\xef\xbf\xbd"
            "D20");
}

TEST(RunJson, TheClosingMessageInEnglish) {
  DisplayFields fields;
  fields.beforeVersion[0] = "316D20";
  fields.beforeCheckSum[0] = "1A2B";
  const Message japanese{IDS_NOT_APPLICABLE, "...", MessageTitle::VersionCheck,
                         MessageIcon::Information};
  EXPECT_EQ(EnglishText(japanese, platform::Language::Japanese, fields),
            "This program is not applicable on this printer.\nDATA1(M) : 316D20 / 1A2B");
  const Message failed{IDS_FAILED, "...", MessageTitle::Error, MessageIcon::Warning};
  EXPECT_EQ(EnglishText(failed, platform::Language::Japanese, fields),
            LoadString(IDS_FAILED, platform::Language::English));
  EXPECT_EQ(EnglishText(failed, platform::Language::English, fields), "...") << "as shown";
}

TEST(RunJson, FolderOfALibrary) {
  EXPECT_EQ(FolderOf("/usr/lib/x86_64-linux-gnu/zmr470-update/libTUsbPrIf.so"),
            "/usr/lib/x86_64-linux-gnu/zmr470-update");
  EXPECT_EQ(FolderOf("C:\\Program Files\\ZMR470\\TUsbPrIf.dll"), "C:\\Program Files\\ZMR470");
  EXPECT_EQ(FolderOf("/libTUsbPrIf.so"), "/");
  EXPECT_EQ(FolderOf("TUsbPrIf.dll"), ".");
  EXPECT_EQ(FolderOf(""), "");
}

}  // namespace
}  // namespace zmr::cli
