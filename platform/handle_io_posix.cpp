// SPDX-License-Identifier: MIT
// On POSIX the driver libraries register their pipes in the process's handle table.
#include "driver_api/handle_table.h"
#include "platform/handle_io.h"

namespace zmr::platform {

bool ReadHandle(DriverHandle handle, void* buffer, uint32_t length, uint32_t* done) {
  return driver_api::ReadHandle(handle, buffer, length, done);
}

bool WriteHandle(DriverHandle handle, const void* buffer, uint32_t length, uint32_t* done) {
  return driver_api::WriteHandle(handle, buffer, length, done);
}

bool CloseHandle(DriverHandle handle) {
  return driver_api::CloseHandle(handle);
}

}  // namespace zmr::platform
