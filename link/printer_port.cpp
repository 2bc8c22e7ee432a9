// SPDX-License-Identifier: MIT
#include "link/printer_port.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protocol/device_id.h"

namespace zmr {
namespace {

constexpr char kWritePipeName[] = "PIPE00";
constexpr char kReadPipeName[] = "PIPE01";

// A text buffer as the driver libraries fill it: zeroed before every call, and possibly filled
// to the last byte without a terminating NUL.
using TextBuffer = std::array<char, ZMR_DRIVER_TEXT_SIZE>;

// Length of a text in a buffer of `size` bytes that need not hold a NUL.
size_t BoundedLength(const char* text, size_t size) {
  const void* nul = std::memchr(text, '\0', size);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : size;
}

// Closes an open handle and marks it closed.
void CloseIfOpen(platform::DriverHandle& handle) {
  if (handle != platform::kInvalidHandle) platform::CloseHandle(handle);
  handle = platform::kInvalidHandle;
}

}  // namespace

const char* Name(PortError error) {
  switch (error) {
    case PortError::kNone:
      return "None";
    case PortError::kNotOpen:
      return "NotOpen";
    case PortError::kOpenFailed:
      return "OpenFailed";
    case PortError::kTransferFailed:
      return "TransferFailed";
  }
  return "Unknown";
}

CPrinterPort::CPrinterPort(const ImportedDriver& imported, const CDriverLibrary& loaded,
                           Clock& clock)
    : imported_(imported), loaded_(loaded), clock_(clock) {}

CPrinterPort::~CPrinterPort() {
  Close();
}

int CPrinterPort::GetPrinterCount() {
  const int listed = CountListedPrinters();
  return listed + CountOpenablePrinters();
}

int CPrinterPort::CountListedPrinters() {
  int count = 0;
  ForEachListedMatch(ids_, [&count](const char*) {
    ++count;
    return true;
  });
  return count;
}

template <typename Visit>
void CPrinterPort::ForEachListedMatch(const uint16_t ids[2], Visit visit) {
  if (!imported_.UsbGetDeviceNum || !imported_.UsbGetDeviceInfo) return;
  const int devices = std::min(imported_.UsbGetDeviceNum(), kMaxDevices);
  for (int index = 0; index < devices; ++index) {
    // Both buffers are zeroed before every call.
    TextBuffer deviceId{};
    TextBuffer devicePath{};
    if (!imported_.UsbGetDeviceInfo(index, deviceId.data(), devicePath.data())) continue;
    uint16_t found[2] = {};
    if (!ParseDeviceId(deviceId.data(), deviceId.size(), found) || found[0] != ids[0] ||
        found[1] != ids[1]) {
      continue;
    }
    if (!visit(devicePath.data())) return;
  }
}

int CPrinterPort::CountOpenablePrinters() {
  if (!loaded_.SetVenderID || !loaded_.SetVenderID(ids_[0])) return 0;
  if (loaded_.SetProductID) loaded_.SetProductID(&ids_[1], 1);
  int index = 0;
  for (; index < kMaxDevices; ++index) {
    // Every probe makes all three calls, so that a half-open device leaves nothing behind.
    platform::DriverHandle control =
        loaded_.UsbOpenCont ? loaded_.UsbOpenCont(index, 0) : platform::kInvalidHandle;
    platform::DriverHandle out =
        loaded_.UsbOpenBulk ? loaded_.UsbOpenBulk(kWritePipeName, index) : platform::kInvalidHandle;
    platform::DriverHandle in =
        loaded_.UsbOpenBulk ? loaded_.UsbOpenBulk(kReadPipeName, index) : platform::kInvalidHandle;
    const bool opened = control != platform::kInvalidHandle && out != platform::kInvalidHandle &&
                        in != platform::kInvalidHandle;
    CloseIfOpen(control);
    CloseIfOpen(out);
    CloseIfOpen(in);
    if (!opened) break;
  }
  return index;
}

int CPrinterPort::Open() {
  if (OpenByPipeName()) {
    driverPath_ = DriverPath::kByIndex;
    return 1;
  }
  if (OpenByDevicePath()) {
    driverPath_ = DriverPath::kByDevicePath;
    return 1;
  }
  return 0;
}

int CPrinterPort::OpenByPipeName() {
  if (IsPipeOpen(kWritePipe) || IsPipeOpen(kReadPipe)) {
    errorCode_ = PortError::kNotOpen;
    return 0;
  }
  if (!loaded_.SetVenderID || !loaded_.SetVenderID(ids_[0])) {
    errorCode_ = PortError::kNotOpen;
    return 0;
  }
  if (loaded_.SetProductID) loaded_.SetProductID(&ids_[1], 1);
  // Device index 0 is always the one opened.
  if (loaded_.UsbOpenBulk) {
    writePipe_ = loaded_.UsbOpenBulk(kWritePipeName, 0);
    readPipe_ = loaded_.UsbOpenBulk(kReadPipeName, 0);
  }
  return FinishOpen();
}

int CPrinterPort::OpenByDevicePath() {
  if (IsPipeOpen(kWritePipe) || IsPipeOpen(kReadPipe)) {
    errorCode_ = PortError::kNotOpen;
    return 0;
  }
  // A path once found is reused until ClearDevicePath, even if the device has gone since. Whether
  // one was found shows in the path itself.
  if (devicePath_[0] == '\0') static_cast<void>(FindDevicePath(devicePath_, ids_));
  if (devicePath_[0] != '\0' && imported_.UsbOpenBulk3) {
    writePipe_ = imported_.UsbOpenBulk3(kWritePipeName, devicePath_);
    readPipe_ = imported_.UsbOpenBulk3(kReadPipeName, devicePath_);
  }
  return FinishOpen();
}

int CPrinterPort::FinishOpen() {
  if (IsPipeOpen(kWritePipe) && IsPipeOpen(kReadPipe)) {
    errorCode_ = PortError::kNone;
    return 1;
  }
  ClosePipes();  // whichever half did open
  errorCode_ = PortError::kOpenFailed;
  return 0;
}

bool CPrinterPort::FindDevicePath(char (&dest)[kDevicePathSize], const uint16_t ids[2]) {
  if (!ids) return false;
  bool found = false;
  ForEachListedMatch(ids, [&](const char* devicePath) {
    // A library that breaks the contract may fill all 256 bytes without a NUL: keep at most 255
    // characters and the NUL.
    const size_t length = std::min(BoundedLength(devicePath, kDevicePathSize), kDevicePathSize - 1);
    std::memset(dest, 0, kDevicePathSize);
    std::memcpy(dest, devicePath, length);
    found = true;
    return false;  // the first match is the one
  });
  return found;
}

void CPrinterPort::ClearDevicePath() {
  std::memset(devicePath_, 0, sizeof(devicePath_));
}

int CPrinterPort::Close() {
  CloseIfOpen(writePipe_);
  CloseIfOpen(readPipe_);
  CloseIfOpen(thirdHandle_);
  return 1;
}

int CPrinterPort::ClosePipes() {
  CloseIfOpen(writePipe_);
  CloseIfOpen(readPipe_);
  return 1;
}

bool CPrinterPort::IsPipeOpen(int pipe) const {
  switch (pipe) {
    case kWritePipe:
      return writePipe_ != platform::kInvalidHandle;
    case kReadPipe:
      return readPipe_ != platform::kInvalidHandle;
    default:
      return false;
  }
}

uint32_t CPrinterPort::Read(void* buffer, uint32_t length) {
  return Transfer(readPipe_, length, [&](uint32_t* done) {
    return platform::ReadHandle(readPipe_, buffer, length, done);
  });
}

uint32_t CPrinterPort::Write(const void* buffer, uint32_t length) {
  return Transfer(writePipe_, length, [&](uint32_t* done) {
    return platform::WriteHandle(writePipe_, buffer, length, done);
  });
}

template <typename Move>
uint32_t CPrinterPort::Transfer(platform::DriverHandle pipe, uint32_t length, Move move) {
  if (pipe == platform::kInvalidHandle) {
    errorCode_ = PortError::kNotOpen;
    return 0;
  }
  uint32_t done = 0;
  if (!move(&done)) {
    errorCode_ = PortError::kTransferFailed;
    return 0;
  }
  // A full transfer leaves the code as it was: only a successful open clears it.
  if (done < length) errorCode_ = PortError::kTransferFailed;
  return done;
}

}  // namespace zmr
