// SPDX-License-Identifier: MIT
#pragma once
// The record-stream check read literally: one byte at a time through the five states. Slow but
// plain, it is the yardstick that the fast validator must agree with on every input.
#include <cstdint>

namespace zmr::testing {

inline int ReferenceValidateRecordStream(const uint8_t* data, uint32_t length) {
  if (data == nullptr || length == 0) return 0;
  enum class State { kExpectKind, kAddress, kLength, kData, kSum };
  State state = State::kExpectKind;
  uint32_t running = 0;
  uint32_t countdown = 0;
  uint32_t recordLength = 0;
  uint32_t stored = 0;
  for (uint32_t pos = 0; pos < length; ++pos) {
    const uint8_t b = data[pos];
    switch (state) {
      case State::kExpectKind:
        if (b == 0x50) {
          state = State::kAddress;
          countdown = 4;
        } else if (b == 0x53) {
          state = State::kSum;
          countdown = 4;
        } else {
          return 0;
        }
        break;
      case State::kAddress:
        running += b;
        if (--countdown == 0) {
          state = State::kLength;
          recordLength = 0;
          countdown = 4;
        }
        break;
      case State::kLength:
        running += b;
        recordLength = (recordLength << 8) | b;
        if (--countdown == 0) state = State::kData;
        break;
      case State::kData:
        running += b;
        if (--recordLength == 0) state = State::kExpectKind;  // from 0 it wraps to 2^32 - 1
        break;
      case State::kSum:
        stored = (stored << 8) | b;
        if (--countdown == 0) {
          return stored == running && pos + 1 < length && data[pos + 1] == 0x45 &&
                         pos + 1 == length - 1
                     ? 1
                     : 0;
        }
        break;
    }
  }
  return 0;
}

}  // namespace zmr::testing
