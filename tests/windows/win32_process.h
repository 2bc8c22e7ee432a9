// SPDX-License-Identifier: MIT
#pragma once
// zmr470-update-cli.exe (ZMR_CLI_PROGRAM) as a process under Windows, with its own environment
// and DLL search path; what it wrote and its exit status. Its language is the session's (the Wine
// prefix's: English).
#include <windows.h>

#include <string>

namespace zmr::test {

struct Win32Run {
  DWORD status = 0;
  std::string out;  // "\r\n" read as "\n"
  std::string err;
};

struct Win32RunOptions {
  std::string sim;             // ZMR470_SIM
  std::string dllFolder;       // searched first for the DLLs
  std::string traceFile = {};  // ZMR470_SIM_TRACE; empty: no trace
  std::string arguments = {};  // the command line after the program's name
};

Win32Run RunCli(const Win32RunOptions& options);

}  // namespace zmr::test
