// SPDX-License-Identifier: MIT
#pragma once
// How the reasons of protocol violations write numbers, bytes and data types, so that every part
// of the simulated printer names them alike.
#include <cstdint>
#include <string>

namespace zmr::sim {

// "0x" and `value` in at least `digits` upper-case hexadecimal digits: Hex(0x1B, 2) is "0x1B".
std::string Hex(uint32_t value, int digits);
// The `length` bytes at `bytes` as lower-case hexadecimal digit pairs, with no separator.
std::string HexBytes(const uint8_t* bytes, uint32_t length);
// A data type code as people know it: "DATA1 ('p')", "DATA2 ('t')", "DATA3 ('f')", "type 'c'",
// and "data type 0x41" for a code that names no memory.
std::string TypeName(char type);

}  // namespace zmr::sim
