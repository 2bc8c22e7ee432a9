// SPDX-License-Identifier: MIT
// Presses of Download on the real windows over the simulated printer: what the windows show
// during and after a run, the one message box, the progress windows, force mode and closing.
#include <QTest>
#include <map>

#include "qt_test_support.h"
#include "qt_tests.h"
#include "ui/qt/qt_key_state.h"
#include "update/string_table.h"

namespace zmr::test {
namespace {

bool Japanese() {
  return platform::UserLanguage() == platform::Language::Japanese;
}

QString Text(uint32_t id) {
  return Qs(LoadString(id, platform::UserLanguage()));
}

bool CentredOn(const QRect& inner, const QRect& outer) {
  const QPoint d = inner.center() - outer.center();
  return std::abs(d.x()) <= 1 && std::abs(d.y()) <= 1;
}

// The captions of the progress windows in the order they appeared.
QStringList Captions(const std::vector<Snapshot>& shots) {
  QStringList captions;
  for (const Snapshot& shot : shots)
    if (shot.progressOpen && (captions.isEmpty() || captions.last() != shot.caption))
      captions << shot.caption;
  return captions;
}

// What every run leaves behind: the button enabled and focused, the window enabled, no
// progress window anywhere.
void CheckRunEnded(const SimWindow& sim) {
  QVERIFY(sim.Button()->isEnabled());
  QCOMPARE(sim.window->focusWidget(), sim.Button());
  if (QApplication::activeWindow() == sim.window.get()) QVERIFY(sim.Button()->hasFocus());
  QVERIFY(sim.window->IsWindowEnabled());
  QVERIFY(sim.window->findChildren<ui::QtProgressDialog*>().isEmpty());
  QVERIFY(!WindowWatcher::OpenProgressWindow());
  // The run kept to the printer's rules (framing, erase before transfer, reply timing).
  for (const sim::Violation& violation : sim::ByHost(sim::SimBus::Instance().Violations()))
    QFAIL(qPrintable(QString::fromStdString("protocol violation: " + sim::Describe(violation))));
}

}  // namespace

void UpdateRunTest::successfulRun() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  QTest::mouseClick(sim.Button(), Qt::LeftButton);

  QCOMPARE(watcher.boxes.size(), size_t{1});
  const WindowWatcher::Box& box = watcher.boxes[0];
  QCOMPARE(box.title, QStringLiteral("Success!"));
  QCOMPARE(box.icon, QMessageBox::Warning);
  QCOMPARE(box.text, Japanese() ? Qs(LoadString(IDS_SUCCESS, platform::Language::Japanese))
                                : QStringLiteral("Success!\nThis DATA was downloaded properly "
                                                 "on printer."));
  QCOMPARE(box.owner, sim.window.get());
  QVERIFY(!box.progressOpen);
  QVERIFY2(!box.busyCursor, "the box waits for the user: the ordinary cursor");
  CheckRunEnded(sim);
  QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

  // Before: what the printer reported; After: what it reads back now.
  const std::pair<int, const char*> fields[] = {{1014, "316B20"}, {1015, "1A2B"}, {1016, "318C20"},
                                                {1017, "3C4D"},   {1018, "D10"},  {1019, "5E6F"},
                                                {1004, "316G21"}, {1002, "08A6"}, {1010, "318C21"},
                                                {1009, "AF7C"},   {1012, "D11"},  {1013, "EE03"}};
  for (const auto& [id, text] : fields) QCOMPARE(sim.Field(id), QString::fromLatin1(text));

  // During the run: the button disabled throughout, the window refusing input while a progress
  // window exists, each progress window centred over the main window.
  QVERIFY(!sim.shots.empty());
  for (const Snapshot& shot : sim.shots) {
    QVERIFY(!shot.buttonEnabled);
    // Every wait, also those in which no window repaints, under the busy cursor.
    QCOMPARE(shot.cursor, Qt::WaitCursor);
    if (!shot.progressOpen) continue;
    QVERIFY(!shot.mainEnabled);
    QVERIFY(CentredOn(shot.progressGeometry, sim.window->frameGeometry()));
  }
  QCOMPARE(Captions(sim.shots), QStringList({"Initializing...", "Version Check...", "Upgrade"}));

