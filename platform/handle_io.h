// SPDX-License-Identifier: MIT
#pragma once
// Synchronous transfers on the handles that the driver libraries return, as the OS's own file
// calls do them: one call moves the whole length or fails. On POSIX the handles are entries of
// the process's handle table (driver_api/handle_table.h); on Windows they are kernel handles.
#include <cstdint>

namespace zmr::platform {

using Handle = intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// False on an unknown handle or a failed transfer; *done (when given) holds the bytes moved,
// 0 for an unknown handle, also when the transfer failed part-way.
bool ReadHandle(Handle handle, void* buffer, uint32_t length, uint32_t* done);
bool WriteHandle(Handle handle, const void* buffer, uint32_t length, uint32_t* done);
// False for an unknown handle.
bool CloseHandle(Handle handle);

}  // namespace zmr::platform
