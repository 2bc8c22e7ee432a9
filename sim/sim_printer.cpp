#include "sim/sim_printer.h"

#include <algorithm>
#include <cstring>

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
  trace_->Record(std::move(entry), bytes);
}

bool SimPrinter::Write(const uint32_t* connection, const uint8_t* data, uint32_t length,
                       uint32_t& done) {
  done = 0;
  uint32_t deliver = 0;
  uint32_t delay = 0;
  uint32_t corruptAt = UINT32_MAX;
  bool ok = false;
  {
    std::lock_guard lock(mutex_);
    const bool reaches =
        PresentLocked() && (!connection || *connection == connection_) && (data || length == 0);
    if (reaches) {
      ++writes_;
      const bool inStream = parse_ != Parse::kCommand && parse_ != Parse::kPadding;
      if (inStream && length == 4 && IsCommand(data)) {
        // The host gave up on the transfer and sends a command: the image does not take.
        if (parse_ != Parse::kDiscard) EndStreamLocked(false);
        parse_ = Parse::kCommand;
        commandFill_ = 0;
        currentBlock_ = 0;
        transferActive_ = false;
      } else {
        // Every write after the transfer command is a block of it, up to the next command.
        const bool startsCommand = !inStream && length > 0 && data[0] == kEsc;
        if (startsCommand) transferActive_ = false;
        currentBlock_ = transferActive_ ? ++blockNumber_ : 0;
      }
      ok = true;
      deliver = length;
      ApplyFault(MatchFaultLocked(Fault::Direction::kWrite, data, length), ok, deliver, delay,
                 corruptAt);
      delay += SpeedDelayLocked(deliver);
    }
  }
  if (delay) clock_.Sleep(delay);
  {
    std::lock_guard lock(mutex_);
    if (corruptAt < deliver) {
      std::vector<uint8_t> changed(data, data + deliver);
      changed[corruptAt] = static_cast<uint8_t>(~changed[corruptAt]);
      DeliverLocked(changed.data(), deliver);
    } else if (deliver) {
      DeliverLocked(data, deliver);
    }
  }
  done = deliver;
  RecordTransfer('W', length, done, ok, data);
  return ok;
}

uint32_t SimPrinter::PendingReplyLength(uint32_t connection) {
  std::lock_guard lock(mutex_);
  if (!PresentLocked() || connection != connection_ || !replyPending_) return 0;
  return static_cast<uint32_t>(reply_.size());
}

