// SPDX-License-Identifier: MIT
#pragma once
// The device ID text by which a listed device names its maker and model: somewhere in it stands
// "USB\VID_xxxx&PID_xxxx" with the vendor and product ID in hexadecimal. The text comes from a
// driver library, so it may be unterminated or hostile.
#include <cstddef>
#include <cstdint>

#include "driver_api/driver_api.h"

namespace zmr {

// Reads the IDs after the first "USB\" of the text (case-insensitive, 1 to 4 hex digits each).
// The text ends at its first NUL, at `size` bytes, or at ZMR_DRIVER_TEXT_SIZE bytes (one driver
// text buffer), whichever comes first. True with ids[0] the vendor and ids[1] the product ID when
// both were read; false, with `ids` untouched, otherwise and for a null text or `ids`.
[[nodiscard]] bool ParseDeviceId(const char* text, size_t size, uint16_t ids[2]);

}  // namespace zmr
