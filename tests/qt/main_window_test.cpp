// SPDX-License-Identifier: MIT
// The main window and the about box: first display, the template layout in dialog units, the
// keys and the close box, the window menu, and that no text is cut off.
#include <QAccessible>
#include <QMenu>
#include <QScreen>
#include <QSet>
#include <QTest>

#include "label_fit.h"
#include "qt_test_support.h"
#include "qt_tests.h"
#include "ui/qt/about_dlg.h"
#include "update/string_table.h"

namespace zmr::test {
namespace {

// Template positions (dialog units) of the main window's controls.
struct Place {
  int id;
  int x, y, w, h;
};
constexpr Place kMainControls[] = {
    {1005, 104, 29, 50, 9},   {1003, 175, 29, 50, 9},  {1006, 104, 43, 50, 9},
    {1008, 175, 43, 50, 9},   {1007, 104, 57, 50, 9},  {1011, 175, 57, 50, 9},
    {1014, 104, 104, 50, 9},  {1015, 175, 104, 50, 9}, {1016, 104, 118, 50, 9},
    {1017, 175, 118, 50, 9},  {1018, 104, 132, 50, 9}, {1019, 175, 132, 50, 9},
    {1004, 104, 160, 50, 9},  {1002, 175, 160, 50, 9}, {1010, 104, 174, 50, 9},
    {1009, 175, 174, 50, 9},  {1012, 104, 187, 50, 9}, {1013, 175, 187, 50, 9},
    {1000, 102, 206, 52, 23},
};
constexpr int kBeforeAfterFields[] = {1014, 1015, 1016, 1017, 1018, 1019,
                                      1004, 1002, 1010, 1009, 1012, 1013};

QRect Dlu(const QWidget* window, int x, int y, int w, int h) {
  return ui::DialogUnits(window->font(), platform::UserLanguage()).ToPixels(x, y, w, h);
}

bool CentredOn(const QRect& inner, const QRect& outer) {
  const QPoint d = inner.center() - outer.center();
  return std::abs(d.x()) <= 1 && std::abs(d.y()) <= 1;
}

sim::SimConfig NoPrinter() {
  sim::SimConfig config;
  config.listed = 0;
  return config;
}

}  // namespace

void MainWindowTest::firstDisplay() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  ui::CUpdateDlg& window = *sim.window;
  QCOMPARE(window.windowTitle(), QStringLiteral("TALVERON ZMR470 Update Tool"));
  QCOMPARE(sim.Field(1005), QStringLiteral("316G21"));
  QCOMPARE(sim.Field(1006), QStringLiteral("318C21"));
  QCOMPARE(sim.Field(1007), QStringLiteral("D11"));
  for (int id : {1003, 1008, 1011}) QCOMPARE(sim.Field(id), QString());
  for (int id : kBeforeAfterFields) QCOMPARE(sim.Field(id), QString());
  QVERIFY(sim.Button()->isDefault());
  QCOMPARE(window.focusWidget(), sim.Button());
  QVERIFY(!window.windowIcon().isNull());
  QVERIFY(CentredOn(window.frameGeometry(), window.screen()->availableGeometry()));
}

void MainWindowTest::templateLayout() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  const ui::CUpdateDlg* window = sim.window.get();
  QCOMPARE(window->size(), Dlu(window, 0, 0, 258, 241).size());
  for (const Place& p : kMainControls) {
    const QWidget* control = Control(window, p.id);
    QVERIFY2(control, qPrintable(QString::number(p.id)));
    QCOMPARE(control->geometry(), Dlu(window, p.x, p.y, p.w, p.h));
  }
  QCOMPARE(Control<QPushButton>(window, 1000)->text(), QStringLiteral("Download"));

  // The static texts, each where the template puts it.
  const struct {
    const char* text;
    int x, y, w;
    Qt::Alignment align;
  } statics[] = {
      {"Download Ver.1.02", 14, 11, 129, Qt::AlignLeft},
      {"Version", 104, 17, 50, Qt::AlignHCenter},
      {"Check sum", 175, 17, 50, Qt::AlignHCenter},
      {"Data in Printer", 14, 78, 129, Qt::AlignLeft},
      {"Before", 21, 90, 22, Qt::AlignLeft},
      {"After", 21, 147, 17, Qt::AlignLeft},
  };
  for (const auto& s : statics) {
    const QLabel* label = StaticText(window, QString::fromLatin1(s.text));
    QVERIFY2(label, s.text);
    QCOMPARE(label->geometry(), Dlu(window, s.x, s.y, s.w, 8));
    QVERIFY(label->alignment() & s.align);
  }
  // Row labels and their ":" in the three blocks.
  const struct {
    const char* text;
    std::vector<int> ys;
  } rows[] = {
      {"DATA1(M)", {29, 104, 161}},
      {"DATA2(T)", {43, 118, 175}},
      {"DATA3(F)", {57, 132, 188}},
  };
  std::vector<int> colonYs;
  for (const auto& row : rows) {
    std::vector<int> ys;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
      if (label->text() != QLatin1String(row.text)) continue;
      QCOMPARE(label->x(), Dlu(window, 25, 0, 0, 0).x());
      QCOMPARE(label->width(), Dlu(window, 0, 0, 68, 0).width());
      ys.push_back(label->y());
    }
    std::vector<int> expected;
    for (int y : row.ys) expected.push_back(Dlu(window, 0, y, 0, 0).y());
    std::sort(ys.begin(), ys.end());
    QVERIFY2(ys == expected, row.text);
    colonYs.insert(colonYs.end(), expected.begin(), expected.end());
  }
  std::vector<int> colons;
  for (const QLabel* label : window->findChildren<QLabel*>())
    if (label->text() == QLatin1String(":")) {
      QCOMPARE(label->x(), Dlu(window, 95, 0, 0, 0).x());
      colons.push_back(label->y());
    }
  std::sort(colons.begin(), colons.end());
  std::sort(colonYs.begin(), colonYs.end());
  QVERIFY(colons == colonYs);

  // Value fields: sunken, left-aligned.
  for (const Place& p : kMainControls) {
    if (p.id == 1000) continue;
    const auto* field = Control<QLabel>(window, p.id);
    QCOMPARE(field->frameShadow(), QFrame::Sunken);
    QVERIFY(field->frameShape() != QFrame::NoFrame);
    QVERIFY(field->alignment() & Qt::AlignLeft);
  }
}

