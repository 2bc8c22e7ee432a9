// SPDX-License-Identifier: MIT
// The command operations of CPrinterPort: each writes one 4-byte command through the port.
#include "link/printer_port.h"
#include "protocol/commands.h"
#include "protocol/version_report.h"

namespace zmr {
namespace {

int SendCommand(CPrinterPort& port, const command::Bytes& bytes) {
  return port.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) == bytes.size() ? 1 : 0;
}

// Erase and transfer: a type without a data type code sends nothing and sets no code.
int SendTypedCommand(CPrinterPort& port, uint8_t operation, uint16_t type) {
  const uint8_t code = command::DataTypeCode(type);
  if (code == 0) return 0;
  if (!SendCommand(port, {command::kEsc, 'f', operation, code})) return 0;
  port.GetClock().Sleep(command::kCommandPauseMs);
  return 1;
}

}  // namespace

int CPrinterPort::EnterDownloadMode() {
  return SendCommand(*this, command::kEnterDownloadMode);
}

int CPrinterPort::LeaveDownloadMode() {
  return SendCommand(*this, command::kLeaveDownloadMode);
}

int CPrinterPort::SendErase(uint16_t type) {
  return SendTypedCommand(*this, command::kErase, type);
}

int CPrinterPort::SendTransfer(uint16_t type) {
  return SendTypedCommand(*this, command::kTransfer, type);
}

int CPrinterPort::SendVersionRequest(uint8_t code) {
  return SendCommand(*this, {command::kEsc, 'V', code, 0x00});
}

int CPrinterPort::ReadVersionReply(VersionReport& report) {
  uint8_t reply[kVersionReplySize] = {};
  // A short read leaves the report as it was.
  if (Read(reply, sizeof(reply)) != sizeof(reply)) return 0;
  return DecodeVersionReply(reply, report) ? 1 : 0;
}

}  // namespace zmr
