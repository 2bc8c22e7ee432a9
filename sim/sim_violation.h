// SPDX-License-Identifier: MIT
#pragma once
// A protocol violation: something the host did that a real printer refuses. The simulated printer
// records each one with its clock time and a short reason, so that a test can require a correct
// tool to cause none, and a person can find them in the trace (lines with "VIOLATION").
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zmr::sim {

enum class ViolationKind {
  kCommandWrite,       // outside a transfer, a write that is not one whole 4-byte command
  kUnknownCommand,     // a 4-byte write that names no command (or no data type)
  kNotInDownloadMode,  // an erase or transfer command while the printer is in normal mode
  kNoErase,            // a transfer with no erase of its data type before it
  kEraseRunning,       // a transfer while the erase of its data type is still running
  kBlockSize,          // image data in a write other than 4096 bytes that does not end the stream
  kPadding,            // the write that ends a stream is not zero-padded to a multiple of 64
  kStream,             // the record stream itself: a bad record, a record outside memory, the sum
  kReadEarly,          // a read before the reply is ready
  kShortRead,          // a read for fewer bytes than the reply holds
  kReadNothing,        // a read with no request to answer
};

// The kind's name as the trace shows it ("no-erase", "padding", ...).
const char* Name(ViolationKind kind);

struct Violation {
  uint32_t tick = 0;  // clock tick count when it happened
  int printer = 0;    // the printer's number on the bus
  ViolationKind kind = ViolationKind::kCommandWrite;
  std::string reason;  // one short line, for people
  // The printer had itself cut or garbled a write (a write fault) since the last clean command,
  // so the host may not be to blame: the host's bytes never arrived as it sent them.
  bool afterFault = false;
};

// How a part of the simulated printer reports what it refuses: the printer that owns the part
// records the violation with the clock time, its own number and whether a write fault came first.
using ReportViolation = std::function<void(ViolationKind kind, std::string reason)>;

// The violations that are the host's own doing: those not preceded by a write fault.
std::vector<Violation> ByHost(const std::vector<Violation>& violations);

// "<kind>: <reason>[ (after a write fault)]", for test failure messages.
std::string Describe(const Violation& violation);

}  // namespace zmr::sim
