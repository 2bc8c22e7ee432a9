// SPDX-License-Identifier: MIT
#pragma once
// setenv and unsetenv for test programs built for Windows, whose C library has only _putenv_s.
// The build includes this header first in every test program of the Windows build.
#ifdef _WIN32
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;  // an empty value removes the variable
}
#endif
