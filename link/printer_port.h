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

class CPrinterPort {
 public:
  // Error codes.
  static constexpr int kNoError = 0;
  static constexpr int kNotOpen = 1;           // pipe not open, already open, or vendor ID refused
  static constexpr int kOpenFailed = 100;      // a pipe failed to open
  static constexpr int kTransferFailed = 101;  // a read or write failed or moved fewer bytes
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
  int GetPrinterCount();        // CountListedPrinters() + CountOpenablePrinters()
  int CountListedPrinters();    // matches among the devices libTUsbPrIf lists
  int CountOpenablePrinters();  // consecutive indexes from 0 that libZUsbXpIf opens; no handle
                                // stays open
  int Open();                   // OpenByPipeName, else OpenByDevicePath
  int OpenByPipeName();         // libZUsbXpIf path (driver path 0)
  int OpenByDevicePath();       // libTUsbPrIf path (driver path 1)
  // At the first listed device whose IDs equal ids[0] (vendor), ids[1] (product): copies its path
  // (at most 255 characters, always NUL-terminated, zero-filled) into dest and gives true.
  bool FindDevicePath(char (&dest)[kDevicePathSize], const uint16_t ids[2]);
  // Reads "USB\VID_xxxx&PID_xxxx" (case-insensitive, 1 to 4 hex digits each) from a text of at
  // most `size` bytes that need not be terminated. True when both IDs were read.
  static bool ParseDeviceId(const char* text, size_t size, uint16_t ids[2]);
  void ClearDevicePath();
  int Close();       // write pipe, read pipe and the third handle; always 1
  int ClosePipes();  // write pipe and read pipe; always 1
  bool IsPipeOpen(int pipe) const;
  uint32_t Read(void* buffer, uint32_t length);         // bytes read; 0 when not open
  uint32_t Write(const void* buffer, uint32_t length);  // bytes written; 0 when not open

  // --- Commands (port_commands.cpp) ---
  int EnterDownloadMode();
  int LeaveDownloadMode();
  int SendErase(uint16_t type);
  int SendTransfer(uint16_t type);
  int SendVersionRequest(uint8_t code);
  int ReadVersionReply(VersionReport& report);

  // --- State ---
  int ErrorCode() const { return errorCode_; }
  int DriverPath() const { return driverPath_; }
  const char* DevicePath() const { return devicePath_; }
  uint16_t VendorId() const { return ids_[0]; }
  uint16_t ProductId() const { return ids_[1]; }
  Clock& GetClock() const { return clock_; }

 private:
  friend class PrinterPortTestAccess;  // lets tests reach states no operation produces

  const ImportedDriver& imported_;
  const CDriverLibrary& loaded_;
  Clock& clock_;
  int errorCode_ = kNoError;
  platform::Handle writePipe_ = platform::kInvalidHandle;
  platform::Handle readPipe_ = platform::kInvalidHandle;
  platform::Handle thirdHandle_ = platform::kInvalidHandle;
  uint16_t ids_[2] = {kDefaultVendorId, kDefaultProductId};  // (vendor, product)
  int driverPath_ = 0;
  char devicePath_[kDevicePathSize] = {};
};

}  // namespace zmr
