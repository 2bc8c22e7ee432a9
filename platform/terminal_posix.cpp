// SPDX-License-Identifier: MIT
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/terminal.h"

namespace zmr::platform {

bool CanRedrawInPlace() {
  if (isatty(STDOUT_FILENO) != 1) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

size_t TerminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void IgnoreClosedOutput() {
  std::signal(SIGPIPE, SIG_IGN);
}

void UseUtf8Output() {}

}  // namespace zmr::platform
