// SPDX-License-Identifier: MIT
#include "sim/sim_printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zmr::sim {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint32_t kBlockSize = 4096;
constexpr uint32_t kTailGranule = 64;

// The four bytes of a command the printer knows. A lone write of one of these is a command of
// its own on the bus, even in the middle of an image transfer.
bool IsCommand(const uint8_t* b) {
  if (b[0] != kEsc) return false;
  if (b[1] == 'f') return b[2] == 'g' || b[2] == 'r' || b[2] == 'e' || b[2] == 't';
  if (b[1] == 'V') return b[2] == '#' || b[2] == '2';
  return b[1] == 'E' && b[2] == 'W' && b[3] == 'U';
}

std::string FixedText(const std::string& text, size_t width) {
  std::string fixed = text.substr(0, width);
  fixed.resize(width, '\0');
  return fixed;
}

void PutText(std::vector<uint8_t>& reply, size_t offset, const std::string& text) {
  std::memcpy(reply.data() + offset, text.data(), text.size());
}

void PutWord(std::vector<uint8_t>& reply, size_t offset, uint16_t value) {
  reply[offset] = static_cast<uint8_t>(value >> 8);
  reply[offset + 1] = static_cast<uint8_t>(value);
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string HexBytes(const uint8_t* bytes, uint32_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint32_t i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

// The name of a data type code in reasons: "DATA1 ('p')".
std::string TypeName(char type) {
  const char* name = type == 'p'   ? "DATA1"
                     : type == 't' ? "DATA2"
                     : type == 'f' ? "DATA3"
                     : type == 'c' ? "type 'c'"
                                   : nullptr;
  if (!name) return "data type " + Hex(static_cast<uint8_t>(type), 2);
  return type == 'c' ? name : std::string(name) + " ('" + type + "')";
}

// Length of the write that ends a stream whose last `streamBytes` bytes it carries: the next
// multiple of 64 above them.
uint32_t PaddedLength(uint32_t streamBytes) {
  return streamBytes / kTailGranule * kTailGranule + kTailGranule;
}

}  // namespace

const MemoryRange* FindMemoryRange(char type) {
  for (const MemoryRange& range : kMemoryRanges) {
    if (range.type == type) return &range;
  }
  return nullptr;
}

struct SimPrinter::Region {
  explicit Region(const MemoryRange& r) : range(r), bytes(r.top - r.base, 0xFF) {}
  bool Contains(uint32_t address) const { return address >= range.base && address < range.top; }
  void Erase() {
    std::fill(bytes.begin(), bytes.end(), uint8_t{0xFF});
    touched = true;
  }

  MemoryRange range;
  std::vector<uint8_t> bytes;
  bool touched = false;  // erased or written: versions come from memory from now on
  StreamOutcome outcome = StreamOutcome::kNone;
  // An erase since download mode was entered that no transfer has used yet, and when it began.
  bool erased = false;
  uint32_t erasedAt = 0;
};

SimPrinter::SimPrinter(const PrinterConfig& config, Clock& clock, Trace* trace, int number)
    : config_(config), clock_(clock), trace_(trace), number_(number) {
  for (const MemoryRange& range : kMemoryRanges)
    regions_.push_back(std::make_unique<Region>(range));
  faultFired_.assign(config_.faults.size(), false);
}

SimPrinter::~SimPrinter() = default;

bool SimPrinter::HostWrite(const uint8_t* data, uint32_t length, uint32_t& done) {
  return Write(nullptr, data, length, done);
}

bool SimPrinter::HostRead(uint8_t* buffer, uint32_t length, uint32_t& done) {
  return Read(nullptr, buffer, length, done);
}

bool SimPrinter::HostWrite(uint32_t connection, const uint8_t* data, uint32_t length,
                           uint32_t& done) {
  return Write(&connection, data, length, done);
}

bool SimPrinter::HostRead(uint32_t connection, uint8_t* buffer, uint32_t length, uint32_t& done) {
  return Read(&connection, buffer, length, done);
}

uint32_t SimPrinter::PendingReplyLength(uint32_t connection) {
  std::lock_guard lock(mutex_);
  if (!PresentLocked() || connection != connection_ || !replyPending_) return 0;
  return static_cast<uint32_t>(reply_.size() - std::min(replyOffset_, reply_.size()));
}

bool SimPrinter::HostReadForPipe(uint32_t connection, uint8_t* buffer, uint32_t length,
                                 uint32_t& done) {
  return Read(&connection, buffer, length, done, true);
}

// What a matching fault does to a transfer that would otherwise move `deliver` bytes.
void SimPrinter::ApplyFault(const Fault* fault, bool& ok, uint32_t& deliver, uint32_t& delay,
                            uint32_t& corruptAt) {
  if (!fault) return;
  switch (fault->effect) {
    case Fault::Effect::kFail:
      ok = false;
      deliver = 0;
      break;
    case Fault::Effect::kShort:
      deliver = std::min(deliver, fault->bytes);
      break;
    case Fault::Effect::kSlow:
      delay += fault->delayMs;
      break;
    case Fault::Effect::kCorrupt:
      corruptAt = fault->bytes;
      break;
  }
}

void SimPrinter::RecordTransfer(char direction, uint32_t length, uint32_t done, bool ok,
                                const uint8_t* bytes) {
  if (!trace_ || !trace_->Active()) return;
  TraceEntry entry;
  entry.tick = clock_.TickCount();
  entry.printer = number_;
  entry.direction = direction;
  entry.length = length;
  entry.done = done;
  entry.ok = ok;
  if (direction == 'W' && bytes) entry.offered.assign(bytes, bytes + std::min<uint32_t>(length, 4));
  trace_->Record(std::move(entry), bytes);
}

void SimPrinter::ViolateLocked(ViolationKind kind, std::string reason) {
  Violation violation;
  violation.tick = clock_.TickCount();
  violation.printer = number_;
  violation.kind = kind;
  violation.reason = std::move(reason);
  violation.afterFault = disturbed_;
  if (trace_) trace_->RecordViolation(violation);
  violations_.push_back(std::move(violation));
}

bool SimPrinter::Write(const uint32_t* connection, const uint8_t* data, uint32_t length,
                       uint32_t& done) {
  done = 0;
  uint32_t deliver = 0;
  uint32_t delay = 0;
  uint32_t corruptAt = UINT32_MAX;
  bool ok = false;
  bool reaches = false;
  {
    std::lock_guard lock(mutex_);
    reaches =
        PresentLocked() && (!connection || *connection == connection_) && (data || length == 0);
    if (reaches) {
      ++writes_;
      // A command written on its own ends an unfinished transfer; every other write after the
      // transfer command is a block of it.
      const bool endsStream = inStream_ && length == 4 && IsCommand(data);
      currentBlock_ = inStream_ && !endsStream ? ++blockNumber_ : 0;
      ok = true;
      deliver = length;
      ApplyFault(MatchFaultLocked(Fault::Direction::kWrite, data, length), ok, deliver, delay,
                 corruptAt);
      delay += SpeedDelayLocked(deliver);
    }
  }
  if (delay) clock_.Sleep(delay);
  if (reaches) {
    std::lock_guard lock(mutex_);
    if (corruptAt < deliver) {
      std::vector<uint8_t> changed(data, data + deliver);
      changed[corruptAt] = static_cast<uint8_t>(~changed[corruptAt]);
      disturbed_ = true;
      TakeWriteLocked(data, changed.data(), length, deliver);
    } else {
      TakeWriteLocked(data, data, length, deliver);
    }
  }
  done = deliver;
  RecordTransfer('W', length, done, ok, data);
  return ok;
}

void SimPrinter::TakeWriteLocked(const uint8_t* hostBytes, const uint8_t* bytes, uint32_t length,
                                 uint32_t delivered) {
  if (length == 0) return;
  if (inStream_ && !(length == 4 && IsCommand(hostBytes))) {
    TakeStreamWriteLocked(bytes, length, delivered);
    return;
  }
  // The host gave up on the transfer and sends a command: the image does not take.
  if (inStream_) FinishTransferLocked();
  // Part of a write that the printer cut (a fault): what arrived is dropped.
  if (delivered < length) return;
  if (length != 4) {
    const uint32_t shown = std::min<uint32_t>(length, 8);
    ViolateLocked(ViolationKind::kCommandWrite,
                  "a write of " + std::to_string(length) + " bytes (" + HexBytes(bytes, shown) +
                      (length > shown ? "..." : "") +
                      ") where a command was due; a command is one write of 4 bytes");
    return;
  }
  ExecuteCommandLocked(bytes);
}

void SimPrinter::TakeStreamWriteLocked(const uint8_t* bytes, uint32_t length, uint32_t delivered) {
  const bool whole = delivered == length;
  const std::string block =
      "block " + std::to_string(currentBlock_) + " of the " + TypeName(transferType_) + " transfer";
  if (parse_ == Parse::kDiscard) return;  // a broken stream: wait for a command on its own
  streamEnded_ = false;
  ParseStreamLocked(bytes, delivered);
  if (parse_ == Parse::kDiscard) return;  // refused and recorded by the parser
  // The size rules concern whole writes; a write that the printer cut short has failed already.
  if (whole && length > kBlockSize) {
    ViolateLocked(ViolationKind::kBlockSize, block + " is " + std::to_string(length) +
                                                 " bytes; image data comes in writes of 4096");
    EndStreamLocked(false);
    parse_ = Parse::kDiscard;
    return;
  }
  if (!streamEnded_) {
    if (whole && length != kBlockSize) {
      ViolateLocked(ViolationKind::kBlockSize,
                    block + " is " + std::to_string(length) +
                        " bytes and does not end the stream; only its last write may be "
                        "shorter than 4096");
      EndStreamLocked(false);
      parse_ = Parse::kDiscard;
    }
    return;
  }
  // The end mark came in this write: the rest of it must be zero bytes up to the next multiple
  // of 64 above the end mark.
  bool framed = true;
  if (whole) {
    const uint32_t streamBytes = endOffset_ + 1;
    const uint32_t expected = PaddedLength(streamBytes);
    const uint8_t* nonZero =
        std::find_if(bytes + streamBytes, bytes + length, [](uint8_t b) { return b != 0; });
    std::string problem;
    if (streamBytes == length) {
      problem = "no zero bytes after the end mark";
    } else if (nonZero != bytes + length) {
      problem = "byte " + Hex(*nonZero, 2) + " at offset " + std::to_string(nonZero - bytes) +
                " after the end mark";
    } else if (length != expected) {
      problem = std::to_string(length - streamBytes) +
                " zero bytes after the end mark (a write of " + std::to_string(length) + "), not " +
                std::to_string(expected - streamBytes) + " up to the next multiple of 64 (" +
                std::to_string(expected) + ")";
    }
    if (!problem.empty()) {
      ViolateLocked(ViolationKind::kPadding, block + " ends the stream with " + problem);
      framed = false;
    }
  }
  EndStreamLocked(!streamBad_ && framed);
  FinishTransferLocked();
}

void SimPrinter::StreamErrorLocked(const std::string& reason) {
  streamBad_ = true;
  ViolateLocked(ViolationKind::kStream, TypeName(transferType_) + " stream: " + reason);
}

void SimPrinter::ParseStreamLocked(const uint8_t* data, uint32_t length) {
  const Region* target = streamTarget_;
  for (uint32_t i = 0; i < length; ++i) {
    // Data bytes are the bulk of an image: store a run of them at once.
    if (parse_ == Parse::kData) {
      const uint32_t run = std::min(countdown_, length - i);
      for (uint32_t k = 0; k < run; ++k) runningSum_ += data[i + k];
      if (storing_ && !streamBad_) {
        for (uint32_t k = 0; k < run; ++k) {
          const uint32_t at = address_ + k;
          if (streamTarget_->Contains(at))
            streamTarget_->bytes[at - streamTarget_->range.base] = data[i + k];
        }
      }
      address_ += run;
      countdown_ -= run;
      streamOffset_ += run;
      if (countdown_ == 0) parse_ = Parse::kKind;
      i += run - 1;
      continue;
    }
    const uint8_t byte = data[i];
    const uint32_t offset = streamOffset_++;
    switch (parse_) {
      case Parse::kKind:
        if (byte == 'P' || byte == 'S') {
          parse_ = byte == 'P' ? Parse::kAddress : Parse::kSum;
          countdown_ = 4;
          field_ = 0;
        } else {
          StreamErrorLocked("byte " + Hex(byte, 2) + " at offset " + std::to_string(offset) +
                            " where a record must begin");
          EndStreamLocked(false);
          parse_ = Parse::kDiscard;
          return;
        }
        break;
      case Parse::kAddress:
      case Parse::kLength:
        runningSum_ += byte;
        field_ = field_ << 8 | byte;
        if (--countdown_ != 0) break;
        if (parse_ == Parse::kAddress) {
          address_ = field_;
          field_ = 0;
          countdown_ = 4;
          parse_ = Parse::kLength;
          break;
        }
        if (field_ == 0) {
          StreamErrorLocked("a data record of length 0 at offset " + std::to_string(offset - 8));
          EndStreamLocked(false);
          parse_ = Parse::kDiscard;
          return;
        }
        if (target && !streamBad_) {
          const uint64_t end = uint64_t{address_} + field_;
          if (address_ < target->range.base || end > target->range.top) {
            StreamErrorLocked("a record of " + std::to_string(field_) + " bytes at " +
                              Hex(address_, 8) + " lies outside its memory (" +
                              Hex(target->range.base, 8) + " to " + Hex(target->range.top, 8) +
                              ")");
          }
        }
        countdown_ = field_;
        parse_ = Parse::kData;
        break;
      case Parse::kSum:
        field_ = field_ << 8 | byte;
        if (--countdown_ == 0) {
          if (field_ != runningSum_ && !streamBad_) {
            StreamErrorLocked("the sum record says " + Hex(field_, 8) + ", the records sum to " +
                              Hex(runningSum_, 8));
          }
          parse_ = Parse::kEnd;
        }
        break;
      case Parse::kEnd:
        if (byte != 'E') {
          StreamErrorLocked("byte " + Hex(byte, 2) + " at offset " + std::to_string(offset) +
                            " where the end mark must follow the sum record");
          EndStreamLocked(false);
          parse_ = Parse::kDiscard;
          return;
        }
        streamEnded_ = true;
        endOffset_ = i;
        return;  // what follows in this write is padding
      case Parse::kData:
      case Parse::kDiscard:
        return;
    }
  }
}

void SimPrinter::EndStreamLocked(bool accepted) {
  if (streamDecided_) return;
  streamDecided_ = true;
  if (storing_) {
    streamTarget_->outcome = accepted ? StreamOutcome::kAccepted : StreamOutcome::kRejected;
    streamTarget_->touched = true;
    if (!accepted) streamTarget_->Erase();
  }
  storing_ = false;
}

void SimPrinter::FinishTransferLocked() {
  EndStreamLocked(false);  // a stream not decided by now did not end: it does not take
  inStream_ = false;
  streamTarget_ = nullptr;
  currentBlock_ = 0;
}

bool SimPrinter::ReplyReady() const {
  std::lock_guard lock(mutex_);
  return replyPending_ && clock_.TickCount() - replyAskedAt_ >= replyDelay_;
}

bool SimPrinter::Read(const uint32_t* connection, uint8_t* buffer, uint32_t length, uint32_t& done,
                      bool whenReady) {
  done = 0;
  std::vector<uint8_t> reply;
  uint32_t deliver = 0;
  uint32_t delay = 0;
  bool ok = false;
  {
    std::lock_guard lock(mutex_);
    const bool reaches =
        PresentLocked() && (!connection || *connection == connection_) && (buffer || length == 0);
    if (reaches) {
      ++reads_;
      const uint32_t waited = clock_.TickCount() - replyAskedAt_;
      if (!replyPending_) {
        ViolateLocked(ViolationKind::kReadNothing,
                      "a read of " + std::to_string(length) + " bytes with no request to answer");
      } else if (!whenReady && waited < replyDelay_) {
        ViolateLocked(ViolationKind::kReadEarly,
                      "a read " + std::to_string(waited) +
                          " ms after the version request; the reply is ready after " +
                          std::to_string(replyDelay_) + " ms");
      } else {
        reply.assign(reply_.begin() + static_cast<std::ptrdiff_t>(replyOffset_), reply_.end());
        const uint32_t size = static_cast<uint32_t>(reply.size());
        ok = true;
        deliver = std::min(length, size);
        uint32_t corruptAt = UINT32_MAX;
        const Fault* fault = MatchFaultLocked(Fault::Direction::kRead, reply.data(), size);
        ApplyFault(fault, ok, deliver, delay, corruptAt);
        if (corruptAt < reply.size()) reply[corruptAt] ^= 0xFF;
        if (length < size) {
          ViolateLocked(ViolationKind::kShortRead,
                        "a read of " + std::to_string(length) + " bytes for a reply of " +
                            std::to_string(size) + "; the rest stays in the pipe");
        }
        // The rest of a reply that the host asked too little of stays for the next read; a
        // reply that a fault cut or lost is gone.
        const bool faulted = fault && (fault->effect == Fault::Effect::kFail ||
                                       fault->effect == Fault::Effect::kShort);
        if (length < size && !faulted) {
          replyOffset_ += deliver;
        } else {
          reply_.clear();
          replyOffset_ = 0;
          replyPending_ = false;
        }
      }
    }
  }
  if (delay) clock_.Sleep(delay);
  if (deliver) std::memcpy(buffer, reply.data(), deliver);
  done = deliver;
  RecordTransfer('R', length, done, ok, reply.data());
  return ok;
}

bool SimPrinter::IsPresent() {
  std::lock_guard lock(mutex_);
  return PresentLocked();
}

uint32_t SimPrinter::Connection() const {
  std::lock_guard lock(mutex_);
  return connection_;
}

uint32_t SimPrinter::Reenumerations() const {
  std::lock_guard lock(mutex_);
  return reenumerations_;
}

Mode SimPrinter::CurrentMode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

ReportedVersions SimPrinter::Versions() const {
  std::lock_guard lock(mutex_);
  return VersionsLocked();
}

StreamOutcome SimPrinter::LastStream(char type) const {
  std::lock_guard lock(mutex_);
  const Region* region = FindRegionLocked(type);
  return region ? region->outcome : StreamOutcome::kNone;
}

std::vector<uint8_t> SimPrinter::ReadMemory(uint32_t address, uint32_t length) const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> bytes(length, 0xFF);
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t at = address + i;
    for (const auto& region : regions_) {
      if (region->Contains(at)) bytes[i] = region->bytes[at - region->range.base];
    }
  }
  return bytes;
}

