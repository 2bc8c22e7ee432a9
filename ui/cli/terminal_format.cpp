// SPDX-License-Identifier: MIT
#include "ui/cli/terminal_format.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "ui/cli/terminal_text.h"

namespace zmr::cli {
namespace {

constexpr size_t kBarWidth = 20;
constexpr size_t kPercentWidth = 4;
// Columns of text kept when a narrow terminal makes the bar shrink, and the shortest bar worth
// showing.
constexpr size_t kMinimumTextWidth = 12;
constexpr size_t kMinimumBarWidth = 5;

std::string PadRight(std::string text, size_t width) {
  const size_t shown = DisplayWidth(text);
  if (shown < width) text.append(width - shown, ' ');
  return text;
}

std::string PadLeft(const std::string& text, size_t width) {
  const size_t shown = DisplayWidth(text);
  return shown < width ? std::string(width - shown, ' ') + text : text;
}

std::string Bar(int percent, size_t width) {
  const size_t filled = size_t(std::clamp(percent, 0, 100)) * width / 100;
  return "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
}

}  // namespace

int PercentShown(std::string_view percentText) {
  const std::string text(percentText);
  const char* start = text.c_str();
  while (*start == ' ') ++start;
  char* end = nullptr;
  const long value = std::strtol(start, &end, 10);
  if (end == start || value > 1000 || value < -1000) return 0;
  return int(value);
}

std::string StatusLine(const ProgressWindowState& state, size_t columns) {
  const std::string caption = PrintableText(state.caption);
  const std::string message = PrintableText(FirstLine(state.message));
  std::string head = caption;
  if (!caption.empty() && !message.empty()) head += " - ";
  head += message;
  const std::string percent = PadLeft(PrintableText(state.percentText), kPercentWidth);

  size_t barWidth = kBarWidth;
  if (columns > 0) {
    // One column stays free: writing the last one makes some terminals wrap at once.
    const size_t usable = columns - 1;
    const size_t fixed = kPercentWidth + 4;  // " [" "] " around the bar
    const size_t room = usable > fixed + kMinimumTextWidth ? usable - fixed - kMinimumTextWidth : 0;
    barWidth = room < kMinimumBarWidth ? 0 : std::min(kBarWidth, room);
    const size_t tail = barWidth > 0 ? barWidth + fixed : kPercentWidth + 1;
    head = std::string(FitWidth(head, usable > tail ? usable - tail : 0));
    while (!head.empty() && head.back() == ' ') head.pop_back();
  }
  std::string line = head;
  if (barWidth > 0) {
    line +=
        (head.empty() ? "" : " ") + Bar(PercentShown(state.percentText), barWidth) + " " + percent;
  } else {
    line += (head.empty() ? "" : " ") + percent;
  }
  return line;
}

std::string MessageLines(const Message& message) {
  const std::string title = MessageTitleText(message.title);
  std::string_view text = message.text;
  std::string result = title;
  const std::string_view first = FirstLine(text);
  if (first != title) {
    result += ": ";
    result += PrintableText(first);
  }
  result += '\n';
  const size_t lineBreak = text.find('\n');
  if (lineBreak != std::string_view::npos) {
    text.remove_prefix(lineBreak + 1);
    while (!text.empty()) {
      const std::string_view line = FirstLine(text);
      result += PrintableText(line);
      result += '\n';
      const size_t next = text.find('\n');
      if (next == std::string_view::npos) break;
      text.remove_prefix(next + 1);
    }
  }
  return result;
}

std::string FieldTable(const DisplayFields& fields) {
  using Column = std::array<std::string, kImageCount>;
  const auto cells = [](const Column& versions, const Column& sums, bool& filled) {
    std::array<std::string, kImageCount> row;
    for (int i = 0; i < kImageCount; ++i) {
      if (versions[i].empty() && sums[i].empty()) {
        row[i] = "-";
        continue;
      }
      filled = true;
      row[i] = (versions[i].empty() ? std::string("-") : PrintableText(versions[i])) + " / " +
               (sums[i].empty() ? std::string("-") : PrintableText(sums[i]));
    }
    return row;
  };
  bool beforeFilled = false;
  bool afterFilled = false;
  const auto before = cells(fields.beforeVersion, fields.beforeCheckSum, beforeFilled);
  const auto after = cells(fields.afterVersion, fields.afterCheckSum, afterFilled);
  if (!beforeFilled && !afterFilled) return {};

  std::array<size_t, kImageCount> width{};
  for (int i = 0; i < kImageCount; ++i) {
    width[i] = DisplayWidth(kImages[i].label);
    if (beforeFilled) width[i] = std::max(width[i], DisplayWidth(before[i]));
    if (afterFilled) width[i] = std::max(width[i], DisplayWidth(after[i]));
  }
  const auto row = [&](const std::string& name, const auto& texts) {
    std::string line = PadRight(name, 8);
    for (int i = 0; i < kImageCount; ++i) {
      line += "  ";
      line += i + 1 < kImageCount ? PadRight(texts[i], width[i]) : std::string(texts[i]);
    }
    return line + "\n";
  };
  std::array<std::string, kImageCount> labels;
  for (int i = 0; i < kImageCount; ++i) labels[i] = kImages[i].label;
  std::string table = row("", labels);
  if (beforeFilled) table += row("Before", before);
  if (afterFilled) table += row("After", after);
  return table;
}

}  // namespace zmr::cli
