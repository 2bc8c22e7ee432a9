// SPDX-License-Identifier: MIT
#include "drivers/usb_trace.h"

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>

namespace zmr::drivers {
namespace {

struct TraceFile {
  std::mutex mutex;
  std::string path;
  int fd = -1;
  std::chrono::steady_clock::time_point start;
};

// The file that ZMR470_USB_TRACE names now: opened at the first transfer after the setting
// changed, and kept until it changes again.
TraceFile& TheTraceFile() {
  static TraceFile file;
  return file;
}

}  // namespace

void TraceTransfer(Pipe pipe, uint32_t length, const uint8_t* bytes, uint32_t done, int result) {
  const char* setting = std::getenv("ZMR470_USB_TRACE");
  TraceFile& file = TheTraceFile();
  std::lock_guard lock(file.mutex);
  if (file.path != (setting ? setting : "")) {
    if (file.fd >= 0) close(file.fd);
    file.path = setting ? setting : "";
    file.fd =
        file.path.empty()
            ? -1
            : open(file.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    file.start = std::chrono::steady_clock::now();
  }
  if (file.fd < 0) return;
  static constexpr char kHex[] = "0123456789abcdef";
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - file.start)
                      .count();
  std::string line = std::to_string(ms) + (pipe == Pipe::kOut ? " W PIPE00 " : " R PIPE01 ") +
                     std::to_string(length) + ' ';
  const uint32_t shown = bytes ? std::min<uint32_t>(done, 16) : 0;
  if (shown == 0) line += '-';
  for (uint32_t i = 0; i < shown; ++i) {
    line += kHex[bytes[i] >> 4];
    line += kHex[bytes[i] & 0x0F];
  }
  if (done > 16) line += "...";
  if (result != LIBUSB_SUCCESS) {
    line += std::string(" failed ") + libusb_error_name(result);
  } else if (done != length) {
    line += " short " + std::to_string(done);
  }
  line += '\n';
  [[maybe_unused]] const ssize_t n = write(file.fd, line.data(), line.size());
}

}  // namespace zmr::drivers
