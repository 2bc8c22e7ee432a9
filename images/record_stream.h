// SPDX-License-Identifier: MIT
#pragma once
// Every data image is a record stream: "P" data records (4-byte big-endian address, 4-byte
// big-endian length of at least 1, the data), one "S" sum record with the 32-bit stream sum, and
// the end mark "E" as the stream's last byte.
#include <cstdint>

namespace zmr {

// 1 when the buffer is a well-formed record stream whose stored sum matches, 0 otherwise. One
// forward pass, constant memory, no allocation; never reads at or beyond `length`.
int ValidateRecordStream(const uint8_t* data, uint32_t length);

}  // namespace zmr
