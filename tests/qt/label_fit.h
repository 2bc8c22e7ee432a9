// SPDX-License-Identifier: MIT
#pragma once
// Whether every text of a window is shown whole: each label's text, laid out as the label lays it
// out, fits inside the label, and each button's text inside the button.
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace zmr::test {

// Descriptions of the texts that do not fit; empty when all do.
inline QStringList ClippedTexts(const QWidget* window) {
  QStringList clipped;
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || label->isHidden()) continue;
    QRect room = label->contentsRect();
    if (label->indent() > 0) room.adjust(label->indent(), 0, 0, 0);
    int flags = static_cast<int>(label->alignment());
    if (label->wordWrap()) flags |= Qt::TextWordWrap;
    const QRect needed = label->fontMetrics().boundingRect(room, flags, label->text());
    if (needed.width() > room.width() || needed.height() > room.height())
      clipped << QStringLiteral("label \"%1\": needs %2x%3, has %4x%5")
                     .arg(label->text())
                     .arg(needed.width())
                     .arg(needed.height())
                     .arg(room.width())
                     .arg(room.height());
  }
  for (const QPushButton* button : window->findChildren<QPushButton*>()) {
    if (button->isHidden()) continue;
    const QFontMetrics metrics = button->fontMetrics();
    // A few pixels of frame on each side.
    const int width = metrics.horizontalAdvance(button->text().remove(QLatin1Char('&'))) + 8;
    if (width > button->width() || metrics.height() + 4 > button->height())
      clipped << QStringLiteral("button \"%1\"").arg(button->text());
  }
  return clipped;
}

}  // namespace zmr::test
