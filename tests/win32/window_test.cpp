// SPDX-License-Identifier: MIT
// The Windows dialogs themselves, in this process: every control of templates 102 and 103 at its
// rectangle (dialog units mapped with MapDialogRect), the system menu's about entry and box, the
// progress window's behaviour, and the resource string table against the core's.
#include "ui/win32/windows_api.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/driver_library.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "ui/control_ids.h"
#include "ui/win32/progress_window.h"
#include "ui/win32/update_dlg.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/window_place.h"
#include "update/progress_dlg.h"
#include "update/string_table.h"

namespace zmr::ui {
namespace {

struct ControlPlace {
  int id;
  RECT units;  // left, top, right, bottom in dialog units
};

constexpr RECT Units(int x, int y, int width, int height) {
  return {x, y, x + width, y + height};
}

const ControlPlace kMainControls[] = {
    {IDC_OWN_VER1, Units(104, 29, 50, 9)},     {IDC_OWN_SUM1, Units(175, 29, 50, 9)},
    {IDC_OWN_VER2, Units(104, 43, 50, 9)},     {IDC_OWN_SUM2, Units(175, 43, 50, 9)},
    {IDC_OWN_VER3, Units(104, 57, 50, 9)},     {IDC_OWN_SUM3, Units(175, 57, 50, 9)},
    {IDC_BEFORE_VER1, Units(104, 104, 50, 9)}, {IDC_BEFORE_SUM1, Units(175, 104, 50, 9)},
    {IDC_BEFORE_VER2, Units(104, 118, 50, 9)}, {IDC_BEFORE_SUM2, Units(175, 118, 50, 9)},
    {IDC_BEFORE_VER3, Units(104, 132, 50, 9)}, {IDC_BEFORE_SUM3, Units(175, 132, 50, 9)},
    {IDC_AFTER_VER1, Units(104, 160, 50, 9)},  {IDC_AFTER_SUM1, Units(175, 160, 50, 9)},
    {IDC_AFTER_VER2, Units(104, 174, 50, 9)},  {IDC_AFTER_SUM2, Units(175, 174, 50, 9)},
    {IDC_AFTER_VER3, Units(104, 187, 50, 9)},  {IDC_AFTER_SUM3, Units(175, 187, 50, 9)},
    {IDC_DOWNLOAD, Units(102, 206, 52, 23)},
};

const ControlPlace kProgressControls[] = {
    {IDC_PROGRESS_MESSAGE, Units(6, 7, 164, 16)},
    {IDC_PROGRESS_PERCENT, Units(79, 31, 18, 8)},
    {IDC_PROGRESS_BAR, Units(11, 42, 154, 10)},
    {IDCANCEL, Units(63, 59, 50, 14)},
};

std::wstring ControlText(HWND dialog, int id) {
  return WindowText(GetDlgItem(dialog, id));
}

// Each control at its template rectangle, in client pixels of the dialog: the dialog manager
// maps the position and the size each on its own.
void ExpectPlaces(HWND dialog, const ControlPlace* places, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE("control " + std::to_string(places[i].id));
    HWND control = GetDlgItem(dialog, places[i].id);
    ASSERT_NE(control, nullptr);
    const RECT& units = places[i].units;
    RECT expected = {units.left, units.top, units.right - units.left, units.bottom - units.top};
    ASSERT_TRUE(MapDialogRect(dialog, &expected));  // x, y, width, height in pixels
    RECT actual;
    GetWindowRect(control, &actual);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right - actual.left, expected.right);
    EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
  }
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }

  void SetUp() override {
    dialog_ = std::make_unique<CUpdateDlg>(
        GetModuleHandleW(nullptr),
        UpdateContext{clock_, keys_, imported_, loaded_, platform::Language::English});
    main_ = dialog_->Create();
    ASSERT_NE(main_, nullptr);
  }

  VirtualClock clock_;
  platform::NoKeysDown keys_;
  ImportedDriver imported_;
  CDriverLibrary loaded_;
  std::unique_ptr<CUpdateDlg> dialog_;
  HWND main_ = nullptr;
};

TEST_F(WindowTest, MainWindowControlsSitAtTheirTemplateRectangles) {
  EXPECT_EQ(WindowText(main_), L"TALVERON ZMR470 Update Tool");
  ExpectPlaces(main_, kMainControls, std::size(kMainControls));
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(main_, IDC_DOWNLOAD), GWL_STYLE) & BS_DEFPUSHBUTTON);
  EXPECT_EQ(LOWORD(SendMessageW(main_, DM_GETDEFID, 0, 0)), IDC_DOWNLOAD);
}

TEST_F(WindowTest, MainWindowShowsTheOwnVersionsAndEmptyFields) {
  EXPECT_EQ(ControlText(main_, IDC_OWN_VER1), L"316G21");
  EXPECT_EQ(ControlText(main_, IDC_OWN_VER2), L"318C21");
  EXPECT_EQ(ControlText(main_, IDC_OWN_VER3), L"D11");
  for (int id : {IDC_OWN_SUM1, IDC_OWN_SUM2, IDC_OWN_SUM3, IDC_BEFORE_VER1, IDC_BEFORE_SUM3,
                 IDC_AFTER_VER1, IDC_AFTER_SUM3})
    EXPECT_EQ(ControlText(main_, id), L"") << id;
}

