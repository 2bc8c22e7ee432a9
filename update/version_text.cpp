// SPDX-License-Identifier: MIT
#include "update/version_text.h"

#include <cstdio>
#include <cstring>

namespace zmr {

std::string BoundedText(const char* field, size_t size) {
  if (field == nullptr) return {};
  const void* nul = std::memchr(field, '\0', size);
  const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size;
  return std::string(field, length);
}

std::string EscapedText(const std::string& text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\') {
      out += c;
    } else {
      out += std::string("\\x") + kDigits[u >> 4] + kDigits[u & 0xF];
    }
  }
  return out;
}

std::string CheckSumText(uint32_t checkSum) {
  char text[12];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(checkSum));
  return text;
}

std::string FormatVersionMessage(const std::string& format, const std::string& version,
                                 uint32_t checkSum) {
  std::string out;
  out.reserve(format.size() + version.size() + 8);
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
    } else if (format.compare(i, 2, "%s") == 0) {
      out += version;
      i += 1;
    } else if (format.compare(i, 4, "%04X") == 0) {
      out += CheckSumText(checkSum);
      i += 3;
    } else if (format.compare(i, 2, "%%") == 0) {
      out += '%';
      i += 1;
    } else {
      out += '%';
    }
  }
  return out;
}

}  // namespace zmr
