// SPDX-License-Identifier: MIT
// The desktop tool on Windows: one instance per user session, the loaded driver library bound,
// then the main window (template 102) as a modal dialog until the user closes it. Every run is
// guarded and logged as the terminal tool's is.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include <string>

#include "app/run_guard.h"
#include "app/startup.h"
#include "link/driver_library.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/key_state.h"
#include "platform/run_log_file.h"
#include "platform/ui_language.h"
#include "ui/win32/message_box.h"
#include "ui/win32/update_dlg.h"
#include "ui/win32/wide_text.h"

namespace {

constexpr const char* kProgram = "zmr470-update";

// A start that ends before any window leaves one record in the run log, so that support can
// tell why the tool "did nothing".
void LogEndedAtStart(const std::string& problem) {
  zmr::platform::AppendRunLog(zmr::platform::RunLogPath(),
                              "== " + zmr::platform::LocalTimeText() + "  " + kProgram + " " +
                                  ZMR_VERSION + "\n" + problem + ": ended at once\n\n");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before any library is loaded by name (the driver's, and those that Windows loads later).
  zmr::platform::DynamicLibrary::KeepCurrentFolderOutOfSearch();
  // The run blocks the window for up to several seconds at a time; Windows must not swap it for a
  // "Not Responding" copy that offers to end the program while the printer is in download mode.
  DisableProcessWindowsGhosting();

  const zmr::platform::Language language = zmr::platform::UserLanguage();
  // Resources (the string table behind the system menu's entry) in the language of the texts
  // that the core shows.
  SetThreadUILanguage(language == zmr::platform::Language::Japanese
                          ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                          : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  const zmr::Startup startup = zmr::StartUp(zmr::TheDriverLibrary());
  switch (startup.outcome) {
    case zmr::StartupOutcome::AlreadyRunning:
      // No handle of the mutex at all: the same silent end, with a line for support.
      if (!startup.lockProblem.empty())
        LogEndedAtStart(zmr::LockNotice(startup, zmr::platform::Language::English));
      return 0;
    case zmr::StartupOutcome::DriverNotFound:
      zmr::ui::ShowMessageBox(nullptr, zmr::ui::Widen(zmr::kDriverNotFoundTitle),
                              zmr::ui::Widen(zmr::kDriverNotFoundText), MB_ICONWARNING);
      return 0;
    case zmr::StartupOutcome::Ready:
      break;
  }

  // From the enter-download-mode command to the printer's release: the machine kept awake (the
  // guard) and a shutdown or log-off held (the main window); the run's record in the run log.
  zmr::RunGuard guard(zmr::SystemClock(), {kProgram, language, {}, zmr::platform::RunLogPath()});
  zmr::AddProgramHeader(guard, kProgram, zmr::LinkedImportedDriver(), zmr::TheDriverLibrary());
  if (!startup.lockProblem.empty())
    guard.AddHeaderLine(zmr::LockNotice(startup, zmr::platform::Language::English));

  const zmr::platform::SystemKeyState keys;  // force mode: Shift and K held at the press
  zmr::ui::CUpdateDlg window(instance,
                             {zmr::SystemClock(), keys, zmr::LinkedImportedDriver(),
                              zmr::TheDriverLibrary(), language, zmr::EmbeddedImage, &guard},
                             zmr::InhibitorWhy(language));
  window.DoModal();
  // The driver library is released when the process's holder is destroyed at exit.
  return 0;
}
