// SPDX-License-Identifier: MIT
#include "protocol/device_id.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zmr {
namespace {

// Length of a text in a buffer of `size` bytes that need not hold a NUL.
size_t BoundedLength(const char* text, size_t size) {
  const void* nul = std::memchr(text, '\0', size);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
}

char ToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `literal` at text[pos]; moves pos past it.
bool Expect(const char* text, size_t length, size_t& pos, const char* literal) {
  const size_t n = std::strlen(literal);
  if (length - pos < n || std::memcmp(text + pos, literal, n) != 0) return false;
  pos += n;
  return true;
}

// Reads 1 to 4 hexadecimal digits at text[pos]; moves pos past them.
bool ReadHex16(const char* text, size_t length, size_t& pos, uint16_t& value) {
  unsigned result = 0;
  size_t digits = 0;
  while (digits < 4 && pos < length) {
    const int digit = HexValue(text[pos]);
    if (digit < 0) break;
    result = result * 16 + static_cast<unsigned>(digit);
    ++pos;
    ++digits;
  }
  if (digits == 0) return false;
  value = static_cast<uint16_t>(result);
  return true;
}

}  // namespace

bool ParseDeviceId(const char* text, size_t size, uint16_t ids[2]) {
  if (!text || !ids) return false;
  // Upper-cased copy of at most one driver text buffer, parsed only within its length.
  std::array<char, ZMR_DRIVER_TEXT_SIZE> work{};
  const size_t length = BoundedLength(text, std::min(size, work.size()));
  if (length == 0) return false;
  std::transform(text, text + length, work.begin(), ToUpper);

  static constexpr char kPrefix[] = "USB\\";
  const char* begin = work.data();
  const char* end = begin + length;
  const char* found = std::search(begin, end, kPrefix, kPrefix + sizeof(kPrefix) - 1);
  if (found == end) return false;

  size_t pos = static_cast<size_t>(found - begin);
  uint16_t vendor = 0;
  uint16_t product = 0;
  if (!Expect(begin, length, pos, "USB\\VID_") || !ReadHex16(begin, length, pos, vendor) ||
      !Expect(begin, length, pos, "&PID_") || !ReadHex16(begin, length, pos, product)) {
    return false;
  }
  ids[0] = vendor;
  ids[1] = product;
  return true;
}

}  // namespace zmr
