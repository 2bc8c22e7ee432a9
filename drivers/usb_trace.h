// SPDX-License-Identifier: MIT
#pragma once
// ZMR470_USB_TRACE=FILE: one line per bulk transfer appended to FILE, in the simulated printer's
// trace format (driver_api/trace_format.h), so that a real printer's session is read with the
// same scripts:
//   <ms> W PIPE00 <length> <hex of the first 16 bytes moved, or -> [...] [short <done>|failed
//   <error>]
// <error> is libusb's name of the failure (LIBUSB_ERROR_TIMEOUT, ...). The milliseconds count
// from the start of the process, so that the lines of both libraries share one time; both may
// append to the same file: each line is written in one call to a file opened for appending.
//
// ZMR470_USB_FULLTRACE=1 (or yes, on) as well makes the trace a recording that the simulated
// printer can replay: every byte of every transfer (of a write, every byte offered), how long
// each took, the answers of the lookups (device count and texts, every open) and the stale
// replies read away at an open (DRAINED, which the tool never saw).
#include <cstdint>
#include <string>

#include "drivers/usb_open_device.h"

namespace zmr::drivers {

// Milliseconds since the process started: the time of every trace line.
uint32_t TraceClock();

// Records one transfer when the trace is on: `length` bytes asked, `done` moved, libusb's
// `result`, started at `startMs` (TraceClock). `bytes` is the transfer's buffer: for a write the
// `length` bytes offered, for a read the `done` bytes that came.
void TraceTransfer(Pipe pipe, uint32_t length, const uint8_t* bytes, uint32_t done, int result,
                   uint32_t startMs);

// A stale reply of `count` bytes read away when PIPE01 was opened: in a plain trace a read of
// `asked` bytes, in a recording a line of its own.
void TraceDrained(uint32_t asked, const uint8_t* bytes, uint32_t count, int result,
                  uint32_t startMs);

// A lookup line (trace_format.h, after the time), in a recording only.
void TraceCall(const std::string& line);

}  // namespace zmr::drivers
