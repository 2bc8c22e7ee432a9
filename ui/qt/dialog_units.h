// SPDX-License-Identifier: MIT
#pragma once
// Dialog units: every control of the windows has a fixed position and size given in units of the
// dialog font, so the layout grows with the font as the Windows dialogs do. One horizontal unit is
// a quarter of the font's average character width, one vertical unit an eighth of its height.
#include <QFont>
#include <QRect>

#include "platform/ui_language.h"

class QWidget;

namespace zmr::ui {

// The font of every dialog: the platform's UI font at the templates' size (8 points).
QFont DialogFont();

class DialogUnits {
 public:
  // For Japanese the height is that of a line of Japanese text, whose glyphs may come from
  // another, taller font than the Latin ones.
  DialogUnits(const QFont& font, platform::Language language);

  // Pixels per 4 horizontal and per 8 vertical units.
  int BaseX() const { return baseX_; }
  int BaseY() const { return baseY_; }

  int X(int units) const;
  int Y(int units) const;
  QRect ToPixels(int x, int y, int width, int height) const;

  // Gives `widget` its rectangle in dialog units (relative to its parent's client area).
  void Place(QWidget* widget, int x, int y, int width, int height) const;

 private:
  int baseX_;
  int baseY_;
};

// Moves the window `widget` so that it is centred on `over` (a window), or on the screen when
// `over` is null.
void CentreWindow(QWidget* widget, const QWidget* over);

}  // namespace zmr::ui
