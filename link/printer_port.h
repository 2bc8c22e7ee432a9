// SPDX-License-Identifier: MIT
#pragma once
// CPrinterPort: the tool's only connection to the printer. It counts the attached printers of the
// one supported model over both driver libraries, opens the printer's two bulk pipes ("PIPE00"
// to the printer, "PIPE01" from it), moves raw bytes and closes them again. Operations give 1
// (or true) on success and 0 on failure; the reason is the sticky error code.
//
// The connection lives in printer_port.cpp; the 4-byte command operations (EnterDownloadMode ...
// ReadVersionReply) in port_commands.cpp, over the command bytes of protocol/.
#include <cstdint>

#include "link/driver_library.h"
#include "platform/clock.h"
#include "platform/handle_io.h"
#include "protocol/version_report.h"

namespace zmr {

// The port's sticky error code; the numbers are the ones the system reports.
enum class PortError : int {
  kNone = 0,
  kNotOpen = 1,           // pipe not open, already open, or vendor ID refused
  kOpenFailed = 100,      // a pipe failed to open
  kTransferFailed = 101,  // a read or write failed or moved fewer bytes
};
const char* Name(PortError error);  // "NotOpen", ...

// Which driver library the last successful Open went through; the numbers are the system's.
enum class DriverPath : int {
  kByIndex = 0,       // libZUsbXpIf: the pipes of device index 0, opened by pipe name
  kByDevicePath = 1,  // libTUsbPrIf: the pipes of the listed device's path
};

class CPrinterPort {
 public:
  // Pipe numbers for IsPipeOpen.
  static constexpr int kWritePipe = 0;
  static constexpr int kReadPipe = 1;
  static constexpr uint16_t kDefaultVendorId = 0x04CB;
  static constexpr uint16_t kDefaultProductId = 0x5006;
  static constexpr size_t kDevicePathSize = ZMR_DRIVER_TEXT_SIZE;
  // More devices than any machine attaches: a driver library that reports more, or that opens
  // every index it is asked for, is not followed further (counting would never end).
  static constexpr int kMaxDevices = 1024;

  // The port uses the given entry points (any may be null) and the clock for the pauses of its
  // commands. It starts closed with the default vendor and product ID and no device path.
  CPrinterPort(const ImportedDriver& imported, const CDriverLibrary& loaded, Clock& clock);
  ~CPrinterPort();
  CPrinterPort(const CPrinterPort&) = delete;
  CPrinterPort& operator=(const CPrinterPort&) = delete;

  // --- Connection ---
  [[nodiscard]] int GetPrinterCount();        // CountListedPrinters() + CountOpenablePrinters()
  [[nodiscard]] int CountListedPrinters();    // matches among the devices libTUsbPrIf lists
  [[nodiscard]] int CountOpenablePrinters();  // consecutive indexes from 0 that libZUsbXpIf opens;
                                              // no handle stays open
  [[nodiscard]] int Open();                   // OpenByPipeName, else OpenByDevicePath
  [[nodiscard]] int OpenByPipeName();         // libZUsbXpIf path (DriverPath::kByIndex)
  [[nodiscard]] int OpenByDevicePath();       // libTUsbPrIf path (DriverPath::kByDevicePath)
  // At the first listed device whose IDs equal ids[0] (vendor), ids[1] (product): copies its path
  // (at most 255 characters, always NUL-terminated, zero-filled) into dest and gives true.
  [[nodiscard]] bool FindDevicePath(char (&dest)[kDevicePathSize], const uint16_t ids[2]);
  void ClearDevicePath();
  int Close();       // write pipe, read pipe and the third handle; always 1
  int ClosePipes();  // write pipe and read pipe; always 1
  bool IsPipeOpen(int pipe) const;
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t length);  // bytes read; 0 when not open
  [[nodiscard]] uint32_t Write(const void* buffer,
                               uint32_t length);  // bytes written; 0 when not open

  // --- Commands (port_commands.cpp) ---
  [[nodiscard]] int EnterDownloadMode();
  [[nodiscard]] int LeaveDownloadMode();
  [[nodiscard]] int SendErase(uint16_t type);
  [[nodiscard]] int SendTransfer(uint16_t type);
  [[nodiscard]] int SendVersionRequest(uint8_t code);
  [[nodiscard]] int ReadVersionReply(VersionReport& report);

  // --- State ---
  PortError ErrorCode() const { return errorCode_; }
  // As the last successful Open left it; kByIndex before the first.
  zmr::DriverPath DriverPath() const { return driverPath_; }
  const char* DevicePath() const { return devicePath_; }
  uint16_t VendorId() const { return ids_[0]; }
  uint16_t ProductId() const { return ids_[1]; }
  Clock& GetClock() const { return clock_; }

 private:
  friend class PrinterPortTestAccess;  // lets tests reach states no operation produces

  // Calls visit(devicePath) for each listed device whose IDs equal ids[0], ids[1], in index order,
  // while it returns true. The path's buffer holds ZMR_DRIVER_TEXT_SIZE bytes.
  template <typename Visit>
  void ForEachListedMatch(const uint16_t ids[2], Visit visit);
  // The end of both opens: 1 with both pipes open, else 0 with neither.
  int FinishOpen();
  // One read or write on `pipe` through `move`, with the sticky error code's rule.
  template <typename Move>
  uint32_t Transfer(platform::DriverHandle pipe, uint32_t length, Move move);

  const ImportedDriver& imported_;
  const CDriverLibrary& loaded_;
  Clock& clock_;
  PortError errorCode_ = PortError::kNone;
  platform::DriverHandle writePipe_ = platform::kInvalidHandle;
  platform::DriverHandle readPipe_ = platform::kInvalidHandle;
  platform::DriverHandle thirdHandle_ = platform::kInvalidHandle;
  uint16_t ids_[2] = {kDefaultVendorId, kDefaultProductId};  // (vendor, product)
  zmr::DriverPath driverPath_ = zmr::DriverPath::kByIndex;
  char devicePath_[kDevicePathSize] = {};
};

}  // namespace zmr
