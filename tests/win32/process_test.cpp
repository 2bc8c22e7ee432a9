// SPDX-License-Identifier: MIT
// The desktop tool as a process of its own under Wine, over the simulated printer's DLLs. The
// tool runs with ZMR470_UI_LOG=-: it writes one line per window and message box to standard
// output (a pipe read here) and answers every box itself. The test presses Download by sending
// the button's click to the tool's main window, reads the fields back from the window, and closes
// it with Esc's command, as a user would.
#include "ui/win32/windows_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/ui_language.h"
#include "ui/control_ids.h"
#include "ui/win32/wide_text.h"
#include "update/string_table.h"
#include "update/update_view.h"

namespace zmr::ui {
namespace {

const std::string kMainWindowLine = "window\t102\tTALVERON ZMR470 Update Tool";

// A folder of the test's own for the tool's %LOCALAPPDATA%, so that its run log is read here.
std::filesystem::path FreshLocalAppData() {
  static int count = 0;
  wchar_t temp[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, temp);
  const std::filesystem::path dir =
      std::filesystem::path(temp) /
      ("zmr470-process-test-" + std::to_string(GetCurrentProcessId()) + "-" +
       std::to_string(++count));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

class ToolProcess {
 public:
  // Starts the tool with `libraryDir` as the only place for its DLLs besides Windows' own, in
  // `currentDir` (or this process's current folder).
  // The tool shows its texts in this process's language (Wine takes it from LANG at the start of
  // the first Windows process).
  ToolProcess(const std::wstring& libraryDir, const std::string& sim,
              const wchar_t* currentDir = nullptr)
      : localAppData_(FreshLocalAppData()) {
    std::map<std::wstring, std::wstring> env;
    const wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
      const std::wstring text(entry);
      const size_t equals = text.find(L'=', 1);
      if (equals != std::wstring::npos) env[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
    for (const wchar_t* name : {L"WINEPATH", L"ZMR470_SIM_TRACE", L"LANGUAGE", L"LC_MESSAGES"})
      env.erase(name);
    env[L"PATH"] = libraryDir + L";C:\\windows\\system32;C:\\windows";
    env[L"ZMR470_UI_LOG"] = L"-";
    env[L"ZMR470_SIM"] = Widen(sim);
    env[L"LOCALAPPDATA"] = localAppData_.wstring();
    std::wstring environment;
    for (const auto& [name, value] : env) environment += name + L"=" + value + L'\0';
    environment += L'\0';

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write = nullptr;
    EXPECT_TRUE(CreatePipe(&read_, &write, &inherit, 0));
    SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + std::wstring(ZMR_TOOL) + L"\"";
    started_ =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       environment.data(), currentDir, &startup, &process_) != FALSE;
    EXPECT_TRUE(started_);
    CloseHandle(write);  // the tool's end only: the pipe ends when the tool does
  }

  ~ToolProcess() {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, 1);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(read_);
    std::error_code ignored;
    std::filesystem::remove_all(localAppData_, ignored);
  }

  // The tool's run log as it is now (empty when there is none).
  std::string RunLog() const {
    std::ifstream in(localAppData_ / "zmr470-update" / "zmr470-update.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // The next line the tool writes; empty when its output has ended.
  std::string ReadLine() {
    for (;;) {
      const size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      char buffer[512];
      DWORD got = 0;
      if (!ReadFile(read_, buffer, sizeof buffer, &got, nullptr) || got == 0) {
        std::string rest;
        rest.swap(pending_);
        return rest;
      }
      pending_.append(buffer, got);
    }
  }

  // Every line up to and including the first message box's (or the end of the output).
  std::vector<std::string> ReadUntilMessage() {
    std::vector<std::string> lines;
    for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) {
      lines.push_back(line);
      if (line.rfind("message\t", 0) == 0) break;
    }
    return lines;
  }

  // The tool's main window (once its line has been read).
  HWND MainWindow() {
    struct Search {
      DWORD process;
      HWND found;
    } search{process_.dwProcessId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          wchar_t title[64] = L"";
          GetWindowTextW(window, title, 64);
          if (owner != s->process || wcscmp(title, L"TALVERON ZMR470 Update Tool") != 0)
            return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  void PressDownload(HWND main) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_DOWNLOAD)));
  }

