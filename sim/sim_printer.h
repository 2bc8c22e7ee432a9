#pragma once
// A model of one ZMR470 printer as seen from the host: the bytes written to its bulk OUT pipe
// (PIPE00) and the replies read from its bulk IN pipe (PIPE01). It keeps its mode, its status,
// its memory per data type and its versions, and it can be told to misbehave (sim_fault.h).
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

  // Busy ('@' in the second state byte) for this long after the wake command.
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
  kRejected,   // wrong sum, bad framing, a record out of range, or cut off by a command
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

  // PIPE00, host to printer: commands and image bytes, parsed as one stream across writes.
  // Fails with 0 bytes while the printer is off the bus.
  bool HostWrite(const uint8_t* data, uint32_t length, uint32_t& done);
  // PIPE01, printer to host: the pending reply (all of it, or `length` bytes when that is less;
  // the reply is used up either way). Fails with 0 bytes when no reply is pending.
  bool HostRead(uint8_t* buffer, uint32_t length, uint32_t& done);
  // The same through a connection noted at open: fails with 0 bytes once the printer has dropped
  // off the bus since (a stale handle), even after it has come back.
  bool HostWrite(uint32_t connection, const uint8_t* data, uint32_t length, uint32_t& done);
  bool HostRead(uint32_t connection, uint8_t* buffer, uint32_t length, uint32_t& done);
  // Length of the reply that a read through `connection` would take now; 0 when there is none
  // or the read would not reach the printer.
  uint32_t PendingReplyLength(uint32_t connection);

  // On the bus now (false while it re-enumerates after a mode switch).
  bool IsPresent();
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

  // Replaces the behaviour settings (status, timing, faults, reported versions); the mode, the
  // memory and the fault counters stay.
  void SetConfig(const PrinterConfig& config);
  PrinterConfig Config() const;

 private:
  struct Region;
  enum class Parse { kCommand, kKind, kAddress, kLength, kData, kSum, kEnd, kPadding, kDiscard };

  bool Write(const uint32_t* connection, const uint8_t* data, uint32_t length, uint32_t& done);
  bool Read(const uint32_t* connection, uint8_t* buffer, uint32_t length, uint32_t& done);
  bool PresentLocked();
  void DeliverLocked(const uint8_t* data, uint32_t length);
  void ParseByteLocked(uint8_t byte);
  void ExecuteCommandLocked(const uint8_t* command);
  void EndStreamLocked(bool accepted);
  void DropOffBusLocked();
  Region* FindRegionLocked(char type);
  const Region* FindRegionLocked(char type) const;
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
  std::vector<uint8_t> reply_;
  bool replyPending_ = false;

  std::vector<std::unique_ptr<Region>> regions_;
  // The stream parser.
  Parse parse_ = Parse::kCommand;
  uint8_t command_[4] = {};
  uint32_t commandFill_ = 0;
  Region* streamRegion_ = nullptr;  // null: the stream is parsed but not stored
  bool streamBad_ = false;
  uint32_t countdown_ = 0;
  uint32_t field_ = 0;
  uint32_t address_ = 0;
  uint32_t runningSum_ = 0;
  uint32_t blockNumber_ = 0;   // writes since the last transfer command
  uint32_t currentBlock_ = 0;  // block number of the write at hand; 0 outside a transfer
  char transferType_ = 0;
  bool transferActive_ = false;  // writes are blocks of the last transfer

  uint32_t writes_ = 0;
  uint32_t reads_ = 0;
  std::vector<bool> faultFired_;
  uint64_t bytesTimed_ = 0;  // bytes paid for by the transfer speed
  uint64_t msSlept_ = 0;
};

}  // namespace zmr::sim
