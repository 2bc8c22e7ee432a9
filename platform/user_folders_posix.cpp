// SPDX-License-Identifier: MIT
#include "platform/user_folders_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zmr::platform {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

std::string StateDirectory() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') return state;
  const std::string home = HomeDirectory();
  return home.empty() ? std::string() : home + "/.local/state";
}

}  // namespace zmr::platform
