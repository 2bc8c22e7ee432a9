#pragma once
// The language of the user's interface, read the way POSIX programs read it: the first of
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not empty. Japanese when it names "ja",
// English otherwise.
namespace zmr::platform {

enum class Language { English, Japanese };

Language UserLanguage();

}  // namespace zmr::platform
