// SPDX-License-Identifier: MIT
#pragma once
// The channels that the driver libraries register in the process's handle table.
#include <memory>

#include "driver_api/handle_table.h"
#include "drivers/usb_open_device.h"

namespace zmr::drivers {

// Registers a channel for `pipe` of the device; kInvalidHandle when the device does not open or
// its interface lacks that endpoint.
driver_api::ChannelHandle OpenPipe(libusb_device* device, Pipe pipe);

// Registers a control channel: it holds the device open like a pipe does, and refuses every
// transfer.
driver_api::ChannelHandle OpenControl(libusb_device* device);

}  // namespace zmr::drivers
