// SPDX-License-Identifier: MIT
#include <windows.h>

#include "platform/key_state.h"

namespace zmr::platform {

bool SystemKeyState::IsDown(Key key) const {
  const int code = key == Key::Shift ? VK_SHIFT : 'K';
  return (GetKeyState(code) & 0x8000) != 0;  // high bit: held down
}

}  // namespace zmr::platform
