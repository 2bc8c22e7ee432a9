// SPDX-License-Identifier: MIT
#pragma once
// Small record streams built by hand for the simulated printer's tests.
#include <cstdint>
#include <string>
#include <vector>

namespace zmr::sim::test {

struct Record {
  uint32_t address;
  std::vector<uint8_t> data;
};

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

inline void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// The stream sum: every address, length and data byte of the data records.
inline uint32_t StreamSum(const std::vector<Record>& records) {
  uint32_t sum = 0;
  for (const Record& r : records) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      sum += (r.address >> shift) & 0xFF;
      sum += (static_cast<uint32_t>(r.data.size()) >> shift) & 0xFF;
    }
    for (uint8_t b : r.data) sum += b;
  }
  return sum;
}

// "P" records, the "S" record (with `sumDelta` added to the right sum) and the "E" end mark.
inline std::vector<uint8_t> BuildStream(const std::vector<Record>& records, uint32_t sumDelta = 0) {
  std::vector<uint8_t> out;
  for (const Record& r : records) {
    out.push_back('P');
    PutBe32(out, r.address);
    PutBe32(out, static_cast<uint32_t>(r.data.size()));
    out.insert(out.end(), r.data.begin(), r.data.end());
  }
  out.push_back('S');
  PutBe32(out, StreamSum(records) + sumDelta);
  out.push_back('E');
  return out;
}

// Word sum of a range of `size` bytes at `base` holding `records`, unwritten bytes as 0xFF.
inline uint16_t ExpectedWordSum(uint32_t base, uint32_t size, const std::vector<Record>& records) {
  std::vector<uint8_t> memory(size, 0xFF);
  for (const Record& r : records) {
    for (size_t i = 0; i < r.data.size(); ++i) memory[r.address - base + i] = r.data[i];
  }
  uint32_t sum = 0;
  for (size_t i = 0; i < memory.size(); i += 2)
    sum += static_cast<uint32_t>(memory[i] << 8 | memory[i + 1]);
  return static_cast<uint16_t>(sum);
}

}  // namespace zmr::sim::test
