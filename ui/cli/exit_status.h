// SPDX-License-Identifier: MIT
#pragma once
// The terminal tool's exit statuses, in one table: what --help lists, and what the build writes
// into the manual page's EXIT STATUS and the Windows README.txt (packaging/fill_texts.cpp). Every
// text comes from the string table: a status that a closing message stands for is said by that
// message's title and first line.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ui_language.h"
#include "update/string_table.h"

namespace zmr::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoOutcome = 1;  // the run ended without a closing message
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAlreadyRunning = 3;
inline constexpr int kExitDriverNotFound = 4;
inline constexpr int kExitOutputFailed = 5;  // the help or version text could not be written
// The closing messages 2000 to 2008 end with 10 to 18.
inline constexpr int kExitFirstMessage = 10;

struct ExitStatusRow {
  int status;
  uint32_t message;    // the closing message that ends a run with this status; 0 for none
  MessageTitle title;  // that message's title
  uint32_t summary;    // for a status without a message: what it means, in one line
  uint32_t detail;     // what led to it and what to do, a paragraph (0: nothing more to say)
};

// Every exit status the tool can end with, in ascending order.
std::span<const ExitStatusRow> ExitStatusRows();

// The exit status for the closing message with this string-table number (none: kExitNoOutcome).
int ExitStatusFor(std::optional<uint32_t> closingMessage);

// "Error: Printer is not connected." (the message's title and first line, the title once when
// the two are the same), or the row's own line.
std::string ExitStatusSummary(const ExitStatusRow& row, platform::Language language);
// The first line of the row's closing message ("Printer is not connected."); empty for none.
std::string ExitStatusMessageLine(const ExitStatusRow& row, platform::Language language);
// The row's paragraph; empty for none.
std::string ExitStatusDetail(const ExitStatusRow& row, platform::Language language);

struct ExitStatusEntry {
  int status;
  std::string meaning;  // the summary in English
};
// Every row with its English summary, as --help lists them.
const std::vector<ExitStatusEntry>& ExitStatuses();

}  // namespace zmr::cli
