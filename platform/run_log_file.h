// SPDX-License-Identifier: MIT
#pragma once
// The per-user log of update runs: one file that every run of either program appends a record to,
// kept to a bounded size by dropping its oldest lines. Writing it is best effort: a log that
// cannot be written never stops an update.
#include <cstddef>
#include <string>
#include <string_view>

namespace zmr::platform {

// The log keeps at most this many bytes; when a record would pass it, the oldest lines go first.
inline constexpr size_t kRunLogMaxBytes = 256 * 1024;

// $XDG_STATE_HOME/zmr470-update/zmr470-update.log, or ~/.local/state/zmr470-update/... when
// XDG_STATE_HOME is unset or not absolute; empty when there is no home directory either.
std::string RunLogPath();

// Appends `record` (whole lines) to the file at `path`, making its folder (0700) and the file
// (0600) when missing. When the file would grow past `maxBytes`, the oldest whole lines are dropped
// so that about half of it stays. False, with `problem` set when given, when it cannot be written.
bool AppendRunLog(const std::string& path, std::string_view record,
                  size_t maxBytes = kRunLogMaxBytes, std::string* problem = nullptr);

// The local date and time now, "2025-03-14 09:26:53 +0100", for the head of a record.
std::string LocalTimeText();

}  // namespace zmr::platform
