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

// Every member blocks for as long as the port's transfers take (and QueryStatus for its pause as
// well, on the port's clock); none services window events. A failure sets the query's error
// (kept until the next failure); a success leaves it as it was.
class CStatusQuery : public CPrinterRequest {
 public:
  // Writes `length` bytes of `buffer` to the write pipe in one transfer. True when all were
  // written; otherwise false with the error taken from the port (kNotOpen for a pipe that is not
  // open, kTransferFailed for a failed or short write). Stores the count written in `count` when
  // given one, success or not.
  [[nodiscard]] bool SendBytes(CPrinterPort& port, const void* buffer, uint32_t length,
                               uint32_t* count = nullptr);
  // Reads `length` bytes into `buffer` from the read pipe in one transfer, with SendBytes' rule
  // for the result, the error and `count`. The buffer must hold `length` bytes.
  [[nodiscard]] bool ReceiveBytes(CPrinterPort& port, void* buffer, uint32_t length,
                                  uint32_t* count = nullptr);
  // Writes the 4-byte wake command; needs only the write pipe. False with kNotOpen when that pipe
  // is not open (nothing written), else as SendBytes.
  [[nodiscard]] bool SendWake(CPrinterPort& port);
  // Asks for the status of `statusType` (0 to 2), pauses 50 ms, reads the reply and decodes it
  // into `report`. False, with the report untouched, on: a pipe not open (kNotOpen, nothing
  // written), a type out of range (kBadType, nothing written), a failed or short transfer
  // (from the port), a reply with a wrong header (kBadReplyHeader).
  [[nodiscard]] bool QueryStatus(CPrinterPort& port, uint8_t statusType, StatusReport& report);

 private:
  void TakePortError(const CPrinterPort& port);
};

inline constexpr uint32_t kBusyLimitMs = 10000;
inline constexpr uint32_t kBusyPollMs = 500;

// kNone when the status was read (and, with polling, the printer is not busy); kStillBusy when it
// stayed busy more than 10,000 ms after the wake command (not stored in the query); otherwise the
// query's error. Code() of the result is the number the system reports. With polling: the wake
// command once, then a query every 500 ms while the printer is busy; blocks for all of it (a little
// over 10 s at most) on the port's clock and services no window events.
[[nodiscard]] StatusError WaitWhileBusy(CPrinterPort& port, CStatusQuery& query, uint8_t statusType,
                                        StatusReport& report, bool poll);

}  // namespace zmr
