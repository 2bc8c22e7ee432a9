// SPDX-License-Identifier: MIT
// libTUsbPrIf.so over libusb: lists the USB devices with a printer-class interface (of any maker),
// describes each by its IDs and its place on the bus, and opens a pipe of the device at a given
// place. Devices without one are libZUsbXpIf's. Each call and its answer go into a trace that is a
// recording (usb_trace.h).
#include <cstring>
#include <string>

#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "drivers/usb_channel.h"
#include "drivers/usb_context.h"
#include "drivers/usb_device_list.h"
#include "drivers/usb_trace.h"

using namespace zmr::drivers;

namespace {

bool DeviceInfo(int index, char* deviceId, char* devicePath) {
  if (deviceId == nullptr || devicePath == nullptr || index < 0) return false;
  const DeviceList devices(LibraryContext(), HasPrinterInterface);
  if (static_cast<size_t>(index) >= devices.Size()) return false;
  libusb_device* device = devices.At(static_cast<size_t>(index));
  DeviceIds ids;
  if (!ReadDeviceIds(device, ids)) return false;
  CopyText(deviceId, ZMR_DRIVER_TEXT_SIZE, DeviceIdText(ids));
  CopyText(devicePath, ZMR_DRIVER_TEXT_SIZE, DeviceLocation(device));
  return true;
}

intptr_t OpenBulk(const char* pipeName, const char* devicePath) {
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

}  // namespace

extern "C" {

int UsbGetDeviceNum(void) {
  const DeviceList devices(LibraryContext(), HasPrinterInterface);
  const int count = static_cast<int>(devices.Size());
  TraceCall(zmr::trace::ListLine(count));
  return count;
}

int UsbGetDeviceInfo(int index, char* deviceId, char* devicePath) {
  const bool ok = DeviceInfo(index, deviceId, devicePath);
  TraceCall(zmr::trace::DeviceLine(index, ok ? deviceId : nullptr, ok ? devicePath : nullptr,
                                   ZMR_DRIVER_TEXT_SIZE));
  return ok ? 1 : 0;
}

intptr_t UsbOpenBulk3(const char* pipeName, const char* devicePath) {
  const intptr_t handle = OpenBulk(pipeName, devicePath);
  TraceCall(zmr::trace::OpenByPathLine(pipeName, devicePath, ZMR_DRIVER_TEXT_SIZE,
                                       handle != zmr::driver_api::kInvalidHandle));
  return handle;
}

}  // extern "C"
