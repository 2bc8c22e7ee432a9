// SPDX-License-Identifier: MIT
#include "ui/cli/terminal_text.h"

#include <cstdint>

namespace zmr::cli {
namespace {

// One decoded character: its code point and the number of bytes it took (0 when the bytes at
// the start are not valid UTF-8).
struct Decoded {
  uint32_t codePoint = 0;
  size_t length = 0;
};

Decoded DecodeOne(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  uint32_t codePoint = 0;
  uint32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07u, minimum = 0x10000;
  } else {
    return {};
  }
  if (text.size() < length) return {};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {};
    codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return {};
  return {codePoint, length};
}

bool IsControl(uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The marks, embeddings, overrides and isolates of bidirectional text: shown as they are, they
// turn the order in which a line reads (a version "316B20" would read backwards).
bool IsBidiControl(uint32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

bool IsWide(uint32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string PrintableText(std::string_view text, bool keepLineBreaks) {
  std::string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const Decoded one = DecodeOne(text);
    if (one.length == 0) {
      result += '?';
      text.remove_prefix(1);
      continue;
    }
    if (one.codePoint == '\n' && keepLineBreaks) {
      result += '\n';
    } else if (IsControl(one.codePoint) || IsBidiControl(one.codePoint) || one.codePoint == '\t') {
      result += '?';
    } else {
      result.append(text.substr(0, one.length));
    }
    text.remove_prefix(one.length);
  }
  return result;
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  while (!text.empty()) {
    const Decoded one = DecodeOne(text);
    const size_t length = one.length == 0 ? 1 : one.length;
    width += one.length != 0 && IsWide(one.codePoint) ? 2 : 1;
    text.remove_prefix(length);
  }
  return width;
}

std::string_view FitWidth(std::string_view text, size_t columns) {
  size_t width = 0;
  size_t end = 0;
  while (end < text.size()) {
    const Decoded one = DecodeOne(text.substr(end));
    const size_t length = one.length == 0 ? 1 : one.length;
    const size_t columnsTaken = one.length != 0 && IsWide(one.codePoint) ? 2 : 1;
    if (width + columnsTaken > columns) break;
    width += columnsTaken;
    end += length;
  }
  return text.substr(0, end);
}

std::string_view FirstLine(std::string_view text) {
  const size_t end = text.find('\n');
  std::string_view line = end == std::string_view::npos ? text : text.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace zmr::cli
