// SPDX-License-Identifier: MIT
#include "driver_api/trace_format.h"

#include <algorithm>
#include <cstring>

namespace zmr::trace {
namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr size_t kPlainBytes = 16;

size_t BoundedLength(const char* text, size_t limit) {
  if (text == nullptr) return 0;
  const void* nul = std::memchr(text, '\0', limit);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : limit;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HexBytes(const uint8_t* bytes, size_t count) {
  std::string text;
  if (bytes == nullptr) return text;
  text.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

std::string FormatTransfer(const TransferLine& t) {
  std::string line = std::to_string(t.ms) + (t.write ? " W PIPE00 " : " R PIPE01 ") +
                     std::to_string(t.length) + ' ';
  const size_t available = t.bytes ? t.byteCount : 0;
  const size_t shown = t.full ? available : std::min(available, kPlainBytes);
  if (shown == 0) line += '-';
  line += HexBytes(t.bytes, shown);
  if (!t.full && t.done > shown) line += "...";
  if (!t.ok) {
    line += " failed";
    if (t.error != nullptr && *t.error != '\0') line += std::string(" ") + t.error;
    // A full write line shows what was offered; how much of it went is said here.
    if (t.full && t.write && t.done > 0) line += " after " + std::to_string(t.done);
  } else if (t.done != t.length) {
    line += " short " + std::to_string(t.done);
  }
  if (t.full && t.tookMs > 0) line += " took " + std::to_string(t.tookMs);
  return line;
}

std::string EscapeText(std::string_view text) {
  if (text.empty()) return "-";
  if (text == "-") return "%2D";
  std::string word;
  word.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte < 0x7F && byte != '%') {
      word += c;
    } else {
      static constexpr char kUpper[] = "0123456789ABCDEF";
      word += '%';
      word += kUpper[byte >> 4];
      word += kUpper[byte & 0x0F];
    }
  }
  return word;
}

std::string EscapeText(const char* text, size_t limit) {
  return EscapeText(std::string_view(text ? text : "", BoundedLength(text, limit)));
}

std::optional<std::string> UnescapeText(std::string_view word) {
  if (word == "-") return std::string();
  if (word.empty()) return std::nullopt;
  std::string text;
  text.reserve(word.size());
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      text += word[i];
      continue;
    }
    if (word.size() - i < 3) return std::nullopt;
    const int high = HexDigit(word[i + 1]);
    const int low = HexDigit(word[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    text += static_cast<char>(high << 4 | low);
    i += 2;
  }
  return text;
}

std::string ListLine(int count) {
  return "LIST " + std::to_string(count);
}

std::string DeviceLine(int index, const char* id, const char* path, size_t limit) {
  std::string line = "DEVICE " + std::to_string(index);
  if (id == nullptr || path == nullptr) return line + " none";
  return line + ' ' + EscapeText(id, limit) + ' ' + EscapeText(path, limit);
}

std::string OpenByPathLine(const char* pipe, const char* path, size_t limit, bool ok) {
  return "OPEN " + EscapeText(pipe, 16) + " path " + EscapeText(path, limit) +
         (ok ? " ok" : " failed");
}

std::string OpenByIndexLine(const char* pipe, int index, bool ok) {
  return "OPEN " + EscapeText(pipe, 16) + " index " + std::to_string(index) +
         (ok ? " ok" : " failed");
}

std::string ControlLine(int index, bool ok) {
  return "CONTROL " + std::to_string(index) + (ok ? " ok" : " failed");
}

std::string OffBusLine(std::optional<uint32_t> ms) {
  return "OFFBUS " + (ms ? std::to_string(*ms) : std::string("never"));
}

std::string DrainedLine(const uint8_t* bytes, size_t count) {
  return "DRAINED " + (count == 0 || bytes == nullptr ? std::string("-") : HexBytes(bytes, count));
}

std::string Stamped(uint32_t ms, const std::string& line) {
  return std::to_string(ms) + ' ' + line;
}

}  // namespace zmr::trace
