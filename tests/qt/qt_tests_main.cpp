// SPDX-License-Identifier: MIT
// Runs every window test class in one application on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <cstdio>

#include "link/driver_library.h"
#include "platform/ui_language.h"
#include "ui/qt/qt_translations.h"

#include "qt_tests.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // As the tool does at start.
  zmr::ui::InstallQtTranslations(zmr::platform::UserLanguage());
  // Bound once for the process, as start-up does; the library stays loaded.
  if (!zmr::TheDriverLibrary().Bind()) {
    std::fprintf(stderr, "the simulated libZUsbXpIf.so must be on the library path\n");
    return 1;
  }
  int failed = 0;
  {
    zmr::test::MainWindowTest test;
    failed += QTest::qExec(&test, argc, argv);
  }
  {
    zmr::test::UpdateRunTest test;
    failed += QTest::qExec(&test, argc, argv);
  }
  {
    zmr::test::ProgressWindowTest test;
    failed += QTest::qExec(&test, argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
