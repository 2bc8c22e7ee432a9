// SPDX-License-Identifier: MIT
// libTUsbPrIf.so over the simulated bus: lists devices and opens pipes by device path.
#include "driver_api/driver_api.h"
#include "sim/sim_bus.h"

using zmr::sim::SimBus;

extern "C" {

int ZMR_DRIVER_CALL UsbGetDeviceNum(void) {
  return SimBus::Instance().DeviceCount();
}

int ZMR_DRIVER_CALL UsbGetDeviceInfo(int index, char* deviceId, char* devicePath) {
  return SimBus::Instance().DeviceInfo(index, deviceId, devicePath) ? 1 : 0;
}

intptr_t ZMR_DRIVER_CALL UsbOpenBulk3(const char* pipeName, const char* devicePath) {
  return SimBus::Instance().OpenByPath(pipeName, devicePath);
}

}  // extern "C"
