// SPDX-License-Identifier: MIT
#include "ui/qt/message_box.h"

#include "ui/qt/app_icon.h"

namespace zmr::ui {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  return icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning;
}

void ShowMessageBox(QWidget* owner, const QString& title, const QString& text,
                    QMessageBox::Icon icon) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  if (!owner) box.setWindowIcon(AppIcon());
  // A box over a window that is disabled for a progress window must still take the answer.
  box.setEnabled(true);
  box.exec();
}

void ShowMessageBox(QWidget* owner, const Message& message) {
  ShowMessageBox(
      owner, QString::fromUtf8(MessageTitleText(message.title)),
      QString::fromUtf8(message.text.data(), static_cast<qsizetype>(message.text.size())),
      ToQtIcon(message.icon));
}

}  // namespace zmr::ui
