// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "update/string_table.h"
#include "update/update_view.h"
#include "update/version_text.h"

namespace zmr {
namespace {

using platform::Language;

TEST(StringTable, EveryEntryExistsInBothLanguages) {
  const uint32_t ids[] = {101,  1000, 1001, 1003, 2000, 2001, 2002, 2003, 2004,
                          2005, 2006, 2007, 2008, 2020, 2021, 2022, 2023, 2024};
  for (uint32_t id : ids) {
    EXPECT_FALSE(LoadString(id, Language::English).empty()) << id;
    EXPECT_FALSE(LoadString(id, Language::Japanese).empty()) << id;
  }
  EXPECT_EQ(LoadString(104, Language::English), "");
  EXPECT_EQ(LoadString(2009, Language::Japanese), "");
}

TEST(StringTable, TextsAsWritten) {
  EXPECT_EQ(LoadString(2002, Language::English),
            "It is under printing.\nPlease end printing and download.");
  EXPECT_EQ(LoadString(2002, Language::Japanese),
            "印刷中です。\n印刷を完了して、ダウンロードを行ってください。");
  // No closing full stop in this one, unlike its neighbours.
  EXPECT_EQ(
      LoadString(2007, Language::Japanese),
      "タイムアウトしました。\nプリンターの電源をOFF/ONして、再度ダウンロードを行ってください");
  EXPECT_EQ(LoadString(2024, Language::English),
            "Success!\nThis DATA was downloaded properly on printer.");
  EXPECT_EQ(LoadString(1000, Language::Japanese), "Upgrade");
  EXPECT_EQ(LoadString(101, Language::Japanese), "&About...");
}

TEST(MessageTitle, FixedAndTheSameInEveryLanguage) {
  EXPECT_STREQ(MessageTitleText(MessageTitle::Error), "Error");
  EXPECT_STREQ(MessageTitleText(MessageTitle::VersionCheck), "Version Check");
  EXPECT_STREQ(MessageTitleText(MessageTitle::Success), "Success!");
}

TEST(VersionText, CheckSumsAreFourUpperCaseDigits) {
  EXPECT_EQ(CheckSumText(0xA6), "00A6");
  EXPECT_EQ(CheckSumText(0x1A2B), "1A2B");
  EXPECT_EQ(CheckSumText(0), "0000");
  EXPECT_EQ(CheckSumText(0xFFFF), "FFFF");
}

TEST(VersionText, FieldsAreReadNoFurtherThanTheirSize) {
  const char unterminated[6] = {'3', '1', '6', 'B', '2', '0'};
  EXPECT_EQ(BoundedText(unterminated), "316B20");
  const char shortText[8] = {'D', '1', '1', 0, 'x', 'y', 'z', 0};
  EXPECT_EQ(BoundedText(shortText), "D11");
  EXPECT_EQ(BoundedText(nullptr, 8), "");
}

TEST(VersionText, RefusalMessageQuotesThePrinterWithoutInterpretingIt) {
  const std::string english = LoadString(2006, Language::English);
  EXPECT_EQ(FormatVersionMessage(english, "316D20", 0x1A2B),
            "This program is not applicable on this printer.\nDATA1(M) : 316D20 / 1A2B");
  EXPECT_EQ(FormatVersionMessage(LoadString(2006, Language::Japanese), "316D20", 0xA6),
            "現在のDATAはバージョンアップできません。\nDATA1(M) : 316D20 / 00A6");
  // What the printer sends is text, never a format.
  EXPECT_EQ(FormatVersionMessage("%s / %04X", "%s%n%x", 1), "%s%n%x / 0001");
  EXPECT_EQ(FormatVersionMessage("100%% %d %", "v", 2), "100% %d %");
  EXPECT_EQ(FormatVersionMessage("%04", "v", 2), "%04");
}

}  // namespace
}  // namespace zmr
