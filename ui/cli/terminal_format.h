// SPDX-License-Identifier: MIT
#pragma once
// What the terminal front end prints, as plain functions of what the core told it: the progress
// window as one status line, the closing message and the table of the printer's versions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_view.h"

namespace zmr::cli {

// What one progress window shows at a moment. The bar is drawn from the percentage, so the two
// always agree (the label is set just after the bar, and only when it changes).
struct ProgressWindowState {
  std::string caption;
  std::string message;               // all of it; the status line shows its first line
  std::string percentText = " 0 %";  // as the window's label has it
};

// The number the percentage label shows (its first integer; 0 when it has none).
int PercentShown(std::string_view percentText);

// "Caption - first line of the message [#####---------------]  25%". With `columns` > 0 the line
// is cut to fit a terminal of that width without wrapping (the text gives way, then the bar).
std::string StatusLine(const ProgressWindowState& state, size_t columns = 0);

// The closing message: "Title: first line" and the text's further lines, each ending in a line
// break. A first line that only repeats the title ("Success!") is not printed twice.
std::string MessageLines(const Message& message);

// The printer's versions and check sums, one row for Before and one for After, each only when
// the procedure filled something in it; empty when it filled nothing.
std::string FieldTable(const DisplayFields& fields);

}  // namespace zmr::cli
