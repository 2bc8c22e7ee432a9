// SPDX-License-Identifier: MIT
#include "drivers/usb_device_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace zmr::drivers {
namespace {

// Bus number first, then the ports: the order in which the devices appear on the machine.
std::vector<uint8_t> SortKey(libusb_device* device) {
  uint8_t ports[8] = {};  // USB allows at most 7 tiers of hubs
  const int count = libusb_get_port_numbers(device, ports, static_cast<int>(sizeof ports));
  std::vector<uint8_t> key{libusb_get_bus_number(device)};
  if (count > 0) key.insert(key.end(), ports, ports + count);
  return key;
}

}  // namespace

DeviceList::DeviceList(libusb_context* context, bool (*keep)(libusb_device*)) {
  if (context == nullptr) return;
  const ssize_t count = libusb_get_device_list(context, &raw_);
  if (count <= 0 || raw_ == nullptr) return;
  std::vector<std::pair<std::vector<uint8_t>, libusb_device*>> keyed;
  keyed.reserve(static_cast<size_t>(count));
  for (ssize_t i = 0; i < count; ++i) {
    if (keep == nullptr || keep(raw_[i])) keyed.emplace_back(SortKey(raw_[i]), raw_[i]);
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& entry : keyed) devices_.push_back(entry.second);
}

DeviceList::~DeviceList() {
  if (raw_ != nullptr) libusb_free_device_list(raw_, 1);
}

bool HasPrinterInterface(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
      libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
    return false;
  }
  bool found = false;
  for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
    const libusb_interface& interface = config->interface[i];
    for (int a = 0; a < interface.num_altsetting && !found; ++a) {
      found = interface.altsetting[a].bInterfaceClass == LIBUSB_CLASS_PRINTER;
    }
  }
  libusb_free_config_descriptor(config);
  return found;
}

bool ReadDeviceIds(libusb_device* device, DeviceIds& ids) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return false;
  ids.vendor = descriptor.idVendor;
  ids.product = descriptor.idProduct;
  return true;
}

std::string DeviceIdText(const DeviceIds& ids) {
  char text[32];
  std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", static_cast<unsigned>(ids.vendor),
                static_cast<unsigned>(ids.product));
  return text;
}

std::string DeviceLocation(libusb_device* device) {
  std::string location = "usb:" + std::to_string(libusb_get_bus_number(device));
  uint8_t ports[8] = {};
  const int count = libusb_get_port_numbers(device, ports, static_cast<int>(sizeof ports));
  for (int i = 0; i < count; ++i) {
    location += i == 0 ? '-' : '.';
    location += std::to_string(ports[i]);
  }
  return location;
}

void CopyText(char* destination, size_t size, const std::string& text) {
  if (destination == nullptr || size == 0) return;
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = '\0';
}

}  // namespace zmr::drivers
