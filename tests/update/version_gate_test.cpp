// SPDX-License-Identifier: MIT
// The accepted-versions table and its match rule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "update/version_gate.h"

namespace zmr {
namespace {

TEST(AcceptedVersions, FirstFiveCharactersDecide) {
  EXPECT_EQ(kAcceptedVersions[0], std::string("316A20"));
  EXPECT_EQ(kAcceptedVersions[1], std::string("316B20"));
  EXPECT_EQ(kAcceptedVersions[2], std::string("316C20"));
  struct Case {
    const char* version;
    bool accepted;
  };
  const Case cases[] = {
      {"316A20", true},
      {"316B20", true},
      {"316C20", true},
      {"316B29", true},  // the sixth character is not compared
      {"316C2x", true},
      {"316B2", true},    // five characters agree
      {"316D20", false},  // differs within the first five, though it ends in 2 and 0
      {"317A20", false},
      {"316A30", false},
      {"316b20", false},  // case-sensitive
      // The own DATA1 version is not in the table: the version gate compares it first.
      {"316G21", false},
      {"", false},
      {"316", false},
  };
  for (const Case& c : cases) {
    // An exactly-sized copy, so that a sanitizer build catches any read past the text.
    std::vector<char> text(c.version, c.version + std::strlen(c.version) + 1);
    EXPECT_EQ(IsAcceptedVersion(text.data()), c.accepted) << c.version;
  }
  EXPECT_FALSE(IsAcceptedVersion(nullptr));
}

}  // namespace
}  // namespace zmr
