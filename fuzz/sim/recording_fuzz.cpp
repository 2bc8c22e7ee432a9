// SPDX-License-Identifier: MIT
// The recording reader on arbitrary bytes: it must never read outside the text (the input is
// copied into a heap buffer of exactly its size), and what it accepts must hold together: a write
// shows every byte offered, a read no more than it asked for, and the lines written back from it
// read back as the same recording.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "sim/recording.h"

namespace {

bool SameTransfers(const zmr::sim::Recording& a, const zmr::sim::Recording& b) {
  if (a.transfers.size() != b.transfers.size() || a.calls.size() != b.calls.size()) return false;
  for (size_t i = 0; i < a.transfers.size(); ++i) {
    const auto& x = a.transfers[i];
    const auto& y = b.transfers[i];
    if (x.atMs != y.atMs || x.tookMs != y.tookMs || x.direction != y.direction ||
        x.length != y.length || x.done != y.done || x.ok != y.ok || x.error != y.error ||
        x.bytes != y.bytes) {
      return false;
    }
  }
  for (size_t i = 0; i < a.calls.size(); ++i) {
    const auto& x = a.calls[i];
    const auto& y = b.calls[i];
    if (x.atMs != y.atMs || x.kind != y.kind || x.number != y.number || x.ok != y.ok ||
        x.pipe != y.pipe || x.id != y.id || x.path != y.path || x.never != y.never ||
        x.offMs != y.offMs) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> exact(new char[size ? size : 1]);
  if (size != 0) std::memcpy(exact.get(), data, size);
  const std::string_view text(exact.get(), size);

  zmr::sim::Recording recording;
  std::string error;
  if (!zmr::sim::ParseRecording(text, recording, error)) {
    if (error.empty() || !recording.transfers.empty() || !recording.calls.empty()) std::abort();
    return 0;
  }
  for (const auto& t : recording.transfers) {
    const bool holds = t.direction == 'W' ? t.bytes.size() == t.length && t.done <= t.length
                                          : t.bytes.size() == t.done && t.done <= t.length;
    if (!holds || t.tookMs > t.atMs) std::abort();
  }
  zmr::sim::Recording again;
  if (!zmr::sim::ParseRecording(zmr::sim::FormatRecording(recording), again, error)) std::abort();
  if (!SameTransfers(recording, again)) std::abort();
  return 0;
}