  // Each window reads "0%" once its first position is set; the download's ends at "100%".
  QString caption;
  QStringList messages;
  for (const Snapshot& shot : sim.shots) {
    if (!shot.progressOpen) continue;
    if (shot.caption != caption) {
      QCOMPARE(shot.percent, QStringLiteral("0%"));
      caption = shot.caption;
    }
    if (messages.isEmpty() || messages.last() != shot.message) messages << shot.message;
  }
  const auto last = std::find_if(sim.shots.rbegin(), sim.shots.rend(),
                                 [](const Snapshot& s) { return s.progressOpen; });
  QCOMPARE(last->caption, QStringLiteral("Upgrade"));
  QCOMPARE(last->percent, QStringLiteral("100%"));
  QCOMPARE(last->bar, 100);
  // The labels in the user's language, DATA1 to DATA3 in turn.
  for (uint32_t id : {IDS_PLEASE_WAIT, IDS_LOADING_DATA1, IDS_LOADING_DATA2, IDS_LOADING_DATA3})
    QVERIFY2(messages.contains(Text(id)), qPrintable(Text(id)));
  if (Japanese())
    QVERIFY(messages.contains(Qs(LoadString(IDS_LOADING_DATA1, platform::Language::Japanese))));
}

void UpdateRunTest::failures_data() {
  QTest::addColumn<sim::SimConfig>("config");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("icon");
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("overProgress");  // shown while a progress window was still open

  const QString error = QStringLiteral("Error");
  const int warning = QMessageBox::Warning;
  sim::SimConfig config;
  config.listed = 0;
  QTest::newRow("no printer") << config << error << warning << Text(IDS_NOT_CONNECTED) << false;
  config.listed = 2;
  QTest::newRow("two printers") << config << error << warning << Text(IDS_TWO_PRINTERS) << false;
  config = {};
  config.printer.unit1Printing = true;
  config.printer.unit1Error = true;
  QTest::newRow("printing and in error")
      << config << error << warning << Text(IDS_PRINTING) << false;
  config = {};
  config.printer.unit1Error = true;
  QTest::newRow("printer error") << config << error << warning << Text(IDS_PRINTER_ERROR) << false;
  config = {};
  config.printer.badVersionHeader = true;
  QTest::newRow("no version reply")
      << config << error << warning << Text(IDS_VERSION_FAILED) << true;
  config = {};
  config.printer.data1Version = "316G21";
  QTest::newRow("newest") << config << QStringLiteral("Version Check")
                          << int{QMessageBox::Information} << Text(IDS_NEWEST_VERSION) << false;
  config = {};
  config.printer.data1Version = "316D20";
  config.printer.data1CheckSum = 0x1A2B;
  QTest::newRow("not applicable") << config << QStringLiteral("Version Check")
                                  << int{QMessageBox::Information}
                                  << Text(IDS_NOT_APPLICABLE)
                                         .replace(QLatin1String("%s"), QLatin1String("316D20"))
                                         .replace(QLatin1String("%04X"), QLatin1String("1A2B"))
                                  << false;
  config = {};
  config.printer.bytesPerSecond = 100;  // DATA1 cannot arrive within its time budget
  QTest::newRow("time out") << config << error << warning << Text(IDS_TIME_OUT) << true;
}

void UpdateRunTest::failures() {
  QFETCH(sim::SimConfig, config);
  QFETCH(QString, title);
  QFETCH(int, icon);
  QFETCH(QString, text);
  QFETCH(bool, overProgress);
  platform::NoKeysDown keys;
  SimWindow sim(config, keys);
  WindowWatcher watcher;
  QTest::mouseClick(sim.Button(), Qt::LeftButton);

  QCOMPARE(watcher.boxes.size(), size_t{1});
  const WindowWatcher::Box& box = watcher.boxes[0];
  QCOMPARE(box.title, title);
  QCOMPARE(int{box.icon}, icon);
  QCOMPARE(box.text, text);
  QCOMPARE(box.owner, sim.window.get());
  QCOMPARE(box.progressOpen, overProgress);
  // Over a disabled main window the box still takes the answer.
  QVERIFY(box.enabled);
  CheckRunEnded(sim);
}

