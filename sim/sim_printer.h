// SPDX-License-Identifier: MIT
#pragma once
// A model of one ZMR470 printer as seen from the host: the bytes written to its bulk OUT pipe
// (PIPE00) and the replies read from its bulk IN pipe (PIPE01). It keeps its mode, its status,
// its memory per data type and its versions, and it can be told to misbehave (sim_fault.h).
//
// It is strict, as the device is: a command is one 4-byte write; an image is a record stream in
// writes of 4096 bytes, the last one zero-padded to the next multiple of 64 above the end mark;
// a data type's memory takes a stream only after an erase of that type, once the erase is done;
// the version reply is ready only some time after the request; a read takes the whole reply.
// Whatever breaks these rules is refused and recorded as a protocol violation (sim_violation.h).
//
// This class is the printer on the bus: its presence, the transfer faults and the transfer
// speed, and the commands. Its parts each hold one concern: the settings (sim_printer_config.h),
// the memory (sim_memory.h), the record-stream receiver (sim_stream_receiver.h) and the reply
// bytes (sim_replies.h).
//
// The model is safe to use from several threads: every operation takes the printer's lock. It
// waits only through the Clock it was given (transfer speed, slow-transfer faults), and never
// while holding its lock.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_fault.h"
#include "sim/sim_memory.h"
#include "sim/sim_printer_config.h"
#include "sim/sim_replies.h"
#include "sim/sim_stream_receiver.h"
#include "sim/sim_trace.h"
#include "sim/sim_violation.h"

namespace zmr::sim {

enum class Mode { kNormal, kDownload };

class SimPrinter {
 public:
  // In normal mode, on the bus, asleep or awake as `config` says, every memory blank and no
  // violation yet. `trace` (optional) receives every transfer; `number` names the printer in it.
  // The clock and the trace must outlive the printer.
  SimPrinter(const PrinterConfig& config, Clock& clock, Trace* trace = nullptr, int number = 0);
  ~SimPrinter();
  SimPrinter(const SimPrinter&) = delete;
  SimPrinter& operator=(const SimPrinter&) = delete;

  // PIPE00, host to printer. Outside a transfer every write must be one 4-byte command; after the
  // transfer command every write is image data up to the end of the stream, or up to a 4-byte
  // command written on its own (the host gave up: the image does not take). Fails with 0 bytes
  // while the printer is off the bus; a write the printer refuses still moves its bytes (a real
  // printer takes them off the bus and drops them) and is recorded as a violation.
  bool HostWrite(const uint8_t* data, uint32_t length, uint32_t& done);
  // PIPE01, printer to host: the pending reply, or `length` bytes of it when that is less (a
  // violation: the rest stays in the pipe for the next read, as on a bulk IN endpoint). Fails
  // with 0 bytes when no reply is pending or the version reply is not ready yet (a violation
  // either way; a reply that is not ready stays pending).
  bool HostRead(uint8_t* buffer, uint32_t length, uint32_t& done);
  // The same through a connection noted at open: fails with 0 bytes once the printer has dropped
  // off the bus since (a stale handle), even after it has come back.
  bool HostWrite(uint32_t connection, const uint8_t* data, uint32_t length, uint32_t& done);
  bool HostRead(uint32_t connection, uint8_t* buffer, uint32_t length, uint32_t& done);
  // For handles whose reads the printer cannot see before they happen (kernel pipes): the length
  // of the reply pending for `connection` (0 when there is none or a read would not reach the
  // printer), and the read that takes it at once for the pipe, as a read made when the reply is
  // ready (the host's own wait before its read is not on record).
  uint32_t PendingReplyLength(uint32_t connection);
  bool HostReadForPipe(uint32_t connection, uint8_t* buffer, uint32_t length, uint32_t& done);

