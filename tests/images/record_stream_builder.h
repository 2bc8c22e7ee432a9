// SPDX-License-Identifier: MIT
#pragma once
// Record streams built by hand for tests: data records ("P", address and length big-endian, the
// data), the sum record ("S" and the stream sum) and the end mark ("E"), and raw bytes for the
// streams that break the format. The stream sum is the byte sum of every data record's address,
// length and data.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zmr::test {

class RecordStreamBuilder {
 public:
  // A data record of `data` at `address`.
  RecordStreamBuilder& Record(uint32_t address, const std::vector<uint8_t>& data) {
    return RecordWithLength(address, static_cast<uint32_t>(data.size()), data);
  }
  // A data record whose length field says `length`, whatever `data` holds.
  RecordStreamBuilder& RecordWithLength(uint32_t address, uint32_t length,
                                        const std::vector<uint8_t>& data) {
    bytes_.push_back('P');
    Put32(address, true);
    Put32(length, true);
    for (uint8_t b : data) Add(b, true);
    return *this;
  }
  // A sum record holding the stream sum so far.
  RecordStreamBuilder& Sum() { return SumOf(sum_); }
  // A sum record holding `value`.
  RecordStreamBuilder& SumOf(uint32_t value) {
    bytes_.push_back('S');
    Put32(value, false);
    return *this;
  }
  // `raw` as they are, outside the stream sum.
  RecordStreamBuilder& Raw(std::initializer_list<uint8_t> raw) {
    bytes_.insert(bytes_.end(), raw);
    return *this;
  }
  RecordStreamBuilder& End() { return Raw({'E'}); }
  // The stream sum of the data records so far.
  uint32_t StreamSum() const { return sum_; }
  std::vector<uint8_t> bytes() const { return bytes_; }

 private:
  void Add(uint8_t b, bool summed) {
    bytes_.push_back(b);
    if (summed) sum_ += b;
  }
  void Put32(uint32_t v, bool summed) {
    for (int shift = 24; shift >= 0; shift -= 8) Add(static_cast<uint8_t>(v >> shift), summed);
  }
  std::vector<uint8_t> bytes_;
  uint32_t sum_ = 0;
};

// One data record of an image.
struct Record {
  uint32_t address;
  std::vector<uint8_t> data;
};

// The bytes of a text, for records that hold version texts.
inline std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A well-formed stream of `records`: the data records, the sum record (with `sumDelta` added to
// the right sum) and the end mark.
inline std::vector<uint8_t> BuildStream(const std::vector<Record>& records, uint32_t sumDelta = 0) {
  RecordStreamBuilder stream;
  for (const Record& r : records) stream.Record(r.address, r.data);
  return stream.SumOf(stream.StreamSum() + sumDelta).End().bytes();
}

}  // namespace zmr::test
