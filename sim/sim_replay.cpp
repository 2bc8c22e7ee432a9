// SPDX-License-Identifier: MIT
#include "sim/sim_replay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "sim/sim_bus.h"

namespace zmr::sim {
namespace {

// A transfer this much earlier than recorded, and by half its recorded gap, is one the tool made
// without a wait it made when the recording was made.
constexpr uint32_t kEarlyMs = 200;
constexpr size_t kShownBytes = 8;

std::string Describe(const uint8_t* bytes, size_t count, uint32_t length) {
  std::string text = std::to_string(length) + (length == 1 ? " byte" : " bytes");
  const size_t shown = std::min(count, kShownBytes);
  if (bytes != nullptr && shown > 0) {
    text += " " + trace::HexBytes(bytes, shown) + (count > shown ? "..." : "");
  }
  return text;
}

std::string Describe(const RecordedTransfer& t) {
  return Describe(t.bytes.data(), t.bytes.size(), t.length);
}

bool Same(const RecordedTransfer& t, const uint8_t* data, uint32_t length) {
  return t.direction == 'W' && t.length == length && t.bytes.size() == length &&
         (length == 0 || std::memcmp(t.bytes.data(), data, length) == 0);
}

bool ByPath(const RecordedCall& call) {
  return call.kind == RecordedCall::Kind::kOpenByPath;
}

bool IsOpen(const RecordedCall& call) {
  return call.kind == RecordedCall::Kind::kOpenByPath ||
         call.kind == RecordedCall::Kind::kOpenByIndex || call.kind == RecordedCall::Kind::kControl;
}

// What a lookup is, apart from when it was made: the answers of the recording are found by it.
std::string CallKey(const RecordedCall& call) {
  switch (call.kind) {
    case RecordedCall::Kind::kList:
      return "LIST";
    case RecordedCall::Kind::kDevice:
      return "DEVICE " + std::to_string(call.number);
    case RecordedCall::Kind::kOpenByPath:
      return "OPEN " + trace::EscapeText(call.pipe) + " path " + trace::EscapeText(call.path);
    case RecordedCall::Kind::kOpenByIndex:
      return "OPEN " + trace::EscapeText(call.pipe) + " index " + std::to_string(call.number);
    case RecordedCall::Kind::kControl:
      return "CONTROL " + std::to_string(call.number);
    case RecordedCall::Kind::kOffBus:
      break;
  }
  return {};
}

// A driver text handed out as the recording has it: at most the buffer, with its NUL when it
// fits.
void CopyText(const std::string& text, char* buffer) {
  const size_t n = std::min(text.size(), size_t{ZMR_DRIVER_TEXT_SIZE});
  std::memcpy(buffer, text.data(), n);
  if (n < ZMR_DRIVER_TEXT_SIZE) buffer[n] = '\0';
}

class CountedControl final : public driver_api::InertChannel {
 public:
  explicit CountedControl(std::atomic<size_t>& count) : count_(count) { ++count_; }
  ~CountedControl() override { --count_; }

 private:
  std::atomic<size_t>& count_;
};

#ifndef _WIN32
// The programs never tear the bus down: the replay that is current when the process ends says
// then what the tool left out. (Not on Windows, where other threads are gone at that point and
// may have left a lock taken.)
std::mutex g_exitMutex;
std::weak_ptr<ReplayBus> g_atExit;
struct FinishAtExit {
  ~FinishAtExit() {
    std::shared_ptr<ReplayBus> replay;
    {
      std::lock_guard lock(g_exitMutex);
      replay = g_atExit.lock();
    }
    if (replay) replay->Finish();
  }
} g_finishAtExit;
#endif

}  // namespace

// One pipe of the replayed printer. It holds the replay, which may outlive the bus's use of it.
class ReplayBus::Pipe final : public driver_api::Channel {
 public:
  Pipe(std::shared_ptr<ReplayBus> replay, bool out)
      : replay_(std::move(replay)), out_(out), count_(replay_->openHandles_) {
    ++count_;
  }
  ~Pipe() override { --count_; }

  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    return !out_ && replay_->Read(buffer, length, done, false);
  }
  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    return out_ && replay_->Write(buffer, length, done);
  }
  bool ReadsOnly() override { return !out_; }
  uint32_t ReplyLength() override { return out_ ? 0 : replay_->ReplyLength(); }
  bool ReadReply(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    return !out_ && replay_->Read(buffer, length, done, true);
  }

 private:
  std::shared_ptr<ReplayBus> replay_;
  bool out_;
  std::atomic<size_t>& count_;
};

