// SPDX-License-Identifier: MIT
#pragma once
// The language of the user's interface, chosen by gettext's rule: the locale of messages is the
// first of LC_ALL, LC_MESSAGES and LANG that is set and not empty ("C" when none is). In the C or
// POSIX locale the texts are English and LANGUAGE is ignored; in any other locale the first entry
// of LANGUAGE decides when it is set, else the locale does. Japanese when the deciding name
// starts with "ja", English otherwise.
// On Windows it is the user's UI language instead (GetUserDefaultUILanguage): Japanese when its
// primary language is Japanese, English otherwise.
namespace zmr::platform {

enum class Language { English, Japanese };

Language UserLanguage();

}  // namespace zmr::platform
