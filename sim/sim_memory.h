// SPDX-License-Identifier: MIT
#pragma once
// The simulated printer's memory: one range per data type, blank (0xFF) until something is
// stored, with what an erase of the type has started, how the last record stream of the type
// ended, and the versions and check sums the printer computes from it.
//
// Not locked: it belongs to one SimPrinter, which calls it under its own lock.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_printer_config.h"

namespace zmr::sim {

// Memory of a data type: [base, top). Type codes as in the erase and transfer commands.
struct MemoryRange {
  char type;  // 'p' DATA1, 't' DATA2, 'c' (no image uses it), 'f' DATA3
  uint32_t base;
  uint32_t top;
};
inline constexpr MemoryRange kMemoryRanges[] = {
    {'p', 0x00020000, 0x000C0000},
    {'t', 0x000F0000, 0x00130000},
    {'c', 0x001C0000, 0x00200000},
    {'f', 0x00170000, 0x001B0000},
};
// The range of `type`, or null for a code that names no memory.
const MemoryRange* FindMemoryRange(char type);

// How the last record stream of a data type ended.
enum class StreamOutcome {
  kNone,       // no transfer of this type yet
  kReceiving,  // the transfer command came and the stream has not ended yet
  kAccepted,   // framing and stream sum right, every record in range: the image took
  kRejected,   // refused, wrong sum, bad framing, a record out of range, or cut off by a command
};

// The versions and check sums as the version reply carries them.
struct ReportedVersions {
  std::string data1;  // 6 bytes
  std::string data2;  // 6 bytes
  std::string data3;  // 3 bytes
  uint16_t data1CheckSum = 0;
  uint16_t data2CheckSum = 0;
  uint16_t data3CheckSum = 0;
};

// The memory of one data type. Its fields are the printer's state; the stream receiver stores
// into `bytes` and settles `outcome`.
struct TypeMemory {
  // Blank (every byte 0xFF), untouched, no erase, no stream yet.
  explicit TypeMemory(const MemoryRange& range);

  // `address` lies in [range.base, range.top).
  bool Contains(uint32_t address) const;
  // Every byte back to 0xFF; the memory counts as touched from now on.
  void Blank();
  // The erase command of this type at clock tick `now`: blanks the memory and lets one transfer
  // of the type follow once the erase is done.
  void StartErase(uint32_t now);
  // The erase started by StartErase and not yet used by a transfer is still running at `now`
  // (it takes `eraseMs`).
  bool EraseRunning(uint32_t now, uint32_t eraseMs) const;
  // Low 16 bits of the sum of the range read as big-endian 16-bit words.
  uint16_t WordSum() const;

  MemoryRange range;
  std::vector<uint8_t> bytes;  // range.top - range.base of them
  bool touched = false;        // erased or written: versions come from memory from now on
  StreamOutcome outcome = StreamOutcome::kNone;
  // An erase since download mode was entered that no transfer has used yet, and when it began.
  bool erased = false;
  uint32_t erasedAt = 0;
};

// Every data type's memory, one TypeMemory per entry of kMemoryRanges.
class PrinterMemory {
 public:
  // Every type's memory blank and untouched.
  PrinterMemory();

  // The memory of `type`, or null for a code that names no memory. The pointer stays valid as
  // long as this object.
  TypeMemory* Find(char type);
  const TypeMemory* Find(char type) const;
  // `length` bytes from `address` on; 0xFF where nothing was written or no data type has memory.
  std::vector<uint8_t> Read(uint32_t address, uint32_t length) const;
  // TypeMemory::WordSum of `type`; 0 for a code that names no memory.
  uint16_t WordSum(char type) const;
  // An erase of any type is still running at `now` (each takes `eraseMs`).
  bool AnyEraseRunning(uint32_t now, uint32_t eraseMs) const;
  // The printer starts afresh in a new mode: no erase before now lets a transfer follow.
  void ForgetErases();
  // What the version reply says: per type, what `config` gives until the type's memory is
  // touched, and from then on the version record and the word sum of the memory itself (DATA1
  // 6 bytes at its base, DATA2 6 bytes 16 below its top, DATA3 3 bytes at base + 3).
  ReportedVersions Versions(const PrinterConfig& config) const;

 private:
  std::vector<TypeMemory> types_;  // never resized: Find's pointers stay valid
};

}  // namespace zmr::sim
