// SPDX-License-Identifier: MIT
#include "link/driver_library.h"

#include "platform/dynamic_library.h"

namespace zmr {
namespace {

// Looks up one entry point; null when the library lacks it.
template <typename Fn>
Fn Lookup(const platform::DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.Symbol(name));
}

}  // namespace

CDriverLibrary::CDriverLibrary() = default;

// The library goes with the holder; the entry-point fields are not touched.
CDriverLibrary::~CDriverLibrary() = default;

bool CDriverLibrary::Bind(const char* name) {
  if (module_ || !name) return false;
  module_ = platform::DynamicLibrary::Open(name);
  if (!module_) return false;
  SetVenderID = Lookup<SetVenderIDFn>(*module_, "SetVenderID");
  SetProductID = Lookup<SetProductIDFn>(*module_, "SetProductID");
  UsbOpenCont = Lookup<UsbOpenContFn>(*module_, "UsbOpenCont");
  UsbOpenBulk = Lookup<UsbOpenBulkFn>(*module_, "UsbOpenBulk");
  UsbDeviceIoControl = Lookup<UsbDeviceIoControlFn>(*module_, "UsbDeviceIoControl");
  // A library that lacks an entry point stays loaded; the caller refuses to run with it.
  return SetVenderID && SetProductID && UsbOpenCont && UsbOpenBulk && UsbDeviceIoControl;
}

CDriverLibrary& TheDriverLibrary() {
  static CDriverLibrary library;
  return library;
}

}  // namespace zmr
