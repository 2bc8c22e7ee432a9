// SPDX-License-Identifier: MIT
// A Windows process started without a standard stream has no handle for it, and the files the
// program opens never take its place: nothing to do.
#include "platform/standard_streams.h"

namespace zmr::platform {

void OpenMissingStandardStreams() {}

}  // namespace zmr::platform
