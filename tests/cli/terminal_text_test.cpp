// SPDX-License-Identifier: MIT
#include "ui/cli/terminal_text.h"

#include <gtest/gtest.h>

namespace zmr::cli {
namespace {

struct PrintableCase {
  const char* name;
  std::string input;
  bool keepLineBreaks;
  std::string expected;
};

TEST(PrintableText, ReplacesWhatATerminalWouldActOn) {
  const PrintableCase cases[] = {
      {"plain text", "316G21 / 08A6", false, "316G21 / 08A6"},
      {"Japanese", "プリンターエラー", false, "プリンターエラー"},
      {"escape sequence", "31\x1b[2J6", false, "31?[2J6"},
      {"carriage return and tab", "a\rb\tc", false, "a?b?c"},
      {"line break dropped", "a\nb", false, "a?b"},
      {"line break kept", "a\nb", true, "a\nb"},
      {"NUL inside", std::string("a\0b", 3), false, "a?b"},
      {"DEL", "a\x7f", false, "a?"},
      {"C1 control in UTF-8 (CSI)",
       "a\xc2\x9b"
       "2J",
       false, "a?2J"},
      {"lone 8-bit CSI",
       "a\x9b"
       "2J",
       false, "a?2J"},
      {"overlong slash", "\xc0\xaf", false, "??"},
      {"surrogate", "\xed\xa0\x80", false, "???"},
      {"character cut at the end", "ab\xe3\x81", false, "ab??"},
      {"no-break space is printable",
       "a\xc2\xa0"
       "b",
       false,
       "a\xc2\xa0"
       "b"},
  };
  for (const PrintableCase& c : cases) {
    EXPECT_EQ(PrintableText(c.input, c.keepLineBreaks), c.expected) << c.name;
  }
}

TEST(DisplayWidth, CountsWideCharactersTwice) {
  EXPECT_EQ(DisplayWidth(""), 0u);
  EXPECT_EQ(DisplayWidth("Upgrade"), 7u);
  EXPECT_EQ(DisplayWidth("印刷中です。"), 12u);
  EXPECT_EQ(DisplayWidth("DATA1(M)をダウンロード"), 8u + 14u);
  EXPECT_EQ(DisplayWidth("２台"), 4u);  // full-width digit
}

TEST(FitWidth, CutsBetweenCharacters) {
  EXPECT_EQ(FitWidth("Upgrade", 3), "Upg");
  EXPECT_EQ(FitWidth("Upgrade", 30), "Upgrade");
  EXPECT_EQ(FitWidth("印刷中", 5), "印刷");  // the third would need columns 5 and 6
  EXPECT_EQ(FitWidth("a印刷", 2), "a");
  EXPECT_EQ(FitWidth("印刷", 0), "");
}

TEST(FirstLine, EndsAtTheFirstLineBreak) {
  EXPECT_EQ(FirstLine("Failed!\nPlease turn the printer OFF"), "Failed!");
  EXPECT_EQ(FirstLine("one\r\ntwo"), "one");
  EXPECT_EQ(FirstLine("DATA in the printer is the newest version."),
            "DATA in the printer is the newest version.");
  EXPECT_EQ(FirstLine("\nsecond"), "");
}

}  // namespace
}  // namespace zmr::cli
