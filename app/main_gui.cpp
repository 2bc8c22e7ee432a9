// The desktop tool: one instance per user, the loaded driver library bound, then the main
// window until the user closes it.
#include <QApplication>

#include "app/startup.h"
#include "link/driver_library.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/ui_language.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_key_state.h"
#include "ui/qt/qt_translations.h"
#include "ui/qt/ui_log.h"
#include "ui/qt/update_dlg.h"

int main(int argc, char** argv) {
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

  zmr::ui::QtKeyState keys;
  zmr::ui::CUpdateDlg window(
      {zmr::SystemClock(), keys, zmr::LinkedImportedDriver(), zmr::TheDriverLibrary(), language});
  window.exec();
  // The driver library is released when the process's holder is destroyed at exit.
  return 0;
}
