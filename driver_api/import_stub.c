// SPDX-License-Identifier: MIT
/* A libTUsbPrIf.so to link the programs against: it exports the linked library's three entry
 * points and finds nothing. The simulated or the real library of the same name takes its place
 * at run time. */
#include "driver_api/driver_api.h"

int UsbGetDeviceNum(void) {
  return 0;
}

int UsbGetDeviceInfo(int index, char* deviceId, char* devicePath) {
  (void)index;
  (void)deviceId;
  (void)devicePath;
  return 0;
}

intptr_t UsbOpenBulk3(const char* pipeName, const char* devicePath) {
  (void)pipeName;
  (void)devicePath;
  return ZMR_INVALID_HANDLE;
}