uint16_t SimPrinter::WordSum(char type) const {
  std::lock_guard lock(mutex_);
  const Region* region = FindRegionLocked(type);
  if (!region) return 0;
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < region->bytes.size(); i += 2) {
    sum += static_cast<uint32_t>(region->bytes[i] << 8 | region->bytes[i + 1]);
  }
  return static_cast<uint16_t>(sum);
}

uint32_t SimPrinter::WriteCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

uint32_t SimPrinter::ReadCount() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

std::vector<Violation> SimPrinter::Violations() const {
  std::lock_guard lock(mutex_);
  return violations_;
}

void SimPrinter::SetConfig(const PrinterConfig& config) {
  std::lock_guard lock(mutex_);
  if (config.bytesPerSecond != config_.bytesPerSecond) bytesTimed_ = msSlept_ = 0;
  config_ = config;
  faultFired_.assign(config_.faults.size(), false);
}

PrinterConfig SimPrinter::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

bool SimPrinter::PresentLocked() {
  if (!offBus_) return true;
  if (!config_.reappears) return false;
  if (clock_.TickCount() - droppedAt_ < config_.reenumerationMs) return false;
  offBus_ = false;
  return true;
}

bool SimPrinter::EraseRunningLocked(const Region& region) const {
  return region.erased && clock_.TickCount() - region.erasedAt < config_.eraseMs;
}

