// SPDX-License-Identifier: MIT
// What the desktop tool adds around its dialogs, in this process under Wine: the guard of a run
// (sleep and shutdown held in download mode and given back before the closing box, the record in
// the run log), the busy cursor, the about command refused while a run goes on, the place of a
// window on the work area, and the resources (icon 128's sizes, the version's translations).
// A run goes through the simulated printer's DLLs under a virtual clock, as the core's suites do.
#include "ui/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/run_guard.h"
#include "link/driver_library.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "sim/sim_bus.h"
#include "sim/sim_env.h"
#include "ui/control_ids.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/update_dlg.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_icons.h"
#include "ui/win32/window_place.h"
#include "update/string_table.h"

namespace zmr::ui {
namespace {

// What guards a run, as seen from outside the procedure at one moment.
struct Guarded {
  bool refusesEndOfSession = false;  // the main window answers WM_QUERYENDSESSION with "no"
  bool keepsAwake = false;           // the thread's execution state keeps the system running
  bool busyClass = false;            // the dialogs' class cursor is the busy one
  bool busyOverControls = false;     // WM_SETCURSOR over a control gives the busy cursor
};

bool operator==(const Guarded& a, const Guarded& b) {
  return a.refusesEndOfSession == b.refusesEndOfSession && a.keepsAwake == b.keepsAwake &&
         a.busyClass == b.busyClass && a.busyOverControls == b.busyOverControls;
}

void PrintTo(const Guarded& g, std::ostream* out) {
  *out << "{refuses end of session " << g.refusesEndOfSession << ", keeps awake " << g.keepsAwake
       << ", busy class cursor " << g.busyClass << ", busy over controls " << g.busyOverControls
       << "}";
}

constexpr Guarded kAllHeld{true, true, true, true};
constexpr Guarded kNothingHeld{false, false, false, false};

Guarded Observe(HWND main) {
  Guarded g;
  g.refusesEndOfSession = SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == FALSE;
  // Without ES_CONTINUOUS the call changes nothing that lasts and answers the state in force,
  // which keeps the system running while both flags are set.
  const EXECUTION_STATE awake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
  g.keepsAwake = (SetThreadExecutionState(ES_SYSTEM_REQUIRED) & awake) == awake;
  HCURSOR busy = LoadCursorA(nullptr, IDC_WAIT);
  g.busyClass = reinterpret_cast<HCURSOR>(GetClassLongPtrW(main, GCLP_HCURSOR)) == busy;
  HWND field = GetDlgItem(main, IDC_BEFORE_VER1);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SendMessageW(field, WM_SETCURSOR, reinterpret_cast<WPARAM>(field),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  g.busyOverControls = GetCursor() == busy;
  return g;
}

// The program's observer of a run (the run guard), with a look at the window while the printer
// is in download mode: then it also posts the about command, as a command from outside would
// come, to be dispatched by the progress window's draining.
class ProbeObserver final : public ForwardingObserver {
 public:
  explicit ProbeObserver(RunGuard& guard) : ForwardingObserver(&guard) {}
  void OnStep(const StepRecord& step) override {
    ForwardingObserver::OnStep(step);
    if (step.step == "CheckVersion" && main) {
      inDownloadMode = Observe(main);
      PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    }
  }

  HWND main = nullptr;
  Guarded inDownloadMode;
};

// Every dialog that opens during a run is answered at once; the closing box is looked at first.
struct Boxes {
  HHOOK hook = nullptr;
  HWND main = nullptr;
  std::vector<std::wstring> opened;  // titles of the boxes: message boxes and the about box
  Guarded atClosingBox;
};
Boxes* boxes = nullptr;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && boxes) {
    const auto window = reinterpret_cast<HWND>(wParam);
    const std::wstring title = WindowText(window);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    const bool progress = GetDlgItem(window, IDC_PROGRESS_BAR) != nullptr;
    if (window != boxes->main && !progress && std::wstring(className) == L"#32770") {
      if (title != L"About") boxes->atClosingBox = Observe(boxes->main);
      boxes->opened.push_back(title);
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(boxes ? boxes->hook : nullptr, code, wParam, lParam);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DesktopRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }

  void SetUp() override {
    static const bool bound = TheDriverLibrary().IsLoaded() || TheDriverLibrary().Bind();
    ASSERT_TRUE(bound) << "the simulated ZUsbXpIf.dll must be on the DLL search path";
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    logPath_ = std::filesystem::path(temp) /
               ("zmr470-desktop-test-" + std::to_string(GetCurrentProcessId()) + ".log");
    std::filesystem::remove(logPath_);
  }

  void TearDown() override {
    sim::SimBus::Instance().Clear();
    std::filesystem::remove(logPath_);
  }

  // One press of Download on the printer that `settings` describe.
  void Run(const std::string& settings) {
    sim::SimConfig config;
    std::vector<std::string> problems;
    sim::ParseSimSettings(settings, config, problems);
    ASSERT_TRUE(problems.empty());
    sim::SimBus::Instance().Reset(config, clock_);

    RunGuard guard(clock_,
                   {"zmr470-update", platform::Language::English, {}, Narrow(logPath_.wstring())});
    ProbeObserver probe(guard);
    CUpdateDlg dialog(GetModuleHandleW(nullptr),
                      {clock_, keys_, LinkedImportedDriver(), TheDriverLibrary(),
                       platform::Language::English, EmbeddedImage, &probe},
                      "Updating the printer.");
    HWND main = dialog.Create();
    ASSERT_NE(main, nullptr);
    probe.main = main;
    before_ = Observe(main);

    Boxes seen;
    seen.main = main;
    seen.hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    boxes = &seen;
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_DOWNLOAD)));
    boxes = nullptr;
    UnhookWindowsHookEx(seen.hook);

