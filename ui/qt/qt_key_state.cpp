// SPDX-License-Identifier: MIT
#include "ui/qt/qt_key_state.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>

namespace zmr::ui {

QtKeyState::QtKeyState() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

QtKeyState::~QtKeyState() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

bool QtKeyState::IsDown(platform::Key key) const {
  switch (key) {
    case platform::Key::Shift:
      // Held now, or held as the press being handled reported it (a click or Enter carries the
      // modifiers of its moment; events made by a program reach only the latter).
      return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier) ||
             QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
    case platform::Key::K:
      return kDown_;
  }
  return false;
}

bool QtKeyState::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      // An auto-repeated release is followed by another press: the key is still held.
      if (key->key() == Qt::Key_K && !key->isAutoRepeat())
        kDown_ = event->type() == QEvent::KeyPress;
      break;
    }
    case QEvent::ApplicationDeactivate:
      // A release while another application has the keyboard never reaches us.
      kDown_ = false;
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zmr::ui
