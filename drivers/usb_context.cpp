// SPDX-License-Identifier: MIT
#include "drivers/usb_context.h"

#include <mutex>

namespace zmr::drivers {

libusb_context* LibraryContext() {
  // Created on first use so that loading the library costs nothing; a failed start is tried again
  // at the next call. Never freed: the library stays loaded until the process ends (it is linked
  // with -z nodelete) and a channel may still hold an open device while the process shuts down.
  static std::mutex mutex;
  static libusb_context* context = nullptr;
  std::lock_guard lock(mutex);
  if (context == nullptr) {
    libusb_context* created = nullptr;
    if (libusb_init(&created) == LIBUSB_SUCCESS) context = created;
  }
  return context;
}

}  // namespace zmr::drivers