void SimPrinter::ExecuteCommandLocked(const uint8_t* c) {
  static constexpr uint8_t kEnter[] = {kEsc, 'f', 'g', 0};
  static constexpr uint8_t kLeave[] = {kEsc, 'f', 'r', 0};
  static constexpr uint8_t kVersion[] = {kEsc, 'V', '#', 0};
  static constexpr uint8_t kWake[] = {kEsc, 'E', 'W', 'U'};
  const char type = static_cast<char>(c[3]);
  const bool eraseOrTransfer = c[0] == kEsc && c[1] == 'f' && (c[2] == 'e' || c[2] == 't');
  if (std::memcmp(c, kEnter, 4) == 0 || std::memcmp(c, kLeave, 4) == 0) {
    mode_ = c[2] == 'g' ? Mode::kDownload : Mode::kNormal;
    DropOffBusLocked();
  } else if (eraseOrTransfer && !FindRegionLocked(type)) {
    ViolateLocked(ViolationKind::kUnknownCommand, std::string(c[2] == 'e' ? "erase" : "transfer") +
                                                      " command for " + TypeName(type) +
                                                      ", which names no memory");
    if (c[2] == 't') StartTransferLocked(type);
  } else if (eraseOrTransfer && mode_ != Mode::kDownload) {
    ViolateLocked(ViolationKind::kNotInDownloadMode,
                  std::string(c[2] == 'e' ? "erase" : "transfer") + " command for " +
                      TypeName(type) + " in normal mode");
    if (c[2] == 't') StartTransferLocked(type);
  } else if (eraseOrTransfer && c[2] == 'e') {
    Region* region = FindRegionLocked(type);
    region->Erase();
    region->erased = true;
    region->erasedAt = clock_.TickCount();
  } else if (eraseOrTransfer) {
    StartTransferLocked(type);
  } else if (std::memcmp(c, kVersion, 4) == 0) {
    reply_ = VersionReplyLocked();
    replyOffset_ = 0;
    replyPending_ = true;
    replyAskedAt_ = clock_.TickCount();
    replyDelay_ = config_.versionReplyMs;
  } else if (c[0] == kEsc && c[1] == 'V' && c[2] == '2' && type >= '0' && type <= '2') {
    reply_ = StatusReplyLocked(type);
    replyOffset_ = 0;
    replyPending_ = true;
    replyAskedAt_ = clock_.TickCount();
    replyDelay_ = 0;
  } else if (std::memcmp(c, kWake, 4) == 0) {
    woken_ = true;
    wokenAt_ = clock_.TickCount();
  } else {
    ViolateLocked(ViolationKind::kUnknownCommand,
                  "the 4 bytes " + HexBytes(c, 4) + " are no command of this printer");
  }
}

