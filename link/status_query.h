#pragma once
// The status request, the wake command and the busy wait. They belong to CStatusQuery, which
// keeps its own error code (1 pipe not open or bad reply header, 101 copied from the port,
// 201 status type out of range); a success does not reset it.
#include <cstdint>

#include "link/printer_port.h"
#include "protocol/status_report.h"

namespace zmr {

class CPrinterRequest {
 public:
  virtual ~CPrinterRequest() = default;
  int ErrorCode() const { return errorCode_; }

 protected:
  int errorCode_ = 0;
};

class CStatusQuery : public CPrinterRequest {
 public:
  static constexpr int kNotOpen = 1;
  static constexpr int kBadType = 201;

  bool SendBytes(CPrinterPort& port, const void* buffer, uint32_t length,
                 uint32_t* count = nullptr);
  bool ReceiveBytes(CPrinterPort& port, void* buffer, uint32_t length, uint32_t* count = nullptr);
  bool SendWake(CPrinterPort& port);
  bool QueryStatus(CPrinterPort& port, uint8_t statusType, StatusReport& report);
};

inline constexpr int kStillBusy = 203;
inline constexpr uint32_t kBusyLimitMs = 10000;
inline constexpr uint32_t kBusyPollMs = 500;

// 0 when the status was read (and, with polling, the printer is not busy); 203 when it stayed
// busy more than 10,000 ms after the wake command; otherwise the query's error code.
int WaitWhileBusy(CPrinterPort& port, CStatusQuery& query, uint8_t statusType, StatusReport& report,
                  bool poll);

}  // namespace zmr
