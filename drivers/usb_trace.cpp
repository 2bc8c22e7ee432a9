// SPDX-License-Identifier: MIT
#include "drivers/usb_trace.h"

#include <fcntl.h>
#include <libusb.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "driver_api/trace_format.h"

namespace zmr::drivers {
namespace {

struct TraceFile {
  std::mutex mutex;
  std::string path;
  int fd = -1;
};

// The file that ZMR470_USB_TRACE names now: opened at the first line after the setting changed,
// and kept until it changes again or the file at that path is another (removed, rotated).
TraceFile& TheTraceFile() {
  static TraceFile file;
  return file;
}

bool FullTrace() {
  const char* setting = std::getenv("ZMR470_USB_FULLTRACE");
  if (setting == nullptr) return false;
  const std::string_view value(setting);
  return value == "1" || value == "yes" || value == "on";
}

uint64_t BootMs() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// When the process started, on the same clock, as the kernel says: the same in both libraries.
std::optional<uint64_t> ProcessStartMs() {
  const int fd = open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char text[1024];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return std::nullopt;
  text[n] = '\0';
  // After the command's name in parentheses: the state is field 3, the start time field 22.
  const char* field = std::strrchr(text, ')');
  for (int i = 2; field != nullptr && i < 22; ++i) field = std::strchr(field + 1, ' ');
  const long hz = sysconf(_SC_CLK_TCK);
  if (field == nullptr || hz <= 0) return std::nullopt;
  char* end = nullptr;
  const unsigned long long ticks = std::strtoull(field + 1, &end, 10);
  if (end == field + 1) return std::nullopt;
  return ticks * 1000 / static_cast<unsigned long long>(hz);
}

// The open file is no longer the one at its path (removed or replaced since).
bool Replaced(const TraceFile& file) {
  struct stat open {};
  struct stat named {};
  return fstat(file.fd, &open) != 0 || stat(file.path.c_str(), &named) != 0 ||
         open.st_dev != named.st_dev || open.st_ino != named.st_ino;
}

// Whether the trace is on: the file that ZMR470_USB_TRACE names now is open.
bool TraceOn() {
  const char* setting = std::getenv("ZMR470_USB_TRACE");
  TraceFile& file = TheTraceFile();
  std::lock_guard lock(file.mutex);
  if (file.path != (setting ? setting : "") || (file.fd >= 0 && Replaced(file))) {
    if (file.fd >= 0) close(file.fd);
    file.path = setting ? setting : "";
    file.fd =
        file.path.empty()
            ? -1
            : open(file.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  }
  return file.fd >= 0;
}

// Writes `line` and its line break in one call.
void WriteLine(const std::string& line) {
  TraceFile& file = TheTraceFile();
  std::lock_guard lock(file.mutex);
  if (file.fd < 0) return;
  const std::string text = line + '\n';
  [[maybe_unused]] const ssize_t n = write(file.fd, text.data(), text.size());
}

}  // namespace

uint32_t TraceClock() {
  static const uint64_t start = ProcessStartMs().value_or(BootMs());
  const uint64_t now = BootMs();
  return now > start ? static_cast<uint32_t>(now - start) : 0;
}

void TraceTransfer(Pipe pipe, uint32_t length, const uint8_t* bytes, uint32_t done, int result,
                   uint32_t startMs) {
  if (!TraceOn()) return;
  const bool full = FullTrace();
  trace::TransferLine line;
  line.ms = TraceClock();
  line.write = pipe == Pipe::kOut;
  line.length = length;
  line.done = done;
  line.ok = result == LIBUSB_SUCCESS;
  line.bytes = bytes;
  // A plain line shows the bytes that moved; a recording every byte a write offered.
  line.byteCount = full && line.write ? length : done;
  line.full = full;
  line.error = line.ok ? nullptr : libusb_error_name(result);
  line.tookMs = line.ms - startMs;
  WriteLine(trace::FormatTransfer(line));
}

void TraceDrained(uint32_t asked, const uint8_t* bytes, uint32_t count, int result,
                  uint32_t startMs) {
  if (!TraceOn()) return;
  if (FullTrace()) {
    WriteLine(trace::Stamped(TraceClock(), trace::DrainedLine(bytes, count)));
  } else {
    TraceTransfer(Pipe::kIn, asked, bytes, count, result, startMs);
  }
}

void TraceCall(const std::string& line) {
  if (!TraceOn() || !FullTrace()) return;
  WriteLine(trace::Stamped(TraceClock(), line));
}

}  // namespace zmr::drivers
