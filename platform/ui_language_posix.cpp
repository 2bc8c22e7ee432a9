#include "platform/ui_language.h"

#include <cstdlib>
#include <string_view>

namespace zmr::platform {

Language UserLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    // LANGUAGE may list several ("ja:en"); the first one decides.
    const std::string_view text(value);
    return text.substr(0, 2) == "ja" ? Language::Japanese : Language::English;
  }
  return Language::English;
}

}  // namespace zmr::platform
