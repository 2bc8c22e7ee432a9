// SPDX-License-Identifier: MIT
#pragma once
// A value field of the main window: a sunken, read-only text that keyboard users can reach with
// Tab and that assistive technology reads as a named, read-only text ("DATA1(M) version before
// the update: 316B20") instead of a bare label.
#include <QLabel>

namespace zmr::ui {

class ValueField final : public QLabel {
  Q_OBJECT

 public:
  explicit ValueField(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Lets assistive technology see ValueField as above; called once before the first window.
void InstallValueFieldAccessibility();

}  // namespace zmr::ui
