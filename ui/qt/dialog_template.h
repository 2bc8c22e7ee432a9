// SPDX-License-Identifier: MIT
#pragma once
// A Qt window laid out from its template (ui/dialog_templates.h): the same controls, texts,
// places and order as the Windows dialog made from that template.
#include <QString>
#include <QWidget>

#include "platform/ui_language.h"
#include "ui/dialog_templates.h"

namespace zmr::ui {

// Gives `window` the template's ID as its object name, its caption (when it has one), the dialog
// font and its fixed size, and creates every control of the template as a child of `window`, in
// the template's order, at its rectangle. A control with an ID gets the ID as its object name; a
// value field is a ValueField, any other static a QLabel. What the code does with the controls
// (connections, accessible names, the bar's range) is left to the caller.
void LayOutTemplate(QWidget* window, const DialogTemplate& dialog, platform::Language language);

// The control of `window` with ID `id` (as LayOutTemplate named it), or null.
template <class T = QWidget>
T* ControlOf(const QWidget* window, int id) {
  return window->findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

}  // namespace zmr::ui
