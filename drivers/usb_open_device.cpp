// SPDX-License-Identifier: MIT
#include "drivers/usb_open_device.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace zmr::drivers {
namespace {

// The printer's interface and, in it, the first bulk endpoint of each direction. Of the interfaces
// (and alternate settings) the first of the printer class with both directions is taken, else the
// first of any class with both, else the first with either.
struct PipeInterface {
  int number = -1;
  int altSetting = 0;
  uint8_t out = 0;
  uint8_t in = 0;
};

PipeInterface FindPipeInterface(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
      libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
    return {};
  }
  PipeInterface best;
  int bestRank = 0;
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& interface = config->interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& alt = interface.altsetting[a];
      PipeInterface found{alt.bInterfaceNumber, alt.bAlternateSetting, 0, 0};
      for (int e = 0; e < alt.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = alt.endpoint[e];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
          continue;
        }
        uint8_t& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? found.in : found.out;
        if (slot == 0) slot = endpoint.bEndpointAddress;
      }
      const bool both = found.out != 0 && found.in != 0;
      const int rank = both ? (alt.bInterfaceClass == LIBUSB_CLASS_PRINTER ? 3 : 2)
                            : (found.out != 0 || found.in != 0 ? 1 : 0);
      if (rank > bestRank) {
        best = found;
        bestRank = rank;
      }
    }
  }
  libusb_free_config_descriptor(config);
  return best;
}

std::shared_ptr<OpenDevice> OpenAndClaim(libusb_device* device) {
  const PipeInterface pipes = FindPipeInterface(device);
  if (pipes.number < 0) return nullptr;
  libusb_device_handle* handle = nullptr;
  if (libusb_open(device, &handle) != LIBUSB_SUCCESS) return nullptr;
  // A printer is often bound to the kernel's printer driver; take it over for as long as we hold
  // it (libusb gives it back when the interface is released).
  libusb_set_auto_detach_kernel_driver(handle, 1);
  if (libusb_claim_interface(handle, pipes.number) != LIBUSB_SUCCESS) {
    libusb_close(handle);
    return nullptr;
  }
  if (pipes.altSetting != 0 &&
      libusb_set_interface_alt_setting(handle, pipes.number, pipes.altSetting) != LIBUSB_SUCCESS) {
    libusb_release_interface(handle, pipes.number);
    libusb_close(handle);
    return nullptr;
  }
  return std::make_shared<OpenDevice>(handle, pipes.number, pipes.out, pipes.in);
}

}  // namespace

bool ParsePipeName(const char* name, Pipe& pipe) {
  if (name == nullptr) return false;
  const size_t length = strnlen(name, 7);
  if (length != 6) return false;
  if (std::memcmp(name, "PIPE00", 6) == 0) {
    pipe = Pipe::kOut;
    return true;
  }
  if (std::memcmp(name, "PIPE01", 6) == 0) {
    pipe = Pipe::kIn;
    return true;
  }
  return false;
}

unsigned TransferTimeoutMs() {
  // A value that is not usable leaves the default; the program says so.
  return driver_api::UsbTimeoutFromEnvironment().ms;
}

OpenDevice::OpenDevice(libusb_device_handle* handle, int interfaceNumber, uint8_t outEndpoint,
                       uint8_t inEndpoint)
    : handle_(handle),
      interfaceNumber_(interfaceNumber),
      outEndpoint_(outEndpoint),
      inEndpoint_(inEndpoint),
      timeoutMs_(TransferTimeoutMs()) {}

OpenDevice::~OpenDevice() {
  libusb_release_interface(handle_, interfaceNumber_);
  libusb_close(handle_);
}

std::shared_ptr<OpenDevice> ShareOpenDevice(libusb_device* device) {
  // A device can be claimed only once, so every pipe and control channel of this library that
  // names it uses the same open device. Entries expire when their last handle closes.
  static std::mutex mutex;
  static std::map<libusb_device*, std::weak_ptr<OpenDevice>> open;
  if (device == nullptr) return nullptr;
  std::lock_guard lock(mutex);
  for (auto it = open.begin(); it != open.end();) {
    it = it->second.expired() ? open.erase(it) : std::next(it);
  }
  if (auto it = open.find(device); it != open.end()) {
    if (auto shared = it->second.lock()) return shared;
  }
  auto opened = OpenAndClaim(device);
  if (opened) open[device] = opened;
  return opened;
}

}  // namespace zmr::drivers
