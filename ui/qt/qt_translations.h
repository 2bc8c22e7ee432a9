// SPDX-License-Identifier: MIT
#pragma once
// Qt's own texts (the window menu's Close, the buttons of standard dialogs) in the user's
// language, from the translations that Qt installs.
#include "platform/ui_language.h"

namespace zmr::ui {

// Installs Qt's translation for `language` into the running application, once; false when
// there is none to install (English, or the translations are not installed).
bool InstallQtTranslations(platform::Language language);

}  // namespace zmr::ui
