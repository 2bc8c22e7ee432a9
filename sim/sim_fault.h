// SPDX-License-Identifier: MIT
#pragma once
// A transfer fault of the simulated printer: which transfer it hits and what happens to it.
//
// Counting is per printer and covers the transfers that reach it (not those on a stale handle).
// All numbers count from 1: the first write is write 1, the first block of a transfer is block 1.
#include <cstdint>
#include <vector>

namespace zmr::sim {

struct Fault {
  enum class Direction { kWrite, kRead };
  enum class Match {
    kNth,     // the nth write (or read)
    kPrefix,  // a write whose bytes begin with `prefix`; for reads, a reply that does
    kBlock,   // write number `nth` after the transfer command for data type `dataType`
  };
  enum class Effect {
    kFail,     // the transfer fails and moves 0 bytes (a write delivers nothing)
    kShort,    // the transfer succeeds but moves only `bytes` bytes (a write delivers those)
    kSlow,     // the transfer takes `delayMs` more of clock time, then goes through
    kCorrupt,  // the transfer goes through whole, but the byte at offset `bytes` arrives inverted
  };

  Direction direction = Direction::kWrite;
  Match match = Match::kNth;
  uint32_t nth = 1;
  std::vector<uint8_t> prefix;
  char dataType = 'p';
  Effect effect = Effect::kFail;
  uint32_t bytes = 0;
  uint32_t delayMs = 0;
  // false: only the first transfer that matches. true: every one that matches; for kNth and
  // kBlock, the nth and every later one.
  bool repeat = false;

  // Shorthands for the common rules.
  static Fault FailWrite(uint32_t nth) { return Fault{}.At(nth); }
  static Fault FailWriteStartingWith(std::vector<uint8_t> bytes) {
    Fault fault;
    fault.match = Match::kPrefix;
    fault.prefix = std::move(bytes);
    return fault;
  }
  static Fault FailBlock(char type, uint32_t block) { return Fault{}.Block(type, block); }
  static Fault ShortBlock(char type, uint32_t block, uint32_t moved) {
    return Fault{}.Block(type, block).Short(moved);
  }
  // From block `block` of the type's transfer on, every block takes `ms` longer.
  static Fault SlowFromBlock(char type, uint32_t block, uint32_t ms) {
    Fault fault = Fault{}.Block(type, block);
    fault.effect = Effect::kSlow;
    fault.delayMs = ms;
    fault.repeat = true;
    return fault;
  }
  // Block `block` of the type's transfer arrives with its byte at `offset` inverted.
  static Fault CorruptBlock(char type, uint32_t block, uint32_t offset = 0) {
    Fault fault = Fault{}.Block(type, block);
    fault.effect = Effect::kCorrupt;
    fault.bytes = offset;
    return fault;
  }
  static Fault FailRead(uint32_t nth) {
    Fault fault = Fault{}.At(nth);
    fault.direction = Direction::kRead;
    return fault;
  }
  static Fault ShortRead(uint32_t nth, uint32_t moved) { return FailRead(nth).Short(moved); }

  Fault At(uint32_t n) const {
    Fault fault = *this;
    fault.match = Match::kNth;
    fault.nth = n;
    return fault;
  }
  Fault Block(char type, uint32_t block) const {
    Fault fault = *this;
    fault.match = Match::kBlock;
    fault.dataType = type;
    fault.nth = block;
    return fault;
  }
  Fault Short(uint32_t moved) const {
    Fault fault = *this;
    fault.effect = Effect::kShort;
    fault.bytes = moved;
    return fault;
  }
  Fault Always() const {
    Fault fault = *this;
    fault.repeat = true;
    return fault;
  }
};

}  // namespace zmr::sim
