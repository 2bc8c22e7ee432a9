// SPDX-License-Identifier: MIT
#include "ui/qt/update_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <tuple>
#include <utility>

#include "ui/control_ids.h"
#include "ui/qt/about_dlg.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/message_box.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/value_field.h"
#include "update/string_table.h"

namespace zmr::ui {
namespace {

constexpr int kLabelX = 25;
constexpr int kLabelWidth = 68;
constexpr int kColonX = 95;
constexpr int kColonWidth = 8;
constexpr int kVersionX = 104;
constexpr int kCheckSumX = 175;
constexpr int kFieldWidth = 50;
constexpr int kFieldHeight = 9;
constexpr int kTextHeight = 8;

// Row label and field positions (y in dialog units) of the three blocks, by image.
constexpr std::array<int, kImageCount> kOwnRowY = {29, 43, 57};
constexpr std::array<int, kImageCount> kBeforeRowY = {104, 118, 132};
constexpr std::array<int, kImageCount> kAfterLabelY = {161, 175, 188};
constexpr std::array<int, kImageCount> kAfterFieldY = {160, 174, 187};

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What assistive technology calls the fields of one block, and how it describes them.
enum class Block { Own, Before, After };
enum class Column { Version, CheckSum };

QString FieldName(Block block, Column column, int image, platform::Language language) {
  const QString label = QString::fromLatin1(kImages[image].label);
  const bool version = column == Column::Version;
  if (language == platform::Language::Japanese) {
    const QString what = version ? QStringLiteral("バージョン") : QStringLiteral("チェックサム");
    switch (block) {
      case Block::Own:
        return QStringLiteral("このツールの%1の%2").arg(label, what);
      case Block::Before:
        return QStringLiteral("更新前の%1の%2").arg(label, what);
      case Block::After:
        return QStringLiteral("更新後の%1の%2").arg(label, what);
    }
  }
  const QString what = version ? QStringLiteral("version") : QStringLiteral("check sum");
  switch (block) {
    case Block::Own:
      return QStringLiteral("%1 %2 carried by this tool").arg(label, what);
    case Block::Before:
      return QStringLiteral("%1 %2 before the update").arg(label, what);
    case Block::After:
      return QStringLiteral("%1 %2 after the update").arg(label, what);
  }
  return label;
}

QString BlockDescription(Block block, platform::Language language) {
  const bool ja = language == platform::Language::Japanese;
  switch (block) {
    case Block::Own:
      return ja ? QStringLiteral("このツールがプリンターに書き込むデータ")
                : QStringLiteral("The data this tool writes to the printer");
    case Block::Before:
      return ja ? QStringLiteral(
                      "ダウンロードの前にプリンターから読み取った値。更新するまでは空です")
                : QStringLiteral(
                      "Read from the printer before the download; empty until an "
                      "update is tried");
    case Block::After:
      return ja ? QStringLiteral(
                      "ダウンロードの後にプリンターから読み取った値。更新するまでは空です")
                : QStringLiteral(
                      "Read back from the printer after the download; empty until "
                      "an update is tried");
  }
  return {};
}

// Input that a window refusing input swallows (what a disabled window would not get).
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

}  // namespace

CUpdateDlg::CUpdateDlg(const UpdateContext& context, QWidget* owner)
    : QDialog(owner), language_(context.language), procedure_(*this, context) {
  InstallValueFieldAccessibility();
  setObjectName(QStringLiteral("102"));
  setWindowTitle(QStringLiteral("TALVERON ZMR470 Update Tool"));
  setWindowIcon(AppIcon());
  setFont(DialogFont());
  setSizeGripEnabled(false);
  const DialogUnits du(font(), language_);
  setFixedSize(du.X(258), du.Y(241));

  // Created in reading order, row by row, so that assistive technology and Tab walk the window
  // as it is read: own data, Before, After, then the button.
  AddStatic(QStringLiteral("Download Ver.1.02"), Qt::AlignLeft, 14, 11, 129, kTextHeight);
  AddStatic(QStringLiteral("Version"), Qt::AlignHCenter, kVersionX, 17, kFieldWidth, kTextHeight);
  AddStatic(QStringLiteral("Check sum"), Qt::AlignHCenter, kCheckSumX, 17, kFieldWidth,
            kTextHeight);

  const auto addRow = [this](Block block, int index, int labelY, int fieldY,
                             const std::array<int, kImageCount>& versionIds,
                             const std::array<int, kImageCount>& checkSumIds) {
    AddStatic(QString::fromLatin1(kImages[index].label), Qt::AlignLeft, kLabelX, labelY,
              kLabelWidth, kTextHeight);
    AddStatic(QStringLiteral(":"), Qt::AlignLeft, kColonX, labelY, kColonWidth, kTextHeight);
    QLabel* version = AddField(versionIds[index], kVersionX, fieldY);
    QLabel* checkSum = AddField(checkSumIds[index], kCheckSumX, fieldY);
    version->setAccessibleName(FieldName(block, Column::Version, index, language_));
    checkSum->setAccessibleName(FieldName(block, Column::CheckSum, index, language_));
    version->setAccessibleDescription(BlockDescription(block, language_));
    checkSum->setAccessibleDescription(BlockDescription(block, language_));
    return std::pair{version, checkSum};
  };
  for (int i = 0; i < kImageCount; ++i) {
    // The own versions are shown from the start; the carried check sums are not shown.
    addRow(Block::Own, i, kOwnRowY[i], kOwnRowY[i], kOwnVersionControl, kOwnCheckSumControl)
        .first->setText(QString::fromLatin1(procedure_.Images().slots[i].ownVersion));
  }
  AddStatic(QStringLiteral("Data in Printer"), Qt::AlignLeft, 14, 78, 129, kTextHeight);
  AddStatic(QStringLiteral("Before"), Qt::AlignLeft, 21, 90, 22, kTextHeight);
  for (int i = 0; i < kImageCount; ++i) {
    std::tie(beforeVersion_[i], beforeCheckSum_[i]) =
        addRow(Block::Before, i, kBeforeRowY[i], kBeforeRowY[i], kBeforeVersionControl,
               kBeforeCheckSumControl);
  }
  AddStatic(QStringLiteral("After"), Qt::AlignLeft, 21, 147, 17, kTextHeight);
  for (int i = 0; i < kImageCount; ++i) {
    std::tie(afterVersion_[i], afterCheckSum_[i]) =
        addRow(Block::After, i, kAfterLabelY[i], kAfterFieldY[i], kAfterVersionControl,
               kAfterCheckSumControl);
  }

  download_ = new QPushButton(QStringLiteral("Download"), this);
  download_->setObjectName(QString::number(kDownloadButtonControl));
  download_->setDefault(true);
  download_->setAutoDefault(true);
  download_->setAccessibleDescription(
      language_ == platform::Language::Japanese
          ? QStringLiteral("プリンターのデータを更新します。約1分かかります")
          : QStringLiteral("Updates the printer's data; takes about a minute"));
  du.Place(download_, 102, 206, 52, 23);
  connect(download_, &QPushButton::clicked, this, &CUpdateDlg::OnDownload);
  download_->setFocus();

  CentreWindow(this, owner ? owner->window() : nullptr);
}

CUpdateDlg::~CUpdateDlg() = default;

QLabel* CUpdateDlg::AddStatic(const QString& text, Qt::Alignment align, int x, int y, int width,
                              int height) {
  auto* label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(align | Qt::AlignTop);
  DialogUnits(font(), language_).Place(label, x, y, width, height);
  return label;
}

QLabel* CUpdateDlg::AddField(int id, int x, int y) {
  auto* field = new ValueField(this);
  field->setObjectName(QString::number(id));
  DialogUnits(font(), language_).Place(field, x, y, kFieldWidth, kFieldHeight);
  return field;
}

QMenu* CUpdateDlg::MakeWindowMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("windowMenu"));
  // Qt's translations have the window menu's Close (with its mnemonic) under its MDI windows.
  QAction* close = menu->addAction(QCoreApplication::translate("QMdiSubWindow", "&Close"));
  connect(close, &QAction::triggered, this, &QWidget::close);
  const QString about = FromUtf8(LoadString(IDS_ABOUTBOX, language_));
  if (!about.isEmpty()) {
    menu->addSeparator();
    QAction* entry = menu->addAction(about);
    entry->setData(kAboutCommand);
    connect(entry, &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand); });
  }
  return menu;
}