// The about box, as the system menu's command opens it: logged through a hook that answers it.
std::wstring aboutTitle;
LRESULT CALLBACK AnswerAbout(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && aboutTitle.empty()) {
    aboutTitle = WindowText(reinterpret_cast<HWND>(wParam));
    PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowTest, SystemMenuEndsWithTheAboutCommand) {
  HMENU menu = GetSystemMenu(main_, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  MENUITEMINFOW separator{};
  separator.cbSize = sizeof separator;
  separator.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoW(menu, count - 2, TRUE, &separator));
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  wchar_t text[32] = L"";
  GetMenuStringW(menu, count - 1, text, 32, MF_BYPOSITION);
  EXPECT_STREQ(text, L"&About...");

  // Any command 16 to 31 opens the about box (and returns when it is closed).
  for (WPARAM command : {WPARAM{IDM_ABOUTBOX}, WPARAM{IDM_ABOUTBOX + 15}}) {
    aboutTitle.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, AnswerAbout, nullptr, GetCurrentThreadId());
    SendMessageW(main_, WM_SYSCOMMAND, command, 0);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(aboutTitle, L"About") << command;
  }
}

TEST_F(WindowTest, ProgressWindowControlsSitAtTheirTemplateRectangles) {
  std::unique_ptr<ProgressWindow> window = dialog_->MakeProgressWindow();
  ASSERT_TRUE(window->Create());
  HWND progress = static_cast<Win32ProgressWindow&>(*window).Window();
  ExpectPlaces(progress, kProgressControls, std::size(kProgressControls));
  EXPECT_EQ(GetWindow(progress, GW_OWNER), main_);
  EXPECT_EQ(ControlText(progress, IDC_PROGRESS_PERCENT), L" 0 %");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(progress, IDCANCEL)));
  wchar_t className[64] = L"";
  GetClassNameW(GetDlgItem(progress, IDC_PROGRESS_BAR), className, 64);
  EXPECT_STREQ(className, L"msctls_progress32");
}

TEST_F(WindowTest, ProgressWindowHoldsItsOwnerDisabledAndStaysOpen) {
  auto progress =
      std::make_unique<CProgressDlg>(*dialog_, clock_, platform::Language::English, IDS_UPGRADE);
  ASSERT_TRUE(progress->Create());
  EXPECT_FALSE(IsWindowEnabled(main_));
  HWND window = GetLastActivePopup(main_);
  ASSERT_NE(window, main_);
  EXPECT_EQ(WindowText(window), L"Upgrade");

  progress->SetRange(0, 100);
  EXPECT_EQ(progress->SetPosition(0), 0);
  EXPECT_EQ(ControlText(window, IDC_PROGRESS_PERCENT), L"0%");
  progress->SetPosition(150);
  EXPECT_EQ(ControlText(window, IDC_PROGRESS_PERCENT), L"50%");
  progress->StartEstimate(clock_.TickCount(), 5000);
  clock_.Advance(2500);
  progress->AdvanceEstimate();
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0), 50);

  // Esc, Enter and the close box leave it open.
  SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
  SendMessageW(window, WM_COMMAND, IDOK, 0);
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));

  progress.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(WindowTest, AnOwnerDisabledBeforehandStaysDisabled) {
  EnableWindow(main_, FALSE);
  auto progress = std::make_unique<CProgressDlg>(*dialog_, clock_, platform::Language::English,
                                                 IDS_INITIALIZING);
  ASSERT_TRUE(progress->Create());
  progress.reset();
  EXPECT_FALSE(IsWindowEnabled(main_));
}

TEST_F(WindowTest, EscClosesTheMainWindowOnlyWhenNoRunGoesOn) {
  SendMessageW(main_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_FALSE(IsWindow(main_));
}

// Entry `id` of the resource string table in one language, read from its block of 16.
std::wstring ResourceString(uint32_t id, LANGID language) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found =
      FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return L"<no block>";
  const auto* entry = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
  for (uint32_t i = 0; i < id % 16; ++i) entry += 1 + *entry;
  return std::wstring(entry + 1, *entry);
}

TEST(ResourceStrings, EqualTheCoreTableInBothLanguages) {
  const struct {
    platform::Language language;
    LANGID id;
  } languages[] = {{platform::Language::English, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)},
                   {platform::Language::Japanese, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}};
  int compared = 0;
  for (const auto& language : languages) {
    for (uint32_t id = 1; id < 3000; ++id) {
      const std::string text = LoadString(id, language.language);
      if (text.empty()) continue;
      EXPECT_EQ(ResourceString(id, language.id), Widen(text)) << id;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 2 * 18);  // 101, 1000, 1001, 1003, 2000 to 2008, 2020 to 2024
}

}  // namespace
}  // namespace zmr::ui
