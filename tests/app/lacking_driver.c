/* A libZUsbXpIf.so that exports four of the five entry points the tool binds at start-up: all but
 * UsbDeviceIoControl. For the start-up tests only; every call fails. */
#include "link/driver_api.h"

int SetVenderID(uint16_t vendorId) {
  (void)vendorId;
  return 0;
}

int SetProductID(const uint16_t* productIds, int count) {
  (void)productIds;
  (void)count;
  return 0;
}

intptr_t UsbOpenCont(int index, int reserved) {
  (void)index;
  (void)reserved;
  return ZMR_INVALID_HANDLE;
}

intptr_t UsbOpenBulk(const char* pipeName, int index) {
  (void)pipeName;
  (void)index;
  return ZMR_INVALID_HANDLE;
}
