// SPDX-License-Identifier: MIT
#include "ui/qt/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "ui/control_ids.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_template.h"
#include "ui/qt/dialog_units.h"
#include "update/string_table.h"

namespace zmr::ui {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtProgressDialog::QtProgressDialog(QWidget* owner, platform::Language language) : QDialog(owner) {
  setModal(false);
  // Title bar, window menu and close box (which does nothing); it cannot be minimised away
  // from its owner, nor resized.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  LayOutTemplate(this, kProgressWindowTemplate, language);

  message_ = ControlOf<QLabel>(this, IDC_PROGRESS_MESSAGE);
  percent_ = ControlOf<QLabel>(this, IDC_PROGRESS_PERCENT);
  bar_ = ControlOf<QProgressBar>(this, IDC_PROGRESS_BAR);
  bar_->setTextVisible(false);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setAccessibleName(FromUtf8(LoadString(IDS_NAME_PROGRESS, language)));
  // The window has a Cancel button, but nothing shows it.
  cancel_ = ControlOf<QPushButton>(this, IDC_PROGRESS_CANCEL);
  connect(cancel_, &QPushButton::clicked, this, &QtProgressDialog::reject);

  CentreWindow(this, owner ? owner->window() : nullptr);
}

void QtProgressDialog::CloseByOwner() {
  closing_ = true;
  hide();
}

void QtProgressDialog::closeEvent(QCloseEvent* event) {
  if (closing_)
    event->accept();
  else
    event->ignore();
}

void QtProgressDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
      !closing_)
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

QtProgressWindow::QtProgressWindow(QWidget* owner, platform::Language language)
    : owner_(owner), language_(language) {}

QtProgressWindow::~QtProgressWindow() {
  delete window_.data();
}

bool QtProgressWindow::Create() {
  if (window_) return true;
  window_ = new QtProgressDialog(owner_, language_);
  // The owner is disabled while this window exists; the window itself must stay usable.
  window_->setEnabled(true);
  window_->show();
  return true;
}

void QtProgressWindow::Destroy() {
  if (!window_) return;
  window_->CloseByOwner();
  delete window_.data();
}

void QtProgressWindow::SetCaption(const std::string& text) {
  if (window_) window_->setWindowTitle(FromUtf8(text));
}

void QtProgressWindow::SetMessage(const std::string& text) {
  if (!window_) return;
  window_->Message()->setText(FromUtf8(text));
  // Read out with the bar: what is being done.
  window_->Bar()->setAccessibleDescription(window_->Message()->text());
}

void QtProgressWindow::SetBarRange(int32_t lower, int32_t upper) {
  // The bar keeps 16-bit bounds.
  if (window_) window_->Bar()->setRange(static_cast<uint16_t>(lower), static_cast<uint16_t>(upper));
}

void QtProgressWindow::SetBarStep(int32_t step) {
  step_ = step;
}

int32_t QtProgressWindow::SetBarPosition(int32_t position) {
  if (!window_) return 0;
  QProgressBar* bar = window_->Bar();
  const int32_t previous = std::max(bar->value(), bar->minimum());
  // A position outside the range moves the bar to the nearer end.
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  return previous;
}

std::string QtProgressWindow::PercentText() const {
  return window_ ? window_->Percent()->text().toStdString() : std::string();
}

void QtProgressWindow::SetPercentText(const std::string& text) {
  if (!window_) return;
  window_->Percent()->setText(FromUtf8(text));
  // The bar repaints at once when its position changes; the label must too, or it shows the
  // previous value until events are next drained, which may be after the window is gone.
  window_->Percent()->repaint();
}

void QtProgressWindow::DrainEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Repaints requested while the events ran happen now, not after the next long step.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

}  // namespace zmr::ui