ReplayBus::ReplayBus(Recording recording, Clock& clock, Trace* trace,
                     std::atomic<size_t>& openHandles)
    : recording_(std::move(recording)),
      clock_(clock),
      trace_(trace),
      openHandles_(openHandles),
      startTick_(clock.TickCount()) {
  Index();
}

ReplayBus::~ReplayBus() = default;

void ReplayBus::Index() {
  const auto& transfers = recording_.transfers;
  for (size_t i = 0; i < transfers.size(); ++i) {
    if (transfers[i].IsModeSwitch()) switches_.push_back(i);
  }
  for (size_t k = 0; k < switches_.size(); ++k) away_.push_back(AwayAfter(switches_[k], k + 1));
  // Each lookup belongs to the state the printer was in when it was made.
  for (const RecordedCall& call : recording_.calls) {
    if (call.kind == RecordedCall::Kind::kOffBus) continue;
    uint32_t generation = 0;
    while (generation < switches_.size() && transfers[switches_[generation]].line < call.line) {
      ++generation;
    }
    bool present = true;
    if (generation > 0) {
      const Away& away = away_[generation - 1];
      const uint32_t since = call.atMs - transfers[switches_[generation - 1]].atMs;
      present = !away.never && since >= away.ms;
    }
    answers_[StateKey(generation, present) + "|" + CallKey(call)].calls.push_back(&call);
  }
}

ReplayBus::Away ReplayBus::AwayAfter(size_t transfer, size_t nextSwitch) const {
  const auto& transfers = recording_.transfers;
  const RecordedTransfer& modeSwitch = transfers[transfer];
  const uint32_t nextTransferLine =
      transfer + 1 < transfers.size() ? transfers[transfer + 1].line : UINT32_MAX;
  const uint32_t endLine =
      nextSwitch < switches_.size() ? transfers[switches_[nextSwitch]].line : UINT32_MAX;
  // The simulated printer says how long it is away.
  for (const RecordedCall& call : recording_.calls) {
    if (call.line > modeSwitch.line && call.line < nextTransferLine &&
        call.kind == RecordedCall::Kind::kOffBus) {
      return {call.never, call.offMs};
    }
  }
  // A real printer does not: it was back by the first open that worked, and away at the last
  // one of the same kind that failed before it.
  const RecordedCall* back = nullptr;
  for (const RecordedCall& call : recording_.calls) {
    if (call.line > modeSwitch.line && call.line < endLine && IsOpen(call) && call.ok) {
      back = &call;
      break;
    }
  }
  if (!back) return {true, 0};
  uint32_t gone = modeSwitch.atMs;
  for (const RecordedCall& call : recording_.calls) {
    if (call.line > modeSwitch.line && call.line < back->line && IsOpen(call) && !call.ok &&
        ByPath(call) == ByPath(*back)) {
      gone = std::max(gone, call.atMs);
    }
  }
  const uint32_t backMs = std::max(back->atMs, gone);
  return {false, gone - modeSwitch.atMs + (backMs - gone + 1) / 2};
}

std::string ReplayBus::StateKey(uint32_t generation, bool present) const {
  return std::to_string(generation) + (present ? "+" : "-");
}

bool ReplayBus::Present() {
  std::lock_guard lock(mutex_);
  return PresentLocked();
}

bool ReplayBus::PresentLocked() {
  if (generation_ == 0) return true;
  const Away& away = away_[generation_ - 1];
  return !away.never && clock_.TickCount() - switchTick_ >= away.ms;
}

const RecordedCall* ReplayBus::Answer(const std::string& call) {
  const bool present = PresentLocked();
  if (auto it = answers_.find(StateKey(generation_, present) + "|" + call); it != answers_.end()) {
    Answers& answers = it->second;
    const size_t at = std::min(answers.asked++, answers.calls.size() - 1);
    return answers.calls[at];
  }
  // Borrowed from the nearest state that has one: the other side of the same switch first, then
  // earlier and later generations.
  const auto generations = static_cast<int64_t>(switches_.size());
  for (int64_t distance = 0; distance <= generations; ++distance) {
    for (const int64_t generation :
         {int64_t{generation_} - distance, int64_t{generation_} + distance}) {
      if (generation < 0 || generation > generations) continue;
      for (const bool state : {present, !present}) {
        if (distance == 0 && state == present) continue;
        const auto it =
            answers_.find(StateKey(static_cast<uint32_t>(generation), state) + "|" + call);
        if (it != answers_.end()) return it->second.calls.back();
      }
      if (distance == 0) break;
    }
  }
  return nullptr;
}

