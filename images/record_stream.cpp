// SPDX-License-Identifier: MIT
#include "images/record_stream.h"

#include <array>
#include <bit>
#include <cstring>

namespace zmr {
namespace {

constexpr uint8_t kDataKind = 0x50;   // "P"
constexpr uint8_t kSumKind = 0x53;    // "S"
constexpr uint8_t kEndMark = 0x45;    // "E"
constexpr uint32_t kHeaderBytes = 8;  // address and length of a data record
constexpr uint32_t kSumBytes = 4;

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint32_t LoadBigEndian32(const uint8_t* p) {
  const uint32_t v = Load32(p);
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(v);
  return v;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Bytes are summed eight at a time: a 64-bit word becomes four 16-bit lanes that each hold the
// sum of two bytes (at most 510), so the lanes take 128 words before one could overflow. The byte
// order of a word does not matter for a sum.
constexpr uint64_t kByteLanes = 0x00FF00FF00FF00FFull;
constexpr uint64_t kWordLanes = 0x0000FFFF0000FFFFull;
constexpr uint32_t kWordsPerFold = 128;

uint64_t PairSums(uint64_t word) {
  return (word & kByteLanes) + ((word >> 8) & kByteLanes);
}

uint32_t Fold(uint64_t lanes) {
  const uint64_t halves = (lanes & kWordLanes) + ((lanes >> 16) & kWordLanes);
  return static_cast<uint32_t>(halves) + static_cast<uint32_t>(halves >> 32);
}

// Sum of a data run of any length.
uint32_t SumRun(const uint8_t* p, uint32_t n) {
  uint32_t sum = 0;
  while (n >= 8) {
    const uint32_t words = n / 8 < kWordsPerFold ? n / 8 : kWordsPerFold;
    uint64_t lanes = 0;
    for (uint32_t i = 0; i < words; ++i) lanes += PairSums(Load64(p + 8 * i));
    sum += Fold(lanes);
    p += 8 * words;
    n -= 8 * words;
  }
  for (; n != 0; --n) sum += *p++;
  return sum;
}

// A data record of 16 bytes, the bulk of every image: kind, header and data are 25 bytes, and the
// 24 summed ones are three words.
constexpr uint32_t kFullRecordBytes = 1 + kHeaderBytes + 16;
constexpr uint32_t kFullRecordsPerFold = kWordsPerFold / 3;
constexpr uint32_t kLength16InMemory = std::bit_cast<uint32_t>(std::array<uint8_t, 4>{0, 0, 0, 16});

}  // namespace

// Read byte by byte, the stream is a state machine of five states (expect-kind, address, length,
// data, sum). Here the fixed-size parts of a record are taken whole once enough bytes remain for
// them and a data run is summed in a tight loop; the result is the same, because running out of
// bytes inside any part is a rejection either way. Nothing at or beyond `length` is read.
int ValidateRecordStream(const uint8_t* data, uint32_t length) {
  if (data == nullptr || length == 0) return 0;
  uint32_t running = 0;
  uint32_t pos = 0;
  for (;;) {
    // Runs of 16-byte data records. The next record's position does not wait for this record's
    // length to be loaded: the length is only compared, so the loop runs ahead on the prediction.
    uint64_t lanes = 0;
    uint32_t taken = 0;
    while (taken < kFullRecordsPerFold && length - pos >= kFullRecordBytes &&
           data[pos] == kDataKind && Load32(data + pos + 5) == kLength16InMemory) {
      const uint8_t* p = data + pos + 1;
      lanes += PairSums(Load64(p)) + PairSums(Load64(p + 8)) + PairSums(Load64(p + 16));
      pos += kFullRecordBytes;
      ++taken;
    }
    running += Fold(lanes);
    if (taken == kFullRecordsPerFold) continue;

    // Any other record.
    if (pos == length) return 0;  // a complete data record with no sum record after it
    const uint8_t kind = data[pos++];
    if (kind == kDataKind) {
      if (length - pos < kHeaderBytes) return 0;
      const uint8_t* header = data + pos;
      const uint32_t count = LoadBigEndian32(header + 4);
      pos += kHeaderBytes;
      // A length of 0 counts down from 2^32, which no stream of at most 2^32 - 1 bytes holds.
      if (count == 0 || count > length - pos) return 0;
      running += Fold(PairSums(Load64(header))) + SumRun(data + pos, count);
      pos += count;
    } else if (kind == kSumKind) {
      if (length - pos < kSumBytes) return 0;
      const uint32_t stored = LoadBigEndian32(data + pos);
      pos += kSumBytes;
      return stored == running && length - pos == 1 && data[pos] == kEndMark ? 1 : 0;
    } else {
      return 0;
    }
  }
}

}  // namespace zmr