void UpdateRunTest::progressWindowIgnoresKeysAndClose() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  QStringList tried;
  sim.onSleep = [&](const Snapshot& shot, ui::QtProgressDialog* progress) {
    if (!progress || tried.contains(shot.caption)) return;
    tried << shot.caption;
    QTest::keyClick(progress, Qt::Key_Escape);
    QVERIFY(progress->isVisible());
    QTest::keyClick(progress, Qt::Key_Return);
    QVERIFY(progress->isVisible());
    QVERIFY(!progress->close());
    QVERIFY(progress->isVisible());
  };
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QCOMPARE(tried, QStringList({"Initializing...", "Version Check...", "Upgrade"}));
  QCOMPARE(watcher.boxes.size(), size_t{1});
  QCOMPARE(watcher.boxes[0].title, QStringLiteral("Success!"));
  CheckRunEnded(sim);
}

void UpdateRunTest::closingDuringRunIsRefused() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  int withProgress = 0;
  int withoutProgress = 0;
  sim.onSleep = [&](const Snapshot& shot, ui::QtProgressDialog*) {
    // The pause before the reopen has no progress window; the first step of each has one.
    if (shot.progressOpen ? withProgress++ > 0 : shot.sleepMs != 100 || withoutProgress++ > 0)
      return;
    QVERIFY(!sim.window->close());
    sim.window->reject();
    QTest::keyClick(sim.window.get(), Qt::Key_Escape);
    QVERIFY(sim.window->isVisible());
  };
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QVERIFY(withProgress > 0 && withoutProgress == 1);
  QVERIFY(sim.window->isVisible());
  QCOMPARE(watcher.boxes.size(), size_t{1});
  QCOMPARE(watcher.boxes[0].title, QStringLiteral("Success!"));
  CheckRunEnded(sim);
  // Once the run is over the window closes as usual.
  QVERIFY(sim.window->close());
}

// Records what the percentage label of each progress window last painted: when each window is
// hidden, and after each position update (at each sleep of the run).
class PercentPaints final : public QObject {
 public:
  PercentPaints() { qApp->installEventFilter(this); }
  ~PercentPaints() override { qApp->removeEventFilter(this); }

  QString LastPainted(const ui::QtProgressDialog* window) const {
    const auto it = painted_.find(window);
    return it == painted_.end() ? QString() : it->second;
  }
  QStringList atClose;  // "caption: percent" as each window went

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      if (auto* window = qobject_cast<ui::QtProgressDialog*>(watched->parent());
          window && watched == window->Percent())
        painted_[window] = window->Percent()->text();
    } else if (event->type() == QEvent::Hide) {
      if (auto* window = qobject_cast<ui::QtProgressDialog*>(watched))
        atClose << window->windowTitle() + QStringLiteral(": ") + LastPainted(window);
    }
    return false;
  }

 private:
  std::map<const QObject*, QString> painted_;
};

void UpdateRunTest::percentShownBeforeEachWindowCloses() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  PercentPaints paints;
  int updates = 0;
  QStringList contradictions;
  sim.onSleep = [&](const Snapshot& shot, ui::QtProgressDialog* progress) {
    const QString painted = progress ? paints.LastPainted(progress) : QString();
    if (painted.isEmpty()) return;  // before the first position update
    // What the label shows on the screen is what the bar shows.
    ++updates;
    if (painted != QStringLiteral("%1%").arg(shot.bar))
      contradictions << QStringLiteral("%1 at %2").arg(painted).arg(shot.bar);
  };
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QVERIFY(updates > 100);
  QCOMPARE(contradictions.mid(0, 3), QStringList());
  QCOMPARE(paints.atClose,
           QStringList({"Initializing...: 100%", "Version Check...: 100%", "Upgrade: 100%"}));
  CheckRunEnded(sim);
}

