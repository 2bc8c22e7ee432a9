// SPDX-License-Identifier: MIT
#include "sim/sim_fault.h"

#include <algorithm>

namespace zmr::sim {

const Fault* FindStrikingFault(const std::vector<Fault>& faults, std::vector<bool>& struck,
                               const FaultTarget& target) {
  for (size_t i = 0; i < faults.size() && i < struck.size(); ++i) {
    const Fault& fault = faults[i];
    if (fault.direction != target.direction || (!fault.repeat && struck[i])) continue;
    bool hit = false;
    switch (fault.match) {
      case Fault::Match::kNth:
        hit = fault.repeat ? target.number >= fault.nth : target.number == fault.nth;
        break;
      case Fault::Match::kPrefix:
        hit = target.length >= fault.prefix.size() &&
              std::equal(fault.prefix.begin(), fault.prefix.end(), target.bytes);
        break;
      case Fault::Match::kBlock:
        hit = target.direction == Fault::Direction::kWrite && target.block != 0 &&
              target.dataType == fault.dataType &&
              (fault.repeat ? target.block >= fault.nth : target.block == fault.nth);
        break;
    }
    if (hit) {
      struck[i] = true;
      return &fault;
    }
  }
  return nullptr;
}

FaultEffect EffectOf(const Fault* fault, uint32_t moved) {
  FaultEffect effect;
  effect.moved = moved;
  if (!fault) return effect;
  switch (fault->effect) {
    case Fault::Effect::kFail:
      effect.ok = false;
      effect.moved = 0;
      break;
    case Fault::Effect::kShort:
      effect.moved = std::min(moved, fault->bytes);
      break;
    case Fault::Effect::kSlow:
      effect.delayMs = fault->delayMs;
      break;
    case Fault::Effect::kCorrupt:
      effect.invertedAt = fault->bytes;
      break;
  }
  return effect;
}

}  // namespace zmr::sim
