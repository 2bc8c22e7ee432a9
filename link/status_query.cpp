#include "link/status_query.h"

#include "protocol/commands.h"

namespace zmr {

bool CStatusQuery::SendBytes(CPrinterPort& port, const void* buffer, uint32_t length,
                             uint32_t* count) {
  const uint32_t written = port.Write(buffer, length);
  if (count) *count = written;
  if (written != length) {
    errorCode_ = port.ErrorCode();
    return false;
  }
  return true;
}

bool CStatusQuery::ReceiveBytes(CPrinterPort& port, void* buffer, uint32_t length,
                                uint32_t* count) {
  const uint32_t read = port.Read(buffer, length);
  if (count) *count = read;
  if (read != length) {
    errorCode_ = port.ErrorCode();
    return false;
  }
  return true;
}

bool CStatusQuery::SendWake(CPrinterPort& port) {
  // The wake command needs only the write pipe.
  if (!port.IsPipeOpen(CPrinterPort::kWritePipe)) {
    errorCode_ = kNotOpen;
    return false;
  }
  return SendBytes(port, command::kWake.data(), command::kWake.size());
}

bool CStatusQuery::QueryStatus(CPrinterPort& port, uint8_t statusType, StatusReport& report) {
  if (!port.IsPipeOpen(CPrinterPort::kWritePipe) || !port.IsPipeOpen(CPrinterPort::kReadPipe)) {
    errorCode_ = kNotOpen;
    return false;
  }
  const size_t length = StatusReplyLength(statusType);
  if (length == 0) {
    errorCode_ = kBadType;
    return false;
  }
  const uint8_t request[4] = {command::kEsc, 'V', command::kStatus,
                              static_cast<uint8_t>('0' + statusType)};
  if (!SendBytes(port, request, sizeof(request))) return false;

  uint8_t reply[256] = {};
  port.GetClock().Sleep(command::kStatusReplyPauseMs);
  if (!ReceiveBytes(port, reply, static_cast<uint32_t>(length))) return false;
  // A reply with a wrong header leaves the previous report in place.
  if (!DecodeStatusReply(reply, length, statusType, report)) {
    errorCode_ = kNotOpen;
    return false;
  }
  return true;
}

int WaitWhileBusy(CPrinterPort& port, CStatusQuery& query, uint8_t statusType, StatusReport& report,
                  bool poll) {
  if (!poll) return query.QueryStatus(port, statusType, report) ? 0 : query.ErrorCode();
  if (!query.SendWake(port)) return query.ErrorCode();
  Clock& clock = port.GetClock();
  const uint32_t start = clock.TickCount();
  for (;;) {
    if (!query.QueryStatus(port, statusType, report)) return query.ErrorCode();
    if (!IsPrinterBusy(report.stateBytes)) return 0;
    // Unsigned difference: a wrap of the tick counter does no harm.
    if (clock.TickCount() - start > kBusyLimitMs) return kStillBusy;
    clock.Sleep(kBusyPollMs);
  }
}

}  // namespace zmr