int ReplayBus::DeviceCount() {
  std::lock_guard lock(mutex_);
  const RecordedCall* answer = Answer("LIST");
  return answer ? answer->number : 0;
}

bool ReplayBus::DeviceInfo(int index, char* deviceId, char* devicePath) {
  if (index < 0 || !deviceId || !devicePath) return false;
  std::lock_guard lock(mutex_);
  const RecordedCall* answer = Answer("DEVICE " + std::to_string(index));
  if (!answer || !answer->ok) return false;
  CopyText(answer->id, deviceId);
  CopyText(answer->path, devicePath);
  return true;
}

driver_api::ChannelHandle ReplayBus::OpenPipe(const std::string& call, const char* pipeName) {
  const std::string pipe = pipeName ? std::string(pipeName, strnlen(pipeName, 16)) : std::string();
  if (pipe != "PIPE00" && pipe != "PIPE01") return driver_api::kInvalidHandle;
  {
    std::lock_guard lock(mutex_);
    if (!PresentLocked()) return driver_api::kInvalidHandle;
    const RecordedCall* answer = Answer(call);
    if (!answer || !answer->ok) return driver_api::kInvalidHandle;
  }
  // Registered without the lock: a pipe's server may ask for a reply meanwhile.
  return driver_api::RegisterChannel(std::make_unique<Pipe>(shared_from_this(), pipe == "PIPE00"));
}

driver_api::ChannelHandle ReplayBus::OpenByPath(const char* pipeName, const char* devicePath) {
  return OpenPipe("OPEN " + trace::EscapeText(pipeName, 16) + " path " +
                      trace::EscapeText(devicePath, ZMR_DRIVER_TEXT_SIZE),
                  pipeName);
}

driver_api::ChannelHandle ReplayBus::OpenByIndex(const char* pipeName, int index) {
  return OpenPipe("OPEN " + trace::EscapeText(pipeName, 16) + " index " + std::to_string(index),
                  pipeName);
}

driver_api::ChannelHandle ReplayBus::OpenControl(int index) {
  {
    std::lock_guard lock(mutex_);
    if (!PresentLocked()) return driver_api::kInvalidHandle;
    const RecordedCall* answer = Answer("CONTROL " + std::to_string(index));
    if (!answer || !answer->ok) return driver_api::kInvalidHandle;
  }
  return driver_api::RegisterChannel(std::make_unique<CountedControl>(openHandles_));
}

void ReplayBus::DivergeLocked(uint32_t transfer, std::string what) {
  Divergence divergence{clock_.TickCount(), transfer, std::move(what)};
  if (trace_ && trace_->HasFile()) {
    trace_->RecordLine(divergence.tick, "DIVERGE " + divergence.Text(), false);
  } else {
    std::fprintf(stderr, "ZMR470_SIM replay: DIVERGE %s\n", divergence.Text().c_str());
  }
  divergences_.push_back(std::move(divergence));
}

uint32_t ReplayBus::RecordedGap(size_t transfer) const {
  const RecordedTransfer& t = recording_.transfers[transfer];
  const uint32_t before = transfer > 0 ? recording_.transfers[transfer - 1].atMs : 0;
  return t.StartMs() > before ? t.StartMs() - before : 0;
}

bool ReplayBus::Early(uint32_t hostGap, uint32_t recordedGap) const {
  return recordedGap >= hostGap + kEarlyMs && hostGap < recordedGap / 2;
}