void CUpdateDlg::OnSysCommand(unsigned command) {
  if ((command & 0xFFF0u) == kAboutCommand) {
    CAboutDlg about(this, language_);
    about.exec();
  }
}

void CUpdateDlg::contextMenuEvent(QContextMenuEvent* event) {
  OpenWindowMenu(event->globalPos());
}

void CUpdateDlg::OpenWindowMenu(const QPoint& globalPos) {
  if (menuOpen_) return;
  menuOpen_ = true;
  QMenu* menu = MakeWindowMenu();
  menu->exec(globalPos);
  delete menu;
  menuOpen_ = false;
}

void CUpdateDlg::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button also with Shift (and K) held: that is how force mode is
  // chosen from the keyboard.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && download_->isEnabled() && download_->isVisible()) {
    download_->click();
    return;
  }
  // The keyboard's ways to the window menu: the Menu key and Shift+F10, opened below the
  // focused control.
  const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
  const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
  if (menuKey || shiftF10) {
    const QWidget* at = focusWidget() ? focusWidget() : this;
    OpenWindowMenu(at->mapToGlobal(QPoint(0, at->height())));
    return;
  }
  QDialog::keyPressEvent(event);
}

void CUpdateDlg::OnDownload() {
  if (procedure_.IsRunning()) return;
  // The busy cursor over every window of the tool for the whole run: the waits in which no
  // window repaints (the status check, the release) still show that the tool is working.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  procedure_.OnDownload();
  QGuiApplication::restoreOverrideCursor();
}

