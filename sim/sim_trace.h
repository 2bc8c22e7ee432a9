// SPDX-License-Identifier: MIT
#pragma once
// The record of every transfer the simulated printers see: in memory for tests, and one line per
// transfer (and per protocol violation) in a file for people and scripts.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_violation.h"

namespace zmr::sim {

struct TraceEntry {
  uint32_t tick = 0;           // clock tick count when the transfer ended
  int printer = 0;             // the printer's number on the bus
  char direction = 'W';        // 'W' host to printer (PIPE00), 'R' printer to host (PIPE01)
  uint32_t length = 0;         // bytes asked for
  uint32_t done = 0;           // bytes moved
  bool ok = false;             // the transfer reported success
  std::vector<uint8_t> bytes;  // the bytes moved: the first 16, or all of them when asked to
  // Writes only: the first (up to 4) bytes the host offered, whether or not they went through,
  // so that a command whose write failed is still known by its bytes.
  std::vector<uint8_t> offered;
  uint32_t tookMs = 0;  // from the start of the transfer to its end (see TransferStart)

  const char* Pipe() const { return direction == 'W' ? "PIPE00" : "PIPE01"; }
};

// Safe to use from several threads: every operation takes the trace's lock.
class Trace {
 public:
  // Records nothing until EnableMemory or OpenFile.
  Trace() = default;
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  // Stops recording, forgets the entries and closes the file.
  void Reset();
  // Keeps entries in memory from now on (cleared by Clear), with every byte or the first 16.
  void EnableMemory(bool allBytes = false);
  // Appends one line per transfer to `path`, with times counted from `startTick`:
  //   <ms> W PIPE00 <length> <hex of the first 16 bytes moved, or ->[...] [short <done>|failed]
  // With `allBytes` the file is a recording (driver_api/trace_format.h): every byte (of a write,
  // every byte offered), how long a transfer took, and the lookup lines of RecordLine.
  // Each protocol violation adds a line of its own:
  //   <ms> VIOLATION <kind> <reason>[ (after a write fault)]
  bool OpenFile(const std::string& path, uint32_t startTick, bool allBytes = false);
  // Records `entry` (its `bytes` left empty) with the `entry.done` bytes at `moved`; for a write
  // `moved` is the host's buffer, all `entry.length` bytes of it.
  void Record(TraceEntry entry, const uint8_t* moved);
  // Writes the violation's line to the file, if there is one.
  void RecordViolation(const Violation& violation);
  // Writes "<ms> <line>" to the file, if there is one; with `recordingOnly`, only when the file
  // is a recording (a lookup, not a note for people).
  void RecordLine(uint32_t tick, const std::string& line, bool recordingOnly);
  // Writes "# <text>" to the file, if there is one: a note that a recording's reader skips.
  void RecordComment(const std::string& text);
  bool HasFile() const;
  // Whether anything records at all (so the printer may skip the work).
  bool Active() const;
  // The entries kept in memory so far, oldest first.
  std::vector<TraceEntry> Entries() const;
  // Forgets the entries kept in memory; recording goes on as before.
  void Clear();

 private:
  mutable std::mutex mutex_;
  bool memory_ = false;
  bool allBytes_ = false;
  bool fileAllBytes_ = false;
  std::vector<TraceEntry> entries_;
  std::FILE* file_ = nullptr;
  uint32_t startTick_ = 0;
};

// Marks, for the thread that makes it, when the transfer under way began, so that its entry can
// say how long it took. The bus's pipes set one around each call into a printer.
class TransferStart {
 public:
  explicit TransferStart(uint32_t tick);
  ~TransferStart();
  TransferStart(const TransferStart&) = delete;
  TransferStart& operator=(const TransferStart&) = delete;
  // The start of this thread's transfer under way, if one was marked.
  static std::optional<uint32_t> Current();

 private:
  std::optional<uint32_t> previous_;
};

// One line of the trace file, without the line end: the first 16 bytes of the entry, or all of
// them with `allBytes`.
std::string FormatTraceLine(const TraceEntry& entry, uint32_t startTick, bool allBytes = false);
// The line of a violation, without the line end.
std::string FormatViolationLine(const Violation& violation, uint32_t startTick);

}  // namespace zmr::sim
