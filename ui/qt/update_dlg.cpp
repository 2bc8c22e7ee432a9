#include "ui/qt/update_dlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "ui/control_ids.h"
#include "ui/qt/about_dlg.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/message_box.h"
#include "ui/qt/progress_window.h"
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

}  // namespace

CUpdateDlg::CUpdateDlg(const UpdateContext& context, QWidget* owner)
    : QDialog(owner), language_(context.language), procedure_(*this, context) {
  setObjectName(QStringLiteral("102"));
  setWindowTitle(QStringLiteral("TALVERON ZMR470 Update Tool"));
  setWindowIcon(AppIcon());
  setFont(DialogFont());
  setSizeGripEnabled(false);
  const DialogUnits du(font(), language_);
  setFixedSize(du.X(258), du.Y(241));

  AddStatic(QStringLiteral("Download Ver.1.02"), Qt::AlignLeft, 14, 11, 129, kTextHeight);
  AddStatic(QStringLiteral("Version"), Qt::AlignHCenter, kVersionX, 17, kFieldWidth, kTextHeight);
  AddStatic(QStringLiteral("Check sum"), Qt::AlignHCenter, kCheckSumX, 17, kFieldWidth,
            kTextHeight);
  AddStatic(QStringLiteral("Data in Printer"), Qt::AlignLeft, 14, 78, 129, kTextHeight);
  AddStatic(QStringLiteral("Before"), Qt::AlignLeft, 21, 90, 22, kTextHeight);
  AddStatic(QStringLiteral("After"), Qt::AlignLeft, 21, 147, 17, kTextHeight);

  const auto addRowLabels = [this](int index, int y) {
    AddStatic(QString::fromLatin1(kImages[index].label), Qt::AlignLeft, kLabelX, y, kLabelWidth,
              kTextHeight);
    AddStatic(QStringLiteral(":"), Qt::AlignLeft, kColonX, y, kColonWidth, kTextHeight);
  };
  for (int i = 0; i < kImageCount; ++i) {
    addRowLabels(i, kOwnRowY[i]);
    // The own versions are shown from the start; the carried check sums are not shown.
    AddField(kOwnVersionControl[i], kVersionX, kOwnRowY[i])
        ->setText(QString::fromLatin1(procedure_.Images().slots[i].ownVersion));
    AddField(kOwnCheckSumControl[i], kCheckSumX, kOwnRowY[i]);

    addRowLabels(i, kBeforeRowY[i]);
    beforeVersion_[i] = AddField(kBeforeVersionControl[i], kVersionX, kBeforeRowY[i]);
    beforeCheckSum_[i] = AddField(kBeforeCheckSumControl[i], kCheckSumX, kBeforeRowY[i]);

    addRowLabels(i, kAfterLabelY[i]);
    afterVersion_[i] = AddField(kAfterVersionControl[i], kVersionX, kAfterFieldY[i]);
    afterCheckSum_[i] = AddField(kAfterCheckSumControl[i], kCheckSumX, kAfterFieldY[i]);
  }

  download_ = new QPushButton(QStringLiteral("Download"), this);
  download_->setObjectName(QString::number(kDownloadButtonControl));
  download_->setDefault(true);
  download_->setAutoDefault(true);
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
  auto* field = new QLabel(this);
  field->setObjectName(QString::number(id));
  field->setTextFormat(Qt::PlainText);
  field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  field->setLineWidth(1);
  field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  field->setIndent(1);
  DialogUnits(font(), language_).Place(field, x, y, kFieldWidth, kFieldHeight);
  return field;
}

QMenu* CUpdateDlg::MakeWindowMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("windowMenu"));
  QAction* close = menu->addAction(QCoreApplication::translate("QPlatformTheme", "&Close"));
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
  QMenu* menu = MakeWindowMenu();
  menu->exec(event->globalPos());
  delete menu;
}

void CUpdateDlg::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button also with Shift (and K) held: that is how force mode is
  // chosen from the keyboard.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && download_->isEnabled() && download_->isVisible()) {
    download_->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CUpdateDlg::OnDownload() {
  if (procedure_.IsRunning()) return;
  procedure_.OnDownload();
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
  return isEnabled();
}

void CUpdateDlg::EnableWindow(bool enable) {
  setEnabled(enable);
  if (enable) return;
  // Disabling a window disables the windows it owns too; those that are open (a progress
  // window) must keep working.
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() && child->isVisible()) child->setEnabled(true);
  }
}

void CUpdateDlg::ShowMessage(const Message& message) {
  ShowMessageBox(this, message);
}

std::unique_ptr<ProgressWindow> CUpdateDlg::MakeProgressWindow() {
  return std::make_unique<QtProgressWindow>(this, language_);
}

}  // namespace zmr::ui
