// SPDX-License-Identifier: MIT
#pragma once
// A recorded session: a full trace of the driver libraries (driver_api/trace_format.h), made by
// the simulated printer with `fulltrace` or by the libusb drivers with ZMR470_USB_FULLTRACE, read
// back for the replay (sim_replay.h). The file may be anything: every line is checked, and the
// first that is not a line of a recording is named with its number and why.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zmr::sim {

// One transfer as the recording has it.
struct RecordedTransfer {
  uint32_t line = 0;  // its line in the file, from 1
  uint32_t atMs = 0;  // when it ended, since the recording began
  uint32_t tookMs = 0;
  char direction = 'W';  // 'W' (PIPE00) or 'R' (PIPE01)
  uint32_t length = 0;   // asked
  uint32_t done = 0;     // moved
  bool ok = true;
  std::string error;           // the failure's name, when the recording gives one
  std::vector<uint8_t> bytes;  // a write: every byte offered (`length`); a read: those moved

  uint32_t StartMs() const { return atMs - tookMs; }
  // The enter- or leave-download-mode command, written whole: the printer drops off the bus.
  bool IsModeSwitch() const;
};

// One answer of a driver library to a lookup.
struct RecordedCall {
  enum class Kind { kList, kDevice, kOpenByPath, kOpenByIndex, kControl, kOffBus };
  uint32_t line = 0;
  uint32_t atMs = 0;
  Kind kind = Kind::kList;
  int number = 0;      // kList: the count; kDevice, kOpenByIndex, kControl: the index
  bool ok = false;     // kDevice: the call succeeded; the opens: a handle came back
  std::string pipe;    // the opens by path and by index
  std::string id;      // kDevice
  std::string path;    // kDevice, kOpenByPath
  bool never = false;  // kOffBus: the printer does not come back
  uint32_t offMs = 0;  // kOffBus
};

struct Recording {
  std::vector<RecordedTransfer> transfers;  // in the order of the file
  std::vector<RecordedCall> calls;          // in the order of the file
};

// At most this much is read: a whole update is a few megabytes.
inline constexpr size_t kMaxRecordingBytes = 64u << 20;

// Parses `text`. On failure `error` says "line N: what is wrong" and `recording` is left empty.
bool ParseRecording(std::string_view text, Recording& recording, std::string& error);

// Reads and parses a file; `error` names the file's problem or the line.
bool LoadRecording(const std::string& path, Recording& recording, std::string& error);

// The lines that make `recording` again (used to check that the two agree).
std::string FormatRecording(const Recording& recording);

}  // namespace zmr::sim
