// SPDX-License-Identifier: MIT
#include "protocol/status_report.h"

#include <cstring>

namespace zmr {
namespace {

constexpr size_t kHeaderSize = 4;
constexpr size_t kUnitOffset = kHeaderSize + sizeof(StatusReport::common);  // 128
constexpr size_t kUnitSize = sizeof(StatusReport::unit1);                   // 64

}  // namespace

size_t StatusReplyLength(uint8_t statusType) {
  switch (statusType) {
    case 0:
      return kUnitOffset + 2 * kUnitSize;
    case 1:
    case 2:
      return kUnitOffset + kUnitSize;
    default:
      return 0;
  }
}

bool DecodeStatusReply(const uint8_t* reply, size_t length, uint8_t statusType,
                       StatusReport& report) {
  const size_t expected = StatusReplyLength(statusType);
  if (!reply || expected == 0 || length < expected) return false;
  if (reply[0] != 0xE4 || reply[1] != 'V' || reply[2] != '2' || reply[3] != '0' + statusType) {
    return false;
  }
  report = StatusReport{};
  report.statusType = static_cast<uint8_t>(reply[3] - '0');
  std::memcpy(report.common, reply + kHeaderSize, sizeof(report.common));
  const uint8_t* firstBlock = reply + kUnitOffset;
  switch (statusType) {
    case 0:
      std::memcpy(report.unit1, firstBlock, kUnitSize);
      std::memcpy(report.unit2, firstBlock + kUnitSize, kUnitSize);
      break;
    case 1:
      std::memcpy(report.unit1, firstBlock, kUnitSize);
      break;
    default:  // type 2 delivers the second unit's block in the first block's place
      std::memcpy(report.unit2, firstBlock, kUnitSize);
      break;
  }
  std::memcpy(report.stateBytes, report.common, sizeof(report.stateBytes));
  std::memcpy(report.unit1Head, report.unit1, sizeof(report.unit1Head));
  std::memcpy(report.unit2Head, report.unit2, sizeof(report.unit2Head));
  return true;
}

bool IsPrinterBusy(const uint8_t (&stateBytes)[2]) {
  return stateBytes[1] == '@';
}

bool HasSecondUnit(const StatusReport& report) {
  return report.common[29] == 0x80;
}

bool IsUnitPrinting(const uint8_t (&unitHead)[6]) {
  return (unitHead[0] << 8 | unitHead[1]) != 0;
}

bool IsUnitInError(const uint8_t (&unitHead)[6]) {
  return unitHead[3] != 0;
}

}  // namespace zmr
