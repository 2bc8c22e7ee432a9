// SPDX-License-Identifier: MIT
// The desktop tool: one instance per user, the loaded driver library bound, then the main
// window until the user closes it.
#include <QApplication>
#include <QPushButton>
#include <cstdio>

#include "app/run_guard.h"
#include "app/startup.h"
#include "link/driver_library.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/run_log_file.h"
#include "platform/standard_streams.h"
#include "platform/ui_language.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_key_state.h"
#include "ui/qt/qt_translations.h"
#include "ui/qt/ui_log.h"
#include "ui/qt/update_dlg.h"

int main(int argc, char** argv) {
  // Before anything opens a file: a closed standard stream must not take the next descriptor.
  zmr::platform::OpenMissingStandardStreams();
  QApplication app(argc, argv);
#ifdef ZMR_APP_ID
  QGuiApplication::setDesktopFileName(QStringLiteral(ZMR_APP_ID));
#endif
  zmr::ui::UiLog::FromEnvironment(&app);
  const zmr::platform::Language language = zmr::platform::UserLanguage();

  // Qt's own texts (the window menu's Close) in the user's language.
  zmr::ui::InstallQtTranslations(language);

  const zmr::Startup startup = zmr::StartUp(zmr::TheDriverLibrary());
  switch (startup.outcome) {
    case zmr::StartupOutcome::AlreadyRunning:
      return 0;
    case zmr::StartupOutcome::DriverNotFound:
      zmr::ui::ShowMessageBox(nullptr, QString::fromLatin1(zmr::kDriverNotFoundTitle),
                              QString::fromLatin1(zmr::kDriverNotFoundText), QMessageBox::Warning);
      return 0;
    case zmr::StartupOutcome::Ready:
      break;
  }

  if (!startup.lockProblem.empty())
    std::fprintf(stderr, "zmr470-update: %s\n", zmr::LockNotice(startup, language).c_str());
  const std::string usbTimeout = zmr::UsbTimeoutNotice(startup.usbTimeout, language);
  if (!usbTimeout.empty()) std::fprintf(stderr, "zmr470-update: %s\n", usbTimeout.c_str());

  // From just before the enter-download-mode command until the release, SIGINT, SIGTERM, SIGHUP
  // and SIGQUIT wait; one that came ends the tool once the run has shown its closing message.
  zmr::RunGuard guard(zmr::SystemClock(),
                      {"zmr470-update", language, {}, zmr::platform::RunLogPath()});
  zmr::AddProgramHeader(guard, "zmr470-update", zmr::LinkedImportedDriver(),
                        zmr::TheDriverLibrary());
  // The run log is written in English, whatever the user's language.
  if (!startup.lockProblem.empty())
    guard.AddHeaderLine(zmr::LockNotice(startup, zmr::platform::Language::English));
  if (!usbTimeout.empty()) {
    guard.AddHeaderLine(
        zmr::UsbTimeoutNotice(startup.usbTimeout, zmr::platform::Language::English));
  }

  zmr::ui::QtKeyState keys;
  zmr::ui::CUpdateDlg window({zmr::SystemClock(), keys, zmr::LinkedImportedDriver(),
                              zmr::TheDriverLibrary(), language, zmr::EmbeddedImage, &guard});
  int status = 0;
  // Connected after the window's own handler, so it runs once the run has ended.
  QObject::connect(window.DownloadButton(), &QPushButton::clicked, &window, [&] {
    if (guard.HeldSignal() == 0) return;
    status = 128 + guard.HeldSignal();
    window.done(0);
  });
  window.exec();
  // The driver library is released when the process's holder is destroyed at exit.
  return status;
}
