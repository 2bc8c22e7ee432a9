// SPDX-License-Identifier: MIT
// libZUsbXpIf.so over libusb: remembers the vendor and product IDs it is told and opens the
// device with a given index among the matching ones (in the order of their places on the bus).
// It serves the devices that libTUsbPrIf does not list: those without a printer-class interface.
// Each open and its answer go into a trace that is a recording (usb_trace.h).
#include <algorithm>
#include <mutex>
#include <vector>

#include "driver_api/driver_api.h"
#include "driver_api/trace_format.h"
#include "drivers/usb_channel.h"
#include "drivers/usb_context.h"
#include "drivers/usb_device_list.h"
#include "drivers/usb_trace.h"

using namespace zmr::drivers;

namespace {

// More product IDs than any caller has; a larger count is cut to this many.
constexpr int kMaxProductIds = 16;

struct Selection {
  std::mutex mutex;
  bool vendorSet = false;
  uint16_t vendor = 0;
  std::vector<uint16_t> products;
};

Selection& TheSelection() {
  static Selection selection;
  return selection;
}

// Calls `use` with matching device `index` while the device list is alive; -1 when there is
// none (no IDs set yet, or fewer matching devices).
template <typename Use>
intptr_t WithMatchingDevice(int index, Use use) {
  if (index < 0) return zmr::driver_api::kInvalidHandle;
  uint16_t vendor;
  std::vector<uint16_t> products;
  {
    Selection& selection = TheSelection();
    std::lock_guard lock(selection.mutex);
    if (!selection.vendorSet) return zmr::driver_api::kInvalidHandle;
    vendor = selection.vendor;
    products = selection.products;
  }
  const DeviceList devices(LibraryContext(),
                           [](libusb_device* device) { return !HasPrinterInterface(device); });
  int seen = 0;
  for (size_t i = 0; i < devices.Size(); ++i) {
    DeviceIds ids;
    if (!ReadDeviceIds(devices.At(i), ids) || ids.vendor != vendor) continue;
    if (std::find(products.begin(), products.end(), ids.product) == products.end()) continue;
    if (seen++ == index) return use(devices.At(i));
  }
  return zmr::driver_api::kInvalidHandle;
}

}  // namespace

extern "C" {

int SetVenderID(uint16_t vendorId) {
  Selection& selection = TheSelection();
  std::lock_guard lock(selection.mutex);
  selection.vendor = vendorId;
  selection.vendorSet = true;
  return 1;
}

int SetProductID(const uint16_t* productIds, int count) {
  Selection& selection = TheSelection();
  std::lock_guard lock(selection.mutex);
  selection.products.clear();
  if (productIds == nullptr || count <= 0) return 0;
  selection.products.assign(productIds, productIds + std::min(count, kMaxProductIds));
  return 1;
}

intptr_t UsbOpenCont(int index, int /*reserved*/) {
  const intptr_t handle =
      WithMatchingDevice(index, [](libusb_device* device) { return OpenControl(device); });
  TraceCall(zmr::trace::ControlLine(index, handle != zmr::driver_api::kInvalidHandle));
  return handle;
}

intptr_t UsbOpenBulk(const char* pipeName, int index) {
  Pipe pipe;
  const intptr_t handle =
      ParsePipeName(pipeName, pipe)
          ? WithMatchingDevice(index,
                               [pipe](libusb_device* device) { return OpenPipe(device, pipe); })
          : zmr::driver_api::kInvalidHandle;
  TraceCall(
      zmr::trace::OpenByIndexLine(pipeName, index, handle != zmr::driver_api::kInvalidHandle));
  return handle;
}

int UsbDeviceIoControl(intptr_t /*handle*/, uint32_t /*code*/, const void* /*in*/,
                       uint32_t /*inLength*/, void* /*out*/, uint32_t /*outLength*/,
                       uint32_t* returned) {
  // No device control request is supported.
  if (returned != nullptr) *returned = 0;
  return 0;
}

}  // extern "C"
