// SPDX-License-Identifier: MIT
#pragma once
// The libusb context of one driver library. Each shared library carries its own copy of this code
// (the symbols stay hidden), so each gets a context of its own, created on first use.
#include <libusb.h>

namespace zmr::drivers {

// The library's context, or null when libusb cannot start (no USB support on this machine).
libusb_context* LibraryContext();

}  // namespace zmr::drivers
