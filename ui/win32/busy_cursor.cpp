// SPDX-License-Identifier: MIT
#include "ui/win32/busy_cursor.h"

namespace zmr::ui {
namespace {

// One UI thread: the state of the one run.
struct State {
  HWND dialog = nullptr;
  HCURSOR classCursor = nullptr;  // the class cursor before the run
};
State state;

}  // namespace

void BusyCursor::Begin(HWND dialog) {
  if (state.dialog || !dialog) return;
  HCURSOR busy = LoadCursorA(nullptr, IDC_WAIT);
  state.dialog = dialog;
  state.classCursor = reinterpret_cast<HCURSOR>(
      SetClassLongPtrW(dialog, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(busy)));
  SetCursor(busy);
}

void BusyCursor::End() {
  if (!state.dialog) return;
  HCURSOR normal = state.classCursor ? state.classCursor : LoadCursorA(nullptr, IDC_ARROW);
  if (IsWindow(state.dialog))
    SetClassLongPtrW(state.dialog, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(normal));
  state = {};
  // The cursor changes back where the mouse is as soon as it moves; now, over the window that
  // the run has just given back.
  SetCursor(normal);
}

bool BusyCursor::Active() {
  return state.dialog != nullptr;
}

bool BusyCursor::Answer(HWND dialog) {
  if (!Active()) return false;
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
  return true;
}

}  // namespace zmr::ui