    inDownloadMode_ = probe.inDownloadMode;
    atClosingBox_ = seen.atClosingBox;
    opened_ = seen.opened;
    after_ = Observe(main);
  }

  VirtualClock clock_;
  platform::NoKeysDown keys_;
  std::filesystem::path logPath_;
  Guarded before_, inDownloadMode_, atClosingBox_, after_;
  std::vector<std::wstring> opened_;
};

// Held from the enter-download-mode command to the printer's release, nothing held while the
// closing box waits for the user; the about command that came in download mode opened nothing.
TEST_F(DesktopRun, GuardsTheDownloadModeOnlyAndRefusesTheAboutBox) {
  const struct {
    const char* name;
    const char* sim;
    const wchar_t* box;
    const char* outcome;
  } cases[] = {
      {"success", "", L"Success!", "outcome: 2024 \"Success!\""},
      {"version refused in download mode", "data1=316D20:1A2B", L"Version Check",
       "outcome: 2006 \"This program is not applicable on this printer.\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Run(c.sim);
    EXPECT_EQ(before_, kNothingHeld);
    EXPECT_EQ(inDownloadMode_, kAllHeld);
    EXPECT_EQ(atClosingBox_, kNothingHeld);
    EXPECT_EQ(after_, kNothingHeld);
    EXPECT_EQ(opened_, std::vector<std::wstring>{c.box});  // no "About" before it

    // The record says the same, in the order it happened.
    const std::string log = ReadFile(logPath_);
    const size_t inhibited = log.find("sleep, shutdown and idle inhibited");
    const size_t released = log.find("sleep and shutdown inhibitor released");
    const size_t outcome = log.find(c.outcome);
    ASSERT_NE(inhibited, std::string::npos) << log;
    ASSERT_NE(released, std::string::npos) << log;
    ASSERT_NE(outcome, std::string::npos) << log;
    EXPECT_LT(inhibited, released);
    EXPECT_LT(released, outcome);
    std::filesystem::remove(logPath_);
  }
}

TEST_F(DesktopRun, ARunRefusedBeforeDownloadModeIsLoggedAndHoldsNothing) {
  Run("listed=0");
  EXPECT_EQ(opened_, std::vector<std::wstring>{L"Error"});
  EXPECT_EQ(atClosingBox_, kNothingHeld);
  EXPECT_EQ(after_, kNothingHeld);
  EXPECT_NE(ReadFile(logPath_).find("outcome: 2000 \"Printer is not connected.\""),
            std::string::npos);
}

// A progress window over a main window that was dragged to the edge of the screen stays whole on
// the work area.
TEST_F(DesktopRun, AProgressWindowStaysOnTheWorkArea) {
  CUpdateDlg dialog(GetModuleHandleW(nullptr), {clock_, keys_, LinkedImportedDriver(),
                                                TheDriverLibrary(), platform::Language::English});
  HWND main = dialog.Create();
  ASSERT_NE(main, nullptr);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT work = monitor.rcWork;
  RECT own;
  GetWindowRect(main, &own);
  // Only its top-left quarter left on the screen, at the bottom right corner.
  SetWindowPos(main, nullptr, work.right - (own.right - own.left) / 4,
               work.bottom - (own.bottom - own.top) / 4, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(main, &own);
  ASSERT_GT(own.right, work.right) << "the window manager kept the window on the screen";

  Win32ProgressWindow progress(GetModuleHandleW(nullptr), main);
  ASSERT_TRUE(progress.Create());
  RECT placed;
  GetWindowRect(progress.Window(), &placed);
  EXPECT_GE(placed.left, work.left);
  EXPECT_GE(placed.top, work.top);
  EXPECT_LE(placed.right, work.right);
  EXPECT_LE(placed.bottom, work.bottom);
}

// The sizes of the images of icon 128, from its group directory.
std::set<int> IconSizes() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));
  if (!found) return {};
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const DWORD size = SizeofResource(module, found);
  std::set<int> sizes;
  // The directory: reserved, type, count (16 bits each), then 14 bytes per image, width first.
  if (size < 6) return sizes;
  const int count = data[4] | (data[5] << 8);
  for (int i = 0; i < count && 6u + 14u * (i + 1) <= size; ++i) {
    const BYTE width = data[6 + 14 * i];
    sizes.insert(width == 0 ? 256 : width);
  }
  return sizes;
}

