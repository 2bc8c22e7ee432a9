// SPDX-License-Identifier: MIT
#include "sim/sim_reason_text.h"

#include <cstdio>

namespace zmr::sim {

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string HexBytes(const uint8_t* bytes, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint32_t i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::string TypeName(char type) {
  const char* name = type == 'p'   ? "DATA1"
                     : type == 't' ? "DATA2"
                     : type == 'f' ? "DATA3"
                     : type == 'c' ? "type 'c'"
                                   : nullptr;
  if (!name) return "data type " + Hex(static_cast<uint8_t>(type), 2);
  return type == 'c' ? name : std::string(name) + " ('" + type + "')";
}

}  // namespace zmr::sim
