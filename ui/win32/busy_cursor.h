// SPDX-License-Identifier: MIT
#pragma once
// The busy cursor over the tool's windows while a run works, from the press of Download to its
// closing box. The run blocks the one thread for about a minute, much of it in waits that run no
// messages; Windows changes the cursor only when a window answers WM_SETCURSOR, which a blocked
// thread does not. So the cursor is set at once when the run starts and stays; the dialogs'
// class cursor becomes the busy one (what their own client areas show when the run next drains
// messages), and the dialogs answer WM_SETCURSOR for their controls and frames with it too.
// The closing box waits for the user, not the tool: it comes with the ordinary cursor.
#include "ui/win32/windows_api.h"

namespace zmr::ui {

class BusyCursor {
 public:
  // `dialog` is one of the tool's dialogs: the class cursor is that of every dialog of the
  // process (message boxes included, hence End before the closing box).
  static void Begin(HWND dialog);
  static void End();
  static bool Active();
  // For a dialog procedure's WM_SETCURSOR: true (answered, the busy cursor shown) while a run
  // works, false otherwise (the default handling applies).
  static bool Answer(HWND dialog);
};

}  // namespace zmr::ui
