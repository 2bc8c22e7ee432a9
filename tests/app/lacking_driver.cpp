// SPDX-License-Identifier: MIT
// A libZUsbXpIf.so that exports four of the five entry points the tool binds at start-up: all but
// UsbDeviceIoControl. For the start-up tests only; every call fails.
#include "driver_api/driver_api.h"

int SetVenderID(uint16_t) {
  return 0;
}

int SetProductID(const uint16_t*, int) {
  return 0;
}

intptr_t UsbOpenCont(int, int) {
  return -1;  // not opened
}

intptr_t UsbOpenBulk(const char*, int) {
  return -1;  // not opened
}
