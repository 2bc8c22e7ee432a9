// SPDX-License-Identifier: MIT
#pragma once
// The user's folders as POSIX programs find them, shared by the services that keep files of the
// user (the instance lock, the run log). Only platform's POSIX files use it.
#include <string>

namespace zmr::platform {

// $HOME when it is absolute, else the home directory of the user's account; empty when neither.
std::string HomeDirectory();

// $XDG_STATE_HOME when it is absolute, else ~/.local/state; empty without a home directory.
std::string StateDirectory();

}  // namespace zmr::platform
