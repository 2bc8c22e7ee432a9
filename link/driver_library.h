// SPDX-License-Identifier: MIT
#pragma once
// The entry points of both driver libraries as the printer link sees them: the three of the
// linked library (ImportedDriver) and the five of the library loaded by name (CDriverLibrary).
// Any entry point may be absent (null); every caller tests for that first. Each is a DriverEntry
// (link/driver_entry.h), which calls it the same way whatever convention the library uses.
#include <memory>

#include "driver_api/driver_api.h"
#include "link/driver_entry.h"

namespace zmr {
namespace platform {
class DynamicLibrary;
}

// The entry points of libTUsbPrIf.so. LinkedImportedDriver() (link/imported_driver.h) gives the
// ones the program was linked with; tests may pass their own.
struct ImportedDriver {
  DriverEntry<UsbGetDeviceNumFn> UsbGetDeviceNum;
  DriverEntry<UsbGetDeviceInfoFn> UsbGetDeviceInfo;
  DriverEntry<UsbOpenBulk3Fn> UsbOpenBulk3;
};

// Holder of the library loaded by name and its five entry points. The process has one
// (TheDriverLibrary()); it is filled once at start-up and releases the library when it is
// destroyed.
class CDriverLibrary {
 public:
  // The plain name under which the tool loads the library (libZUsbXpIf.so on Linux).
  static constexpr const char* kLibraryName = "ZUsbXpIf";

  CDriverLibrary();
  ~CDriverLibrary();
  CDriverLibrary(const CDriverLibrary&) = delete;
  CDriverLibrary& operator=(const CDriverLibrary&) = delete;

  // Loads the library and looks up SetVenderID, SetProductID, UsbOpenCont, UsbOpenBulk and
  // UsbDeviceIoControl, in this order. Only while nothing is loaded yet. True when the library
  // loaded and all five were found; a library that lacks one stays loaded.
  bool Bind(const char* name = kLibraryName);
  bool IsLoaded() const { return module_ != nullptr; }

  DriverEntry<SetVenderIDFn> SetVenderID;
  DriverEntry<SetProductIDFn> SetProductID;
  DriverEntry<UsbOpenContFn> UsbOpenCont;
  DriverEntry<UsbOpenBulkFn> UsbOpenBulk;
  DriverEntry<UsbDeviceIoControlFn> UsbDeviceIoControl;

 private:
  std::unique_ptr<platform::DynamicLibrary> module_;
};

// The process's one holder.
CDriverLibrary& TheDriverLibrary();

}  // namespace zmr
