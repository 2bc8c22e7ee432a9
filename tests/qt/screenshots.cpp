// SPDX-License-Identifier: MIT
// Takes the README's pictures of the desktop tool on the offscreen platform: the main window
// before and after a successful update, a progress window during the download, and the message
// boxes, over the simulated printer and a virtual clock. The offscreen platform draws no window
// frames, so each picture gets a plain title bar with the window's icon and caption.
// Usage: qt_screenshots <folder> <prefix>   (the language comes from the environment)
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/ui_language.h"
#include "sim/sim_bus.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/update_dlg.h"

namespace {

constexpr int kTitleHeight = 26;
constexpr int kBorder = 1;

// The window's picture in a simple frame with its icon and caption.
QImage Framed(QWidget* window) {
  const QPixmap client = window->grab();
  QImage image(client.width() + 2 * kBorder, client.height() + kTitleHeight + kBorder,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(0x3b, 0x4a, 0x5c));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const int icon = 16;
  p.drawPixmap(8, (kTitleHeight - icon) / 2, window->windowIcon().pixmap(icon, icon));
  QFont font = QApplication::font();
  font.setPointSize(9);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(8 + icon + 6, 0, client.width() - icon - 20, kTitleHeight),
             Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
  p.drawPixmap(kBorder, kTitleHeight, client);
  return image;
}

// `top` drawn over `under` where it stands on the screen, relative to `under`.
QImage Stacked(QWidget* under, QWidget* top) {
  QImage image = Framed(under);
  const QPoint offset = top->geometry().topLeft() - under->geometry().topLeft();
  QPainter p(&image);
  p.drawImage(offset, Framed(top));
  return image;
}

class Shooter {
 public:
  Shooter(QString folder, QString prefix)
      : folder_(std::move(folder)), prefix_(std::move(prefix)) {}

  bool Save(const QImage& image, const char* name) {
    const QString file = QDir(folder_).filePath(prefix_ + QLatin1Char('-') + QLatin1String(name) +
                                                QStringLiteral(".png"));
    const bool ok = image.save(file);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", qPrintable(file));
    ok_ = ok_ && ok;
    return ok;
  }
  bool Ok() const { return ok_; }

 private:
  QString folder_;
  QString prefix_;
  bool ok_ = true;
};

// Takes the picture of every message box that appears (under `name`), then answers it.
class BoxShooter final : public QObject {
 public:
  BoxShooter(Shooter& shooter, const char* name) : shooter_(shooter), name_(name) {
    qApp->installEventFilter(this);
  }
  ~BoxShooter() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      if (auto* box = qobject_cast<QMessageBox*>(watched))
        QTimer::singleShot(0, box, [this, box] {
          shooter_.Save(Framed(box), name_);
          box->button(QMessageBox::Ok)->click();
        });
    return false;
  }

 private:
  Shooter& shooter_;
  const char* name_;
};

// One press of Download on a fresh window over a printer set up by `config`.
void Run(Shooter& shooter, const zmr::sim::SimConfig& config, const char* boxName,
         const std::function<void(zmr::ui::CUpdateDlg&, zmr::VirtualClock&)>& around) {
  zmr::VirtualClock clock;
  zmr::sim::SimBus::Instance().Reset(config, clock);
  zmr::platform::NoKeysDown keys;
  zmr::ui::CUpdateDlg window({clock, keys, zmr::LinkedImportedDriver(), zmr::TheDriverLibrary(),
                              zmr::platform::UserLanguage()});
  window.show();
  QCoreApplication::processEvents();
  BoxShooter boxes(shooter, boxName);
  around(window, clock);
  clock.SetSleepObserver(nullptr);
  zmr::sim::SimBus::Instance().Clear();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <folder> <prefix>\n", argv[0]);
    return 2;
  }
  if (!zmr::TheDriverLibrary().Bind()) {
    std::fprintf(stderr, "the simulated libZUsbXpIf.so must be on the library path\n");
    return 1;
  }
  Shooter shooter(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));

  // A successful update: before, during the download, the closing box, after.
  Run(shooter, {}, "success", [&](zmr::ui::CUpdateDlg& window, zmr::VirtualClock& clock) {
    shooter.Save(Framed(&window), "main-before");
    bool taken = false;
    clock.SetSleepObserver([&](uint32_t) {
      if (taken) return;
      for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<zmr::ui::QtProgressDialog*>(top);
        if (!progress || !progress->isVisible() || progress->Bar()->value() < 40) continue;
        if (progress->windowTitle() != QLatin1String("Upgrade")) continue;
        shooter.Save(Stacked(&window, progress), "progress");
        taken = true;
      }
    });
    window.DownloadButton()->click();
    shooter.Save(Framed(&window), "main-after");
  });

  // A failure and a version-gate refusal.
  zmr::sim::SimConfig none;
  none.listed = 0;
  Run(shooter, none, "error",
      [](zmr::ui::CUpdateDlg& window, zmr::VirtualClock&) { window.DownloadButton()->click(); });
  zmr::sim::SimConfig old;
  old.printer.data1Version = "316D20";
  Run(shooter, old, "version-check",
      [](zmr::ui::CUpdateDlg& window, zmr::VirtualClock&) { window.DownloadButton()->click(); });
  return shooter.Ok() ? 0 : 1;
}