// The transfer command: the writes that follow are its record stream, which the printer reads
// in any case and stores only when the type's memory is ready for it.
void SimPrinter::StartTransferLocked(char type) {
  Region* region = FindRegionLocked(type);
  inStream_ = true;
  streamTarget_ = region;
  storing_ = false;
  streamDecided_ = false;
  streamBad_ = false;
  streamEnded_ = false;
  streamOffset_ = 0;
  runningSum_ = 0;
  blockNumber_ = 0;
  transferType_ = type;
  parse_ = Parse::kKind;
  if (!region || mode_ != Mode::kDownload) return;  // recorded by the caller
  // Each erase lets one transfer of its type follow, once it is done.
  const bool erased = region->erased;
  const bool running = EraseRunningLocked(*region);
  const uint32_t since = clock_.TickCount() - region->erasedAt;
  region->erased = false;
  region->outcome = StreamOutcome::kRejected;
  if (!erased) {
    ViolateLocked(ViolationKind::kNoErase, "transfer of " + TypeName(type) +
                                               " with no erase of it since download mode was "
                                               "entered or since its last transfer");
  } else if (running) {
    ViolateLocked(ViolationKind::kEraseRunning, "transfer of " + TypeName(type) + " " +
                                                    std::to_string(since) +
                                                    " ms after its erase, which takes " +
                                                    std::to_string(config_.eraseMs) + " ms");
  } else if (config_.refusedTransfers.find(type) == std::string::npos) {
    storing_ = true;
    region->outcome = StreamOutcome::kReceiving;
  }
}

