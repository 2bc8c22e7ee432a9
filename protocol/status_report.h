// SPDX-License-Identifier: MIT
#pragma once
// The printer answers the status request with 256 bytes (type 0: both unit blocks) or 192 bytes
// (type 1: first unit block, type 2: second unit block): 0xE4 'V' '2' and the type character,
// a 124-byte common block, then the unit blocks of 64 bytes.
#include <cstddef>
#include <cstdint>

namespace zmr {

struct StatusReport {
  uint8_t statusType;
  uint8_t common[124];    // reply bytes 4-127
  uint8_t unit1[64];      // zero for type 2
  uint8_t unit2[64];      // zero for type 1
  uint8_t stateBytes[2];  // reply bytes 4 and 5
  uint8_t unit1Head[6];
  uint8_t unit2Head[6];
};

// Reply length for a status type (0, 1 or 2); 0 for any other type.
size_t StatusReplyLength(uint8_t statusType);

// Decodes the first StatusReplyLength(statusType) of `length` reply bytes into a zeroed report.
// False, with the report untouched, when the reply is shorter or its four header bytes are not
// 0xE4 'V' '2' and the type character.
bool DecodeStatusReply(const uint8_t* reply, size_t length, uint8_t statusType,
                       StatusReport& report);

bool IsPrinterBusy(const uint8_t (&stateBytes)[2]);  // second byte is '@'
bool HasSecondUnit(const StatusReport& report);      // common[29] == 0x80
bool IsUnitPrinting(const uint8_t (&unitHead)[6]);   // big-endian bytes 0-1 nonzero
bool IsUnitInError(const uint8_t (&unitHead)[6]);    // byte 3 nonzero

}  // namespace zmr
