// SPDX-License-Identifier: MIT
#pragma once
// The tool's messages, captions and labels by number, in English and Japanese (UTF-8).
#include <cstdint>
#include <string>

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
};

// Message boxes have fixed titles that are not in the table, and an icon each.
enum class MessageTitle { Error, VersionCheck, Success };
enum class MessageIcon { Warning, Information };

// "Error", "Version Check", "Success!" (the same in every language).
const char* MessageTitleText(MessageTitle title);

// The entry in the given language; an empty text when the table has no such entry.
std::string LoadString(uint32_t id, platform::Language language);

}  // namespace zmr
