// SPDX-License-Identifier: MIT
#include "tests/windows/win32_process.h"

#include <gtest/gtest.h>

namespace zmr::test {
namespace {

// Reads a pipe or file to its end. The C library of a Windows program ends its text lines with
// "\r\n"; they are compared as "\n".
std::string Drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD moved = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &moved, nullptr) && moved > 0) {
    for (DWORD i = 0; i < moved; ++i) {
      if (buffer[i] == '\n' && !text.empty() && text.back() == '\r') text.pop_back();
      text += buffer[i];
    }
  }
  return text;
}

}  // namespace

// Standard error goes to a file, read when the program has ended.
Win32Run RunCli(const Win32RunOptions& options) {
  SetEnvironmentVariableA("ZMR470_SIM", options.sim.c_str());
  SetEnvironmentVariableA("ZMR470_SIM_TRACE",
                          options.traceFile.empty() ? nullptr : options.traceFile.c_str());
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    SetEnvironmentVariableA(name, nullptr);
  }
  const std::string path = options.dllFolder + ";C:\\windows\\system32;C:\\windows";
  SetEnvironmentVariableA("PATH", path.c_str());

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr;
  HANDLE outWrite = nullptr;
  EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0));
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  char errName[MAX_PATH] = {};
  char tempDir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, tempDir);
  GetTempFileNameA(tempDir, "zmr", 0, errName);
  HANDLE errFile = CreateFileA(errName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = outWrite;
  startup.hStdError = errFile;
  std::string command = "\"" ZMR_CLI_PROGRAM "\"";
  if (!options.arguments.empty()) command += " " + options.arguments;
  PROCESS_INFORMATION process{};
  Win32Run run;
  // No system message box about a missing DLL: the program's own outcome is what is checked.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  ::CloseHandle(outWrite);
  EXPECT_TRUE(started) << "cannot start " << ZMR_CLI_PROGRAM;
  if (started) {
    run.out = Drain(outRead);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 300000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.hProcess, &run.status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  ::CloseHandle(outRead);
  SetFilePointer(errFile, 0, nullptr, FILE_BEGIN);
  run.err = Drain(errFile);
  ::CloseHandle(errFile);
  DeleteFileA(errName);
  return run;
}

}  // namespace zmr::test
