// SPDX-License-Identifier: MIT
#pragma once
// The status request, the wake command and the busy wait. They belong to CStatusQuery, which
// keeps its own error code; a success does not reset it.
#include <cstdint>

#include "link/printer_port.h"
#include "protocol/status_report.h"

namespace zmr {

// Why a status query or the busy wait failed. Code() gives the number the system reports for it:
// a pipe that is not open and a reply with a wrong header share 1.
enum class StatusError {
  kNone,            // 0
  kNotOpen,         // 1: a pipe is not open (or the port said so)
  kBadReplyHeader,  // 1: the reply is not 0xE4 'V' '2' and the type character
  kTransferFailed,  // 101: copied from the port
  kBadType,         // 201: status type out of range
  kStillBusy,       // 203: busy for more than 10,000 ms after the wake command (busy wait only)
};
int Code(StatusError error);
const char* Name(StatusError error);  // "NotOpen", ...

class CPrinterRequest {
 public:
  virtual ~CPrinterRequest() = default;
  // The number the system reports for the last failure (0 while none).
  int ErrorCode() const { return Code(error_); }
  StatusError Error() const { return error_; }

 protected:
  StatusError error_ = StatusError::kNone;
};

class CStatusQuery : public CPrinterRequest {
 public:
  static constexpr int kNotOpen = 1;
  static constexpr int kBadType = 201;

  [[nodiscard]] bool SendBytes(CPrinterPort& port, const void* buffer, uint32_t length,
                               uint32_t* count = nullptr);
  [[nodiscard]] bool ReceiveBytes(CPrinterPort& port, void* buffer, uint32_t length,
                                  uint32_t* count = nullptr);
  [[nodiscard]] bool SendWake(CPrinterPort& port);
  [[nodiscard]] bool QueryStatus(CPrinterPort& port, uint8_t statusType, StatusReport& report);

 private:
  void TakePortError(const CPrinterPort& port);
};

inline constexpr int kStillBusy = 203;
inline constexpr uint32_t kBusyLimitMs = 10000;
inline constexpr uint32_t kBusyPollMs = 500;

// kNone when the status was read (and, with polling, the printer is not busy); kStillBusy when it
// stayed busy more than 10,000 ms after the wake command (not stored in the query); otherwise the
// query's error. Code() of the result is the number the system reports.
[[nodiscard]] StatusError WaitWhileBusy(CPrinterPort& port, CStatusQuery& query, uint8_t statusType,
                                        StatusReport& report, bool poll);

}  // namespace zmr
