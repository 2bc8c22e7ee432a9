// SPDX-License-Identifier: MIT
#pragma once
// The keyboard as the update procedure sees it: whether Shift and K are held at this moment.
// Shift comes from the window system's modifier state and from the input event being handled;
// K, which is no modifier, is tracked from the key events the application receives.
#include <QObject>

#include "platform/key_state.h"

namespace zmr::ui {

class QtKeyState final : public QObject, public platform::KeyState {
  Q_OBJECT

 public:
  // Watches every key event of the application while it lives.
  QtKeyState();
  ~QtKeyState() override;

  bool IsDown(platform::Key key) const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool kDown_ = false;
};

}  // namespace zmr::ui