void MainWindowTest::aboutBox() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  ui::CAboutDlg about(sim.window.get(), platform::UserLanguage());
  QCOMPARE(about.windowTitle(), QStringLiteral("About"));
  QCOMPARE(about.size(), Dlu(&about, 0, 0, 229, 54).size());
  const auto* ok = Control<QPushButton>(&about, 1);
  QVERIFY(ok);
  QCOMPARE(ok->text(), QStringLiteral("OK"));
  QVERIFY(ok->isDefault());
  QCOMPARE(ok->geometry(), Dlu(&about, 172, 7, 50, 14));
  const QLabel* text = StaticText(&about, QStringLiteral("TALVERON ZMR470 Update Tool\nVer.1.02"));
  QVERIFY(text);
  QCOMPARE(text->geometry(), Dlu(&about, 40, 22, 130, 16));
  QVERIFY(text->alignment() & Qt::AlignHCenter);
  const auto* icon = about.findChild<QLabel*>(QStringLiteral("icon"));
  QVERIFY(icon && !icon->pixmap().isNull());
  QCOMPARE(icon->pos(), Dlu(&about, 11, 17, 0, 0).topLeft());
  QVERIFY(CentredOn(about.frameGeometry(), sim.window->frameGeometry()));
  QVERIFY2(ClippedTexts(&about).isEmpty(), qPrintable(ClippedTexts(&about).join(u'\n')));
}

void MainWindowTest::enterPressesDownload() {
  platform::NoKeysDown keys;
  SimWindow sim(NoPrinter(), keys);
  WindowWatcher watcher;
  QTest::keyClick(sim.window.get(), Qt::Key_Return);
  QCOMPARE(watcher.boxes.size(), size_t{1});
  QCOMPARE(watcher.boxes[0].text, Qs(LoadString(IDS_NOT_CONNECTED, platform::UserLanguage())));
  QVERIFY(sim.window->isVisible());
}

void MainWindowTest::escapeAndCloseBoxClose_data() {
  QTest::addColumn<bool>("escape");
  QTest::newRow("Esc") << true;
  QTest::newRow("close box") << false;
}

void MainWindowTest::escapeAndCloseBoxClose() {
  QFETCH(bool, escape);
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  if (escape)
    QTest::keyClick(sim.window.get(), Qt::Key_Escape);
  else
    QVERIFY(sim.window->close());
  QVERIFY(!sim.window->isVisible());
  QCOMPARE(sim.window->result(), int{QDialog::Rejected});
}

void MainWindowTest::windowMenuOpensAbout_data() {
  QTest::addColumn<int>("key");  // 0: a right click
  QTest::addColumn<int>("modifiers");
  QTest::newRow("right click") << 0 << int{Qt::NoModifier};
  QTest::newRow("Menu key") << int{Qt::Key_Menu} << int{Qt::NoModifier};
  QTest::newRow("Shift+F10") << int{Qt::Key_F10} << int{Qt::ShiftModifier};
}