bool SimPrinter::Read(const uint32_t* connection, uint8_t* buffer, uint32_t length,
                      uint32_t& done) {
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
      if (replyPending_) {
        reply = std::move(reply_);
        reply_.clear();
        replyPending_ = false;
        ok = true;
        deliver = std::min<uint32_t>(length, static_cast<uint32_t>(reply.size()));
        uint32_t corruptAt = UINT32_MAX;
        ApplyFault(MatchFaultLocked(Fault::Direction::kRead, reply.data(),
                                    static_cast<uint32_t>(reply.size())),
                   ok, deliver, delay, corruptAt);
        if (corruptAt < reply.size()) reply[corruptAt] ^= 0xFF;
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

void SimPrinter::DeliverLocked(const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) {
    // Data bytes are the bulk of an image: store a run of them at once.
    if (parse_ == Parse::kData) {
      const uint32_t run = std::min(countdown_, length - i);
      for (uint32_t k = 0; k < run; ++k) runningSum_ += data[i + k];
      if (streamRegion_) {
        for (uint32_t k = 0; k < run; ++k) {
          const uint32_t at = address_ + k;
          if (streamRegion_->Contains(at))
            streamRegion_->bytes[at - streamRegion_->range.base] = data[i + k];
        }
      }
      address_ += run;
      countdown_ -= run;
      if (countdown_ == 0) parse_ = Parse::kKind;
      i += run - 1;
      continue;
    }
    ParseByteLocked(data[i]);
  }
}

void SimPrinter::ParseByteLocked(uint8_t byte) {
  switch (parse_) {
    case Parse::kCommand:
    case Parse::kPadding:
      if (commandFill_ == 0 && byte != kEsc) return;  // zero padding and stray bytes
      command_[commandFill_++] = byte;
      if (commandFill_ == 4) {
        commandFill_ = 0;
        parse_ = Parse::kCommand;
        ExecuteCommandLocked(command_);
      }
      return;
    case Parse::kDiscard:
      return;  // a broken stream: wait for the next command written on its own
    case Parse::kKind:
      if (byte == 'P' || byte == 'S') {
        parse_ = byte == 'P' ? Parse::kAddress : Parse::kSum;
        countdown_ = 4;
        field_ = 0;
      } else {
        EndStreamLocked(false);
        parse_ = Parse::kDiscard;
      }
      return;
    case Parse::kAddress:
    case Parse::kLength:
      runningSum_ += byte;
      field_ = field_ << 8 | byte;
      if (--countdown_ != 0) return;
      if (parse_ == Parse::kAddress) {
        address_ = field_;
        field_ = 0;
        countdown_ = 4;
        parse_ = Parse::kLength;
        return;
      }
      if (field_ == 0) {
        EndStreamLocked(false);
        parse_ = Parse::kDiscard;
        return;
      }
      if (streamRegion_) {
        const uint64_t end = uint64_t{address_} + field_;
        if (address_ < streamRegion_->range.base || end > streamRegion_->range.top) {
          streamBad_ = true;
        }
      }
      countdown_ = field_;
      parse_ = Parse::kData;
      return;
    case Parse::kData:
      return;  // handled in runs by DeliverLocked
    case Parse::kSum:
      field_ = field_ << 8 | byte;
      if (--countdown_ == 0) {
        if (field_ != runningSum_) streamBad_ = true;
        parse_ = Parse::kEnd;
      }
      return;
    case Parse::kEnd:
      if (byte == 'E') {
        EndStreamLocked(!streamBad_);
        parse_ = Parse::kPadding;
      } else {
        EndStreamLocked(false);
        parse_ = Parse::kDiscard;
      }
      return;
  }
}

void SimPrinter::EndStreamLocked(bool accepted) {
  if (streamRegion_) {
    streamRegion_->outcome = accepted ? StreamOutcome::kAccepted : StreamOutcome::kRejected;
    streamRegion_->touched = true;
    if (!accepted) streamRegion_->Erase();
  }
  streamRegion_ = nullptr;
}

void SimPrinter::ExecuteCommandLocked(const uint8_t* c) {
  static constexpr uint8_t kEnter[] = {kEsc, 'f', 'g', 0};
  static constexpr uint8_t kLeave[] = {kEsc, 'f', 'r', 0};
  static constexpr uint8_t kVersion[] = {kEsc, 'V', '#', 0};
  static constexpr uint8_t kWake[] = {kEsc, 'E', 'W', 'U'};
  const char type = static_cast<char>(c[3]);
  if (std::memcmp(c, kEnter, 4) == 0 || std::memcmp(c, kLeave, 4) == 0) {
    mode_ = c[2] == 'g' ? Mode::kDownload : Mode::kNormal;
    DropOffBusLocked();
  } else if (c[1] == 'f' && c[2] == 'e') {
    Region* region = FindRegionLocked(type);
    if (mode_ == Mode::kDownload && region) region->Erase();
  } else if (c[1] == 'f' && c[2] == 't') {
    // The stream that follows is parsed in any case; it is stored only in download mode.
    Region* region = FindRegionLocked(type);
    streamRegion_ = mode_ == Mode::kDownload ? region : nullptr;
    if (streamRegion_) streamRegion_->outcome = StreamOutcome::kReceiving;
    streamBad_ = false;
    runningSum_ = 0;
    blockNumber_ = 0;
    transferActive_ = true;
    transferType_ = type;
    parse_ = Parse::kKind;
  } else if (std::memcmp(c, kVersion, 4) == 0) {
    reply_ = VersionReplyLocked();
    replyPending_ = true;
  } else if (c[1] == 'V' && c[2] == '2') {
    replyPending_ = type >= '0' && type <= '2';
    reply_ = replyPending_ ? StatusReplyLocked(type) : std::vector<uint8_t>{};
  } else if (std::memcmp(c, kWake, 4) == 0) {
    woken_ = true;
    wokenAt_ = clock_.TickCount();
  }
}

void SimPrinter::DropOffBusLocked() {
  offBus_ = true;
  droppedAt_ = clock_.TickCount();
  ++connection_;
  ++reenumerations_;
  replyPending_ = false;
  reply_.clear();
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
  return woken_ && clock_.TickCount() - wokenAt_ < config_.busyMs;
}

std::vector<uint8_t> SimPrinter::StatusReplyLocked(char statusType) const {
  std::vector<uint8_t> reply(statusType == '0' ? 256 : 192, 0x00);
  reply[0] = 0xE4;
  reply[1] = 'V';
  reply[2] = '2';
  reply[3] =
      static_cast<uint8_t>(config_.wrongStatusType ? (statusType == '0' ? '1' : '0') : statusType);
  // Common block: state bytes, model name, unit configuration.
  reply[4] = mode_ == Mode::kDownload ? 'D' : 'N';
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
