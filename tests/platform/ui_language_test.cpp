// SPDX-License-Identifier: MIT
#include "platform/ui_language.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zmr::platform {
namespace {

TEST(UserLanguage, FollowsGettextsRule) {
  struct Case {
    const char* language;
    const char* lcAll;
    const char* lang;
    Language expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, Language::English},
      {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
      {nullptr, "C", "ja_JP.UTF-8", Language::English},  // LC_ALL before LANG
      {"", nullptr, "ja_JP.UTF-8", Language::Japanese},  // empty counts as unset
      {"en_US", nullptr, "ja_JP.UTF-8", Language::English},
      {"ja:en", "en_US.UTF-8", nullptr, Language::Japanese},
      {":ja", nullptr, "en_GB.UTF-8", Language::Japanese},  // empty entries are skipped
      {"ja", "C.UTF-8", nullptr, Language::Japanese},
      // In the C locale LANGUAGE does not count, nor does it without any locale set.
      {"ja:en", "C", nullptr, Language::English},
      {"ja", "POSIX", "ja_JP.UTF-8", Language::English},
      {"ja", nullptr, "C", Language::English},
      {"ja", nullptr, nullptr, Language::English},
  };
  for (const Case& c : cases) {
    for (auto [name, value] :
         {std::pair{"LANGUAGE", c.language}, {"LC_ALL", c.lcAll}, {"LANG", c.lang}}) {
      if (value)
        setenv(name, value, 1);
      else
        unsetenv(name);
    }
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(UserLanguage(), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace zmr::platform
