// SPDX-License-Identifier: MIT
#pragma once
// Every text the tool shows in the user's language, by number, in English and Japanese (UTF-8):
// the system's own messages, captions and labels (101, 1000 to 2024), and from 3000 up the texts
// of this tool's own: what the programs say around a run, the names assistive technology reads,
// the meanings of the terminal tool's exit statuses and the desktop entry. The texts of 3000 and
// up may hold %1, %2 for values filled in by FillText.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/ui_language.h"

namespace zmr {

enum StringId : uint32_t {
  IDS_ABOUTBOX = 101,        // "&About..."
  IDS_UPGRADE = 1000,        // caption of the download progress window
  IDS_INITIALIZING = 1001,   // caption of the download-mode progress window
  IDS_VERSION_CHECK = 1003,  // caption of the version-check progress window
  IDS_NOT_CONNECTED = 2000,
  IDS_TWO_PRINTERS = 2001,
  IDS_PRINTING = 2002,
  IDS_PRINTER_ERROR = 2003,
  IDS_VERSION_FAILED = 2004,
  IDS_NEWEST_VERSION = 2005,
  IDS_NOT_APPLICABLE = 2006,  // format: %s printer's DATA1 version, %04X its check sum
  IDS_TIME_OUT = 2007,
  IDS_FAILED = 2008,
  IDS_PLEASE_WAIT = 2020,
  IDS_LOADING_DATA1 = 2021,
  IDS_LOADING_DATA2 = 2022,
  IDS_LOADING_DATA3 = 2023,
  IDS_SUCCESS = 2024,

  // Around a run.
  IDS_SHUTDOWN_REASON = 3000,   // why the machine must not sleep or shut down in download mode
  IDS_CANNOT_INTERRUPT = 3001,  // a stop request held in download mode; %1: seconds left
  IDS_LOCK_NOT_TAKEN = 3002,    // %1: why the single-instance lock could not be made
  IDS_RUN_LOG_WRITTEN = 3003,   // after a failed run; %1: the run log's path

  // What assistive technology reads for the main window's fields and the progress bar.
  IDS_NAME_VERSION = 3100,
  IDS_NAME_CHECK_SUM = 3101,
  IDS_NAME_OWN_FIELD = 3102,     // %1: the image's label, %2: version or check sum
  IDS_NAME_BEFORE_FIELD = 3103,  // the same
  IDS_NAME_AFTER_FIELD = 3104,   // the same
  IDS_DESCRIBE_OWN_BLOCK = 3105,
  IDS_DESCRIBE_BEFORE_BLOCK = 3106,
  IDS_DESCRIBE_AFTER_BLOCK = 3107,
  IDS_DESCRIBE_DOWNLOAD = 3108,
  IDS_NAME_PROGRESS = 3109,

  // The terminal tool's exit statuses that no closing message stands for (one line each), and
  // what each status means for the user (a paragraph).
  IDS_EXIT_NO_OUTCOME = 3200,
  IDS_EXIT_USAGE = 3201,
  IDS_EXIT_ALREADY_RUNNING = 3202,
  IDS_EXIT_DRIVER_NOT_FOUND = 3203,  // %1: the message shown, "Error: WUsbXpIf.dll Not Found"
  IDS_EXIT_OUTPUT_FAILED = 3204,
  IDS_EXPLAIN_NO_OUTCOME = 3210,
  IDS_EXPLAIN_ALREADY_RUNNING = 3211,
  IDS_EXPLAIN_DRIVER_NOT_FOUND = 3212,
  IDS_EXPLAIN_SUCCESS = 3220,
  IDS_EXPLAIN_NOT_CONNECTED = 3221,
  IDS_EXPLAIN_TWO_PRINTERS = 3222,
  IDS_EXPLAIN_PRINTING = 3223,
  IDS_EXPLAIN_PRINTER_ERROR = 3224,
  IDS_EXPLAIN_VERSION_FAILED = 3225,
  IDS_EXPLAIN_NEWEST_VERSION = 3226,
  IDS_EXPLAIN_NOT_APPLICABLE = 3227,
  IDS_EXPLAIN_TIME_OUT = 3228,  // %1: an image's time budget in seconds
  IDS_EXPLAIN_FAILED = 3229,

  // The desktop entry and the software catalogue's description of the desktop tool.
  IDS_APP_NAME = 3300,
  IDS_APP_GENERIC_NAME = 3301,
  IDS_APP_COMMENT = 3302,
  IDS_APP_KEYWORDS = 3303,  // separated and ended by ';'
  IDS_APP_SUMMARY = 3304,
  IDS_APP_DESCRIPTION = 3305,
  IDS_APP_DESCRIPTION_CLI = 3306,

  // The Windows tool's version resource: what Explorer and the Task Manager call the program.
  IDS_FILE_DESCRIPTION = 3800,
  // Notices of the programs on standard error.
  IDS_RUN_LOG_NOT_WRITTEN = 3500,  // followed by what went wrong, with the path
  IDS_USB_TIMEOUT_INVALID = 3501,  // follows NAME="VALUE"
};

// The entries below this number are the system's own, and only those.
inline constexpr uint32_t kFirstOwnStringId = 3000;

// Message boxes have fixed titles that are not in the table, and an icon each.
enum class MessageTitle { Error, VersionCheck, Success };
enum class MessageIcon { Warning, Information };

// "Error", "Version Check", "Success!" (the same in every language).
const char* MessageTitleText(MessageTitle title);

// The message shown when the driver library loaded by name, or one of its entry points, is
// missing. Fixed like the titles: not in the table, the same in every language.
inline constexpr const char* kDriverNotFoundText = "WUsbXpIf.dll Not Found";
inline constexpr const char* kDriverNotFoundTitle = "Error";

// The entry in the given language; an empty text when the table has no such entry.
std::string LoadString(uint32_t id, platform::Language language);

// `text` with %1 to %9 replaced by the values in order (a value is not looked into again); any
// other '%' stays as it is.
std::string FillText(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace zmr
