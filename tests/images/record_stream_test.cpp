// SPDX-License-Identifier: MIT
#include "images/record_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/images/record_stream_builder.h"
#include "tests/images/reference_record_stream.h"

namespace zmr {
namespace {

using Bytes = std::vector<uint8_t>;
using Stream = test::RecordStreamBuilder;

Bytes Filled(size_t n, uint8_t first) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + 37 * i);
  return b;
}

// Validates a copy in a buffer of exactly the stream's size, so that a sanitizer build catches a
// read past the end; also checks that the byte-wise reading agrees.
int Validate(const Bytes& stream) {
  std::vector<uint8_t> exact(stream);
  exact.shrink_to_fit();
  const uint32_t n = static_cast<uint32_t>(exact.size());
  const int result = ValidateRecordStream(exact.empty() ? nullptr : exact.data(), n);
  EXPECT_EQ(result, testing::ReferenceValidateRecordStream(exact.data(), n));
  return result;
}

struct Case {
  std::string name;
  Bytes stream;
  int valid;
};

TEST(RecordStream, SmallStreams) {
  const Bytes one = {0x7E};
  const Case cases[] = {
      {"sum record and end mark only", Stream().Raw({'S', 0, 0, 0, 0, 'E'}).bytes(), 1},
      {"one 1-byte record", Stream().Record(0x100, one).Sum().End().bytes(), 1},
      {"a byte after the end mark", Stream().Record(0x100, one).Sum().End().Raw({0x00}).bytes(), 0},
      {"a second end mark", Stream().Record(0x100, one).Sum().End().End().bytes(), 0},
      {"no end mark after the sum", Stream().Record(0x100, one).Sum().bytes(), 0},
      {"another byte in place of the end mark",
       Stream().Record(0x100, one).Sum().Raw({'e'}).bytes(), 0},
      {"a second sum record", Stream().Record(0x100, one).Sum().Sum().End().bytes(), 0},
      // The right sum is 0x80: 1 from the address, 1 from the length, 0x7E from the data.
      {"a stored sum one too high", Stream().Record(0x100, one).SumOf(0x81).End().bytes(), 0},
      {"a zero-length record with a correct sum",
       Stream().Record(0x100, one).RecordWithLength(0x200, 0, {}).Sum().End().bytes(), 0},
      {"a zero-length record as the last thing before the sum",
       Stream().RecordWithLength(0x200, 0, {}).Sum().End().bytes(), 0},
      {"first byte is a lower-case p",
       Stream().Raw({0x70, 0, 0, 1, 0, 0, 0, 0, 1, 0x7E}).Sum().End().bytes(), 0},
      {"first byte is the end mark", Stream().Raw({'E'}).bytes(), 0},
      {"the end mark where the sum record belongs", Stream().Record(0x100, one).End().bytes(), 0},
      {"descending addresses",
       Stream().Record(0x2000, Filled(16, 1)).Record(0x1000, Filled(16, 2)).Sum().End().bytes(), 1},
      {"overlapping addresses",
       Stream().Record(0x1000, Filled(16, 1)).Record(0x1008, Filled(9, 2)).Sum().End().bytes(), 1},
      {"records of many lengths (word runs and tails)",
       Stream()
           .Record(0, Filled(1, 9))
           .Record(0, Filled(7, 9))
           .Record(0, Filled(8, 9))
           .Record(0, Filled(15, 9))
           .Record(0, Filled(1031, 9))
           .Record(0xFFFFFFFF, Filled(2500, 0xF0))
           .Sum()
           .End()
           .bytes(),
       1},
      {"data record with no sum record", Stream().Record(0x100, one).bytes(), 0},
      {"ends inside the address", Stream().Raw({'P', 0, 0}).bytes(), 0},
      {"ends inside the length", Stream().Raw({'P', 0, 0, 0, 0, 0, 0, 0}).bytes(), 0},
      {"ends inside the data", Stream().Raw({'P', 0, 0, 0, 0, 0, 0, 0, 3, 1, 2}).bytes(), 0},
      {"ends inside the sum", Stream().Raw({'S', 0, 0, 0}).bytes(), 0},
      {"length beyond the stream", Stream().RecordWithLength(0, 2, one).Sum().End().bytes(), 0},
      {"empty", Bytes{}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Validate(c.stream), c.valid);
  }
  EXPECT_EQ(ValidateRecordStream(nullptr, 6), 0);
}

