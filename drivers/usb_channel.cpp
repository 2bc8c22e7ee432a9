// SPDX-License-Identifier: MIT
#include "drivers/usb_channel.h"

#include "drivers/usb_trace.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace zmr::drivers {
namespace {

// One bulk endpoint. Every Read or Write is one synchronous transfer bounded by the device's
// timeout; it is neither split nor retried here.
class BulkChannel final : public driver_api::Channel {
 public:
  BulkChannel(std::shared_ptr<OpenDevice> device, Pipe pipe)
      : device_(std::move(device)), pipe_(pipe) {}

  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    if (pipe_ != Pipe::kIn) return false;
    // A reply may end early with a short packet; the caller compares the count it gets with the
    // length it asked for. More bytes than the buffer holds fail the transfer (overflow).
    return Transfer(buffer, length, done);
  }

  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = 0;
    if (pipe_ != Pipe::kOut) return false;
    // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
    return Transfer(const_cast<uint8_t*>(buffer), length, done) && done == length;
  }

 private:
  bool Transfer(uint8_t* buffer, uint32_t length, uint32_t& done) {
    if ((buffer == nullptr && length != 0) || length > static_cast<uint32_t>(INT_MAX)) return false;
    const uint8_t endpoint = device_->Endpoint(pipe_);
    const uint32_t start = TraceClock();
    int transferred = 0;
    const int result =
        libusb_bulk_transfer(device_->Handle(), endpoint, buffer, static_cast<int>(length),
                             &transferred, device_->TimeoutMs());
    // Also after a time-out or an error: the bytes that did move count.
    if (transferred > 0) done = std::min(static_cast<uint32_t>(transferred), length);
    // A halted endpoint stays halted until cleared; clear it so that the printer can be talked
    // to again once the caller has dealt with the failure.
    if (result == LIBUSB_ERROR_PIPE) libusb_clear_halt(device_->Handle(), endpoint);
    TraceTransfer(pipe_, length, buffer, done, result, start);
    return result == LIBUSB_SUCCESS;
  }

  std::shared_ptr<OpenDevice> device_;
  Pipe pipe_;
};

class ControlChannel final : public driver_api::InertChannel {
 public:
  explicit ControlChannel(std::shared_ptr<OpenDevice> device) : device_(std::move(device)) {}

 private:
  std::shared_ptr<OpenDevice> device_;
};

// A reply that came after its reader gave up (a read that timed out, a tool that ended) waits in
// the printer's IN pipe and would be taken as the answer to the next request. Reads it away when
// the pipe is opened: short reads until one finds nothing, at most kDrainReads of them.
constexpr unsigned kDrainTimeoutMs = 50;
constexpr int kDrainReads = 16;

void DrainInPipe(OpenDevice& device) {
  uint8_t buffer[512];
  for (int i = 0; i < kDrainReads; ++i) {
    int transferred = 0;
    const uint32_t start = TraceClock();
    const int result = libusb_bulk_transfer(device.Handle(), device.Endpoint(Pipe::kIn), buffer,
                                            sizeof buffer, &transferred, kDrainTimeoutMs);
    if (transferred > 0) {
      TraceDrained(sizeof buffer, buffer,
                   std::min(static_cast<uint32_t>(transferred), uint32_t{sizeof buffer}), result,
                   start);
    }
    if (result == LIBUSB_ERROR_PIPE) libusb_clear_halt(device.Handle(), device.Endpoint(Pipe::kIn));
    if (result != LIBUSB_SUCCESS || transferred == 0) return;
  }
}

}  // namespace

driver_api::ChannelHandle OpenPipe(libusb_device* device, Pipe pipe) {
  auto open = ShareOpenDevice(device);
  if (!open || open->Endpoint(pipe) == 0) return driver_api::kInvalidHandle;
  if (pipe == Pipe::kIn) DrainInPipe(*open);
  return driver_api::RegisterChannel(std::make_unique<BulkChannel>(std::move(open), pipe));
}

driver_api::ChannelHandle OpenControl(libusb_device* device) {
  auto open = ShareOpenDevice(device);
  if (!open) return driver_api::kInvalidHandle;
  return driver_api::RegisterChannel(std::make_unique<ControlChannel>(std::move(open)));
}

}  // namespace zmr::drivers
