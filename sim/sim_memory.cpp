// SPDX-License-Identifier: MIT
#include "sim/sim_memory.h"

#include <algorithm>

namespace zmr::sim {
namespace {

std::string FixedText(const std::string& text, size_t width) {
  std::string fixed = text.substr(0, width);
  fixed.resize(width, '\0');
  return fixed;
}

std::string TextAt(const TypeMemory& memory, size_t offset, size_t width) {
  return std::string(memory.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     memory.bytes.begin() + static_cast<std::ptrdiff_t>(offset + width));
}

}  // namespace

const MemoryRange* FindMemoryRange(char type) {
  for (const MemoryRange& range : kMemoryRanges) {
    if (range.type == type) return &range;
  }
  return nullptr;
}

TypeMemory::TypeMemory(const MemoryRange& r) : range(r), bytes(r.top - r.base, 0xFF) {}

bool TypeMemory::Contains(uint32_t address) const {
  return address >= range.base && address < range.top;
}

void TypeMemory::Blank() {
  std::fill(bytes.begin(), bytes.end(), uint8_t{0xFF});
  touched = true;
}

void TypeMemory::StartErase(uint32_t now) {
  Blank();
  erased = true;
  erasedAt = now;
}

bool TypeMemory::EraseRunning(uint32_t now, uint32_t eraseMs) const {
  return erased && now - erasedAt < eraseMs;
}

uint16_t TypeMemory::WordSum() const {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  }
  return static_cast<uint16_t>(sum);
}

PrinterMemory::PrinterMemory() {
  for (const MemoryRange& range : kMemoryRanges) types_.emplace_back(range);
}

TypeMemory* PrinterMemory::Find(char type) {
  for (TypeMemory& memory : types_) {
    if (memory.range.type == type) return &memory;
  }
  return nullptr;
}

const TypeMemory* PrinterMemory::Find(char type) const {
  for (const TypeMemory& memory : types_) {
    if (memory.range.type == type) return &memory;
  }
  return nullptr;
}

std::vector<uint8_t> PrinterMemory::Read(uint32_t address, uint32_t length) const {
  std::vector<uint8_t> bytes(length, 0xFF);
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t at = address + i;
    for (const TypeMemory& memory : types_) {
      if (memory.Contains(at)) bytes[i] = memory.bytes[at - memory.range.base];
    }
  }
  return bytes;
}

uint16_t PrinterMemory::WordSum(char type) const {
  const TypeMemory* memory = Find(type);
  return memory ? memory->WordSum() : 0;
}

bool PrinterMemory::AnyEraseRunning(uint32_t now, uint32_t eraseMs) const {
  return std::any_of(types_.begin(), types_.end(),
                     [&](const TypeMemory& memory) { return memory.EraseRunning(now, eraseMs); });
}

void PrinterMemory::ForgetErases() {
  for (TypeMemory& memory : types_) memory.erased = false;
}

ReportedVersions PrinterMemory::Versions(const PrinterConfig& config) const {
  ReportedVersions v;
  const TypeMemory& p = *Find('p');
  const TypeMemory& t = *Find('t');
  const TypeMemory& f = *Find('f');
  v.data1 = p.touched ? TextAt(p, 0, 6) : FixedText(config.data1Version, 6);
  v.data1CheckSum = p.touched ? p.WordSum() : config.data1CheckSum;
  v.data2 = t.touched ? TextAt(t, t.bytes.size() - 16, 6) : FixedText(config.data2Version, 6);
  v.data2CheckSum = t.touched ? t.WordSum() : config.data2CheckSum;
  v.data3 = f.touched ? TextAt(f, 3, 3) : FixedText(config.data3Version, 3);
  v.data3CheckSum = f.touched ? f.WordSum() : config.data3CheckSum;
  return v;
}

}  // namespace zmr::sim