// A stream with records of several lengths, long enough to exercise the word loop and the tails.
Bytes SampleStream() {
  return Stream()
      .Record(0x00020000, Filled(6, 0x31))
      .Record(0x00020006, Filled(10, 0xFF))
      .Record(0x00020010, Filled(16, 0x00))
      .Record(0x00020020, Filled(3, 0x80))
      .Record(0x00020023, Filled(29, 0x41))
      .Sum()
      .End()
      .bytes();
}

TEST(RecordStream, AnySingleChangedByteIsRejected) {
  const Bytes stream = SampleStream();
  ASSERT_EQ(Validate(stream), 1);
  // Kind, address, length and data bytes, the stored sum and the end mark alike.
  for (size_t pos = 0; pos < stream.size(); ++pos) {
    for (int delta : {1, 0x80, 0xFF}) {
      Bytes changed = stream;
      changed[pos] = static_cast<uint8_t>(changed[pos] + delta);
      EXPECT_EQ(Validate(changed), 0) << "byte " << pos << " changed by " << delta;
    }
  }
}

TEST(RecordStream, EveryShortenedStreamIsRejected) {
  // The second stream ends in 16-byte records, which are read a whole record at a time.
  const Bytes streams[] = {
      SampleStream(),
      Stream().Record(0x100, Filled(16, 1)).Record(0x110, Filled(16, 2)).Sum().End().bytes()};
  for (const Bytes& stream : streams) {
    ASSERT_EQ(Validate(stream), 1);
    for (size_t n = 1; n < stream.size(); ++n) {
      EXPECT_EQ(Validate(Bytes(stream.begin(), stream.begin() + static_cast<long>(n))), 0) << n;
    }
  }
}

// A change in one data byte can be made good by the opposite change in another: the sum is all
// that the stream checks besides its framing.
TEST(RecordStream, ChangeBalancedByAnotherIsAccepted) {
  Bytes stream = SampleStream();
  stream[9 + 2] += 5;      // a data byte of the first record
  stream[9 + 6 + 9] -= 5;  // a 0xFF data byte of the second record
  EXPECT_EQ(Validate(stream), 1);
}

// Agrees with the byte-wise reading on every value of every byte of a small stream.
TEST(RecordStream, AgreesWithByteWiseReadingOnAllSingleByteValues) {
  const Bytes stream =
      Stream().Record(0x10, Filled(9, 3)).Record(0x01, Filled(1, 0)).Sum().End().bytes();
  for (size_t pos = 0; pos < stream.size(); ++pos) {
    for (int v = 0; v < 256; ++v) {
      Bytes changed = stream;
      changed[pos] = static_cast<uint8_t>(v);
      Validate(changed);  // compares both readings
    }
  }
}

// The stream sum wraps modulo 2^32; a record long enough to pass it shows that the stored value
// is compared modulo 2^32 and that long runs are summed exactly.
TEST(RecordStream, StreamSumWrapsAround) {
  constexpr uint32_t kLength = 0x01010202;  // of 0xFF bytes: their sum just passes 2^32
  Bytes stream = Stream().RecordWithLength(0, kLength, {}).bytes();
  stream.resize(stream.size() + kLength, 0xFF);
  const uint64_t exact = 0x01 + 0x01 + 0x02 + 0x02 + 255ull * kLength;  // address 0 adds nothing
  ASSERT_GT(exact, 0xFFFFFFFFull);
  Bytes good = stream;
  for (uint8_t b : Stream().SumOf(static_cast<uint32_t>(exact)).End().bytes()) good.push_back(b);
  Bytes bad = stream;
  for (uint8_t b : Stream().SumOf(static_cast<uint32_t>(exact) + 1).End().bytes()) {
    bad.push_back(b);
  }
  EXPECT_EQ(ValidateRecordStream(good.data(), static_cast<uint32_t>(good.size())), 1);
  EXPECT_EQ(ValidateRecordStream(bad.data(), static_cast<uint32_t>(bad.size())), 0);
}

}  // namespace
}  // namespace zmr
