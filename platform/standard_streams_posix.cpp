// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/standard_streams.h"

namespace zmr::platform {

void OpenMissingStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is this one, as the lower ones are open by now. Not close-on-exec:
    // a standard stream is meant to be inherited.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);  // cannot happen; never keep a stray one
  }
}

}  // namespace zmr::platform
