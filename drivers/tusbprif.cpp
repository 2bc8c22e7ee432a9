// SPDX-License-Identifier: MIT
// libTUsbPrIf.so over libusb: lists the USB devices with a printer-class interface (of any maker),
// describes each by its IDs and its place on the bus, and opens a pipe of the device at a given
// place. Devices without one are libZUsbXpIf's.
#include <cstring>
#include <string>

#include "driver_api/driver_api.h"
#include "drivers/usb_channel.h"
#include "drivers/usb_context.h"
#include "drivers/usb_device_list.h"

using namespace zmr::drivers;

extern "C" {

int UsbGetDeviceNum(void) {
  const DeviceList devices(LibraryContext(), HasPrinterInterface);
  return static_cast<int>(devices.Size());
}

int UsbGetDeviceInfo(int index, char* deviceId, char* devicePath) {
  if (deviceId == nullptr || devicePath == nullptr || index < 0) return 0;
  const DeviceList devices(LibraryContext(), HasPrinterInterface);
  if (static_cast<size_t>(index) >= devices.Size()) return 0;
  libusb_device* device = devices.At(static_cast<size_t>(index));
  DeviceIds ids;
  if (!ReadDeviceIds(device, ids)) return 0;
  CopyText(deviceId, ZMR_DRIVER_TEXT_SIZE, DeviceIdText(ids));
  CopyText(devicePath, ZMR_DRIVER_TEXT_SIZE, DeviceLocation(device));
  return 1;
}

intptr_t UsbOpenBulk3(const char* pipeName, const char* devicePath) {
  Pipe pipe;
  if (!ParsePipeName(pipeName, pipe) || devicePath == nullptr)
    return zmr::driver_api::kInvalidHandle;
  const std::string wanted(devicePath, strnlen(devicePath, ZMR_DRIVER_TEXT_SIZE));
  const DeviceList devices(LibraryContext(), HasPrinterInterface);
  for (size_t i = 0; i < devices.Size(); ++i) {
    if (DeviceLocation(devices.At(i)) == wanted) return OpenPipe(devices.At(i), pipe);
  }
  return zmr::driver_api::kInvalidHandle;
}

}  // extern "C"
