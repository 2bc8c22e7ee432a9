// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to every decoder of what the printer or a driver library hands over: the
// status reply, the version reply and the device ID text. Each gets an exactly-sized heap copy, so
// the address sanitizer sees any read past the data.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "protocol/device_id.h"
#include "protocol/status_report.h"
#include "protocol/version_report.h"

namespace {

std::unique_ptr<uint8_t[]> Copy(const uint8_t* data, size_t size) {
  auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
  if (size) std::memcpy(copy.get(), data, size);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto copy = Copy(data, size);

  for (uint8_t type = 0; type < 4; ++type) {
    zmr::StatusReport report{};
    if (zmr::DecodeStatusReply(copy.get(), size, type, report)) {
      // The summary always mirrors the blocks it was taken from.
      if (std::memcmp(report.stateBytes, report.common, 2) != 0) __builtin_trap();
      (void)zmr::IsPrinterBusy(report.stateBytes);
      (void)zmr::HasSecondUnit(report);
      (void)zmr::IsUnitPrinting(report.unit1Head);
      (void)zmr::IsUnitInError(report.unit2Head);
    }
  }

  if (size >= zmr::kVersionReplySize) {
    uint8_t reply[zmr::kVersionReplySize];
    std::memcpy(reply, copy.get(), sizeof reply);
    zmr::VersionReport report{};
    if (zmr::DecodeVersionReply(reply, report)) {
      // The texts are terminated within their fields and the sums are 16-bit.
      if (report.data1Version[6] || report.data2Version[6] || report.data3Version[3]) {
        __builtin_trap();
      }
      if ((report.data1CheckSum | report.data2CheckSum | report.data3CheckSum) > 0xFFFF) {
        __builtin_trap();
      }
    }
  }

  uint16_t ids[2] = {};
  (void)zmr::ParseDeviceId(reinterpret_cast<const char*>(copy.get()), size, ids);
  return 0;
}
