// SPDX-License-Identifier: MIT
#include "link/imported_driver.h"

namespace zmr {

const ImportedDriver& LinkedImportedDriver() {
  static const ImportedDriver driver{&::UsbGetDeviceNum, &::UsbGetDeviceInfo, &::UsbOpenBulk3};
  return driver;
}

}  // namespace zmr
