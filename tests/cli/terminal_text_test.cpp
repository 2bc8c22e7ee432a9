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
      // Katakana ("purintaa eraa") stays as it is.
      {"Japanese", "\u30d7\u30ea\u30f3\u30bf\u30fc\u30a8\u30e9\u30fc", false,
       "\u30d7\u30ea\u30f3\u30bf\u30fc\u30a8\u30e9\u30fc"},
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
      {"right-to-left override",
       "316\xe2\x80\xae"
       "B20",
       false, "316?B20"},
      {"bidirectional marks and isolates",
       "\xe2\x80\x8f"
       "a\xe2\x81\xa6"
       "b\xe2\x81\xa9"
       "c\xd8\x9c",
       false, "?a?b?c?"},
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
  // Written as code points: three ideographs, two kana and an ideographic full stop.
  EXPECT_EQ(DisplayWidth("\u5370\u5237\u4e2d\u3067\u3059\u3002"), 12u);
  EXPECT_EQ(DisplayWidth("DATA1(M)\u3092\u30c0\u30a6\u30f3\u30ed\u30fc\u30c9"), 8u + 14u);
  EXPECT_EQ(DisplayWidth("\uff12\u53f0"), 4u);  // a full-width digit and an ideograph
}

TEST(FitWidth, CutsBetweenCharacters) {
  EXPECT_EQ(FitWidth("Upgrade", 3), "Upg");
  EXPECT_EQ(FitWidth("Upgrade", 30), "Upgrade");
  // Three ideographs, two columns each: the third would need columns 5 and 6.
  EXPECT_EQ(FitWidth("\u5370\u5237\u4e2d", 5), "\u5370\u5237");
  EXPECT_EQ(FitWidth("a\u5370\u5237", 2), "a");
  EXPECT_EQ(FitWidth("\u5370\u5237", 0), "");
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
