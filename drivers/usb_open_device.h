// SPDX-License-Identifier: MIT
#pragma once
// An opened printer: the device handle, its claimed interface and the two bulk endpoints that
// serve as the pipes. All handles of one device share one OpenDevice; the last one to close
// releases the interface and closes the device.
#include <libusb.h>

#include <cstdint>
#include <memory>

#include "driver_api/usb_timeout.h"

namespace zmr::drivers {

enum class Pipe { kOut, kIn };  // "PIPE00" host to printer, "PIPE01" printer to host

// Reads "PIPE00" or "PIPE01" from a text that may lack its NUL; false for anything else.
bool ParsePipeName(const char* name, Pipe& pipe);

// How long one transfer may take before it fails: 5 s. The slowest printer the update can work
// with moves an image of up to 1 MB within its 120 s budget, about 8.5 kB/s, so one 4096-byte
// block takes under half a second even then; a reply of at most 256 bytes is ready before the
// tool reads it. Ten times the slowest block leaves room for a printer that holds the pipe while
// it writes its memory, and still fails a dead printer within seconds instead of hanging the tool.
// ZMR470_USB_TIMEOUT_MS (1 to 600000) overrides it for devices opened afterwards; the older name
// ZMR_USB_TIMEOUT_MS is still read when the new one is not set (deprecated).
inline constexpr unsigned kDefaultTransferTimeoutMs = driver_api::kDefaultUsbTimeoutMs;
unsigned TransferTimeoutMs();

class OpenDevice {
 public:
  // Takes over an opened handle whose interface has been claimed.
  OpenDevice(libusb_device_handle* handle, int interfaceNumber, uint8_t outEndpoint,
             uint8_t inEndpoint);
  ~OpenDevice();
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;

  libusb_device_handle* Handle() const { return handle_; }
  // The endpoint address of a pipe; 0 when the interface has none.
  uint8_t Endpoint(Pipe pipe) const { return pipe == Pipe::kOut ? outEndpoint_ : inEndpoint_; }
  unsigned TimeoutMs() const { return timeoutMs_; }

 private:
  libusb_device_handle* handle_;
  int interfaceNumber_;
  uint8_t outEndpoint_;
  uint8_t inEndpoint_;
  unsigned timeoutMs_;
};

// The open device for `device`: the one already open in this library, or a newly opened one
// (kernel driver detached, interface claimed). Null when it does not open.
std::shared_ptr<OpenDevice> ShareOpenDevice(libusb_device* device);

}  // namespace zmr::drivers