  // Closes the main window as Esc does and returns the exit code.
  DWORD CloseAndWait(HWND main) {
    PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
    return Wait();
  }

  DWORD Wait() {
    WaitForSingleObject(process_.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  bool Started() const { return started_; }

 private:
  std::filesystem::path localAppData_;
  PROCESS_INFORMATION process_{};
  HANDLE read_ = nullptr;
  bool started_ = false;
  std::string pending_;
};

std::string Field(HWND main, int id) {
  wchar_t text[64] = L"";
  GetDlgItemTextW(main, id, text, 64);
  return Narrow(text);
}

// The log line of a closing message as the core's table words it.
std::string MessageLine(uint32_t id, MessageTitle title, MessageIcon icon,
                        platform::Language language, const std::string& text = {}) {
  std::string escaped;
  for (char c : text.empty() ? LoadString(id, language) : text) {
    if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return "message\t" + std::string(MessageTitleText(title)) + "\t" +
         (icon == MessageIcon::Warning ? "warning" : "information") + "\t" + escaped;
}

// The non-empty lines of a run log that holds one record ("\r\n" or "\n" ended).
std::vector<std::string> RecordLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

struct OutcomeCase {
  const char* name;
  const char* sim;
  std::vector<std::string> progressCaptions;  // the progress windows before the box
  uint32_t messageId;
  MessageTitle title;
  MessageIcon icon;
  const char* formatted;  // the second line of a formatted text, else null
  const char* beforeData1;
};

void PrintTo(const OutcomeCase& c, std::ostream* out) {
  *out << c.name;
}

// One run: the windows in order, the one box with its text, title and icon, the Before field of
// DATA1, and the window ready for the next press.
void RunOutcome(const OutcomeCase& c) {
  ToolProcess tool(ZMR_SIM_LIB_DIR, c.sim);
  ASSERT_TRUE(tool.Started());
  ASSERT_EQ(tool.ReadLine(), kMainWindowLine);
  HWND main = tool.MainWindow();
  ASSERT_NE(main, nullptr);
  tool.PressDownload(main);

  std::vector<std::string> expected;
  const platform::Language language = platform::UserLanguage();
  for (const std::string& caption : c.progressCaptions)
    expected.push_back("window\t103\t" + caption);
  // A formatted text: the entry's first line and the formatted second line.
  std::string text;
  if (c.formatted) {
    const std::string entry = LoadString(c.messageId, language);
    text = entry.substr(0, entry.find('\n')) + c.formatted;
  }
  expected.push_back(MessageLine(c.messageId, c.title, c.icon, language, text));
  EXPECT_EQ(tool.ReadUntilMessage(), expected);
  EXPECT_EQ(Field(main, IDC_BEFORE_VER1), c.beforeData1);
  EXPECT_EQ(Field(main, IDC_AFTER_VER1), "");
  EXPECT_EQ(tool.CloseAndWait(main), 0u);
  EXPECT_EQ(tool.ReadLine(), "");  // nothing after the box
  // One record of the run in the run log, ending in its outcome.
  const std::vector<std::string> record = RecordLines(tool.RunLog());
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record.front().rfind("== ", 0), 0u) << record.front();
  EXPECT_NE(record.front().find("  zmr470-update "), std::string::npos) << record.front();
  EXPECT_NE(record.back().find("outcome: " + std::to_string(c.messageId) + " "), std::string::npos)
      << record.back();
}

std::string CaseName(const ::testing::TestParamInfo<OutcomeCase>& row) {
  return row.param.name;
}

class Outcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcome, ShowsItsMessageBox) {
  RunOutcome(GetParam());
}

// Refused before download mode: a few seconds each, in both languages.
INSTANTIATE_TEST_SUITE_P(BeforeDownloadMode, Outcome,
                         ::testing::Values(OutcomeCase{"no_printer",
                                                       "listed=0",
                                                       {},
                                                       IDS_NOT_CONNECTED,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"two_printers",
                                                       "listed=2",
                                                       {},
                                                       IDS_TWO_PRINTERS,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"two_printers_indexed",
                                                       "listed=1 indexed=1",
                                                       {},
                                                       IDS_TWO_PRINTERS,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"printing",
                                                       "busy=0 printing=1",
                                                       {},
                                                       IDS_PRINTING,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"printing_both_units",
                                                       "busy=0 printing=12",
                                                       {},
                                                       IDS_PRINTING,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"printer_error",
                                                       "busy=0 second error=2",
                                                       {},
                                                       IDS_PRINTER_ERROR,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"printer_error_unit1",
                                                       "busy=0 error=1",
                                                       {},
                                                       IDS_PRINTER_ERROR,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""},
                                           OutcomeCase{"pipe_does_not_open",
                                                       "nopipe=PIPE01",
                                                       {},
                                                       IDS_NOT_CONNECTED,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""}),
                         CaseName);

// Refused by the version gate, after the mode switch and the version request (about 9 s each).
INSTANTIATE_TEST_SUITE_P(VersionGate, Outcome,
                         ::testing::Values(OutcomeCase{"newest",
                                                       "busy=0 data1=316G21:08A6",
                                                       {"Initializing...", "Version Check..."},
                                                       IDS_NEWEST_VERSION,
                                                       MessageTitle::VersionCheck,
                                                       MessageIcon::Information,
                                                       nullptr,
                                                       "316G21"},
                                           OutcomeCase{"not_applicable",
                                                       "busy=0 data1=316D20:1A2B",
                                                       {"Initializing...", "Version Check..."},
                                                       IDS_NOT_APPLICABLE,
                                                       MessageTitle::VersionCheck,
                                                       MessageIcon::Information,
                                                       "\nDATA1(M) : 316D20 / 1A2B",
                                                       "316D20"},
                                           OutcomeCase{"version_unreadable",
                                                       "busy=0 fault=badversion",
                                                       {"Initializing...", "Version Check..."},
                                                       IDS_VERSION_FAILED,
                                                       MessageTitle::Error,
                                                       MessageIcon::Warning,
                                                       nullptr,
                                                       ""}),
                         CaseName);

// The whole update (about 41 s of the printer's fixed waits).
TEST(WholeUpdate, EndsInSuccessWithTheNewVersionsShown) {
  ToolProcess tool(ZMR_SIM_LIB_DIR, "speed=0 busy=0");
  ASSERT_EQ(tool.ReadLine(), kMainWindowLine);
  HWND main = tool.MainWindow();
  ASSERT_NE(main, nullptr);
  tool.PressDownload(main);
  const std::vector<std::string> expected = {
      "window\t103\tInitializing...", "window\t103\tVersion Check...", "window\t103\tUpgrade",
      MessageLine(IDS_SUCCESS, MessageTitle::Success, MessageIcon::Warning,
                  platform::UserLanguage())};
  EXPECT_EQ(tool.ReadUntilMessage(), expected);

  const struct {
    int version, checkSum;
    const char *text, *sum;
  } fields[] = {{IDC_BEFORE_VER1, IDC_BEFORE_SUM1, "316B20", "1A2B"},
                {IDC_BEFORE_VER2, IDC_BEFORE_SUM2, "318C20", "3C4D"},
                {IDC_BEFORE_VER3, IDC_BEFORE_SUM3, "D10", "5E6F"},
                {IDC_AFTER_VER1, IDC_AFTER_SUM1, "316G21", "08A6"},
                {IDC_AFTER_VER2, IDC_AFTER_SUM2, "318C21", "AF7C"},
                {IDC_AFTER_VER3, IDC_AFTER_SUM3, "D11", "EE03"}};
  for (const auto& field : fields) {
    EXPECT_EQ(Field(main, field.version), field.text);
    EXPECT_EQ(Field(main, field.checkSum), field.sum);
  }
  // Ready for the next press: window and button enabled.
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_DOWNLOAD)));
  EXPECT_EQ(tool.CloseAndWait(main), 0u);

  // The record names the simulated printer's folder for the library loaded by name, holds the
  // guard of download mode, and ends in the success.
  const std::string log = tool.RunLog();
  const std::string loaded = "driver libZUsbXpIf (loaded by name): " + Narrow(ZMR_SIM_LIB_DIR);
  EXPECT_NE(log.find(loaded), std::string::npos) << log;
  EXPECT_NE(log.find("sleep and shutdown inhibitor released"), std::string::npos) << log;
  const std::vector<std::string> record = RecordLines(log);
  ASSERT_FALSE(record.empty());
  EXPECT_NE(record.back().find("outcome: 2024 \"Success!\""), std::string::npos) << log;
}