bool ReplayBus::Write(const uint8_t* data, uint32_t length, uint32_t& done) {
  done = 0;
  if (!data && length > 0) return false;
  bool ok = true;
  uint32_t moved = length;
  uint32_t took = 0;
  bool modeSwitch = false;
  {
    std::lock_guard lock(mutex_);
    const uint32_t now = clock_.TickCount();
    const auto& transfers = recording_.transfers;
    if constexpr (!kSeesReadsWhenMade) {
      // A read that got nothing never reaches a printer whose reads are made for the pipe.
      while (cursor_ < transfers.size() && transfers[cursor_].direction == 'R' &&
             (!transfers[cursor_].ok || transfers[cursor_].done == 0)) {
        ++cursor_;
      }
    }
    const auto number = static_cast<uint32_t>(cursor_ + 1);
    const RecordedTransfer* recorded = nullptr;
    if (cursor_ >= transfers.size()) {
      DivergeLocked(number, "a write of " + Describe(data, length, length) +
                                " after the end of the recording");
    } else if (transfers[cursor_].direction == 'R') {
      if (cursor_ + 1 < transfers.size() && Same(transfers[cursor_ + 1], data, length)) {
        DivergeLocked(number, "the read of " + std::to_string(transfers[cursor_].length) +
                                  " bytes recorded here was not made");
        recorded = &transfers[++cursor_];
      } else {
        DivergeLocked(number, "a write of " + Describe(data, length, length) +
                                  " where the recording has a read of " +
                                  std::to_string(transfers[cursor_].length) + " bytes");
      }
    } else {
      recorded = &transfers[cursor_];
      if (!Same(*recorded, data, length) && cursor_ + 1 < transfers.size() &&
          Same(transfers[cursor_ + 1], data, length)) {
        DivergeLocked(number,
                      "the write of " + Describe(*recorded) + " recorded here was not made");
        recorded = &transfers[++cursor_];
      }
    }
    if (recorded) {
      const auto at = static_cast<uint32_t>(cursor_ + 1);
      if (recorded->length != length) {
        DivergeLocked(at, "a write of " + Describe(data, length, length) + ", the recording has " +
                              Describe(*recorded));
      } else if (!Same(*recorded, data, length)) {
        size_t first = 0;
        while (recorded->bytes[first] == data[first]) ++first;
        size_t differ = 0;
        for (size_t i = 0; i < length; ++i) differ += recorded->bytes[i] != data[i] ? 1 : 0;
        DivergeLocked(at, "a write of " + std::to_string(length) + " bytes differs at byte " +
                              std::to_string(first) + ": " + trace::HexBytes(data + first, 1) +
                              ", the recording has " + trace::HexBytes(&recorded->bytes[first], 1) +
                              " (" + std::to_string(differ) +
                              (differ == 1 ? " byte differs)" : " bytes differ)"));
      }
      if (anyTransfer_ && cursor_ > 0) {
        const uint32_t hostGap = now - lastEndTick_;
        const uint32_t recordedGap = RecordedGap(cursor_);
        if (Early(hostGap, recordedGap)) {
          DivergeLocked(at, "came " + std::to_string(hostGap) +
                                " ms after the transfer before it; the recording " +
                                std::to_string(recordedGap) + " ms");
        }
      }
      ok = recorded->ok;
      moved = std::min(recorded->done, length);
      took = recorded->tookMs;
      modeSwitch = recorded->IsModeSwitch();
      ++cursor_;
    }
  }
  if (took > 0) clock_.Sleep(took);
  std::optional<Away> away;
  uint32_t endTick = 0;
  {
    std::lock_guard lock(mutex_);
    endTick = lastEndTick_ = clock_.TickCount();
    anyTransfer_ = true;
    if (modeSwitch && generation_ < away_.size()) {
      away = away_[generation_++];
      switchTick_ = lastEndTick_;
    }
  }
  done = moved;
  if (trace_ && trace_->Active()) {
    TraceEntry entry;
    entry.tick = clock_.TickCount();
    entry.direction = 'W';
    entry.length = length;
    entry.done = done;
    entry.ok = ok;
    entry.tookMs = took;
    if (data) entry.offered.assign(data, data + std::min<uint32_t>(length, 4));
    trace_->Record(std::move(entry), data);
    // As the printer said it: a replay's recording is the recording it played.
    if (away) {
      trace_->RecordLine(
          endTick, trace::OffBusLine(away->never ? std::nullopt : std::optional(away->ms)), true);
    }
  }
  return ok;
}

