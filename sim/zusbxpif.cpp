// SPDX-License-Identifier: MIT
// libZUsbXpIf.so over the simulated bus: opens pipes of the matching printers by index. Each open
// and its answer go into a trace that is a recording.
#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "sim/sim_bus.h"

using zmr::sim::SimBus;

extern "C" {

int ZMR_DRIVER_CALL SetVenderID(uint16_t vendorId) {
  return SimBus::Instance().SetVendorId(vendorId) ? 1 : 0;
}

int ZMR_DRIVER_CALL SetProductID(const uint16_t* productIds, int count) {
  SimBus::Instance().SetProductIds(productIds, count);
  return 1;
}

intptr_t ZMR_DRIVER_CALL UsbOpenCont(int index, int /*reserved*/) {
  SimBus& bus = SimBus::Instance();
  const intptr_t handle = bus.OpenControl(index);
  bus.TraceCall(zmr::trace::ControlLine(index, handle != ZMR_INVALID_HANDLE));
  return handle;
}

intptr_t ZMR_DRIVER_CALL UsbOpenBulk(const char* pipeName, int index) {
  SimBus& bus = SimBus::Instance();
  const intptr_t handle = bus.OpenByIndex(pipeName, index);
  bus.TraceCall(zmr::trace::OpenByIndexLine(pipeName, index, handle != ZMR_INVALID_HANDLE));
  return handle;
}

// The simulated printer takes no control requests.
int ZMR_DRIVER_CALL UsbDeviceIoControl(intptr_t, uint32_t, const void*, uint32_t, void*, uint32_t,
                                       uint32_t* returned) {
  if (returned) *returned = 0;
  return 0;
}

}  // extern "C"
