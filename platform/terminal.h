// SPDX-License-Identifier: MIT
#pragma once
// What the terminal front end needs to know about its standard output.
#include <cstddef>

namespace zmr::platform {

// Standard output is a terminal that can go back to the start of the line and clear it.
bool CanRedrawInPlace();

// The width of the terminal on standard output; 0 when it is not known.
size_t TerminalColumns();

// A reader of standard output that goes away (a closed pipe) no longer ends the process: writes
// to it fail instead.
void IgnoreClosedOutput();

// Text written to standard output is UTF-8: a Windows console is switched to that code page;
// POSIX terminals need nothing.
void UseUtf8Output();

}  // namespace zmr::platform