  // On the bus now (false while it re-enumerates after a mode switch).
  bool IsPresent();
  // A reply waits in the IN pipe and is ready to be read. Asking records nothing: an emulated
  // endpoint uses it to take the reply as soon as the printer has made it.
  bool ReplyReady() const;
  // Changes every time the printer drops off the bus; a channel notes it when it opens.
  uint32_t Connection() const;
  // How many times the printer has dropped off the bus (device paths may change with it).
  uint32_t Reenumerations() const;
  // The number given at construction.
  int Number() const { return number_; }

  // The mode the last enter- or leave-download-mode command chose (kNormal before any), also
  // while the printer is off the bus after it.
  Mode CurrentMode() const;
  // What the version reply would carry now (PrinterMemory::Versions).
  ReportedVersions Versions() const;
  // How the last record stream of data type `type` ended; kNone for a code with no memory.
  StreamOutcome LastStream(char type) const;
  // Memory bytes; 0xFF where nothing was written or no data type has memory.
  std::vector<uint8_t> ReadMemory(uint32_t address, uint32_t length) const;
  // Low 16 bits of the sum of the type's range read as big-endian 16-bit words.
  uint16_t WordSum(char type) const;
  // Transfers that reached the printer so far, per direction (failed and short ones included).
  uint32_t WriteCount() const;
  uint32_t ReadCount() const;
  // Every protocol violation so far, oldest first.
  std::vector<Violation> Violations() const;

  // Replaces the behaviour settings (status, timing, faults, reported versions); the mode, the
  // memory, the violations and the fault counters stay.
  void SetConfig(const PrinterConfig& config);
  // The settings in force.
  PrinterConfig Config() const;

 private:
  bool Write(const uint32_t* connection, const uint8_t* data, uint32_t length, uint32_t& done);
  bool Read(const uint32_t* connection, uint8_t* buffer, uint32_t length, uint32_t& done,
            bool whenReady = false);
  bool PresentLocked();
  // Puts a new printer in download mode with the memory of config_.erasedInDownloadMode erased.
  void StartLeftInDownloadMode();
  // One write as it reached the printer: `hostBytes` as the host sent them, `bytes` as they
  // arrived (`delivered` of them; changed by a corrupting fault).
  void TakeWriteLocked(const uint8_t* hostBytes, const uint8_t* bytes, uint32_t length,
                       uint32_t delivered);
  void ExecuteCommandLocked(const uint8_t* command);
  void StartTransferLocked(char type);
  void DropOffBusLocked();
  void ViolateLocked(ViolationKind kind, std::string reason);
  bool BusyLocked() const;
  // The fault that strikes the transfer at hand (counted already), or null.
  const Fault* StrikingFaultLocked(Fault::Direction direction, const uint8_t* bytes,
                                   uint32_t length);
  // Clock time that `length` more bytes take at the transfer speed.
  uint32_t SpeedDelayLocked(uint32_t length);
  void RecordTransfer(char direction, uint32_t length, uint32_t done, bool ok,
                      const uint8_t* bytes);

  mutable std::mutex mutex_;
  PrinterConfig config_;
  Clock& clock_;
  Trace* trace_;
  int number_;

  Mode mode_ = Mode::kNormal;
  uint32_t connection_ = 1;
  uint32_t reenumerations_ = 0;
  bool offBus_ = false;
  uint32_t droppedAt_ = 0;
  bool woken_ = false;
  uint32_t wokenAt_ = 0;
  PendingReply reply_;
  PrinterMemory memory_;
  StreamReceiver stream_;
  uint32_t block_ = 0;  // block number of the write at hand; 0 when it is no block of a transfer
  // A write fault garbled bytes since the printer last entered or left download mode.
  bool disturbed_ = false;
  std::vector<Violation> violations_;

  uint32_t writes_ = 0;
  uint32_t reads_ = 0;
  std::vector<bool> faultFired_;
  uint64_t bytesTimed_ = 0;  // bytes paid for by the transfer speed
  uint64_t msSlept_ = 0;
};

}  // namespace zmr::sim
