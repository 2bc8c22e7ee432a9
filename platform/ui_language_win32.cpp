// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/ui_language.h"

namespace zmr::platform {

Language UserLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese
                                                                    : Language::English;
}

}  // namespace zmr::platform
