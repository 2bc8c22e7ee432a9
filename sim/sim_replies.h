// SPDX-License-Identifier: MIT
#pragma once
// The simulated printer's replies: the bytes of the version and the status reply, made from the
// printer's state and settings, and the reply that waits in the IN pipe (PIPE01) until the host
// has read all of it.
//
// Not locked: the pending reply belongs to one SimPrinter, which uses it under its own lock.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/sim_memory.h"
#include "sim/sim_printer_config.h"

namespace zmr::sim {

// The 48-byte version reply: '#', '.', 0x00 (with `badHeader` '0' instead of 0x00), the model
// number, the three version texts and the three check sums of `versions` (big-endian).
std::vector<uint8_t> VersionReply(const ReportedVersions& versions, bool badHeader);

// What the status reply tells of the printer's state (the rest comes from its settings).
struct StatusState {
  bool asleep = false;        // first state byte 'S'
  bool downloadMode = false;  // first state byte 'D' when awake, else 'N'
  bool busy = false;          // second state byte '@', else 0x00
};
// The status reply to the status request of type `statusType`: 256 bytes for '0' (both units),
// 192 for '1' (unit 1) and '2' (unit 2): E4 'V' '2' and the type, the state bytes, the model
// name, the unit configuration, then the unit blocks with the units' printing and error
// settings. `config` may make it malformed (wrong type byte, cut short).
std::vector<uint8_t> StatusReply(char statusType, const StatusState& state,
                                 const PrinterConfig& config);

// The reply waiting in the IN pipe. A request replaces whatever waited before.
class PendingReply {
 public:
  // The reply to a request made at clock tick `now`: `bytes`, ready to be read `delayMs` later.
  void Post(std::vector<uint8_t> bytes, uint32_t now, uint32_t delayMs);
  // Nothing waits any more (read to the end, lost to a fault, or the printer left the bus).
  void Drop();
  // A reply waits, ready or not.
  bool Pending() const { return pending_; }
  // Milliseconds from the request to `now`.
  uint32_t Waited(uint32_t now) const { return now - askedAt_; }
  // How long after its request the reply is ready.
  uint32_t DelayMs() const { return delayMs_; }
  // A reply waits and is ready at `now`.
  bool Ready(uint32_t now) const { return pending_ && Waited(now) >= delayMs_; }
  // The bytes not read yet (all of them when none was read); empty when nothing waits.
  std::vector<uint8_t> Rest() const;
  // How many bytes Rest() holds.
  uint32_t RestLength() const;
  // The host read the first `count` bytes of Rest(); the others stay for the next read.
  void Consume(uint32_t count);

 private:
  std::vector<uint8_t> bytes_;
  size_t offset_ = 0;  // bytes_ before it have been read
  bool pending_ = false;
  uint32_t askedAt_ = 0;
  uint32_t delayMs_ = 0;
};

}  // namespace zmr::sim