// Start-up: a second instance ends silently; a missing or incomplete ZUsbXpIf.dll gives only the
// one box.
TEST(Startup, SecondInstanceEndsWithoutAWindow) {
  ToolProcess first(ZMR_SIM_LIB_DIR, "");
  ASSERT_EQ(first.ReadLine(), kMainWindowLine);
  {
    ToolProcess second(ZMR_SIM_LIB_DIR, "");
    EXPECT_EQ(second.Wait(), 0u);
    EXPECT_EQ(second.ReadLine(), "");
  }
  HWND main = first.MainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(first.CloseAndWait(main), 0u);
}

// A name taken by an object of another kind gives no mutex at all: the tool cannot tell that no
// other instance runs, so it ends as if one did, with a line in the run log.
TEST(Startup, MutexNameTakenByAnotherKindOfObjectEndsSilently) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"TALVERON ZMR470 Update Tool");
  ASSERT_NE(event, nullptr);
  {
    ToolProcess tool(ZMR_SIM_LIB_DIR, "");
    const std::string first = tool.ReadLine();
    EXPECT_EQ(first, "");
    if (!first.empty()) tool.CloseAndWait(tool.MainWindow());
    EXPECT_EQ(tool.Wait(), 0u);
    const std::string log = tool.RunLog();
    EXPECT_NE(log.find("CreateMutex failed with error 6"), std::string::npos) << log;
  }
  CloseHandle(event);
}

