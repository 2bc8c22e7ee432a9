// SPDX-License-Identifier: MIT
#include "sim/sim_stream_receiver.h"

#include <algorithm>
#include <string>
#include <utility>

#include "sim/sim_reason_text.h"

namespace zmr::sim {
namespace {

constexpr uint32_t kBlockSize = 4096;
constexpr uint32_t kTailGranule = 64;

// Length of the write that ends a stream whose last `streamBytes` bytes it carries: the next
// multiple of 64 above them.
uint32_t PaddedLength(uint32_t streamBytes) {
  return streamBytes / kTailGranule * kTailGranule + kTailGranule;
}

}  // namespace

StreamReceiver::StreamReceiver(ReportViolation report) : report_(std::move(report)) {}

void StreamReceiver::Start(char type, TypeMemory* target, bool downloadMode, uint32_t now,
                           const PrinterConfig& config) {
  active_ = true;
  type_ = type;
  target_ = target;
  storing_ = false;
  decided_ = false;
  bad_ = false;
  ended_ = false;
  offset_ = 0;
  runningSum_ = 0;
  blocks_ = 0;
  parse_ = Parse::kKind;
  if (!target || !downloadMode) return;  // reported by the caller
  // Each erase lets one transfer of its type follow, once it is done.
  const bool erased = target->erased;
  const bool running = target->EraseRunning(now, config.eraseMs);
  const uint32_t since = now - target->erasedAt;
  target->erased = false;
  target->outcome = StreamOutcome::kRejected;
  if (!erased) {
    report_(ViolationKind::kNoErase, "transfer of " + TypeName(type) +
                                         " with no erase of it since download mode was "
                                         "entered or since its last transfer");
  } else if (running) {
    report_(ViolationKind::kEraseRunning,
            "transfer of " + TypeName(type) + " " + std::to_string(since) +
                " ms after its erase, which takes " + std::to_string(config.eraseMs) + " ms");
  } else if (config.refusedTransfers.find(type) == std::string::npos) {
    storing_ = true;
    target->outcome = StreamOutcome::kReceiving;
  }
}

void StreamReceiver::Take(const uint8_t* bytes, uint32_t length, uint32_t delivered,
                          uint32_t block) {
  const bool whole = delivered == length;
  const std::string blockName =
      "block " + std::to_string(block) + " of the " + TypeName(type_) + " transfer";
  if (parse_ == Parse::kDiscard) return;  // a broken stream: wait for a command on its own
  ended_ = false;
  ParseRecords(bytes, delivered);
  if (parse_ == Parse::kDiscard) return;  // refused and reported by the parser
  // The size rules concern whole writes; a write that the printer cut short has failed already.
  if (whole && length > kBlockSize) {
    report_(ViolationKind::kBlockSize, blockName + " is " + std::to_string(length) +
                                           " bytes; image data comes in writes of 4096");
    Decide(false);
    parse_ = Parse::kDiscard;
    return;
  }
  if (!ended_) {
    if (whole && length != kBlockSize) {
      report_(ViolationKind::kBlockSize,
              blockName + " is " + std::to_string(length) +
                  " bytes and does not end the stream; only its last write may be "
                  "shorter than 4096");
      Decide(false);
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
      report_(ViolationKind::kPadding, blockName + " ends the stream with " + problem);
      framed = false;
    }
  }
  Decide(!bad_ && framed);
  Finish();
}

void StreamReceiver::Finish() {
  if (!active_) return;
  Decide(false);  // a stream not decided by now did not end: it does not take
  active_ = false;
  target_ = nullptr;
}

void StreamReceiver::StreamError(const std::string& reason) {
  bad_ = true;
  report_(ViolationKind::kStream, TypeName(type_) + " stream: " + reason);
}

void StreamReceiver::ParseRecords(const uint8_t* data, uint32_t length) {
  const TypeMemory* target = target_;
  for (uint32_t i = 0; i < length; ++i) {
    // Data bytes are the bulk of an image: store a run of them at once.
    if (parse_ == Parse::kData) {
      const uint32_t run = std::min(countdown_, length - i);
      for (uint32_t k = 0; k < run; ++k) runningSum_ += data[i + k];
      if (storing_ && !bad_) {
        for (uint32_t k = 0; k < run; ++k) {
          const uint32_t at = address_ + k;
          if (target_->Contains(at)) target_->bytes[at - target_->range.base] = data[i + k];
        }
      }
      address_ += run;
      countdown_ -= run;
      offset_ += run;
      if (countdown_ == 0) parse_ = Parse::kKind;
      i += run - 1;
      continue;
    }
    const uint8_t byte = data[i];
    const uint32_t offset = offset_++;
    switch (parse_) {
      case Parse::kKind:
        if (byte == 'P' || byte == 'S') {
          parse_ = byte == 'P' ? Parse::kAddress : Parse::kSum;
          countdown_ = 4;
          field_ = 0;
        } else {
          StreamError("byte " + Hex(byte, 2) + " at offset " + std::to_string(offset) +
                      " where a record must begin");
          Decide(false);
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
          StreamError("a data record of length 0 at offset " + std::to_string(offset - 8));
          Decide(false);
          parse_ = Parse::kDiscard;
          return;
        }
        if (target && !bad_) {
          const uint64_t end = uint64_t{address_} + field_;
          if (address_ < target->range.base || end > target->range.top) {
            StreamError("a record of " + std::to_string(field_) + " bytes at " + Hex(address_, 8) +
                        " lies outside its memory (" + Hex(target->range.base, 8) + " to " +
                        Hex(target->range.top, 8) + ")");
          }
        }
        countdown_ = field_;
        parse_ = Parse::kData;
        break;
      case Parse::kSum:
        field_ = field_ << 8 | byte;
        if (--countdown_ == 0) {
          if (field_ != runningSum_ && !bad_) {
            StreamError("the sum record says " + Hex(field_, 8) + ", the records sum to " +
                        Hex(runningSum_, 8));
          }
          parse_ = Parse::kEnd;
        }
        break;
      case Parse::kEnd:
        if (byte != 'E') {
          StreamError("byte " + Hex(byte, 2) + " at offset " + std::to_string(offset) +
                      " where the end mark must follow the sum record");
          Decide(false);
          parse_ = Parse::kDiscard;
          return;
        }
        ended_ = true;
        endOffset_ = i;
        return;  // what follows in this write is padding
      case Parse::kData:
      case Parse::kDiscard:
        return;
    }
  }
}

void StreamReceiver::Decide(bool accepted) {
  if (decided_) return;
  decided_ = true;
  if (storing_) {
    target_->outcome = accepted ? StreamOutcome::kAccepted : StreamOutcome::kRejected;
    target_->touched = true;
    if (!accepted) target_->Blank();
  }
  storing_ = false;
}

}  // namespace zmr::sim
