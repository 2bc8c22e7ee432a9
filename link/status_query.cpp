// SPDX-License-Identifier: MIT
#include "link/status_query.h"

#include "protocol/commands.h"

namespace zmr {

int Code(StatusError error) {
  switch (error) {
    case StatusError::kNone:
      return 0;
    case StatusError::kNotOpen:
    case StatusError::kBadReplyHeader:
      return 1;
    case StatusError::kTransferFailed:
      return 101;
    case StatusError::kBadType:
      return 201;
    case StatusError::kStillBusy:
      return 203;
  }
  return -1;
}

const char* Name(StatusError error) {
  switch (error) {
    case StatusError::kNone:
      return "None";
    case StatusError::kNotOpen:
      return "NotOpen";
    case StatusError::kBadReplyHeader:
      return "BadReplyHeader";
    case StatusError::kTransferFailed:
      return "TransferFailed";
    case StatusError::kBadType:
      return "BadType";
    case StatusError::kStillBusy:
      return "StillBusy";
  }
  return "Unknown";
}

void CStatusQuery::TakePortError(const CPrinterPort& port) {
  switch (port.ErrorCode()) {
    case PortError::kNone:
      break;  // a short transfer of a port whose code was cleared cannot happen
    case PortError::kNotOpen:
    case PortError::kOpenFailed:
      error_ = StatusError::kNotOpen;
      break;
    case PortError::kTransferFailed:
      error_ = StatusError::kTransferFailed;
      break;
  }
}

bool CStatusQuery::SendBytes(CPrinterPort& port, const void* buffer, uint32_t length,
                             uint32_t* count) {
  const uint32_t written = port.Write(buffer, length);
  if (count) *count = written;
  if (written != length) {
    TakePortError(port);
    return false;
  }
  return true;
}

bool CStatusQuery::ReceiveBytes(CPrinterPort& port, void* buffer, uint32_t length,
                                uint32_t* count) {
  const uint32_t read = port.Read(buffer, length);
  if (count) *count = read;
  if (read != length) {
    TakePortError(port);
    return false;
  }
  return true;
}

bool CStatusQuery::SendWake(CPrinterPort& port) {
  // The wake command needs only the write pipe.
  if (!port.IsPipeOpen(CPrinterPort::kWritePipe)) {
    error_ = StatusError::kNotOpen;
    return false;
  }
  return SendBytes(port, command::kWake.data(), command::kWake.size());
}

bool CStatusQuery::QueryStatus(CPrinterPort& port, uint8_t statusType, StatusReport& report) {
  if (!port.IsPipeOpen(CPrinterPort::kWritePipe) || !port.IsPipeOpen(CPrinterPort::kReadPipe)) {
    error_ = StatusError::kNotOpen;
    return false;
  }
  const size_t length = StatusReplyLength(statusType);
  if (length == 0) {
    error_ = StatusError::kBadType;
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
    error_ = StatusError::kBadReplyHeader;
    return false;
  }
  return true;
}

StatusError WaitWhileBusy(CPrinterPort& port, CStatusQuery& query, uint8_t statusType,
                          StatusReport& report, bool poll) {
  if (!poll)
    return query.QueryStatus(port, statusType, report) ? StatusError::kNone : query.Error();
  if (!query.SendWake(port)) return query.Error();
  Clock& clock = port.GetClock();
  const uint32_t start = clock.TickCount();
  for (;;) {
    if (!query.QueryStatus(port, statusType, report)) return query.Error();
    if (!IsPrinterBusy(report.stateBytes)) return StatusError::kNone;
    // Unsigned difference: a wrap of the tick counter does no harm.
    if (clock.TickCount() - start > kBusyLimitMs) return StatusError::kStillBusy;
    clock.Sleep(kBusyPollMs);
  }
}

}  // namespace zmr
