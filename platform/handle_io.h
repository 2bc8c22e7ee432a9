// SPDX-License-Identifier: MIT
#pragma once
// Synchronous transfers on the handles that the driver libraries return, as the OS's own file
// calls do them: one call moves the whole length or fails. On POSIX the handles are entries of
// the process's handle table (driver_api/handle_table.h); on Windows they are kernel handles.
#include <cstdint>

namespace zmr::platform {

// A handle that a driver library returned for a channel of a device (driver_api/driver_api.h),
// which the tool then only reads, writes and closes here.
using DriverHandle = intptr_t;
// The handle that means "not opened" (ZMR_INVALID_HANDLE of the driver contract).
inline constexpr DriverHandle kInvalidHandle = -1;

// False on an unknown handle or a failed transfer; *done (when given) holds the bytes moved,
// 0 for an unknown handle, also when the transfer failed part-way.
bool ReadHandle(DriverHandle handle, void* buffer, uint32_t length, uint32_t* done);
bool WriteHandle(DriverHandle handle, const void* buffer, uint32_t length, uint32_t* done);
// False for an unknown handle.
bool CloseHandle(DriverHandle handle);

}  // namespace zmr::platform
