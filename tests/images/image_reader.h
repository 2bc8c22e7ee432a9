// SPDX-License-Identifier: MIT
#pragma once
// Reads a record stream into its records and the memory they write, for checking the images'
// properties. Deliberately separate from the validator under test.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zmr::testing {

struct DataRecord {
  uint32_t address;
  uint32_t length;
  std::span<const uint8_t> data;
  uint32_t end() const { return address + length; }
};

struct ParsedImage {
  std::vector<DataRecord> records;
  uint32_t storedSum = 0;
  uint32_t recomputedSum = 0;  // every data-record byte but the kind, wrapping modulo 2^32
  std::string error;           // empty when the framing holds
};

inline uint32_t ReadBigEndian32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

inline ParsedImage ParseImage(std::span<const uint8_t> bytes) {
  ParsedImage image;
  size_t pos = 0;
  while (pos < bytes.size() && bytes[pos] == 'P') {
    if (bytes.size() - pos < 9) {
      image.error = "stream ends inside a record header";
      return image;
    }
    const uint32_t address = ReadBigEndian32(bytes, pos + 1);
    const uint32_t length = ReadBigEndian32(bytes, pos + 5);
    if (length == 0 || bytes.size() - pos - 9 < length) {
      image.error = "record length 0 or beyond the stream";
      return image;
    }
    for (size_t i = pos + 1; i < pos + 9 + length; ++i) image.recomputedSum += bytes[i];
    image.records.push_back({address, length, bytes.subspan(pos + 9, length)});
    pos += 9 + length;
  }
  if (bytes.size() - pos != 6 || bytes[pos] != 'S' || bytes[pos + 5] != 'E') {
    image.error = "the stream does not close with a sum record and the end mark";
    return image;
  }
  image.storedSum = ReadBigEndian32(bytes, pos + 1);
  return image;
}

// The memory from `base` to `top` as the records write it; unwritten bytes read as `unwritten`.
struct Memory {
  std::vector<uint8_t> bytes;
  std::vector<bool> written;
};

inline Memory LoadMemory(const ParsedImage& image, uint32_t base, uint32_t top,
                         uint8_t unwritten = 0xFF) {
  Memory m{std::vector<uint8_t>(top - base, unwritten), std::vector<bool>(top - base, false)};
  for (const DataRecord& r : image.records) {
    if (r.address < base || r.end() > top) continue;  // reported by the range checks
    for (uint32_t i = 0; i < r.length; ++i) {
      m.bytes[r.address - base + i] = r.data[i];
      m.written[r.address - base + i] = true;
    }
  }
  return m;
}

// Low 16 bits of the sum of the memory read as big-endian 16-bit words.
inline uint16_t WordSum(const std::vector<uint8_t>& memory) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < memory.size(); i += 2) sum += memory[i] << 8 | memory[i + 1];
  return static_cast<uint16_t>(sum);
}

// What every image must be, written down independently of the code that makes or uses them.
struct ImageFacts {
  const char* file;
  uint32_t size;
  uint32_t records;
  uint32_t base;
  uint32_t top;
  uint32_t streamSum;
  uint16_t wordSum;
  uint32_t firstAddress, firstLength;
  uint32_t lastAddress, lastLength;
  const char* versionRecordText;
};

inline constexpr ImageFacts kFacts[] = {
    {"data1.bin", 1'024'123, 40'973, 0x00020000, 0x000C0000, 0x04B8DD2B, 0x08A6, 0x00020000, 6,
     0x000BFFF6, 10, "316G21"},
    {"data2.bin", 409'696, 16'394, 0x000F0000, 0x00130000, 0x02453828, 0xAF7C, 0x000F0000, 16,
     0x0012FFF0, 16, "318C21"},
    {"data3.bin", 368'281, 14'731, 0x00170000, 0x001B0000, 0x00B26E25, 0xEE03, 0x00170000, 16,
     0x001AFFF0, 16, "317D11"},
};

}  // namespace zmr::testing
