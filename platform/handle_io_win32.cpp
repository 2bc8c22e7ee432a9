// SPDX-License-Identifier: MIT
// On Windows the driver libraries return kernel handles: the tool reads and writes them with
// ReadFile and WriteFile, synchronously (no overlapped structure), and closes them with
// CloseHandle. There is no table of our own in between.
#include <windows.h>

#include "platform/handle_io.h"

namespace zmr::platform {
namespace {

HANDLE AsHandle(DriverHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

bool ReadHandle(DriverHandle handle, void* buffer, uint32_t length, uint32_t* done) {
  DWORD moved = 0;
  const bool ok = handle != kInvalidHandle &&
                  ReadFile(AsHandle(handle), buffer, length, &moved, nullptr) != FALSE;
  // The count comes from the system, but a driver's handle may be anything: never report more
  // than was asked.
  if (done) *done = moved > length ? length : moved;
  return ok;
}

bool WriteHandle(DriverHandle handle, const void* buffer, uint32_t length, uint32_t* done) {
  DWORD moved = 0;
  const bool ok = handle != kInvalidHandle &&
                  WriteFile(AsHandle(handle), buffer, length, &moved, nullptr) != FALSE;
  if (done) *done = moved > length ? length : moved;
  return ok;
}

bool CloseHandle(DriverHandle handle) {
  return handle != kInvalidHandle && ::CloseHandle(AsHandle(handle)) != FALSE;
}

}  // namespace zmr::platform