// Whether this system leaves the current folder out of the DLL search once the program has asked
// for it (SetDllDirectoryW with an empty text). Wine does not: it searches it all the same.
bool SystemHonoursAnEmptyDllDirectory() {
  const std::filesystem::path dir = FreshLocalAppData();
  wchar_t system[MAX_PATH] = L"";
  GetSystemDirectoryW(system, MAX_PATH);
  std::filesystem::copy_file(std::filesystem::path(system) / "version.dll",
                             dir / "zmr470_search_probe.dll");
  wchar_t previous[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(dir.c_str());
  SetDllDirectoryW(L"");
  HMODULE found = LoadLibraryExW(L"zmr470_search_probe.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  SetDllDirectoryW(nullptr);
  SetCurrentDirectoryW(previous);
  if (found) FreeLibrary(found);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return found == nullptr;
}

// Started in a folder that holds a ZUsbXpIf.dll, with none where the driver's libraries belong:
// the one in the current folder is not loaded.
TEST(Startup, DriverLibraryIsNotTakenFromTheCurrentFolder) {
  if (!SystemHonoursAnEmptyDllDirectory())
    GTEST_SKIP() << "this system searches the current folder for DLLs whatever the program asks";
  ToolProcess tool(ZMR_NO_DRIVER_DIR, "", ZMR_SIM_LIB_DIR);
  const std::string first = tool.ReadLine();
  EXPECT_EQ(first, "message\tError\twarning\tWUsbXpIf.dll Not Found");
  if (first == kMainWindowLine) tool.CloseAndWait(tool.MainWindow());
  EXPECT_EQ(tool.Wait(), 0u);
}

TEST(Startup, DriverLibraryMissingOrLackingAnEntryPoint) {
  for (const wchar_t* dir : {ZMR_NO_DRIVER_DIR, ZMR_LACKING_DRIVER_DIR}) {
    ToolProcess tool(dir, "");
    EXPECT_EQ(tool.Wait(), 0u);
    EXPECT_EQ(tool.ReadLine(), "message\tError\twarning\tWUsbXpIf.dll Not Found");
    EXPECT_EQ(tool.ReadLine(), "");
  }
}

}  // namespace
}  // namespace zmr::ui
