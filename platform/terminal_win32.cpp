// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/terminal.h"

namespace zmr::platform {
namespace {

HANDLE Output() {
  return GetStdHandle(STD_OUTPUT_HANDLE);
}

}  // namespace

bool CanRedrawInPlace() {
  DWORD mode = 0;
  if (!GetConsoleMode(Output(), &mode)) return false;  // a file or a pipe
  // The status line is redrawn with "\r" and the clear-to-end-of-line sequence, which the
  // console carries out only with virtual terminal processing on.
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(Output(), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

size_t TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(Output(), &info)) return 0;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? static_cast<size_t>(columns) : 0;
}

void IgnoreClosedOutput() {
  // Nothing to do: a write to a pipe whose reader has gone fails and the process goes on.
}

void UseUtf8Output() {
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace zmr::platform
