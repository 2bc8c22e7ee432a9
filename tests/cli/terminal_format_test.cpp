// SPDX-License-Identifier: MIT
#include "ui/cli/terminal_format.h"

#include <gtest/gtest.h>

#include "ui/cli/terminal_text.h"
#include "update/string_table.h"

namespace zmr::cli {
namespace {

ProgressWindowState State(std::string caption, std::string message, std::string percent) {
  return ProgressWindowState{std::move(caption), std::move(message), std::move(percent)};
}

TEST(StatusLine, ShowsCaptionFirstMessageLineBarAndPercentage) {
  struct Case {
    ProgressWindowState state;
    std::string expected;
  };
  const Case cases[] = {
      {State("Upgrade", "Loading DATA1(M)...\nDo not power off the printer during download.",
             "25%"),
       "Upgrade - Loading DATA1(M)... [#####---------------]  25%"},
      {State("Initializing...", "Please wait.", "100%"),
       "Initializing... - Please wait. [####################] 100%"},
      // A new window's label, before any position was set.
      {State("Version Check...", "", " 0 %"), "Version Check... [--------------------]  0 %"},
      {State("", "Please wait.", "9%"), "Please wait. [#-------------------]   9%"},
      // A position past the range wraps in the label; the bar follows the label.
      {State("Upgrade", "x", "50%"), "Upgrade - x [##########----------]  50%"},
      {State("Upgrade", "x", "-20%"), "Upgrade - x [--------------------] -20%"},
  };
  for (const Case& c : cases) EXPECT_EQ(StatusLine(c.state), c.expected);
}

TEST(StatusLine, NeverCarriesControlCharactersFromTheMessage) {
  const std::string line = StatusLine(State("Upgrade\x1b[1m", "a\rb\x07", "5%"));
  EXPECT_EQ(line, "Upgrade?[1m - a?b? [#-------------------]   5%");
}

TEST(StatusLine, FitsTheTerminalWithoutWrapping) {
  const ProgressWindowState japanese =
      State("Upgrade", LoadString(IDS_LOADING_DATA1, platform::Language::Japanese), "40%");
  for (size_t columns : {200u, 80u, 60u, 40u, 30u, 20u, 12u}) {
    const std::string line = StatusLine(japanese, columns);
    EXPECT_LT(DisplayWidth(line), columns) << line;
    EXPECT_EQ(PrintableText(line), line) << "cut inside a character at " << columns;
    EXPECT_NE(line.find("40%"), std::string::npos) << "the percentage goes last";
  }
  // Wide enough: nothing is cut.
  EXPECT_EQ(StatusLine(japanese, 200), StatusLine(japanese));
  // Narrow: the message gives way before the bar does.
  const std::string at60 = StatusLine(japanese, 60);
  EXPECT_NE(at60.find("[########------------]"), std::string::npos) << at60;
  EXPECT_EQ(at60.find(FirstLine(japanese.message)), std::string::npos) << at60;
}

Message Make(uint32_t id, platform::Language language, MessageTitle title) {
  return Message{id, LoadString(id, language), title, MessageIcon::Warning};
}

TEST(MessageLines, TitleColonTextThenTheFurtherLines) {
  EXPECT_EQ(MessageLines(Make(IDS_PRINTING, platform::Language::English, MessageTitle::Error)),
            "Error: It is under printing.\nPlease end printing and download.\n");
  EXPECT_EQ(MessageLines(
                Make(IDS_NEWEST_VERSION, platform::Language::English, MessageTitle::VersionCheck)),
            "Version Check: DATA in the printer is the newest version.\n");
  EXPECT_EQ(MessageLines(Make(IDS_PRINTING, platform::Language::Japanese, MessageTitle::Error)),
            "Error: " + LoadString(IDS_PRINTING, platform::Language::Japanese) + "\n");
  // "Success!" is the title and the English text's first line: said once.
  EXPECT_EQ(MessageLines(Make(IDS_SUCCESS, platform::Language::English, MessageTitle::Success)),
            "Success!\nThis DATA was downloaded properly on printer.\n");
  EXPECT_EQ(MessageLines(Make(IDS_SUCCESS, platform::Language::Japanese, MessageTitle::Success)),
            "Success!: " + LoadString(IDS_SUCCESS, platform::Language::Japanese) + "\n");
}

TEST(MessageLines, PrinterTextInTheMessageCannotControlTheTerminal) {
  const Message message{IDS_NOT_APPLICABLE,
                        "This program is not applicable on this printer.\nDATA1(M) : 3\x1b]0;x\x07"
                        " / 1A2B\n",
                        MessageTitle::VersionCheck, MessageIcon::Information};
  EXPECT_EQ(MessageLines(message),
            "Version Check: This program is not applicable on this printer.\n"
            "DATA1(M) : 3?]0;x? / 1A2B\n");
}

TEST(FieldTable, RowsOnlyForWhatTheProcedureFilled) {
  DisplayFields fields;
  EXPECT_EQ(FieldTable(fields), "");

  fields.beforeVersion = {"316B20", "318C20", "D10"};
  fields.beforeCheckSum = {"1A2B", "3C4D", "5E6F"};
  EXPECT_EQ(FieldTable(fields),
            "          DATA1(M)       DATA2(T)       DATA3(F)\n"
            "Before    316B20 / 1A2B  318C20 / 3C4D  D10 / 5E6F\n");

  fields.afterVersion = {"316G21", "318C21", "D11"};
  fields.afterCheckSum = {"08A6", "AF7C", "EE03"};
  EXPECT_EQ(FieldTable(fields),
            "          DATA1(M)       DATA2(T)       DATA3(F)\n"
            "Before    316B20 / 1A2B  318C20 / 3C4D  D10 / 5E6F\n"
            "After     316G21 / 08A6  318C21 / AF7C  D11 / EE03\n");
}

TEST(FieldTable, EmptyCellsAndPrinterTextsStayInTheirColumns) {
  DisplayFields fields;
  fields.afterVersion = {"316G21", "", "\x1b[2J"};
  fields.afterCheckSum = {"08A6", "", "0000"};
  EXPECT_EQ(FieldTable(fields),
            "          DATA1(M)       DATA2(T)  DATA3(F)\n"
            "After     316G21 / 08A6  -         ?[2J / 0000\n");
}

}  // namespace
}  // namespace zmr::cli
