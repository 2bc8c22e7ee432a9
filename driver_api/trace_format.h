// SPDX-License-Identifier: MIT
#pragma once
// The lines of a trace of the driver libraries, written alike by the simulated printer
// (ZMR470_SIM_TRACE) and by the libusb drivers (ZMR470_USB_TRACE), so that one parser reads a
// session of either and the simulated printer can replay it (sim/recording.h reads them back).
//
// Every line begins with the milliseconds since the trace began and a word that says what it is:
//   <ms> W PIPE00 <length> <bytes> [short <done>|failed [<error>] [after <done>]] [took <ms>]
//   <ms> R PIPE01 <length> <bytes> [short <done>|failed [<error>]] [took <ms>]
//   <ms> LIST <count>                          UsbGetDeviceNum's answer
//   <ms> DEVICE <index> <id> <path>            UsbGetDeviceInfo's texts, or "DEVICE <index> none"
//   <ms> OPEN <pipe> path <path> ok|failed     UsbOpenBulk3
//   <ms> OPEN <pipe> index <index> ok|failed   UsbOpenBulk
//   <ms> CONTROL <index> ok|failed             UsbOpenCont
//   <ms> OFFBUS <ms>|never                     after a mode switch: how long the printer is away
//   <ms> DRAINED <bytes>                       a stale reply read away when PIPE01 was opened
//   <ms> VIOLATION ..., <ms> DIVERGE ...       notes of the simulated printer and of a replay
// <bytes> is hexadecimal, "-" for none. A plain trace shows the first 16 bytes moved and "..."
// after them when there were more, and only the transfer lines. A full trace (a recording) shows
// every byte (of a write: every byte the host offered, whether or not they all went), how long
// the transfer took when it took any time, and the lookup lines. Texts (<id>, <path>, <pipe>)
// are one word each: every byte outside '!' to '~', and '%', as %XX; "-" for an empty text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zmr::trace {

// Bytes of one transfer as a trace line shows them.
struct TransferLine {
  uint32_t ms = 0;      // when the transfer ended
  bool write = true;    // W PIPE00 (host to printer), else R PIPE01
  uint32_t length = 0;  // bytes asked for
  uint32_t done = 0;    // bytes moved
  bool ok = true;       // the transfer reported success
  const uint8_t* bytes = nullptr;
  size_t byteCount = 0;         // bytes shown: at most 16 of them in a plain line
  bool full = false;            // every byte of `bytes`, "after" and "took"
  const char* error = nullptr;  // the failure's name (libusb's), or null
  uint32_t tookMs = 0;          // from the start of the transfer to its end; full lines only
};

std::string FormatTransfer(const TransferLine& line);

// One word for a text that came from a driver library or the tool (at most `limit` bytes of it,
// up to its NUL).
std::string EscapeText(const char* text, size_t limit);
std::string EscapeText(std::string_view text);
// The text back from its word; nullopt when `word` holds a bad escape.
std::optional<std::string> UnescapeText(std::string_view word);

std::string HexBytes(const uint8_t* bytes, size_t count);

// The lookup lines, after "<ms> ".
std::string ListLine(int count);
// null texts: the call failed ("DEVICE <index> none"). Each text is read up to its NUL or
// `limit` bytes.
std::string DeviceLine(int index, const char* id, const char* path, size_t limit);
std::string OpenByPathLine(const char* pipe, const char* path, size_t limit, bool ok);
std::string OpenByIndexLine(const char* pipe, int index, bool ok);
std::string ControlLine(int index, bool ok);
// nullopt: the printer does not come back.
std::string OffBusLine(std::optional<uint32_t> ms);
std::string DrainedLine(const uint8_t* bytes, size_t count);

// "<ms> " and the line.
std::string Stamped(uint32_t ms, const std::string& line);

}  // namespace zmr::trace