bool ReplayBus::Read(uint8_t* buffer, uint32_t length, uint32_t& done, bool forPipe) {
  done = 0;
  if (!buffer && length > 0) return false;
  bool ok = false;
  uint32_t wait = 0;
  std::vector<uint8_t> reply;
  {
    std::lock_guard lock(mutex_);
    const uint32_t now = clock_.TickCount();
    const auto& transfers = recording_.transfers;
    const auto number = static_cast<uint32_t>(cursor_ + 1);
    const RecordedTransfer* recorded = nullptr;
    if (cursor_ >= transfers.size()) {
      DivergeLocked(
          number, "a read of " + std::to_string(length) + " bytes after the end of the recording");
    } else if (transfers[cursor_].direction == 'W') {
      if (cursor_ + 1 < transfers.size() && transfers[cursor_ + 1].direction == 'R') {
        DivergeLocked(
            number, "the write of " + Describe(transfers[cursor_]) + " recorded here was not made");
        recorded = &transfers[++cursor_];
      } else {
        DivergeLocked(number, "a read of " + std::to_string(length) +
                                  " bytes where the recording has a write of " +
                                  Describe(transfers[cursor_]));
      }
    } else {
      recorded = &transfers[cursor_];
    }
    if (recorded) {
      const auto at = static_cast<uint32_t>(cursor_ + 1);
      // A read made for a pipe is the printer's own, when its reply is ready: neither its length
      // nor its time is the tool's.
      if (!forPipe && recorded->length != length) {
        DivergeLocked(at, "a read of " + std::to_string(length) + " bytes, the recording has " +
                              std::to_string(recorded->length));
      }
      if (!forPipe && anyTransfer_ && cursor_ > 0) {
        const uint32_t hostGap = now - lastEndTick_;
        const uint32_t recordedGap = RecordedGap(cursor_);
        if (Early(hostGap, recordedGap)) {
          DivergeLocked(at, "came " + std::to_string(hostGap) +
                                " ms after the transfer before it; the recording " +
                                std::to_string(recordedGap) + " ms");
        }
        // The reply is there at the delay recorded, not before.
        if (recordedGap > hostGap) wait = recordedGap - hostGap;
      }
      ok = recorded->ok;
      const size_t moved = std::min<size_t>(recorded->bytes.size(), length);
      reply.assign(recorded->bytes.begin(),
                   recorded->bytes.begin() + static_cast<std::ptrdiff_t>(moved));
      wait += recorded->tookMs;
      ++cursor_;
    }
  }
  if (wait > 0) clock_.Sleep(wait);
  {
    std::lock_guard lock(mutex_);
    lastEndTick_ = clock_.TickCount();
    anyTransfer_ = true;
  }
  if (!reply.empty()) std::memcpy(buffer, reply.data(), reply.size());
  done = static_cast<uint32_t>(reply.size());
  if (trace_ && trace_->Active()) {
    TraceEntry entry;
    entry.tick = clock_.TickCount();
    entry.direction = 'R';
    entry.length = length;
    entry.done = done;
    entry.ok = ok;
    entry.tookMs = wait;
    trace_->Record(std::move(entry), reply.data());
  }
  return ok;
}

uint32_t ReplayBus::ReplyLength() {
  std::lock_guard lock(mutex_);
  const auto& transfers = recording_.transfers;
  if (cursor_ >= transfers.size()) return 0;
  const RecordedTransfer& next = transfers[cursor_];
  return next.direction == 'R' && next.ok ? next.done : 0;
}

std::vector<Divergence> ReplayBus::Divergences() const {
  std::lock_guard lock(mutex_);
  return divergences_;
}

void ReplayBus::Finish() {
  std::lock_guard lock(mutex_);
  if (finished_) return;
  finished_ = true;
  const auto& transfers = recording_.transfers;
  if (cursor_ >= transfers.size()) return;
  const RecordedTransfer& next = transfers[cursor_];
  DivergeLocked(static_cast<uint32_t>(cursor_ + 1),
                "the recording goes on with " + std::to_string(transfers.size() - cursor_) +
                    (transfers.size() - cursor_ == 1 ? " transfer" : " transfers") +
                    " that the tool did not make, from a " +
                    (next.direction == 'W' ? "write of " + Describe(next)
                                           : "read of " + std::to_string(next.length) + " bytes"));
}

std::shared_ptr<ReplayBus> StartReplay(const std::string& file, Clock& clock, Trace* trace,
                                       std::atomic<size_t>& openHandles, std::string& problem) {
  Recording recording;
  if (!LoadRecording(file, recording, problem)) {
    std::fprintf(stderr, "ZMR470_SIM: replay not started: %s\n", problem.c_str());
    if (trace) trace->RecordComment("replay not started: " + problem);
    return nullptr;
  }
  auto replay = std::make_shared<ReplayBus>(std::move(recording), clock, trace, openHandles);
#ifndef _WIN32
  std::lock_guard lock(g_exitMutex);
  g_atExit = replay;
#endif
  return replay;
}

}  // namespace zmr::sim
