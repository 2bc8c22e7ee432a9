// SPDX-License-Identifier: MIT
#pragma once
// The simulated printer's record-stream receiver: what it does with the writes that follow a
// transfer command. It parses the record stream as it arrives, checks its framing (writes of 4096
// bytes, the last one zero-padded to the next multiple of 64 above the end mark), its records
// (in the data type's memory, none of length 0) and its stream sum, stores the records in the
// type's memory when that memory is ready for them, and settles the type's StreamOutcome.
// Whatever breaks a rule is reported as a protocol violation.
//
// Which write is a block of the transfer and which is a command is the printer's decision (a
// 4-byte command written on its own ends the transfer); the receiver sees only the blocks.
//
// Not locked: it belongs to one SimPrinter, which calls it under its own lock.
#include <cstdint>

#include "sim/sim_memory.h"
#include "sim/sim_printer_config.h"
#include "sim/sim_violation.h"

namespace zmr::sim {

class StreamReceiver {
 public:
  // Idle: no transfer under way. Violations go to `report`.
  explicit StreamReceiver(ReportViolation report);

  // The transfer command for `type` at clock tick `now`: from now on every write is a block of
  // its stream. `target` is the type's memory (null for a code that names none). The stream is
  // read in any case; it is stored only in download mode, into an erase of the type that is done
  // (each erase lets one transfer follow) and when `config` does not refuse the type. In download
  // mode a missing or running erase is a violation (kNoErase, kEraseRunning) and the type's
  // outcome is kRejected until the stream takes; a transfer outside download mode or of a code
  // with no memory is the caller's to report.
  void Start(char type, TypeMemory* target, bool downloadMode, uint32_t now,
             const PrinterConfig& config);
  // A transfer is under way: after Start, until its stream has ended or Finish.
  bool Active() const { return active_; }
  // The data type of the last transfer command; 0 before the first.
  char Type() const { return type_; }
  // Numbers a write of the transfer under way: 1 for the first after Start, then 2, 3, ...
  uint32_t NextBlock() { return ++blocks_; }

  // One write of the transfer under way, block number `block`: `length` bytes as the host wrote
  // them, of which the first `delivered` arrived (fewer when a fault cut the write). The size
  // rules apply to whole writes only. Once the end mark has come and the write that carries it
  // is checked, the transfer is over (Active() is false). After a bad record or a write of the
  // wrong size the rest of the transfer is read and dropped until Finish.
  void Take(const uint8_t* bytes, uint32_t length, uint32_t delivered, uint32_t block);
  // The transfer ends before its stream did (a command came on its own): the image does not
  // take. Does nothing when no transfer is under way.
  void Finish();

 private:
  // Where the parser is inside a record stream.
  enum class Parse { kKind, kAddress, kLength, kData, kSum, kEnd, kDiscard };

  void ParseRecords(const uint8_t* bytes, uint32_t length);
  void StreamError(const std::string& reason);
  // Decides the outcome of the stream under way (once); the transfer may go on being read.
  void Decide(bool accepted);

  ReportViolation report_;
  bool active_ = false;
  char type_ = 0;
  TypeMemory* target_ = nullptr;
  bool storing_ = false;  // the stream goes into `target_`
  bool decided_ = false;  // accepted or rejected already
  bool bad_ = false;
  bool ended_ = false;  // the end mark came in the write at hand, at `endOffset_`
  uint32_t endOffset_ = 0;
  uint32_t offset_ = 0;  // stream bytes so far
  uint32_t blocks_ = 0;  // writes since the transfer command
  Parse parse_ = Parse::kKind;
  uint32_t countdown_ = 0;
  uint32_t field_ = 0;
  uint32_t address_ = 0;
  uint32_t runningSum_ = 0;
};

}  // namespace zmr::sim
