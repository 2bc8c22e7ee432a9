// SPDX-License-Identifier: MIT
// The progress window on its own: its template, its bar, and that every message fits.
#include <QTest>

#include "label_fit.h"
#include "qt_test_support.h"
#include "qt_tests.h"
#include "update/string_table.h"

namespace zmr::test {
namespace {

QRect Dlu(const QWidget* window, int x, int y, int w, int h) {
  return ui::DialogUnits(window->font(), platform::UserLanguage()).ToPixels(x, y, w, h);
}

// A main window stand-in placed off the screen's centre, and a progress window over it.
struct ProgressFixture {
  explicit ProgressFixture(platform::Language language = platform::UserLanguage())
      : widget(&owner, language) {
    owner.setGeometry(40, 60, 400, 300);
    owner.show();
    widget.Create();
    window = WindowWatcher::OpenProgressWindow();
  }
  QWidget owner;
  ui::QtProgressWindow widget;
  ui::QtProgressDialog* window = nullptr;
};

}  // namespace

void ProgressWindowTest::templateLayout() {
  ProgressFixture f;
  QVERIFY(f.window);
  QCOMPARE(f.window->size(), Dlu(f.window, 0, 0, 176, 80).size());
  QCOMPARE(f.window->frameGeometry().center(), f.owner.frameGeometry().center());
  QVERIFY(!f.window->isModal());
  // A title bar with a close box that does nothing, and no way to minimise it.
  const Qt::WindowFlags flags = f.window->windowFlags();
  QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(flags & Qt::WindowTitleHint);
  // Nor does it stay minimised where the window manager offers it anyway.
  f.window->setWindowState(Qt::WindowMinimized);
  QVERIFY(!(f.window->windowState() & Qt::WindowMinimized));
  QVERIFY(f.window->isVisible());
  QVERIFY(!f.window->Bar()->accessibleName().isEmpty());
  const struct {
    int id;
    int x, y, w, h;
  } controls[] = {
      {1005, 6, 7, 164, 16}, {1004, 79, 31, 18, 8}, {1003, 11, 42, 154, 10}, {2, 63, 59, 50, 14}};
  for (const auto& c : controls) {
    const QWidget* control = Control(f.window, c.id);
    QVERIFY2(control, qPrintable(QString::number(c.id)));
    QCOMPARE(control->geometry(), Dlu(f.window, c.x, c.y, c.w, c.h));
  }
  QCOMPARE(f.window->Message()->text(), QString());
  QVERIFY(f.window->Message()->alignment() & Qt::AlignHCenter);
  QCOMPARE(f.window->Percent()->text(), QStringLiteral(" 0 %"));
  QVERIFY(f.window->Percent()->alignment() & Qt::AlignHCenter);
  const auto* cancel = Control<QPushButton>(f.window, 2);
  QVERIFY(cancel->isHidden());
  QVERIFY(cancel->isDefault());

  f.widget.SetCaption("Upgrade");
  QCOMPARE(f.window->windowTitle(), QStringLiteral("Upgrade"));
  QCOMPARE(f.widget.PercentText(), std::string(" 0 %"));
  f.widget.Destroy();
  QVERIFY(!WindowWatcher::OpenProgressWindow());
  QVERIFY(f.owner.findChildren<ui::QtProgressDialog*>().isEmpty());
}

void ProgressWindowTest::barPositionOutsideRange() {
  ProgressFixture f;
  f.widget.SetBarRange(0, 100);
  QCOMPARE(f.widget.SetBarPosition(40), 0);
  // Beyond either end the bar goes to that end (it must not keep a stale position).
  QCOMPARE(f.widget.SetBarPosition(150), 40);
  QCOMPARE(f.window->Bar()->value(), 100);
  QCOMPARE(f.widget.SetBarPosition(-5), 100);
  QCOMPARE(f.window->Bar()->value(), 0);
}

void ProgressWindowTest::messagesFit_data() {
  QTest::addColumn<int>("language");
  QTest::addColumn<uint32_t>("id");
  for (const auto& [language, name] :
       {std::pair{platform::Language::English, "en"}, {platform::Language::Japanese, "ja"}})
    for (uint32_t id : {IDS_PLEASE_WAIT, IDS_LOADING_DATA1, IDS_LOADING_DATA2, IDS_LOADING_DATA3})
      QTest::addRow("%s %u", name, id) << static_cast<int>(language) << id;
}

void ProgressWindowTest::messagesFit() {
  QFETCH(int, language);
  QFETCH(uint32_t, id);
  ProgressFixture f(static_cast<platform::Language>(language));
  f.widget.SetMessage(LoadString(id, static_cast<platform::Language>(language)));
  f.widget.SetPercentText("100%");
  const QStringList clipped = ClippedTexts(f.window);
  QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
}

}  // namespace zmr::test