void MainWindowTest::windowMenuOpensAbout() {
  QFETCH(int, key);
  QFETCH(int, modifiers);
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  QStringList entries;
  bool lastAfterSeparator = false;
  PopupCatcher catcher([&](QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) entries << (action->isSeparator() ? "-" : action->text());
    lastAfterSeparator = actions.size() >= 2 && actions[actions.size() - 2]->isSeparator();
    menu->setActiveAction(actions.last());
    QTest::keyClick(menu, Qt::Key_Return);
  });
  // Through the window system, which turns a right click into a context-menu request and hands
  // keys to the focused control (the button).
  if (key == 0)
    QTest::mouseClick(sim.window->windowHandle(), Qt::RightButton, {}, QPoint(20, 20));
  else
    QTest::keyClick(sim.window->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QVERIFY2(!entries.isEmpty(), "no window menu opened");
  QCOMPARE(catcher.menus, 1);
  QCOMPARE(entries.last(), Qs(LoadString(IDS_ABOUTBOX, platform::UserLanguage())));
  QVERIFY(lastAfterSeparator);
  QCOMPARE(watcher.windows.size(), size_t{1});
  QCOMPARE(watcher.windows[0], QStringLiteral("100"));
  QVERIFY(CentredOn(watcher.aboutGeometry, sim.window->frameGeometry()));
  QVERIFY(sim.window->isVisible());
}

void MainWindowTest::windowMenuInUserLanguage() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  std::unique_ptr<QMenu> menu(sim.window->MakeWindowMenu());
  const QString close = menu->actions().first()->text();
  // Qt's own entry comes from Qt's translations.
  if (platform::UserLanguage() == platform::Language::Japanese)
    QVERIFY2(close.contains(QStringLiteral("閉じる")), qPrintable(close));
  else
    QCOMPARE(close, QStringLiteral("&Close"));
}

void MainWindowTest::accessibleFields() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QCOMPARE(sim.Field(1013), QStringLiteral("EE03"));

  // Every field in reading order: row by row, version before check sum, then the button.
  const std::vector<int> order = {1005, 1003, 1006, 1008, 1007, 1011, 1014, 1015, 1016, 1017,
                                  1018, 1019, 1004, 1002, 1010, 1009, 1012, 1013, 1000};
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(sim.window.get());
  QVERIFY(window);
  QSet<QString> names;
  int previousIndex = -1;
  for (int id : order) {
    QWidget* control = Control(sim.window.get(), id);
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(control);
    QVERIFY2(item, qPrintable(QString::number(id)));
    const QString name = item->text(QAccessible::Name);
    QVERIFY2(!name.isEmpty(), qPrintable(QString::number(id)));
    QVERIFY2(!names.contains(name), qPrintable(name));
    names.insert(name);
    QVERIFY2(!item->text(QAccessible::Description).isEmpty(), qPrintable(name));
    const int index = window->indexOfChild(item);
    QVERIFY2(index > previousIndex, qPrintable(name));
    previousIndex = index;
    if (id == 1000) continue;
    // The name says which image, block and column; the value is the field's text.
    const QLabel* field = Control<QLabel>(sim.window.get(), id);
    QCOMPARE(item->text(QAccessible::Value), field->text());
    QVERIFY(item->state().readOnly);
    QVERIFY(item->textInterface());
    QCOMPARE(item->textInterface()->text(0, item->textInterface()->characterCount()),
             field->text());
  }
  const QString before1 = QAccessible::queryAccessibleInterface(Control(sim.window.get(), 1014))
                              ->text(QAccessible::Name);
  QVERIFY2(before1.contains(QStringLiteral("DATA1(M)")), qPrintable(before1));
  if (platform::UserLanguage() == platform::Language::English)
    QCOMPARE(before1, QStringLiteral("DATA1(M) version before the update"));

  // Tab walks the same order, from the button round to the button.
  QWidget* at = sim.Button();
  std::vector<int> tabbed;
  for (size_t i = 0; i < order.size(); ++i) {
    do {
      at = at->nextInFocusChain();
    } while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisible() || !at->isEnabled());
    tabbed.push_back(at->objectName().toInt());
  }
  QCOMPARE(tabbed, order);
}

void MainWindowTest::aboutCommands_data() {
  QTest::addColumn<unsigned>("command");
  QTest::addColumn<bool>("opens");
  QTest::newRow("15") << 15u << false;
  QTest::newRow("16") << 16u << true;
  QTest::newRow("23") << 23u << true;
  QTest::newRow("31") << 31u << true;
  QTest::newRow("32") << 32u << false;
}

void MainWindowTest::aboutCommands() {
  QFETCH(unsigned, command);
  QFETCH(bool, opens);
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  sim.window->OnSysCommand(command);
  QCOMPARE(watcher.windows.size(), opens ? size_t{1} : size_t{0});
}

void MainWindowTest::noTextClipped() {
  // Every field filled by a successful run, in the user's language and its font.
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QCOMPARE(sim.Field(1013), QStringLiteral("EE03"));
  const QStringList clipped = ClippedTexts(sim.window.get());
  QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
}

}  // namespace zmr::test
