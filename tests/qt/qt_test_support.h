// SPDX-License-Identifier: MIT
#pragma once
// Shared pieces of the window tests: the real windows over the simulated printer and one
// VirtualClock, a watcher that records every window and message box that appears (and answers
// the boxes at once), and snapshots of the windows taken at every sleep of an update run.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "sim/sim_bus.h"
#include "ui/control_ids.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/update_dlg.h"

namespace zmr::test {

template <class T = QWidget>
T* Control(const QWidget* window, int id) {
  return window->findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

// The static label of `window` that shows `text` exactly.
inline QLabel* StaticText(const QWidget* window, const QString& text) {
  for (QLabel* label : window->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (label->text() == text) return label;
  return nullptr;
}

inline QString Qs(const std::string& text) {
  return QString::fromUtf8(text.c_str());
}

// Every top-level window and message box shown while it lives. Message boxes are recorded and
// answered from a timer as soon as they are up; so is the about box when asked.
class WindowWatcher final : public QObject {
 public:
  struct Box {
    QString title;
    QMessageBox::Icon icon;
    QString text;
    QWidget* owner;
    bool enabled;             // could take the answer
    bool progressOpen;        // a progress window was still open
    bool busyCursor = false;  // the busy cursor was on while it was up
  };

  WindowWatcher() { qApp->installEventFilter(this); }
  ~WindowWatcher() override { qApp->removeEventFilter(this); }

  std::vector<Box> boxes;
  std::vector<QString> windows;  // object names of the other windows, in order
  QRect aboutGeometry;
  bool closeAbout = true;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow() || widget->windowType() == Qt::Popup) return false;
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
      boxes.push_back({box->windowTitle(), box->icon(), box->text(), box->parentWidget(),
                       box->isEnabled(), OpenProgressWindow() != nullptr});
      boxes.back().busyCursor = QGuiApplication::overrideCursor() != nullptr;
      QPointer<QMessageBox> guard(box);
      QTimer::singleShot(0, box, [guard] {
        if (guard) guard->button(QMessageBox::Ok)->click();
      });
      return false;
    }
    windows.push_back(widget->objectName());
    if (widget->objectName() == QLatin1String("100")) {
      aboutGeometry = widget->frameGeometry();
      if (closeAbout) {
        QPointer<QWidget> guard(widget);
        QTimer::singleShot(0, widget, [guard] {
          if (guard) Control<QPushButton>(guard, 1)->click();
        });
      }
    }
    return false;
  }

 public:
  static ui::QtProgressDialog* OpenProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<ui::QtProgressDialog*>(widget); window && window->isVisible())
        return window;
    return nullptr;
  }
};

// Handles the first popup menu that opens while it lives (the menu runs its own event loop, so
// the handler must close it). Polls from the event loop; a one-off timer could fire before the
// menu is up.
class PopupCatcher final {
 public:
  explicit PopupCatcher(std::function<void(QMenu*)> handle) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this, handle = std::move(handle)] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      timer_.stop();
      ++menus;
      handle(menu);
    });
    timer_.start();
  }
  int menus = 0;

 private:
  QTimer timer_;
};

// The windows as they stood at one sleep of a run.
struct Snapshot {
  uint32_t sleepMs;
  bool progressOpen;
  QString caption;
  QString message;
  QString percent;
  int bar;
  QRect progressGeometry;
  bool mainEnabled;  // took the user's input
  bool buttonEnabled;
  // How the main window and its Before field of DATA1 are drawn: the colour group their palettes
  // resolve to, and the text colour in it.
  QPalette::ColorGroup mainGroup;
  QColor mainText;
  QPalette::ColorGroup fieldGroup;
  QColor fieldText;
  Qt::CursorShape cursor = Qt::ArrowCursor;  // the application's override cursor, if any
};

// The main window on the simulated printer, with every sleep of a run snapshotted. The process's
// driver library is bound once at start (qt_tests_main.cpp).
class SimWindow {
 public:
  SimWindow(const sim::SimConfig& config, const platform::KeyState& keys,
            platform::Language language = platform::UserLanguage()) {
    sim::SimBus::Instance().Reset(config, clock);
    window = std::make_unique<ui::CUpdateDlg>(
        UpdateContext{clock, keys, LinkedImportedDriver(), TheDriverLibrary(), language});
    clock.SetSleepObserver([this](uint32_t ms) {
      ui::QtProgressDialog* progress = WindowWatcher::OpenProgressWindow();
      const QWidget* field = Control(window.get(), ui::kBeforeVersionControl[kData1]);
      Snapshot shot{ms,
                    progress != nullptr,
                    {},
                    {},
                    {},
                    -1,
                    {},
                    window->IsWindowEnabled(),
                    window->DownloadButton()->isEnabled(),
                    window->palette().currentColorGroup(),
                    window->palette().color(QPalette::WindowText),
                    field->palette().currentColorGroup(),
                    field->palette().color(QPalette::WindowText)};
      if (const QCursor* cursor = QGuiApplication::overrideCursor()) shot.cursor = cursor->shape();
      if (progress) {
        shot.caption = progress->windowTitle();
        shot.message = progress->Message()->text();
        shot.percent = progress->Percent()->text();
        shot.bar = progress->Bar()->value();
        shot.progressGeometry = progress->frameGeometry();
      }
      shots.push_back(shot);
      if (onSleep) onSleep(shot, progress);
    });
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
  }

  ~SimWindow() {
    clock.SetSleepObserver(nullptr);
    window.reset();
    sim::SimBus::Instance().Clear();
  }

  QPushButton* Button() const { return window->DownloadButton(); }
  QString Field(int id) const { return Control<QLabel>(window.get(), id)->text(); }

  VirtualClock clock;
  std::unique_ptr<ui::CUpdateDlg> window;
  std::vector<Snapshot> shots;
  std::function<void(const Snapshot&, ui::QtProgressDialog*)> onSleep;
};

}  // namespace zmr::test

Q_DECLARE_METATYPE(zmr::sim::SimConfig)
