// SPDX-License-Identifier: MIT
#include "ui/qt/dialog_units.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>

#include "ui/dialog_templates.h"

namespace zmr::ui {
namespace {

// a * b / c rounded to the nearest integer, as dialog-unit conversion has always rounded.
int MulDivRounded(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(kDialogFontPoints);
  return font;
}

DialogUnits::DialogUnits(const QFont& font, platform::Language language) {
  const QFontMetrics metrics(font);
  // The average width of the 52 Latin letters, rounded up to whole pixels: rounded down, the
  // windows' narrow labels would cut off their texts in wide fonts.
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = std::max(1, (letters + 51) / 52);
  baseY_ = std::max(1, metrics.height());
  if (language == platform::Language::Japanese) {
    const QRect line =
        metrics.boundingRect(QRect(0, 0, 1000, 1000), 0, QStringLiteral("漢字かなカナ"));
    baseY_ = std::max(baseY_, line.height());
  }
}

int DialogUnits::X(int units) const {
  return MulDivRounded(units, baseX_, 4);
}

int DialogUnits::Y(int units) const {
  return MulDivRounded(units, baseY_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const {
  widget->setGeometry(ToPixels(x, y, width, height));
}

void CentreWindow(QWidget* widget, const QWidget* over) {
  // Whole windows, frames included: the frame is known once the native window exists.
  widget->winId();
  QRect area;
  if (over) {
    area = over->frameGeometry();
  } else {
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    area = screen->availableGeometry();
  }
  const QSize size = widget->frameGeometry().size();
  widget->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 2);
}

}  // namespace zmr::ui