void CUpdateDlg::reject() {
  // Never leave the printer in the middle of a download.
  if (procedure_.IsRunning()) return;
  QDialog::reject();
}

void CUpdateDlg::closeEvent(QCloseEvent* event) {
  if (procedure_.IsRunning()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CUpdateDlg::RefreshFields(const DisplayFields& fields) {
  for (int i = 0; i < kImageCount; ++i) {
    beforeVersion_[i]->setText(FromUtf8(fields.beforeVersion[i]));
    beforeCheckSum_[i]->setText(FromUtf8(fields.beforeCheckSum[i]));
    afterVersion_[i]->setText(FromUtf8(fields.afterVersion[i]));
    afterCheckSum_[i]->setText(FromUtf8(fields.afterCheckSum[i]));
  }
}

void CUpdateDlg::EnableDownloadButton(bool enable) {
  download_->setEnabled(enable);
}

void CUpdateDlg::FocusDownloadButton() {
  download_->setDefault(true);
  download_->setFocus(Qt::OtherFocusReason);
}

bool CUpdateDlg::IsWindowEnabled() const {
  return isEnabled() && !refusingInput_;
}

void CUpdateDlg::EnableWindow(bool enable) {
  // Refusing input, not disabling the widgets: a disabled window would grey out, the versions
  // just read with it, for the whole run. The windows it owns (a progress window, a message box)
  // are windows of their own and keep working.
  if (refusingInput_ == !enable) return;
  refusingInput_ = !enable;
  if (refusingInput_)
    qApp->installEventFilter(this);
  else
    qApp->removeEventFilter(this);
}

bool CUpdateDlg::eventFilter(QObject* watched, QEvent* event) {
  if (!refusingInput_ || !watched->isWidgetType() || !IsUserInput(event->type())) return false;
  const QWidget* widget = static_cast<QWidget*>(watched);
  if (widget->window() != this) return false;
  // A click on the refusing window brings the window that has the input to the front.
  if (event->type() == QEvent::MouseButtonPress) {
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isWindow() && child->isVisible()) {
        child->raise();
        child->activateWindow();
      }
    }
  }
  event->accept();
  return true;
}

void CUpdateDlg::ShowMessage(const Message& message) {
  // The box waits for the user, not the tool: the ordinary cursor while it is up.
  const bool busy = QGuiApplication::overrideCursor() != nullptr;
  if (busy) QGuiApplication::restoreOverrideCursor();
  ShowMessageBox(this, message);
  if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

std::unique_ptr<ProgressWindow> CUpdateDlg::MakeProgressWindow() {
  return std::make_unique<QtProgressWindow>(this, language_);
}

}  // namespace zmr::ui
