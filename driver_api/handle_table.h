// SPDX-License-Identifier: MIT
#pragma once
// How a driver library hands out handles on POSIX, where there is no kernel handle for a USB
// pipe: the process-wide table of OS-style handles. A driver library registers a channel for each
// pipe it opens and returns the handle; the tool then reads, writes and closes it synchronously
// (platform/handle_io.h), as it would a file handle. There is exactly one table in the process
// (this library is shared), so handles from a linked and a loaded driver library mix. On Windows
// the driver libraries return kernel handles instead and this table is not used: there,
// RegisterChannel hands the channel to a pipe served by a thread (channel_pipes_win32.cpp), and
// ReadHandle, WriteHandle and CloseHandle do not exist.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zmr::driver_api {

// The handle under which a registered channel is known: what a driver library returns from its
// open calls, for the tool to read, write and close.
using ChannelHandle = intptr_t;
// The handle that means "not opened" (ZMR_INVALID_HANDLE of the driver contract).
inline constexpr ChannelHandle kInvalidHandle = -1;

// One open pipe of a device. Both transfers are synchronous: they return when the transfer is
// over. `done` receives the number of bytes moved, also when the transfer failed part-way.
class Channel {
 public:
  virtual ~Channel() = default;
  virtual bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) = 0;
  virtual bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) = 0;
  // Where the handles are kernel pipes (Windows) the tool's reads cannot be seen before they
  // happen. There a channel that only reads answers a read with nothing ready at once (0 bytes),
  // and the reply that it has ready (ReplyLength bytes; 0 when none) is read and moved into the
  // pipe as soon as a write has made it ready.
  // ReadReply is that read, made for the pipe when the reply goes into it.
  virtual bool ReadsOnly() { return false; }
  virtual uint32_t ReplyLength() { return 0; }
  virtual bool ReadReply(uint8_t* buffer, uint32_t length, uint32_t& done) {
    return Read(buffer, length, done);
  }
};

// A channel that exists but moves nothing, such as a device's control channel.
class InertChannel : public Channel {
 public:
  bool Read(uint8_t*, uint32_t, uint32_t& done) override {
    done = 0;
    return false;
  }
  bool Write(const uint8_t*, uint32_t, uint32_t& done) override {
    done = 0;
    return false;
  }
};

// Takes ownership of the channel and returns its new handle (never kInvalidHandle or 0).
ChannelHandle RegisterChannel(std::unique_ptr<Channel> channel);

// Like the OS calls: false on an unknown handle or a failed transfer; *done (when given) holds
// the bytes moved, 0 for an unknown handle.
bool ReadHandle(ChannelHandle handle, void* buffer, uint32_t length, uint32_t* done);
bool WriteHandle(ChannelHandle handle, const void* buffer, uint32_t length, uint32_t* done);

// Removes the handle and destroys its channel; false for an unknown handle.
bool CloseHandle(ChannelHandle handle);

// Handles registered and not yet closed (on Windows: whose end the caller still holds).
size_t OpenHandleCount();

}  // namespace zmr::driver_api
