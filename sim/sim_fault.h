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

  // Shorthands for the common rules. (Each strikes once unless made to repeat with Always.)
  // Write `nth` fails.
  static Fault FailWrite(uint32_t nth) { return Fault{}.At(nth); }
  // The first write that begins with `bytes` fails.
  static Fault FailWriteStartingWith(std::vector<uint8_t> bytes) {
    Fault fault;
    fault.match = Match::kPrefix;
    fault.prefix = std::move(bytes);
    return fault;
  }
  // Block `block` of the type's transfer fails.
  static Fault FailBlock(char type, uint32_t block) { return Fault{}.Block(type, block); }
  // Block `block` of the type's transfer moves only `moved` bytes.
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
  // Read `nth` fails.
  static Fault FailRead(uint32_t nth) {
    Fault fault = Fault{}.At(nth);
    fault.direction = Direction::kRead;
    return fault;
  }
  // Read `nth` moves only `moved` bytes.
  static Fault ShortRead(uint32_t nth, uint32_t moved) { return FailRead(nth).Short(moved); }

  // Copies of this fault that strike transfer `n` of its direction, strike block `block` of the
  // type's transfer, move only `moved` bytes, or strike every time they match.
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

// A transfer that reached the printer, as a fault sees it.
struct FaultTarget {
  Fault::Direction direction = Fault::Direction::kWrite;
  uint32_t number = 0;             // among the transfers of its direction so far, this one included
  const uint8_t* bytes = nullptr;  // a write's bytes as the host sent them, or the reply read
  uint32_t length = 0;
  uint32_t block = 0;  // a write's block number in the transfer under way; 0 when it is no block
  char dataType = 0;   // the data type of the transfer under way (of the last one, if none is)
};

// The first of `faults` that strikes `target`, or null. `struck` holds one flag per fault: a
// fault without `repeat` that has struck once is passed over, and the fault found is marked.
const Fault* FindStrikingFault(const std::vector<Fault>& faults, std::vector<bool>& struck,
                               const FaultTarget& target);

// What a transfer does under `fault` (null: none) when it would otherwise succeed and move
// `moved` bytes.
struct FaultEffect {
  bool ok = true;        // the transfer reports success
  uint32_t moved = 0;    // bytes it moves (a write: bytes that arrive)
  uint32_t delayMs = 0;  // clock time the transfer takes beyond its speed
  // Offset of the byte that arrives inverted; an offset past the bytes moved inverts none.
  uint32_t invertedAt = UINT32_MAX;
};
FaultEffect EffectOf(const Fault* fault, uint32_t moved);

}  // namespace zmr::sim