void SimPrinter::DropOffBusLocked() {
  offBus_ = true;
  droppedAt_ = clock_.TickCount();
  ++connection_;
  ++reenumerations_;
  replyPending_ = false;
  reply_.clear();
  replyOffset_ = 0;
  // The printer starts afresh in its new mode: an erase before the switch counts no more.
  for (auto& region : regions_) region->erased = false;
  disturbed_ = false;
}

SimPrinter::Region* SimPrinter::FindRegionLocked(char type) {
  for (auto& region : regions_) {
    if (region->range.type == type) return region.get();
  }
  return nullptr;
}

const SimPrinter::Region* SimPrinter::FindRegionLocked(char type) const {
  for (const auto& region : regions_) {
    if (region->range.type == type) return region.get();
  }
  return nullptr;
}

ReportedVersions SimPrinter::VersionsLocked() const {
  ReportedVersions v;
  auto sum = [](const Region& region) {
    uint32_t total = 0;
    for (size_t i = 0; i + 1 < region.bytes.size(); i += 2) {
      total += static_cast<uint32_t>(region.bytes[i] << 8 | region.bytes[i + 1]);
    }
    return static_cast<uint16_t>(total);
  };
  auto text = [](const Region& region, size_t offset, size_t width) {
    return std::string(region.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                       region.bytes.begin() + static_cast<std::ptrdiff_t>(offset + width));
  };
  const Region& p = *FindRegionLocked('p');
  const Region& t = *FindRegionLocked('t');
  const Region& f = *FindRegionLocked('f');
  v.data1 = p.touched ? text(p, 0, 6) : FixedText(config_.data1Version, 6);
  v.data1CheckSum = p.touched ? sum(p) : config_.data1CheckSum;
  v.data2 = t.touched ? text(t, t.bytes.size() - 16, 6) : FixedText(config_.data2Version, 6);
  v.data2CheckSum = t.touched ? sum(t) : config_.data2CheckSum;
  v.data3 = f.touched ? text(f, 3, 3) : FixedText(config_.data3Version, 3);
  v.data3CheckSum = f.touched ? sum(f) : config_.data3CheckSum;
  return v;
}

