// SPDX-License-Identifier: MIT
#pragma once
// The printer's fixed 4-byte commands. Only the version and status requests are answered.
#include <array>
#include <cstdint>

namespace zmr::command {

using Bytes = std::array<uint8_t, 4>;

inline constexpr Bytes kEnterDownloadMode = {0x1B, 'f', 'g', 0x00};
inline constexpr Bytes kLeaveDownloadMode = {0x1B, 'f', 'r', 0x00};
inline constexpr Bytes kWake = {0x1B, 'E', 'W', 'U'};
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kErase = 'e';        // ESC 'f' 'e' code
inline constexpr uint8_t kTransfer = 't';     // ESC 'f' 't' code
inline constexpr uint8_t kVersionCode = '#';  // ESC 'V' '#' NUL
inline constexpr uint8_t kStatus = '2';       // ESC 'V' '2' type-character

inline constexpr uint32_t kCommandPauseMs = 100;  // after erase and transfer commands
inline constexpr uint32_t kStatusReplyPauseMs = 50;

// Data type code of a type 0-3 ('p', 't', 'c', 'f'); 0 for any other type.
uint8_t DataTypeCode(uint16_t type);

}  // namespace zmr::command