void UpdateRunTest::mainWindowKeepsItsLookWhileRefusingInput() {
  platform::NoKeysDown keys;
  SimWindow sim({}, keys);
  WindowWatcher watcher;
  const QWidget* field = Control(sim.window.get(), ui::kBeforeVersionControl[kData1]);
  const QColor mainText = sim.window->palette().color(QPalette::WindowText);
  const QColor fieldText = field->palette().color(QPalette::WindowText);
  bool tried = false;
  PopupCatcher catcher([](QMenu* menu) { menu->close(); });
  sim.onSleep = [&](const Snapshot& shot, ui::QtProgressDialog*) {
    if (!shot.progressOpen || tried) return;
    tried = true;
    // Neither a right click nor the keyboard reaches the window menu now.
    QTest::mouseClick(sim.window->windowHandle(), Qt::RightButton, {}, QPoint(20, 20));
    QTest::keyClick(sim.window.get(), Qt::Key_F10, Qt::ShiftModifier);
    QCoreApplication::processEvents();
  };
  QTest::mouseClick(sim.Button(), Qt::LeftButton);
  QVERIFY(tried);
  QCOMPARE(catcher.menus, 0);

  int refusing = 0;
  for (const Snapshot& shot : sim.shots) {
    if (!shot.progressOpen) continue;
    QVERIFY(!shot.mainEnabled);
    ++refusing;
    QVERIFY(shot.mainGroup != QPalette::Disabled);
    QVERIFY(shot.fieldGroup != QPalette::Disabled);
    QCOMPARE(shot.mainText, mainText);
    QCOMPARE(shot.fieldText, fieldText);
  }
  QVERIFY(refusing > 0);
  CheckRunEnded(sim);
}

void UpdateRunTest::forceMode_data() {
  QTest::addColumn<bool>("enter");  // the press by Enter instead of the mouse
  QTest::addColumn<bool>("shift");
  QTest::addColumn<bool>("k");
  QTest::addColumn<bool>("forced");
  QTest::newRow("Shift+K, mouse") << false << true << true << true;
  QTest::newRow("Shift+K, Enter") << true << true << true << true;
  QTest::newRow("Shift only") << false << true << false << false;
  QTest::newRow("K only") << false << false << true << false;
  QTest::newRow("K only, Enter") << true << false << true << false;
}

void UpdateRunTest::forceMode() {
  QFETCH(bool, enter);
  QFETCH(bool, shift);
  QFETCH(bool, k);
  QFETCH(bool, forced);
  // A printer that is printing: only force mode gets past the status gate.
  sim::SimConfig config;
  config.printer.unit1Printing = true;
  ui::QtKeyState keys;
  SimWindow sim(config, keys);
  WindowWatcher watcher;

  const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
  if (shift) QTest::keyPress(sim.window.get(), Qt::Key_Shift, modifiers);
  if (k) QTest::keyPress(sim.window.get(), Qt::Key_K, modifiers);
  if (enter)
    QTest::keyClick(sim.window.get(), Qt::Key_Return, modifiers);
  else
    QTest::mouseClick(sim.Button(), Qt::LeftButton, modifiers);
  if (k) QTest::keyRelease(sim.window.get(), Qt::Key_K, modifiers);
  if (shift) QTest::keyRelease(sim.window.get(), Qt::Key_Shift, Qt::NoModifier);
  QVERIFY(!keys.IsDown(platform::Key::K));
  QVERIFY(!keys.IsDown(platform::Key::Shift));

  QCOMPARE(watcher.boxes.size(), size_t{1});
  if (forced) {
    QCOMPARE(watcher.boxes[0].title, QStringLiteral("Success!"));
    // No version gate: the Before fields stay empty; the verification fills the After ones.
    QCOMPARE(sim.Field(1014), QString());
    QCOMPARE(sim.Field(1004), QStringLiteral("316G21"));
    QCOMPARE(Captions(sim.shots), QStringList({"Initializing...", "Upgrade"}));
  } else {
    QCOMPARE(watcher.boxes[0].text, Text(IDS_PRINTING));
  }
  CheckRunEnded(sim);
}

}  // namespace zmr::test
