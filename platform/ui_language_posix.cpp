// SPDX-License-Identifier: MIT
#include "platform/ui_language.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace zmr::platform {
namespace {

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

Language FromName(std::string_view name) {
  return name.substr(0, 2) == "ja" ? Language::Japanese : Language::English;
}

}  // namespace

Language UserLanguage() {
  std::string_view locale = "C";
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string_view value = Variable(name);
    if (!value.empty()) {
      locale = value;
      break;
    }
  }
  // The C locale's messages are the untranslated ones, whatever LANGUAGE asks for. ("C.UTF-8" is
  // a locale of its own here, as it is to the C library's gettext.)
  if (locale == "C" || locale == "POSIX") return Language::English;
  // LANGUAGE may list several ("ja:en"); the first one decides.
  std::string_view languages = Variable("LANGUAGE");
  languages.remove_prefix(std::min(languages.find_first_not_of(':'), languages.size()));
  if (!languages.empty()) return FromName(languages);
  return FromName(locale);
}

}  // namespace zmr::platform
