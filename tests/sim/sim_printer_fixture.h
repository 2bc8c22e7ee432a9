// SPDX-License-Identifier: MIT
#pragma once
// One simulated printer on a virtual clock, driven write by write as the tool drives it, for the
// tests of the printer's parts: the bus, the record-stream receiver and memory, the replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_printer.h"
#include "tests/images/record_stream_builder.h"

namespace zmr::sim::test {

using zmr::test::BuildStream;
using zmr::test::Bytes;
using zmr::test::Record;

inline const std::vector<uint8_t> kEnter = {0x1B, 'f', 'g', 0};
inline const std::vector<uint8_t> kLeave = {0x1B, 'f', 'r', 0};
inline const std::vector<uint8_t> kVersion = {0x1B, 'V', '#', 0};
inline const std::vector<uint8_t> kWake = {0x1B, 'E', 'W', 'U'};
inline std::vector<uint8_t> EraseCommand(char type) {
  return {0x1B, 'f', 'e', static_cast<uint8_t>(type)};
}
inline std::vector<uint8_t> Transfer(char type) {
  return {0x1B, 'f', 't', static_cast<uint8_t>(type)};
}
inline std::vector<uint8_t> Status(char type) {
  return {0x1B, 'V', '2', static_cast<uint8_t>(type)};
}

// A small DATA1 image: the version record at the base, some code, a stretch left unwritten.
inline std::vector<Record> Data1Records(const std::string& version = "316G21") {
  std::vector<uint8_t> code(300);
  for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 7 + 1);
  return {{0x00020000, Bytes(version)},
          {0x00020006, std::vector<uint8_t>(10, 0xFF)},
          {0x00020100, code},
          {0x000BFFF0, Bytes("316G21")}};
}

// A DATA1 image of three writes: two blocks and a tail.
inline std::vector<Record> LargeData1Records() {
  std::vector<uint8_t> code(9000);
  for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 13 + 5);
  return {{0x00020000, Bytes("316G21")}, {0x00020100, code}};
}

// Zero bytes after the last `tail` stream bytes of a write, up to the next multiple of 64.
inline std::vector<uint8_t> ZeroPadding(size_t tail) {
  return std::vector<uint8_t>(tail / 64 * 64 + 64 - tail, 0x00);
}

// The stream cut into writes of `chunk` bytes, the last one followed by `padding`.
inline std::vector<std::vector<uint8_t>> Writes(const std::vector<uint8_t>& stream, size_t chunk,
                                                const std::vector<uint8_t>& padding) {
  std::vector<std::vector<uint8_t>> writes;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    const size_t n = std::min(chunk, stream.size() - at);
    writes.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                        stream.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  writes.back().insert(writes.back().end(), padding.begin(), padding.end());
  return writes;
}

// As the tool sends an image: blocks of 4096, the tail zero-padded to the next multiple of 64.
inline std::vector<std::vector<uint8_t>> ToolWrites(const std::vector<uint8_t>& stream) {
  const size_t tail = stream.size() % 4096 == 0 ? 4096 : stream.size() % 4096;
  return Writes(stream, 4096, ZeroPadding(tail));
}

class SimPrinterTest : public ::testing::Test {
 public:  // the cases of a table drive it from outside
  void Make() { printer = std::make_unique<SimPrinter>(config, clock, &trace, 0); }
  void SetUp() override { Make(); }

  bool Send(const std::vector<uint8_t>& bytes) {
    uint32_t done = 0;
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    return printer->HostWrite(bytes.data(), n, done) && done == n;
  }
  bool SendAll(const std::vector<std::vector<uint8_t>>& writes) {
    for (const auto& write : writes) {
      if (!Send(write)) return false;
    }
    return true;
  }
  std::vector<uint8_t> Read(uint32_t length = 256) {
    std::vector<uint8_t> buffer(length, 0xEE);
    uint32_t done = 0;
    if (!printer->HostRead(buffer.data(), length, done)) done = 0;
    buffer.resize(done);
    return buffer;
  }
  void EnterDownloadMode() {
    ASSERT_TRUE(Send(kEnter));
    clock.Advance(config.reenumerationMs);
    ASSERT_TRUE(printer->IsPresent());
  }
  void Erase(char type, uint32_t waitMs) {
    ASSERT_TRUE(Send(EraseCommand(type)));
    clock.Advance(waitMs);
  }
  // As the tool does it: erase, the erase's time, transfer command, the stream in the tool's
  // writes.
  void Download(char type, const std::vector<uint8_t>& stream) {
    Erase(type, 10100);
    ASSERT_TRUE(Send(Transfer(type)));
    ASSERT_TRUE(SendAll(ToolWrites(stream)));
  }
  std::vector<uint8_t> VersionReply() {
    EXPECT_TRUE(Send(kVersion));
    clock.Advance(1000);
    return Read(48);
  }
  std::vector<Violation> Violations() const { return printer->Violations(); }

  VirtualClock clock;
  Trace trace;
  PrinterConfig config;
  std::unique_ptr<SimPrinter> printer;
};

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
