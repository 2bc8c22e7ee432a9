// SPDX-License-Identifier: MIT
#pragma once
// ZMR470_USB_TRACE=FILE: one line per bulk transfer appended to FILE, in the simulated printer's
// trace format, so that a real printer's session is read with the same scripts:
//   <ms> W PIPE00 <length> <hex of the first 16 bytes moved, or -> [...] [short <done>|failed
//   <error>]
// The milliseconds count from the first transfer the library traces; <error> is libusb's name of
// the failure (LIBUSB_ERROR_TIMEOUT, ...). Both libraries may append to the same file: each line
// is written in one call to a file opened for appending.
#include <cstdint>

#include "drivers/usb_open_device.h"

namespace zmr::drivers {

// Records one transfer when the trace is on. `bytes` are the `done` bytes that moved.
void TraceTransfer(Pipe pipe, uint32_t length, const uint8_t* bytes, uint32_t done, int result);

}  // namespace zmr::drivers
