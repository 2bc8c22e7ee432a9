// SPDX-License-Identifier: MIT
#include "sim/sim_replies.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace zmr::sim {
namespace {

void PutText(std::vector<uint8_t>& reply, size_t offset, const std::string& text) {
  std::memcpy(reply.data() + offset, text.data(), text.size());
}

void PutWord(std::vector<uint8_t>& reply, size_t offset, uint16_t value) {
  reply[offset] = static_cast<uint8_t>(value >> 8);
  reply[offset + 1] = static_cast<uint8_t>(value);
}

}  // namespace

std::vector<uint8_t> VersionReply(const ReportedVersions& v, bool badHeader) {
  std::vector<uint8_t> reply(48, ' ');
  reply[0] = '#';
  reply[1] = '.';
  reply[2] = badHeader ? '0' : 0x00;
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

std::vector<uint8_t> StatusReply(char statusType, const StatusState& state,
                                 const PrinterConfig& config) {
  std::vector<uint8_t> reply(statusType == '0' ? 256 : 192, 0x00);
  reply[0] = 0xE4;
  reply[1] = 'V';
  reply[2] = '2';
  reply[3] =
      static_cast<uint8_t>(config.wrongStatusType ? (statusType == '0' ? '1' : '0') : statusType);
  // Common block: state bytes, model name, unit configuration.
  reply[4] = state.asleep ? 'S' : state.downloadMode ? 'D' : 'N';
  reply[5] = state.busy ? '@' : 0x00;
  PutText(reply, 8, "ZMR470");
  reply[32] = 0x01;
  reply[33] = config.secondUnit ? 0x80 : 0x00;
  // Unit blocks: bytes 0-1 jobs in progress, byte 2 present, byte 3 error code, byte 4 media level.
  auto unit = [&](size_t offset, bool printing, bool error) {
    reply[offset + 0] = 0x00;
    reply[offset + 1] = printing ? 0x01 : 0x00;
    reply[offset + 2] = 0x01;
    reply[offset + 3] = error ? 0x21 : 0x00;
    reply[offset + 4] = 0x64;
  };
  if (statusType == '0' || statusType == '1') unit(128, config.unit1Printing, config.unit1Error);
  if (statusType == '0') unit(192, config.unit2Printing, config.unit2Error);
  if (statusType == '2') unit(128, config.unit2Printing, config.unit2Error);
  reply.resize(reply.size() - std::min<size_t>(config.statusShortBy, reply.size()));
  return reply;
}

void PendingReply::Post(std::vector<uint8_t> bytes, uint32_t now, uint32_t delayMs) {
  bytes_ = std::move(bytes);
  offset_ = 0;
  pending_ = true;
  askedAt_ = now;
  delayMs_ = delayMs;
}

void PendingReply::Drop() {
  bytes_.clear();
  offset_ = 0;
  pending_ = false;
}

std::vector<uint8_t> PendingReply::Rest() const {
  if (offset_ >= bytes_.size()) return {};
  return std::vector<uint8_t>(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_), bytes_.end());
}

uint32_t PendingReply::RestLength() const {
  return static_cast<uint32_t>(bytes_.size() - std::min(offset_, bytes_.size()));
}

void PendingReply::Consume(uint32_t count) {
  offset_ += count;
}

}  // namespace zmr::sim
