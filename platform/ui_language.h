#pragma once
// The language of the user's interface: Japanese or English. On POSIX it is read the way POSIX
// programs read it: the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not
// empty, Japanese when it names "ja". On Windows it is the user's UI language
// (GetUserDefaultUILanguage), Japanese when its primary language is Japanese. English otherwise.
namespace zmr::platform {

enum class Language { English, Japanese };

Language UserLanguage();

}  // namespace zmr::platform
