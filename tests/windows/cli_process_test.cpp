// SPDX-License-Identifier: MIT
// zmr470-update-cli.exe as a process under Windows at start-up: a second instance, driver
// libraries missing or incomplete. The outcomes of an update are the rows of the table that the
// Linux build runs too (tests/cli/cli_outcomes.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/cli/cli_outcomes.h"
#include "tests/windows/win32_process.h"

namespace zmr::test {
namespace {

// --json: standard output holds one JSON object, the closing message goes to standard error.
TEST(CliProcess, JsonResult) {
  Win32RunOptions options{"listed=0", ZMR_SIM_DLL_DIR};
  options.arguments = "--json";
  const Win32Run outcome = RunCli(options);
  EXPECT_EQ(outcome.status, 10u);
  const std::vector<std::string> out = SplitLines(outcome.out);
  ASSERT_EQ(out.size(), 1u) << outcome.out;
  EXPECT_EQ(out[0].front(), '{');
  EXPECT_EQ(out[0].back(), '}');
  for (const char* field : {"\"exit_status\":10", "\"id\":2000", "\"reason\":\"NoPrinter\"",
                            "\"step\":\"CheckPrinterCount\"", "\"before\":null"}) {
    EXPECT_NE(out[0].find(field), std::string::npos) << field << " in " << out[0];
  }
  // The folder the loaded DLL came from (the one on the search path), its backslashes escaped;
  // the linked one is found wherever the loader found it first.
  std::string escaped;
  for (const char c : std::string(ZMR_SIM_DLL_DIR))
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_NE(out[0].find("\"ZUsbXpIf\":\"" + escaped + "\""), std::string::npos) << out[0];
  EXPECT_EQ(out[0].find("\"TUsbPrIf\":null"), std::string::npos) << out[0];
  const std::vector<std::string> err = SplitLines(outcome.err);
  EXPECT_NE(std::find(err.begin(), err.end(), "Error: Printer is not connected."), err.end())
      << outcome.err;
}

// Start-up as the system's loader and the single-instance mutex see it.
TEST(CliProcess, StartUp) {
  {
    SCOPED_TRACE("second instance");
    // Another instance holds the mutex of that exact name: the tool ends silently.
    HANDLE first = CreateMutexA(nullptr, TRUE, "TALVERON ZMR470 Update Tool");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    const Win32Run second = RunCli({"listed=0", ZMR_SIM_DLL_DIR});
    EXPECT_EQ(second.status, 3u);
    EXPECT_EQ(second.out + second.err, "");
    ::CloseHandle(first);  // the name is free again once its holder is gone
    EXPECT_EQ(RunCli({"listed=0", ZMR_SIM_DLL_DIR}).status, 10u);
  }
  for (const char* folder : {ZMR_NO_ZUSB_DIR, ZMR_LACKING_DIR}) {
    SCOPED_TRACE(folder);
    const Win32Run outcome = RunCli({"listed=0", folder});
    EXPECT_EQ(outcome.status, 4u);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "Error: WUsbXpIf.dll Not Found\n");
  }
  {
    SCOPED_TRACE("TUsbPrIf.dll absent");
    // The system loader refuses the program before any code of ours runs.
    const Win32Run outcome = RunCli({"listed=0", ZMR_EMPTY_DIR});
    EXPECT_EQ(outcome.status, static_cast<DWORD>(0xC0000135));  // STATUS_DLL_NOT_FOUND
    EXPECT_EQ(outcome.out, "");
  }
}

}  // namespace
}  // namespace zmr::test
