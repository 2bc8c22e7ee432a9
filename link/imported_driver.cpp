// SPDX-License-Identifier: MIT
#include "link/imported_driver.h"

#if defined(_WIN32)
// On Windows the three addresses are read from the program's import address table, which the
// system loader fills from TUsbPrIf.dll before any of our code runs. The slots are the import
// library's __imp_ symbols of the plain names (driver_api/TUsbPrIf.def): no calling convention
// is named, so none is assumed. On 32-bit Windows C names carry an underscore.
#define ZMR_STRINGIFY2(x) #x
#define ZMR_STRINGIFY(x) ZMR_STRINGIFY2(x)
#define ZMR_IMPORT_SLOT(name) "__imp_" ZMR_STRINGIFY(__USER_LABEL_PREFIX__) #name
extern "C" {
extern const UsbGetDeviceNumFn zmr_imported_UsbGetDeviceNum __asm__(
    ZMR_IMPORT_SLOT(UsbGetDeviceNum));
extern const UsbGetDeviceInfoFn zmr_imported_UsbGetDeviceInfo __asm__(
    ZMR_IMPORT_SLOT(UsbGetDeviceInfo));
extern const UsbOpenBulk3Fn zmr_imported_UsbOpenBulk3 __asm__(ZMR_IMPORT_SLOT(UsbOpenBulk3));
}
#endif

namespace zmr {

const ImportedDriver& LinkedImportedDriver() {
#if defined(_WIN32)
  static const ImportedDriver driver{zmr_imported_UsbGetDeviceNum, zmr_imported_UsbGetDeviceInfo,
                                     zmr_imported_UsbOpenBulk3};
#else
  static const ImportedDriver driver{&::UsbGetDeviceNum, &::UsbGetDeviceInfo, &::UsbOpenBulk3};
#endif
  return driver;
}

}  // namespace zmr
