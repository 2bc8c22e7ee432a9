// SPDX-License-Identifier: MIT
#include "sim/sim_printer.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_reason_text.h"

namespace zmr::sim {
namespace {

constexpr uint8_t kEsc = 0x1B;

// The four bytes of a command the printer knows. A lone write of one of these is a command of
// its own on the bus, even in the middle of an image transfer.
bool IsCommand(const uint8_t* b) {
  if (b[0] != kEsc) return false;
  if (b[1] == 'f') return b[2] == 'g' || b[2] == 'r' || b[2] == 'e' || b[2] == 't';
  if (b[1] == 'V') return b[2] == '#' || b[2] == '2';
  return b[1] == 'E' && b[2] == 'W' && b[3] == 'U';
}

}  // namespace

SimPrinter::SimPrinter(const PrinterConfig& config, Clock& clock, Trace* trace, int number)
    : config_(config),
      clock_(clock),
      trace_(trace),
      number_(number),
      stream_([this](ViolationKind kind, std::string reason) {
        ViolateLocked(kind, std::move(reason));
      }) {
  faultFired_.assign(config_.faults.size(), false);
  if (!config_.erasedInDownloadMode.empty()) StartLeftInDownloadMode();
}

void SimPrinter::StartLeftInDownloadMode() {
  mode_ = Mode::kDownload;
  // Awake and idle: the wake command and any busy time lie in the past.
  woken_ = true;
  wokenAt_ = clock_.TickCount() - config_.busyMs;
  for (const char type : config_.erasedInDownloadMode) {
    if (TypeMemory* memory = memory_.Find(type)) memory->Blank();
  }
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
  if (!PresentLocked() || connection != connection_ || !reply_.Pending()) return 0;
  return reply_.RestLength();
}

bool SimPrinter::HostReadForPipe(uint32_t connection, uint8_t* buffer, uint32_t length,
                                 uint32_t& done) {
  return Read(&connection, buffer, length, done, true);
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
  FaultEffect effect{false, 0};
  bool reaches = false;
  {
    std::lock_guard lock(mutex_);
    reaches =
        PresentLocked() && (!connection || *connection == connection_) && (data || length == 0);
    if (reaches) {
      ++writes_;
      // A command written on its own ends an unfinished transfer; every other write after the
      // transfer command is a block of it.
      const bool endsStream = stream_.Active() && length == 4 && IsCommand(data);
      block_ = stream_.Active() && !endsStream ? stream_.NextBlock() : 0;
      effect = EffectOf(StrikingFaultLocked(Fault::Direction::kWrite, data, length), length);
      effect.delayMs += SpeedDelayLocked(effect.moved);
    }
  }
  if (effect.delayMs) clock_.Sleep(effect.delayMs);
  const uint32_t deliver = effect.moved;
  if (reaches) {
    std::lock_guard lock(mutex_);
    if (effect.invertedAt < deliver) {
      std::vector<uint8_t> changed(data, data + deliver);
      changed[effect.invertedAt] = static_cast<uint8_t>(~changed[effect.invertedAt]);
      disturbed_ = true;
      TakeWriteLocked(data, changed.data(), length, deliver);
    } else {
      TakeWriteLocked(data, data, length, deliver);
    }
  }
  done = deliver;
  RecordTransfer('W', length, done, effect.ok, data);
  return effect.ok;
}

void SimPrinter::TakeWriteLocked(const uint8_t* hostBytes, const uint8_t* bytes, uint32_t length,
                                 uint32_t delivered) {
  if (length == 0) return;
  if (stream_.Active() && !(length == 4 && IsCommand(hostBytes))) {
    stream_.Take(bytes, length, delivered, block_);
    return;
  }
  // The host gave up on the transfer and sends a command: the image does not take.
  stream_.Finish();
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

bool SimPrinter::ReplyReady() const {
  std::lock_guard lock(mutex_);
  return reply_.Ready(clock_.TickCount());
}

bool SimPrinter::Read(const uint32_t* connection, uint8_t* buffer, uint32_t length, uint32_t& done,
                      bool whenReady) {
  done = 0;
  std::vector<uint8_t> reply;
  FaultEffect effect{false, 0};
  {
    std::lock_guard lock(mutex_);
    const bool reaches =
        PresentLocked() && (!connection || *connection == connection_) && (buffer || length == 0);
    if (reaches) {
      ++reads_;
      const uint32_t waited = reply_.Waited(clock_.TickCount());
      if (!reply_.Pending()) {
        ViolateLocked(ViolationKind::kReadNothing,
                      "a read of " + std::to_string(length) + " bytes with no request to answer");
      } else if (!whenReady && waited < reply_.DelayMs()) {
        ViolateLocked(ViolationKind::kReadEarly,
                      "a read " + std::to_string(waited) +
                          " ms after the version request; the reply is ready after " +
                          std::to_string(reply_.DelayMs()) + " ms");
      } else {
        reply = reply_.Rest();
        const uint32_t size = static_cast<uint32_t>(reply.size());
        const Fault* fault = StrikingFaultLocked(Fault::Direction::kRead, reply.data(), size);
        effect = EffectOf(fault, std::min(length, size));
        if (effect.invertedAt < reply.size()) reply[effect.invertedAt] ^= 0xFF;
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
          reply_.Consume(effect.moved);
        } else {
          reply_.Drop();
        }
      }
    }
  }
  if (effect.delayMs) clock_.Sleep(effect.delayMs);
  if (effect.moved) std::memcpy(buffer, reply.data(), effect.moved);
  done = effect.moved;
  RecordTransfer('R', length, done, effect.ok, reply.data());
  return effect.ok;
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
  return memory_.Versions(config_);
}

StreamOutcome SimPrinter::LastStream(char type) const {
  std::lock_guard lock(mutex_);
  const TypeMemory* memory = memory_.Find(type);
  return memory ? memory->outcome : StreamOutcome::kNone;
}

std::vector<uint8_t> SimPrinter::ReadMemory(uint32_t address, uint32_t length) const {
  std::lock_guard lock(mutex_);
  return memory_.Read(address, length);
}

uint16_t SimPrinter::WordSum(char type) const {
  std::lock_guard lock(mutex_);
  return memory_.WordSum(type);
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
  } else if (eraseOrTransfer && !memory_.Find(type)) {
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
    memory_.Find(type)->StartErase(clock_.TickCount());
  } else if (eraseOrTransfer) {
    StartTransferLocked(type);
  } else if (std::memcmp(c, kVersion, 4) == 0) {
    reply_.Post(VersionReply(memory_.Versions(config_), config_.badVersionHeader),
                clock_.TickCount(), config_.versionReplyMs);
  } else if (c[0] == kEsc && c[1] == 'V' && c[2] == '2' && type >= '0' && type <= '2') {
    StatusState state;
    state.asleep = !woken_ && config_.asleepUntilWake;
    state.downloadMode = mode_ == Mode::kDownload;
    state.busy = BusyLocked();
    reply_.Post(StatusReply(type, state, config_), clock_.TickCount(), 0);
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
  stream_.Start(type, memory_.Find(type), mode_ == Mode::kDownload, clock_.TickCount(), config_);
}

void SimPrinter::DropOffBusLocked() {
  offBus_ = true;
  droppedAt_ = clock_.TickCount();
  ++connection_;
  ++reenumerations_;
  reply_.Drop();
  // The printer starts afresh in its new mode: an erase before the switch counts no more.
  memory_.ForgetErases();
  disturbed_ = false;
}

bool SimPrinter::BusyLocked() const {
  if (config_.staysBusy) return true;
  if (memory_.AnyEraseRunning(clock_.TickCount(), config_.eraseMs)) return true;
  if (!woken_) return config_.asleepUntilWake;
  return clock_.TickCount() - wokenAt_ < config_.busyMs;
}

const Fault* SimPrinter::StrikingFaultLocked(Fault::Direction direction, const uint8_t* bytes,
                                             uint32_t length) {
  FaultTarget target;
  target.direction = direction;
  target.number = direction == Fault::Direction::kWrite ? writes_ : reads_;
  target.bytes = bytes;
  target.length = length;
  target.block = block_;
  target.dataType = stream_.Type();
  return FindStrikingFault(config_.faults, faultFired_, target);
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
