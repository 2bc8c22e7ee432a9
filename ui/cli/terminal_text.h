// SPDX-License-Identifier: MIT
#pragma once
// Text as it may go to a terminal or a log: valid UTF-8 without control characters, measured in
// terminal columns. Version texts come from the printer and may hold any byte.
#include <cstddef>
#include <string>
#include <string_view>

namespace zmr::cli {

// Replaces every control character (C0, DEL, C1), every bidirectional control (marks,
// embeddings, overrides, isolates), every tab and every byte that is not part of valid UTF-8 by
// '?'. Line breaks are kept when `keepLineBreaks` is set.
std::string PrintableText(std::string_view text, bool keepLineBreaks = false);

// Columns that valid UTF-8 text takes on a terminal: two for East Asian wide characters.
size_t DisplayWidth(std::string_view text);

// The longest leading part of valid UTF-8 text that fits in `columns`, cut between characters.
std::string_view FitWidth(std::string_view text, size_t columns);

// The text up to its first line break.
std::string_view FirstLine(std::string_view text);

}  // namespace zmr::cli