TEST(Resources, IconHasEverySizeOfTheUsualScales) {
  EXPECT_EQ(IconSizes(), (std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}));
}

TEST(Resources, MainWindowIconsFitItsDpi) {
  VirtualClock clock;
  platform::NoKeysDown keys;
  ImportedDriver imported;
  CDriverLibrary loaded;
  CUpdateDlg dialog(GetModuleHandleW(nullptr),
                    {clock, keys, imported, loaded, platform::Language::English});
  HWND main = dialog.Create();
  ASSERT_NE(main, nullptr);
  const UINT dpi = WindowDpi(main);
  for (const auto& [type, metric] : {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, type, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, MetricForDpi(metric, dpi)) << type;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
}

// Each translation that the version resource lists has its own block, with the program's
// description from the string table in that language.
TEST(Resources, VersionHasABlockForEachTranslation) {
  wchar_t path[MAX_PATH] = L"";
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));

  struct Translation {
    WORD language, codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translations), &length));
  std::set<WORD> listed;
  for (UINT i = 0; i < length / sizeof(Translation); ++i) {
    const Translation& t = translations[i];
    listed.insert(t.language);
    wchar_t key[64];
    swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\FileDescription", t.language, t.codePage);
    wchar_t* text = nullptr;
    UINT textLength = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&text), &textLength))
        << Narrow(key);
    const platform::Language language = PRIMARYLANGID(t.language) == LANG_JAPANESE
                                            ? platform::Language::Japanese
                                            : platform::Language::English;
    EXPECT_EQ(Narrow(text), LoadString(IDS_FILE_DESCRIPTION, language)) << Narrow(key);
  }
  EXPECT_EQ(listed, (std::set<WORD>{0x0409, 0x0411}));
}

}  // namespace
}  // namespace zmr::ui
