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
// The model is safe to use from several threads: every operation takes the printer's lock. It
// waits only through the Clock it was given (transfer speed, slow-transfer faults), and never
// while holding its lock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_fault.h"
#include "sim/sim_trace.h"
#include "sim/sim_violation.h"

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

// What the printer says about itself before an update and how it behaves.
struct PrinterConfig {
  // Reported until the type's memory is first erased or written; from then on the printer
  // computes them from its memory. Texts are cut or NUL-padded to 6, 6 and 3 characters.
  std::string data1Version = "316B20";
  uint16_t data1CheckSum = 0x1A2B;
  std::string data2Version = "318C20";
  uint16_t data2CheckSum = 0x3C4D;
  std::string data3Version = "D10";
  uint16_t data3CheckSum = 0x5E6F;

  // Asleep until the wake command: the status reply says busy ('@' in the second state byte)
  // and 'S' in the first. false: awake from the start.
  bool asleepUntilWake = true;
  // Busy for this long after the wake command.
  uint32_t busyMs = 0;
  bool staysBusy = false;  // answers busy forever
  bool unit1Printing = false;
  bool unit2Printing = false;
  bool unit1Error = false;
  bool unit2Error = false;
  bool secondUnit = false;  // status reply byte 33 = 0x80

  // Bytes per second of clock time that the OUT pipe takes; 0 = instantaneous.
  uint32_t bytesPerSecond = 0;
  // After the enter- or leave-download-mode command the printer drops off the bus (every open
  // channel goes stale) and comes back after this long.
  uint32_t reenumerationMs = 1000;
  bool reappears = true;  // false: it never comes back after a mode switch
  // An erase takes this long; until it is done the printer refuses a transfer of that type (and
  // reports busy). The tool waits 10 s after the erase command.
  uint32_t eraseMs = 3000;
  // The version reply is ready this long after the request; a read before gets nothing. The tool
  // waits 1 s after the request.
  uint32_t versionReplyMs = 300;
  // Data type codes ('p', 't', 'c', 'f') whose transfers the printer refuses, as after an erase
  // that failed inside the printer: the stream is read and nothing is stored.
  std::string refusedTransfers;

  // Malformed replies.
  bool badVersionHeader = false;  // '#', '.', '0' instead of '#', '.', 0x00
  bool wrongStatusType = false;   // byte 3 of the status reply is not the requested type
  uint32_t statusShortBy = 0;     // the status reply is this many bytes shorter

  std::vector<Fault> faults;  // transfer faults (write and read)
};

enum class Mode { kNormal, kDownload };

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

class SimPrinter {
 public:
  // `trace` (optional) receives every transfer; `number` names the printer in it.
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
  int Number() const { return number_; }

  Mode CurrentMode() const;
  ReportedVersions Versions() const;
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
  PrinterConfig Config() const;

 private:
  struct Region;
  // Where the stream parser is inside a record stream.
  enum class Parse { kKind, kAddress, kLength, kData, kSum, kEnd, kDiscard };

  bool Write(const uint32_t* connection, const uint8_t* data, uint32_t length, uint32_t& done);
  bool Read(const uint32_t* connection, uint8_t* buffer, uint32_t length, uint32_t& done,
            bool whenReady = false);
  bool PresentLocked();
  // One write as it reached the printer: `hostBytes` as the host sent them, `bytes` as they
  // arrived (`delivered` of them; changed by a corrupting fault).
  void TakeWriteLocked(const uint8_t* hostBytes, const uint8_t* bytes, uint32_t length,
                       uint32_t delivered);
  void TakeStreamWriteLocked(const uint8_t* bytes, uint32_t length, uint32_t delivered);
  void ParseStreamLocked(const uint8_t* bytes, uint32_t length);
  void StreamErrorLocked(const std::string& reason);
  void ExecuteCommandLocked(const uint8_t* command);
  void StartTransferLocked(char type);
  // Decides the outcome of the stream under way (once); the transfer may go on being read.
  void EndStreamLocked(bool accepted);
  // The transfer is over: the next write is a command again.
  void FinishTransferLocked();
  void DropOffBusLocked();
  void ViolateLocked(ViolationKind kind, std::string reason);
  Region* FindRegionLocked(char type);
  const Region* FindRegionLocked(char type) const;
  bool EraseRunningLocked(const Region& region) const;
  std::vector<uint8_t> VersionReplyLocked() const;
  std::vector<uint8_t> StatusReplyLocked(char statusType) const;
  ReportedVersions VersionsLocked() const;
  bool BusyLocked() const;
  const Fault* MatchFaultLocked(Fault::Direction direction, const uint8_t* bytes, uint32_t length);
  uint32_t SpeedDelayLocked(uint32_t length);
  static void ApplyFault(const Fault* fault, bool& ok, uint32_t& deliver, uint32_t& delay,
                         uint32_t& corruptAt);
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
  // The reply waiting in the IN pipe, from `replyOffset_` on; ready at `replyReadyAt_` after
  // `replyAskedAt_`.
  std::vector<uint8_t> reply_;
  size_t replyOffset_ = 0;
  bool replyPending_ = false;
  uint32_t replyAskedAt_ = 0;
  uint32_t replyDelay_ = 0;

  std::vector<std::unique_ptr<Region>> regions_;
  // The transfer under way: its data type's memory (null: a code with no memory), whether the
  // stream is stored there, and the parser.
  bool inStream_ = false;
  Region* streamTarget_ = nullptr;
  bool storing_ = false;
  bool streamDecided_ = false;  // accepted or rejected already
  bool streamBad_ = false;
  bool streamEnded_ = false;  // the end mark came in the write at hand, at `endOffset_`
  uint32_t endOffset_ = 0;
  uint32_t streamOffset_ = 0;  // stream bytes so far
  Parse parse_ = Parse::kKind;
  uint32_t countdown_ = 0;
  uint32_t field_ = 0;
  uint32_t address_ = 0;
  uint32_t runningSum_ = 0;
  uint32_t blockNumber_ = 0;   // writes since the last transfer command
  uint32_t currentBlock_ = 0;  // block number of the write at hand; 0 outside a transfer
  char transferType_ = 0;
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
