// SPDX-License-Identifier: MIT
// libTUsbPrIf.so over the simulated bus: lists devices and opens pipes by device path. Each call
// and its answer go into a trace that is a recording.
#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "sim/sim_bus.h"

using zmr::sim::SimBus;

extern "C" {

int ZMR_DRIVER_CALL UsbGetDeviceNum(void) {
  SimBus& bus = SimBus::Instance();
  const int count = bus.DeviceCount();
  bus.TraceCall(zmr::trace::ListLine(count));
  return count;
}

int ZMR_DRIVER_CALL UsbGetDeviceInfo(int index, char* deviceId, char* devicePath) {
  SimBus& bus = SimBus::Instance();
  const bool ok = bus.DeviceInfo(index, deviceId, devicePath);
  bus.TraceCall(zmr::trace::DeviceLine(index, ok ? deviceId : nullptr, ok ? devicePath : nullptr,
                                       ZMR_DRIVER_TEXT_SIZE));
  return ok ? 1 : 0;
}

intptr_t ZMR_DRIVER_CALL UsbOpenBulk3(const char* pipeName, const char* devicePath) {
  SimBus& bus = SimBus::Instance();
  const intptr_t handle = bus.OpenByPath(pipeName, devicePath);
  bus.TraceCall(zmr::trace::OpenByPathLine(pipeName, devicePath, ZMR_DRIVER_TEXT_SIZE,
                                           handle != ZMR_INVALID_HANDLE));
  return handle;
}

}  // extern "C"
