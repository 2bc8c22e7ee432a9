// SPDX-License-Identifier: MIT
// libZUsbXpIf.so over the simulated bus: opens pipes of the matching printers by index.
#include "driver_api/driver_api.h"
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
  return SimBus::Instance().OpenControl(index);
}

intptr_t ZMR_DRIVER_CALL UsbOpenBulk(const char* pipeName, int index) {
  return SimBus::Instance().OpenByIndex(pipeName, index);
}

// The simulated printer takes no control requests.
int ZMR_DRIVER_CALL UsbDeviceIoControl(intptr_t, uint32_t, const void*, uint32_t, void*, uint32_t,
                                       uint32_t* returned) {
  if (returned) *returned = 0;
  return 0;
}

}  // extern "C"