std::vector<uint8_t> SimPrinter::VersionReplyLocked() const {
  const ReportedVersions v = VersionsLocked();
  std::vector<uint8_t> reply(48, ' ');
  reply[0] = '#';
  reply[1] = '.';
  reply[2] = config_.badVersionHeader ? '0' : 0x00;
  reply[3] = 0x04;  // model number, not examined by the host
  reply[4] = 0x70;
  reply[5] = 0x00;
  PutText(reply, 6, v.data1);
  PutText(reply, 12, v.data2);
  PutText(reply, 30, v.data3);
  PutWord(reply, 36, v.data1CheckSum);
  PutWord(reply, 38, v.data2CheckSum);
  std::fill(reply.begin() + 40, reply.begin() + 44, uint8_t{0});
  PutWord(reply, 44, v.data3CheckSum);
  reply[46] = reply[47] = 0x00;
  return reply;
}

bool SimPrinter::BusyLocked() const {
  if (config_.staysBusy) return true;
  if (std::any_of(regions_.begin(), regions_.end(),
                  [this](const auto& region) { return EraseRunningLocked(*region); })) {
    return true;
  }
  if (!woken_) return config_.asleepUntilWake;
  return clock_.TickCount() - wokenAt_ < config_.busyMs;
}

std::vector<uint8_t> SimPrinter::StatusReplyLocked(char statusType) const {
  std::vector<uint8_t> reply(statusType == '0' ? 256 : 192, 0x00);
  reply[0] = 0xE4;
  reply[1] = 'V';
  reply[2] = '2';
  reply[3] =
      static_cast<uint8_t>(config_.wrongStatusType ? (statusType == '0' ? '1' : '0') : statusType);
  // Common block: state bytes, model name, unit configuration.
  const bool asleep = !woken_ && config_.asleepUntilWake;
  reply[4] = asleep ? 'S' : mode_ == Mode::kDownload ? 'D' : 'N';
  reply[5] = BusyLocked() ? '@' : 0x00;
  PutText(reply, 8, "ZMR470");
  reply[32] = 0x01;
  reply[33] = config_.secondUnit ? 0x80 : 0x00;
  // Unit blocks: bytes 0-1 jobs in progress, byte 2 present, byte 3 error code, byte 4 media level.
  auto unit = [&](size_t offset, bool printing, bool error) {
    reply[offset + 0] = 0x00;
    reply[offset + 1] = printing ? 0x01 : 0x00;
    reply[offset + 2] = 0x01;
    reply[offset + 3] = error ? 0x21 : 0x00;
    reply[offset + 4] = 0x64;
  };
  if (statusType == '0' || statusType == '1') unit(128, config_.unit1Printing, config_.unit1Error);
  if (statusType == '0') unit(192, config_.unit2Printing, config_.unit2Error);
  if (statusType == '2') unit(128, config_.unit2Printing, config_.unit2Error);
  reply.resize(reply.size() - std::min<size_t>(config_.statusShortBy, reply.size()));
  return reply;
}

