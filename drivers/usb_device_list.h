// SPDX-License-Identifier: MIT
#pragma once
// A snapshot of the USB devices on the machine, taken afresh for every question (printers come and
// go between calls), in a stable order: by bus, then by the chain of hub ports.
//
// The two libraries share the devices out between them, so that one printer is never counted
// twice: libTUsbPrIf serves the devices with a printer-class interface, libZUsbXpIf the others
// (a printer that shows only its maker's own interface, e.g. while it takes new firmware).
#include <libusb.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zmr::drivers {

class DeviceList {
 public:
  // The devices for which `keep` is true (all when it is null); an empty list when the context is
  // null or listing fails.
  explicit DeviceList(libusb_context* context, bool (*keep)(libusb_device*) = nullptr);
  ~DeviceList();
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  size_t Size() const { return devices_.size(); }
  libusb_device* At(size_t index) const { return devices_[index]; }

 private:
  libusb_device** raw_ = nullptr;
  std::vector<libusb_device*> devices_;
};

// True when one of the device's interfaces is of the USB printer class.
bool HasPrinterInterface(libusb_device* device);

struct DeviceIds {
  uint16_t vendor = 0;
  uint16_t product = 0;
};

// The IDs from the device descriptor; false when it cannot be read.
bool ReadDeviceIds(libusb_device* device, DeviceIds& ids);

// "USB\VID_04CB&PID_5006": the IDs in upper-case hexadecimal.
std::string DeviceIdText(const DeviceIds& ids);

// "usb:1-2.3": the bus number and the chain of hub ports that lead to the device. It names the
// device for as long as it stays plugged into the same port, across re-enumeration (a printer
// that restarts in another mode keeps it). A root hub has no ports: "usb:1".
std::string DeviceLocation(libusb_device* device);

// Writes `text` into a caller's buffer of `size` bytes: at most size-1 characters and a NUL.
void CopyText(char* destination, size_t size, const std::string& text);

}  // namespace zmr::drivers
