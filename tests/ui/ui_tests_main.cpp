// Runs every window test class in one application on the offscreen platform.
#include <QApplication>
#include <QTest>

#include "ui_tests.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
