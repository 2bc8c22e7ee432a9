// SPDX-License-Identifier: MIT
#pragma once
// A recorded session (recording.h) played back as the printer on the simulated bus
// (ZMR470_SIM="replay=FILE", or SimConfig::replayFile).
//
// Lookups: the device count, the device texts and each open are answered as the recording
// answered them in the same state of the printer: before its first mode switch, off the bus for
// as long as the recording says after a switch (its OFFBUS line; a recording of the libusb drivers
// has none, and the printer is taken to be back half-way between the last open that failed after
// the switch, or the switch, and the first that worked), and back on the bus after it. The n-th
// lookup of a kind in a state gets the n-th answer recorded there, or the last one; a state the
// recording never looked in borrows the nearest one's answers. An open while the printer is off
// the bus fails. Lookups never count as divergences.
//
// Transfers: each transfer of the tool is matched with the next one of the recording and answered
// as it was: a write moves as many bytes as it did (and fails if it failed), a read gets the
// recorded reply; each takes as long as it did, and a read that comes before its recorded time
// waits for it, so every reply comes at the delay recorded. A matched mode switch takes the
// printer off the bus. What the tool sends is compared with the recording, and each difference is
// a divergence (a DIVERGE line in the trace, or on stderr without a trace file, numbered by the
// recorded transfer it concerns, counting reads and writes from 1):
//   - a write of another length, or with other bytes (the first byte that differs is named);
//   - a read of another length;
//   - a write where the recording has a read, or a read where it has a write; when the transfer
//     after that one matches, the one the tool left out is named and the replay goes on from it;
//   - a transfer that comes markedly earlier than recorded: at least 200 ms and by half of the
//     time between it and the transfer before it (a wait the tool left out; shorter differences
//     are a loaded machine's own);
//   - a transfer after the end of the recording, and (when the replay ends) recorded transfers
//     the tool did not make.
// The replay then goes on as well as it can: a write the recording does not have is taken whole,
// a read it does not have fails with 0 bytes, and everything else is answered as recorded.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver_api/handle_table.h"
#include "platform/clock.h"
#include "sim/recording.h"
#include "sim/sim_trace.h"

namespace zmr::sim {

struct Divergence {
  uint32_t tick = 0;      // clock tick count when it was seen
  uint32_t transfer = 0;  // the recorded transfer it concerns, from 1
  std::string what;

  // "<transfer> <what>", as the DIVERGE line has it after its time.
  std::string Text() const { return std::to_string(transfer) + " " + what; }
};

class ReplayBus : public std::enable_shared_from_this<ReplayBus> {
 public:
  // `trace` (optional) gets the replay's transfers and divergences; `openHandles` counts the
  // handles handed out while they are open. Both and the clock must outlive every handle.
  ReplayBus(Recording recording, Clock& clock, Trace* trace, std::atomic<size_t>& openHandles);
  ~ReplayBus();
  ReplayBus(const ReplayBus&) = delete;
  ReplayBus& operator=(const ReplayBus&) = delete;

  // What the driver libraries call.
  int DeviceCount();
  bool DeviceInfo(int index, char* deviceId, char* devicePath);
  driver_api::ChannelHandle OpenByPath(const char* pipeName, const char* devicePath);
  driver_api::ChannelHandle OpenControl(int index);
  driver_api::ChannelHandle OpenByIndex(const char* pipeName, int index);

  std::vector<Divergence> Divergences() const;
  // The recorded transfers that the tool did not make, as one divergence; once.
  void Finish();

  // Whether the printer is on the bus now.
  bool Present();

 private:
  class Pipe;
  struct Away {
    bool never = false;
    uint32_t ms = 0;
  };
  struct Answers {
    std::vector<const RecordedCall*> calls;
    size_t asked = 0;
  };

  void Index();
  Away AwayAfter(size_t transfer, size_t nextSwitch) const;
  bool PresentLocked();
  std::string StateKey(uint32_t generation, bool present) const;
  const RecordedCall* Answer(const std::string& call);
  driver_api::ChannelHandle OpenPipe(const std::string& call, const char* pipeName);
  void DivergeLocked(uint32_t transfer, std::string what);
  bool Early(uint32_t hostGap, uint32_t recordedGap) const;
  uint32_t RecordedGap(size_t transfer) const;

  bool Write(const uint8_t* data, uint32_t length, uint32_t& done);
  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done, bool forPipe);
  uint32_t ReplyLength();

  Recording recording_;
  Clock& clock_;
  Trace* trace_;
  std::atomic<size_t>& openHandles_;
  uint32_t startTick_;

  mutable std::mutex mutex_;
  std::vector<size_t> switches_;            // the recorded mode switches, by transfer index
  std::vector<Away> away_;                  // how long the printer is away after each
  std::map<std::string, Answers> answers_;  // by state and lookup
  uint32_t generation_ = 0;                 // the recorded switches matched so far
  uint32_t switchTick_ = 0;
  size_t cursor_ = 0;  // the next recorded transfer
  bool anyTransfer_ = false;
  uint32_t lastEndTick_ = 0;
  bool finished_ = false;
  std::vector<Divergence> divergences_;
};

// Loads the recording in `file` and starts its replay; null, with `problem` said on stderr and in
// the trace, when the file cannot be read or is not a recording (the line is named).
std::shared_ptr<ReplayBus> StartReplay(const std::string& file, Clock& clock, Trace* trace,
                                       std::atomic<size_t>& openHandles, std::string& problem);

}  // namespace zmr::sim
