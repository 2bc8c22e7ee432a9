// SPDX-License-Identifier: MIT
// The desktop tool on Windows: one instance per user session, the loaded driver library bound,
// then the main window (template 102) as a modal dialog until the user closes it.
#include "ui/win32/windows_api.h"

#include <commctrl.h>

#include "app/startup.h"
#include "link/driver_library.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "ui/win32/message_box.h"
#include "ui/win32/update_dlg.h"
#include "ui/win32/wide_text.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
      return 0;
    case zmr::StartupOutcome::DriverNotFound:
      zmr::ui::ShowMessageBox(nullptr, zmr::ui::Widen(zmr::kDriverNotFoundTitle),
                              zmr::ui::Widen(zmr::kDriverNotFoundText), MB_ICONWARNING);
      return 0;
    case zmr::StartupOutcome::Ready:
      break;
  }

  const zmr::platform::SystemKeyState keys;  // force mode: Shift and K held at the press
  zmr::ui::CUpdateDlg window(instance, {zmr::SystemClock(), keys, zmr::LinkedImportedDriver(),
                                        zmr::TheDriverLibrary(), language});
  window.DoModal();
  // The driver library is released when the process's holder is destroyed at exit.
  return 0;
}
