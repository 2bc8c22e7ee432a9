// SPDX-License-Identifier: MIT
#pragma once
// The printer answers the version request with 48 bytes: '#', '.', 0x00, then the versions and
// big-endian check sums of its three data images at fixed offsets.
#include <cstddef>
#include <cstdint>

namespace zmr {

inline constexpr size_t kVersionReplySize = 48;

struct VersionReport {
  char data1Version[8];    // reply bytes 6-11, then NULs
  uint32_t data1CheckSum;  // reply bytes 36-37, big-endian
  char data2Version[8];    // reply bytes 12-17, then NULs
  uint32_t data2CheckSum;  // reply bytes 38-39
  char data3Version[4];    // reply bytes 30-32, then a NUL
  uint32_t data3CheckSum;  // reply bytes 44-45
};

// Decodes a reply of exactly kVersionReplySize bytes. False (and a zeroed report) when the header
// is not '#', '.', 0x00.
bool DecodeVersionReply(const uint8_t (&reply)[kVersionReplySize], VersionReport& report);

}  // namespace zmr
