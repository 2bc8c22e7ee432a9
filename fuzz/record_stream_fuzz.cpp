// SPDX-License-Identifier: MIT
// Record-stream validation on arbitrary bytes: it must never read outside the buffer (the input
// is copied into a heap buffer of exactly its size, so AddressSanitizer sees any overread), and it
// must agree with the plain byte-wise reading. A second run with the stored sum patched to the
// right value reaches the accepting path that random bytes almost never hit.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "images/record_stream.h"
#include "tests/images/reference_record_stream.h"

namespace {

// If the bytes read as data records up to a sum record with its four bytes present, writes the
// stream sum into them.
void PatchStoredSum(uint8_t* data, uint32_t length) {
  uint32_t sum = 0;
  uint32_t pos = 0;
  while (pos < length && data[pos] == 0x50) {
    if (length - pos < 9) return;
    const uint32_t count = uint32_t{data[pos + 5]} << 24 | uint32_t{data[pos + 6]} << 16 |
                           uint32_t{data[pos + 7]} << 8 | data[pos + 8];
    if (count == 0 || count > length - pos - 9) return;
    for (uint32_t i = pos + 1; i < pos + 9 + count; ++i) sum += data[i];
    pos += 9 + count;
  }
  if (pos < length && data[pos] == 0x53 && length - pos >= 5) {
    for (int i = 0; i < 4; ++i) data[pos + 1 + i] = static_cast<uint8_t>(sum >> (24 - 8 * i));
  }
}

void Check(const uint8_t* input, uint32_t length, bool patch) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length]);
  if (length != 0) std::memcpy(exact.get(), input, length);
  if (patch) PatchStoredSum(exact.get(), length);
  const int fast = zmr::ValidateRecordStream(exact.get(), length);
  const int plain = zmr::testing::ReferenceValidateRecordStream(exact.get(), length);
  if (fast != plain || (fast != 0 && fast != 1)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  const uint32_t length = static_cast<uint32_t>(size);
  Check(data, length, false);
  Check(data, length, true);
  return 0;
}
