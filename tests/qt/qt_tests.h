// SPDX-License-Identifier: MIT
#pragma once
// The window test classes; qt_tests_main.cpp runs them all in one application.
#include <QObject>

namespace zmr::test {

class MainWindowTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void firstDisplay();
  void templateLayout();
  void aboutBox();
  void enterPressesDownload();
  void escapeAndCloseBoxClose_data();
  void escapeAndCloseBoxClose();
  void windowMenuOpensAbout_data();
  void windowMenuOpensAbout();
  void windowMenuInUserLanguage();
  void accessibleFields();
  void aboutCommands_data();
  void aboutCommands();
  void noTextClipped();
};

class UpdateRunTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void successfulRun();
  void failures_data();
  void failures();
  void progressWindowIgnoresKeysAndClose();
  void closingDuringRunIsRefused();
  void percentShownBeforeEachWindowCloses();
  void mainWindowKeepsItsLookWhileRefusingInput();
  void forceMode_data();
  void forceMode();
};

class ProgressWindowTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void templateLayout();
  void barPositionOutsideRange();
  void messagesFit_data();
  void messagesFit();
};

}  // namespace zmr::test
