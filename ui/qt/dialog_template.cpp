// SPDX-License-Identifier: MIT
#include "ui/qt/dialog_template.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/qt/dialog_units.h"
#include "ui/qt/value_field.h"

namespace zmr::ui {
namespace {

QWidget* MakeControl(QWidget* window, const ControlTemplate& control) {
  const QString text = QString::fromLatin1(control.text);
  switch (control.kind) {
    case ControlKind::Static: {
      if (control.style & kSunken) {
        auto* field = new ValueField(window);
        field->setText(text);
        return field;
      }
      auto* label = new QLabel(text, window);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment((control.style & kCentred ? Qt::AlignHCenter : Qt::AlignLeft) |
                          Qt::AlignTop);
      if (control.style & kMultiLine) label->setWordWrap(true);
      return label;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(text, window);
      if (control.style & kDefault) button->setDefault(true);
      return button;
    }
    case ControlKind::ProgressBar:
      // The bar draws its own frame.
      return new QProgressBar(window);
  }
  return nullptr;
}

}  // namespace

void LayOutTemplate(QWidget* window, const DialogTemplate& dialog, platform::Language language) {
  window->setObjectName(QString::number(dialog.id));
  if (*dialog.caption) window->setWindowTitle(QString::fromLatin1(dialog.caption));
  window->setFont(DialogFont());
  const DialogUnits du(window->font(), language);
  window->setFixedSize(du.X(dialog.width), du.Y(dialog.height));
  for (const ControlTemplate& control : dialog.controls) {
    QWidget* widget = MakeControl(window, control);
    if (!widget) continue;
    if (control.id != IDC_STATIC) widget->setObjectName(QString::number(control.id));
    du.Place(widget, control.rect.x, control.rect.y, control.rect.width, control.rect.height);
    if (control.style & kHidden) widget->hide();
  }
}

}  // namespace zmr::ui
