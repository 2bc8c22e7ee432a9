// SPDX-License-Identifier: MIT
#pragma once
// The result of a run as one JSON object, for scripts and fleet tools (`--json`): the closing
// message in English, the exit status, the named reason, the printer's versions before and after,
// the tool's version, the driver libraries' folders and the run log. Texts that came from the
// printer may hold any byte: a byte that is not part of valid UTF-8 becomes U+FFFD, and the
// object is written in ASCII (everything else escaped as \uXXXX), so it is valid JSON whatever
// the printer said.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ui_language.h"
#include "update/update_view.h"

namespace zmr::cli {

struct RunJson {
  int exitStatus = 0;
  // The closing message; none when the run ended without one (or never started).
  std::optional<uint32_t> messageId;
  std::string title;   // English; with no message the start-up failure's own, or empty
  std::string text;    // English
  std::string reason;  // RunReason's name, or the start-up's ("AlreadyRunning", "DriverNotFound")
  std::string step;    // the step that stopped the run; empty when none did
  std::string detail;
  DisplayFields fields;  // as far as the run read them
  // Folders the driver libraries were loaded from; empty when not loaded.
  std::string linkedDriverFolder;
  std::string loadedDriverFolder;
  std::string runLog;  // where the run's record went; empty when it was not written
};

// The object on one line, with its line break.
std::string FormatRunJson(const RunJson& run);

// The closing message's text in English: as shown when it was shown in English, else loaded
// again (the refusal that quotes the printer's version with the version from `fields`).
std::string EnglishText(const Message& message, platform::Language shownIn,
                        const DisplayFields& fields);

// The folder of a file ("/usr/lib/x/libTUsbPrIf.so" -> "/usr/lib/x"; "C:\a\b.dll" -> "C:\a");
// empty for an empty path.
std::string FolderOf(const std::string& file);

}  // namespace zmr::cli
