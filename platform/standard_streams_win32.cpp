// Windows gives a program without standard streams null handles, which writes ignore.
#include "platform/standard_streams.h"

namespace zmr::platform {

void OpenMissingStandardStreams() {}

}  // namespace zmr::platform
