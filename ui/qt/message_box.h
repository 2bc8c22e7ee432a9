// SPDX-License-Identifier: MIT
#pragma once
// The tool's message boxes: an OK button, a fixed title and a warning or information icon.
#include <QMessageBox>
#include <QString>

#include "update/update_view.h"

namespace zmr::ui {

QMessageBox::Icon ToQtIcon(MessageIcon icon);

// Shows the box owned by `owner` (none: a box of its own on the screen) and returns when the
// user has closed it.
void ShowMessageBox(QWidget* owner, const QString& title, const QString& text,
                    QMessageBox::Icon icon);
void ShowMessageBox(QWidget* owner, const Message& message);

}  // namespace zmr::ui
