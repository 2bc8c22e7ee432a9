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

#include "ui/control_ids.h"
#include "ui/dialog_templates.h"
#include "ui/qt/about_dlg.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_template.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/message_box.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/value_field.h"
#include "update/string_table.h"

namespace zmr::ui {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What assistive technology calls the fields of one block, and how it describes them.
enum class Block { Own, Before, After };
enum class Column { Version, CheckSum };

QString FieldName(Block block, Column column, int image, platform::Language language) {
  const uint32_t name = block == Block::Own      ? IDS_NAME_OWN_FIELD
                        : block == Block::Before ? IDS_NAME_BEFORE_FIELD
                                                 : IDS_NAME_AFTER_FIELD;
  const std::string what =
      LoadString(column == Column::Version ? IDS_NAME_VERSION : IDS_NAME_CHECK_SUM, language);
  return FromUtf8(FillText(LoadString(name, language), {kImages[image].label, what}));
}

QString BlockDescription(Block block, platform::Language language) {
  const uint32_t description = block == Block::Own      ? IDS_DESCRIBE_OWN_BLOCK
                               : block == Block::Before ? IDS_DESCRIBE_BEFORE_BLOCK
                                                        : IDS_DESCRIBE_AFTER_BLOCK;
  return FromUtf8(LoadString(description, language));
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
  setWindowIcon(AppIcon());
  setSizeGripEnabled(false);
  LayOutTemplate(this, kMainWindowTemplate, language_);

  // What assistive technology calls each value field; the template's order is the reading order,
  // row by row, so that it and Tab walk the window as it is read.
  const struct {
    Block block;
    const std::array<int, kImageCount>& version;
    const std::array<int, kImageCount>& checkSum;
  } blocks[] = {{Block::Own, kOwnVersionControl, kOwnCheckSumControl},
                {Block::Before, kBeforeVersionControl, kBeforeCheckSumControl},
                {Block::After, kAfterVersionControl, kAfterCheckSumControl}};
  for (const auto& b : blocks) {
    for (int i = 0; i < kImageCount; ++i) {
      QLabel* version = ControlOf<QLabel>(this, b.version[i]);
      QLabel* checkSum = ControlOf<QLabel>(this, b.checkSum[i]);
      version->setAccessibleName(FieldName(b.block, Column::Version, i, language_));
      checkSum->setAccessibleName(FieldName(b.block, Column::CheckSum, i, language_));
      version->setAccessibleDescription(BlockDescription(b.block, language_));
      checkSum->setAccessibleDescription(BlockDescription(b.block, language_));
    }
  }
  for (int i = 0; i < kImageCount; ++i) {
    // The own versions are shown; the carried check sums are not.
    ControlOf<QLabel>(this, kOwnVersionControl[i])
        ->setText(QString::fromLatin1(procedure_.Images().slots[i].ownVersion));
    ControlOf<QLabel>(this, kOwnCheckSumControl[i])->setText(QString());
    beforeVersion_[i] = ControlOf<QLabel>(this, kBeforeVersionControl[i]);
    beforeCheckSum_[i] = ControlOf<QLabel>(this, kBeforeCheckSumControl[i]);
    afterVersion_[i] = ControlOf<QLabel>(this, kAfterVersionControl[i]);
    afterCheckSum_[i] = ControlOf<QLabel>(this, kAfterCheckSumControl[i]);
  }

  download_ = ControlOf<QPushButton>(this, IDC_DOWNLOAD);
  download_->setAutoDefault(true);
  download_->setAccessibleDescription(FromUtf8(LoadString(IDS_DESCRIBE_DOWNLOAD, language_)));
  connect(download_, &QPushButton::clicked, this, &CUpdateDlg::OnDownload);
  download_->setFocus();

  CentreWindow(this, owner ? owner->window() : nullptr);
}

CUpdateDlg::~CUpdateDlg() = default;

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
    entry->setData(unsigned{IDM_ABOUTBOX});
    connect(entry, &QAction::triggered, this, [this] { OnSysCommand(unsigned{IDM_ABOUTBOX}); });
  }
  return menu;
}

void CUpdateDlg::OnSysCommand(unsigned command) {
  if ((command & 0xFFF0u) == IDM_ABOUTBOX) {
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
