// SPDX-License-Identifier: MIT
#include "protocol/version_report.h"

#include <cstring>

namespace zmr {
namespace {

uint32_t BigEndian16(const uint8_t (&reply)[kVersionReplySize], size_t offset) {
  return static_cast<uint32_t>(reply[offset]) * 256u + reply[offset + 1];
}

// Copies `count` reply bytes into a text field that is longer, so the text stays terminated.
template <size_t N>
void CopyText(char (&field)[N], const uint8_t (&reply)[kVersionReplySize], size_t offset,
              size_t count) {
  static_assert(N > 0);
  if (count >= N || offset + count > kVersionReplySize) return;
  std::memcpy(field, reply + offset, count);
}

}  // namespace

bool DecodeVersionReply(const uint8_t (&reply)[kVersionReplySize], VersionReport& report) {
  report = VersionReport{};
  // Only the header is tested; the versions are taken byte for byte.
  if (reply[0] != '#' || reply[1] != '.' || reply[2] != 0x00) return false;
  CopyText(report.data1Version, reply, 6, 6);
  CopyText(report.data2Version, reply, 12, 6);
  CopyText(report.data3Version, reply, 30, 3);
  report.data1CheckSum = BigEndian16(reply, 36);
  report.data2CheckSum = BigEndian16(reply, 38);
  report.data3CheckSum = BigEndian16(reply, 44);
  return true;
}

}  // namespace zmr
