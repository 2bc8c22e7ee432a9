// SPDX-License-Identifier: MIT
#include "sim/sim_trace.h"

#include <algorithm>

#include "driver_api/trace_format.h"

namespace zmr::sim {
namespace {

thread_local std::optional<uint32_t> t_transferStart;

}  // namespace

TransferStart::TransferStart(uint32_t tick) : previous_(t_transferStart) {
  t_transferStart = tick;
}

TransferStart::~TransferStart() {
  t_transferStart = previous_;
}

std::optional<uint32_t> TransferStart::Current() {
  return t_transferStart;
}

Trace::~Trace() {
  if (file_) std::fclose(file_);
}

void Trace::Reset() {
  std::lock_guard lock(mutex_);
  memory_ = allBytes_ = fileAllBytes_ = false;
  entries_.clear();
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void Trace::EnableMemory(bool allBytes) {
  std::lock_guard lock(mutex_);
  memory_ = true;
  allBytes_ = allBytes;
}

bool Trace::OpenFile(const std::string& path, uint32_t startTick, bool allBytes) {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "ae");
  startTick_ = startTick;
  fileAllBytes_ = allBytes;
  return file_ != nullptr;
}

bool Trace::Active() const {
  std::lock_guard lock(mutex_);
  return memory_ || file_;
}

void Trace::Record(TraceEntry entry, const uint8_t* moved) {
  std::lock_guard lock(mutex_);
  if (!memory_ && !file_) return;
  if (entry.tookMs == 0) {
    if (const std::optional<uint32_t> start = TransferStart::Current()) {
      entry.tookMs = entry.tick - *start;
    }
  }
  const bool all = (memory_ && allBytes_) || (file_ && fileAllBytes_);
  const uint32_t keep = all ? entry.done : std::min<uint32_t>(entry.done, 16);
  if (moved) entry.bytes.assign(moved, moved + keep);
  if (file_) {
    std::string line;
    if (fileAllBytes_) {
      // A recording: a write shows what the host offered, whether or not all of it went.
      const bool write = entry.direction == 'W';
      trace::TransferLine t;
      t.ms = entry.tick - startTick_;
      t.write = write;
      t.length = entry.length;
      t.done = entry.done;
      t.ok = entry.ok;
      t.bytes = moved;
      t.byteCount = moved ? (write ? entry.length : entry.done) : 0;
      t.full = true;
      t.tookMs = entry.tookMs;
      line = trace::FormatTransfer(t);
    } else {
      line = FormatTraceLine(entry, startTick_, false);
    }
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
  }
  if (memory_) {
    if (!allBytes_ && entry.bytes.size() > 16) entry.bytes.resize(16);
    entries_.push_back(std::move(entry));
  }
}

void Trace::RecordViolation(const Violation& violation) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::fprintf(file_, "%s\n", FormatViolationLine(violation, startTick_).c_str());
  std::fflush(file_);
}

void Trace::RecordLine(uint32_t tick, const std::string& line, bool recordingOnly) {
  std::lock_guard lock(mutex_);
  if (!file_ || (recordingOnly && !fileAllBytes_)) return;
  std::fprintf(file_, "%s\n", trace::Stamped(tick - startTick_, line).c_str());
  std::fflush(file_);
}

void Trace::RecordComment(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::fprintf(file_, "# %s\n", text.c_str());
  std::fflush(file_);
}

bool Trace::HasFile() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

std::vector<TraceEntry> Trace::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void Trace::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string FormatTraceLine(const TraceEntry& entry, uint32_t startTick, bool allBytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string line = std::to_string(entry.tick - startTick) + ' ' + entry.direction + ' ' +
                     entry.Pipe() + ' ' + std::to_string(entry.length) + ' ';
  const size_t shown = allBytes ? entry.bytes.size() : std::min<size_t>(entry.bytes.size(), 16);
  if (shown == 0) line += '-';
  line.reserve(line.size() + 2 * shown + 16);
  for (size_t i = 0; i < shown; ++i) {
    line += kHex[entry.bytes[i] >> 4];
    line += kHex[entry.bytes[i] & 0x0F];
  }
  if (entry.done > shown) line += "...";
  if (!entry.ok) {
    line += " failed";
  } else if (entry.done != entry.length) {
    line += " short " + std::to_string(entry.done);
  }
  return line;
}

std::string FormatViolationLine(const Violation& violation, uint32_t startTick) {
  return std::to_string(violation.tick - startTick) + " VIOLATION " + Describe(violation);
}

}  // namespace zmr::sim