const Fault* SimPrinter::MatchFaultLocked(Fault::Direction direction, const uint8_t* bytes,
                                          uint32_t length) {
  for (size_t i = 0; i < config_.faults.size(); ++i) {
    const Fault& fault = config_.faults[i];
    if (fault.direction != direction || (!fault.repeat && faultFired_[i])) continue;
    bool hit = false;
    switch (fault.match) {
      case Fault::Match::kNth: {
        const uint32_t count = direction == Fault::Direction::kWrite ? writes_ : reads_;
        hit = fault.repeat ? count >= fault.nth : count == fault.nth;
        break;
      }
      case Fault::Match::kPrefix:
        hit = length >= fault.prefix.size() &&
              std::equal(fault.prefix.begin(), fault.prefix.end(), bytes);
        break;
      case Fault::Match::kBlock:
        hit = direction == Fault::Direction::kWrite && currentBlock_ != 0 &&
              transferType_ == fault.dataType &&
              (fault.repeat ? currentBlock_ >= fault.nth : currentBlock_ == fault.nth);
        break;
    }
    if (hit) {
      faultFired_[i] = true;
      return &fault;
    }
  }
  return nullptr;
}

uint32_t SimPrinter::SpeedDelayLocked(uint32_t length) {
  if (config_.bytesPerSecond == 0) return 0;
  // Whole milliseconds, with the remainder carried to the next write.
  bytesTimed_ += length;
  const uint64_t due = bytesTimed_ * 1000 / config_.bytesPerSecond;
  const uint32_t delay = static_cast<uint32_t>(due - msSlept_);
  msSlept_ = due;
  return delay;
}

}  // namespace zmr::sim
