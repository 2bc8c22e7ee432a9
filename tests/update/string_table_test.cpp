// SPDX-License-Identifier: MIT
// The string table's own entries (from 3000 up) beside the system's, and the filling of their
// values.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "update/string_table.h"

namespace zmr {
namespace {

using platform::Language;

// The %1 to %9 that a text holds.
std::set<char> Placeholders(const std::string& text) {
  std::set<char> found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') found.insert(text[i + 1]);
  }
  return found;
}

TEST(StringTable, BelowTheOwnRangeOnlyTheSystemsEntries) {
  const std::set<uint32_t> system = {101,  1000, 1001, 1003, 2000, 2001, 2002, 2003, 2004,
                                     2005, 2006, 2007, 2008, 2020, 2021, 2022, 2023, 2024};
  std::set<uint32_t> found;
  for (uint32_t id = 0; id < kFirstOwnStringId; ++id) {
    if (!LoadString(id, Language::English).empty() || !LoadString(id, Language::Japanese).empty())
      found.insert(id);
  }
  EXPECT_EQ(found, system);
}

TEST(StringTable, EveryOwnEntryInBothLanguagesWithTheSameValues) {
  int own = 0;
  for (uint32_t id = kFirstOwnStringId; id < 0x10000; ++id) {
    const std::string english = LoadString(id, Language::English);
    const std::string japanese = LoadString(id, Language::Japanese);
    if (english.empty() && japanese.empty()) continue;
    ++own;
    EXPECT_FALSE(english.empty()) << id;
    EXPECT_FALSE(japanese.empty()) << id;
    EXPECT_NE(english, japanese) << id << " is not translated";
    EXPECT_EQ(Placeholders(english), Placeholders(japanese)) << id;
  }
  EXPECT_GT(own, 0);
}

TEST(FillText, PutsInTheValuesByNumber) {
  const struct {
    const char* text;
    std::string expected;
  } cases[] = {
      {"%1 %2 after the update", "DATA1(M) version after the update"},
      {"%2 of %1", "version of DATA1(M)"},  // in the order the language wants
      {"About %1 s left, %1 in all", "About DATA1(M) s left, DATA1(M) in all"},
      {"%3 is not given", "%3 is not given"},  // no such value: left as it is
      {"100% done, %s and %04X stay", "100% done, %s and %04X stay"},
      {"ends in %", "ends in %"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FillText(c.text, {"DATA1(M)", "version"}), c.expected);
  // A value is put in as it stands, never looked into again.
  EXPECT_EQ(FillText("Run log: %1", {"/tmp/%2/log"}), "Run log: /tmp/%2/log");
}

}  // namespace
}  // namespace zmr
