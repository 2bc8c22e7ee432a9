// SPDX-License-Identifier: MIT
// zmr470-update-cli.exe as a process under Windows: start-up (second instance, driver libraries
// missing or incomplete) and the outcomes of an update against the simulated DLLs. Each case
// starts the program with its own environment and DLL search path and checks its exit status
// and output.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Outcome {
  DWORD status = 0;
  std::string out;
  std::string err;
};

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

// Runs the terminal tool with the simulated printer set by `sim` and DLLs searched in
// `dllFolder`. (The language follows the Wine prefix's, which is English.) Standard error goes to a
// file, read when the program has ended.
Outcome RunCli(const std::string& sim, const std::string& dllFolder) {
  SetEnvironmentVariableA("ZMR470_SIM", sim.c_str());
  SetEnvironmentVariableA("ZMR470_SIM_TRACE", nullptr);
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    SetEnvironmentVariableA(name, nullptr);
  }
  const std::string path = dllFolder + ";C:\\windows\\system32;C:\\windows";
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
  PROCESS_INFORMATION process{};
  Outcome outcome;
  // No system message box about a missing DLL: the program's own outcome is what is checked.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  ::CloseHandle(outWrite);
  EXPECT_TRUE(started) << "cannot start " << ZMR_CLI_PROGRAM;
  if (started) {
    outcome.out = Drain(outRead);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 300000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.hProcess, &outcome.status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  ::CloseHandle(outRead);
  SetFilePointer(errFile, 0, nullptr, FILE_BEGIN);
  outcome.err = Drain(errFile);
  ::CloseHandle(errFile);
  DeleteFileA(errName);
  return outcome;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool HasLine(const std::string& text, const std::string& wanted) {
  for (const std::string& line : Lines(text)) {
    if (line == wanted) return true;
  }
  return false;
}

struct Case {
  const char* name;
  const char* sim;
  DWORD status;
  std::vector<std::string> lines;  // each must be a whole line of the output
  bool after;                      // the After row holds the images' versions
};

void Check(const Case& c) {
  SCOPED_TRACE(c.name);
  const Outcome outcome = RunCli(c.sim, ZMR_SIM_DLL_DIR);
  EXPECT_EQ(outcome.status, c.status) << outcome.out << outcome.err;
  for (const std::string& line : c.lines) EXPECT_TRUE(HasLine(outcome.out, line)) << line;
  const bool after = HasLine(outcome.out, "After     316G21 / 08A6  318C21 / AF7C  D11 / EE03");
  EXPECT_EQ(after, c.after) << outcome.out;
  // After a failed run standard error names the run log, and holds nothing else.
  if (c.status == 0) {
    EXPECT_EQ(outcome.err, "");
  } else {
    const std::vector<std::string> err = Lines(outcome.err);
    ASSERT_EQ(err.size(), 1u) << outcome.err;
    EXPECT_EQ(err[0].rfind("Run log: ", 0), 0u) << outcome.err;
    EXPECT_NE(err[0].find("zmr470-update.log"), std::string::npos) << outcome.err;
  }
}

// Outcomes decided before any fixed wait of the update.
TEST(CliProcess, EarlyOutcomes) {
  const Case cases[] = {
      {"no printer",
       "listed=0",
       10,
       {"Error: Printer is not connected.",
        "Please check a cable connection, and turn the printer OFF and then ON, and download "
        "again."},
       false},
      {"printing",
       "busy=0 printing=1",
       12,
       {"Error: It is under printing.", "Please end printing and download."},
       false},
      // Through the kernel pipes: a status reply that arrives short, a command that does not go.
      {"short status reply", "busy=0 shortread=1:100", 18, {"Error: Failed!"}, false},
      {"wake command not written", "busy=0 failwrite=1", 18, {"Error: Failed!"}, false},
  };
  for (const Case& c : cases) Check(c);
}

// Outcomes after the switch to download mode (about 9 s) or the whole download (about 41 s).
TEST(CliProcess, UpdateOutcomes) {
  const Case cases[] = {
      {"success",
       "speed=0 busy=0",
       0,
       {"Success!", "This DATA was downloaded properly on printer.",
        "Before    316B20 / 1A2B  318C20 / 3C4D  D10 / 5E6F"},
       true},
      {"version not accepted",
       "busy=0 data1=316D20:1A2B",
       16,
       {"Version Check: This program is not applicable on this printer.",
        "DATA1(M) : 316D20 / 1A2B"},
       false},
      {"corrupted download", "speed=0 busy=0 corruptwrite=t3", 18, {"Error: Failed!"}, false},
  };
  for (const Case& c : cases) Check(c);
}

// Start-up as the system's loader and the single-instance mutex see it.
TEST(CliProcess, StartUp) {
  {
    SCOPED_TRACE("second instance");
    // Another instance holds the mutex of that exact name: the tool ends silently.
    HANDLE first = CreateMutexA(nullptr, TRUE, "TALVERON ZMR470 Update Tool");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const Outcome second = RunCli("listed=0", ZMR_SIM_DLL_DIR);
    EXPECT_EQ(second.status, 3u);
    EXPECT_EQ(second.out + second.err, "");
    ::CloseHandle(first);  // the name is free again once its holder is gone
    EXPECT_EQ(RunCli("listed=0", ZMR_SIM_DLL_DIR).status, 10u);
  }
  for (const char* folder : {ZMR_NO_ZUSB_DIR, ZMR_LACKING_DIR}) {
    SCOPED_TRACE(folder);
    const Outcome outcome = RunCli("listed=0", folder);
    EXPECT_EQ(outcome.status, 4u);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "Error: WUsbXpIf.dll Not Found\n");
  }
  {
    SCOPED_TRACE("TUsbPrIf.dll absent");
    // The system loader refuses the program before any code of ours runs.
    const Outcome outcome = RunCli("listed=0", ZMR_EMPTY_DIR);
    EXPECT_EQ(outcome.status, static_cast<DWORD>(0xC0000135));  // STATUS_DLL_NOT_FOUND
    EXPECT_EQ(outcome.out, "");
  }
}

}  // namespace
