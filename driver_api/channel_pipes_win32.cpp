// SPDX-License-Identifier: MIT
// How a driver library hands out handles on Windows: each channel becomes one instance of a
// duplex message-mode named pipe. The caller gets the client end, a real kernel handle for
// ReadFile, WriteFile and CloseHandle; a thread of the library serves the server end.
//
// - A write by the caller is one message. The pipe holds no bytes of its own in that direction
//   (buffer size 0), so the caller's WriteFile returns only once the server has taken the whole
//   message. The server first looks at it without taking it, hands it to the channel, moves any
//   reply that is now ready into the pipes of the channels that hold one, and only then takes it:
//   the caller's write succeeds. When the channel fails the write or moves less than all of it,
//   the server cancels the caller's waiting WriteFile instead (CancelSynchronousIo on the thread
//   that opened the channel, which is the one that waits), so that it fails with 0 bytes and the
//   message is gone: a short write shows as a failed one, and the pipe goes on working. Should
//   there be no such write to cancel, the pipe is disconnected and every later transfer fails.
// - A read by the caller cannot be seen before it happens. A reply is therefore put into the
//   pipe when it becomes ready (after the write that asked for it): what the channel's Read gave,
//   whole or short, as one message; nothing when its Read failed. The end of a channel that only
//   reads does not wait: a read with nothing in the pipe fails at once with 0 bytes, like a
//   device that does not answer (and the channel does not see that read).
// - The server keeps a duplicate of the caller's handle, so that it can tell at once whether the
//   caller still holds its end (the object's handle count); that is what OpenHandleCount counts.
//   Channels whose caller has closed its end are released at the next RegisterChannel or
//   OpenHandleCount.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "driver_api/handle_table.h"

namespace zmr::driver_api {
namespace {

constexpr uint32_t kReplyQuota = 64 * 1024;  // bytes of replies the pipe holds towards the caller

struct Served {
  std::unique_ptr<Channel> channel;
  HANDLE server = INVALID_HANDLE_VALUE;  // overlapped
  HANDLE watch = nullptr;                // our duplicate of the caller's handle
  HANDLE stop = nullptr;                 // set to end the thread
  DWORD opener = 0;                      // the thread that opened the channel
  std::thread thread;
  std::atomic<bool> broken{false};  // disconnected after a failed write
};

class Server {
 public:
  static Server& Instance() {
    // Never destroyed: threads may still run while the process ends.
    static Server* server = new Server();
    return *server;
  }

  ChannelHandle Register(std::unique_ptr<Channel> channel);
  size_t OpenCount();

 private:
  void Serve(Served* served);
  bool TakeMessage(Served& served, std::vector<uint8_t>& message);
  void PushReplies();
  void Release(std::vector<Served*> gone);
  std::vector<Served*> CollectClosedLocked();

  std::mutex mutex_;  // guards entries_
  std::list<Served> entries_;
  std::mutex pushMutex_;  // one write and its replies at a time
  std::atomic<unsigned> serial_{0};
};

// Handles of the object that `handle` refers to, over all processes; 0 when unknown.
ULONG ObjectHandleCount(HANDLE handle) {
  PUBLIC_OBJECT_BASIC_INFORMATION info{};
  ULONG length = 0;
  if (NtQueryObject(handle, ObjectBasicInformation, &info, sizeof info, &length) != 0) return 0;
  return info.HandleCount;
}

// Waits for an overlapped operation on `file`, or for `stop`. False when stopped or failed;
// `error` then holds the reason (ERROR_OPERATION_ABORTED when stopped).
bool Finish(HANDLE file, OVERLAPPED& overlapped, HANDLE stop, BOOL started, DWORD& moved,
            DWORD& error) {
  error = started ? ERROR_SUCCESS : GetLastError();
  if (!started && error != ERROR_IO_PENDING) return false;
  if (!started) {
    const HANDLE events[2] = {overlapped.hEvent, stop};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
      CancelIoEx(file, &overlapped);
      GetOverlappedResult(file, &overlapped, &moved, TRUE);
      error = ERROR_OPERATION_ABORTED;
      return false;
    }
  }
  if (!GetOverlappedResult(file, &overlapped, &moved, TRUE)) {
    error = GetLastError();
    return false;
  }
  error = ERROR_SUCCESS;
  return true;
}

ChannelHandle Server::Register(std::unique_ptr<Channel> channel) {
  Release([this] {
    std::lock_guard lock(mutex_);
    return CollectClosedLocked();
  }());
  char name[96];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\zmr470-channel-%lu-%u", GetCurrentProcessId(),
                serial_.fetch_add(1));
  HANDLE server = CreateNamedPipeA(
      name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kReplyQuota, 0, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return kInvalidHandle;
  HANDLE client =
      CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE watch = nullptr;
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A channel that only reads answers a read with nothing in the pipe at once, as a device that
  // does not answer: its end does not wait.
  DWORD mode = PIPE_READMODE_MESSAGE | (channel->ReadsOnly() ? PIPE_NOWAIT : PIPE_WAIT);
  if (client == INVALID_HANDLE_VALUE || !stop ||
      !SetNamedPipeHandleState(client, &mode, nullptr, nullptr) ||
      !DuplicateHandle(GetCurrentProcess(), client, GetCurrentProcess(), &watch, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    if (client != INVALID_HANDLE_VALUE) ::CloseHandle(client);
    if (stop) ::CloseHandle(stop);
    ::CloseHandle(server);
    return kInvalidHandle;
  }
  std::lock_guard lock(mutex_);
  Served& served = entries_.emplace_back();
  served.channel = std::move(channel);
  served.server = server;
  served.watch = watch;
  served.stop = stop;
  served.opener = GetCurrentThreadId();
  served.thread = std::thread(&Server::Serve, this, &served);
  return reinterpret_cast<ChannelHandle>(client);
}

size_t Server::OpenCount() {
  std::vector<Served*> gone;
  size_t open = 0;
  {
    std::lock_guard lock(mutex_);
    gone = CollectClosedLocked();
    open = entries_.size() - gone.size();
  }
  Release(std::move(gone));
  return open;
}

std::vector<Served*> Server::CollectClosedLocked() {
  std::vector<Served*> gone;
  for (Served& served : entries_) {
    // Our duplicate is the last handle: the caller has closed its end.
    if (ObjectHandleCount(served.watch) <= 1) gone.push_back(&served);
  }
  return gone;
}

void Server::Release(std::vector<Served*> gone) {
  for (Served* served : gone) {
    SetEvent(served->stop);
    if (served->thread.joinable()) served->thread.join();
    ::CloseHandle(served->watch);
    ::CloseHandle(served->stop);
    ::CloseHandle(served->server);
    std::unique_ptr<Channel> channel;
    {
      std::lock_guard lock(mutex_);
      channel = std::move(served->channel);
      entries_.remove_if([served](const Served& entry) { return &entry == served; });
    }
    // The channel goes here, outside the lock.
  }
}

bool Server::TakeMessage(Served& served, std::vector<uint8_t>& message) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!overlapped.hEvent) return false;
  // A read of 0 bytes waits for the next message without taking it.
  uint8_t none = 0;
  DWORD moved = 0;
  DWORD error = 0;
  const BOOL started = ReadFile(served.server, &none, 0, &moved, &overlapped);
  const bool ok = Finish(served.server, overlapped, served.stop, started, moved, error);
  ::CloseHandle(overlapped.hEvent);
  if (!ok && error != ERROR_MORE_DATA) {
    message.clear();
    return false;  // stopped, or the caller's end is gone
  }
  DWORD available = 0;
  DWORD leftInMessage = 0;
  if (!PeekNamedPipe(served.server, nullptr, 0, nullptr, &available, &leftInMessage)) return false;
  message.resize(leftInMessage ? leftInMessage : available);
  DWORD peeked = 0;
  if (!message.empty() &&
      !PeekNamedPipe(served.server, message.data(), static_cast<DWORD>(message.size()), &peeked,
                     nullptr, nullptr)) {
    return false;
  }
  message.resize(peeked);
  return true;
}

// Ends the caller's write that waits for the server to take it: the caller's WriteFile fails.
bool CancelCallerWrite(const Served& served) {
  HANDLE thread = OpenThread(THREAD_TERMINATE, FALSE, served.opener);
  if (!thread) return false;
  const bool cancelled = CancelSynchronousIo(thread) != FALSE;
  ::CloseHandle(thread);
  return cancelled;
}

void Server::Serve(Served* served) {
  std::vector<uint8_t> message;
  for (;;) {
    if (!TakeMessage(*served, message)) {
      if (WaitForSingleObject(served->stop, 0) == WAIT_OBJECT_0) return;
      // Disconnected or broken: nothing more will arrive; wait to be released.
      WaitForSingleObject(served->stop, INFINITE);
      return;
    }
    bool accepted = false;
    {
      std::lock_guard push(pushMutex_);
      uint32_t done = 0;
      const uint32_t length = static_cast<uint32_t>(message.size());
      accepted = served->channel->Write(message.data(), length, done) && done == length;
      PushReplies();
    }
    if (!accepted) {
      // The caller's WriteFile fails with 0 bytes and its message goes.
      if (!CancelCallerWrite(*served)) {
        DisconnectNamedPipe(served->server);
        served->broken = true;
      }
      continue;
    }
    // Take the message: the caller's WriteFile returns with all of it written.
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD moved = 0;
    DWORD error = 0;
    std::vector<uint8_t> sink(message.size() ? message.size() : 1);
    const BOOL started = ReadFile(served->server, sink.data(), static_cast<DWORD>(message.size()),
                                  &moved, &overlapped);
    Finish(served->server, overlapped, served->stop, started, moved, error);
    ::CloseHandle(overlapped.hEvent);
  }
}

void Server::PushReplies() {
  // Under the entries' lock: no entry is released while its pipe is written.
  std::lock_guard lock(mutex_);
  for (Served& served : entries_) {
    const uint32_t length = served.broken || !served.channel ? 0 : served.channel->ReplyLength();
    if (length == 0) continue;
    std::vector<uint8_t> reply(std::min(length, kReplyQuota));
    uint32_t done = 0;
    const bool ok =
        served.channel->ReadReply(reply.data(), static_cast<uint32_t>(reply.size()), done);
    if (!ok) continue;  // the caller's read finds nothing
    reply.resize(std::min<size_t>(done, reply.size()));
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) continue;
    DWORD moved = 0;
    DWORD error = 0;
    // Within the pipe's quota the write completes at once.
    const BOOL started = WriteFile(served.server, reply.data(), static_cast<DWORD>(reply.size()),
                                   &moved, &overlapped);
    Finish(served.server, overlapped, served.stop, started, moved, error);
    ::CloseHandle(overlapped.hEvent);
  }
}

}  // namespace

// The library's only exports.
__declspec(dllexport) ChannelHandle RegisterChannel(std::unique_ptr<Channel> channel) {
  if (!channel) return kInvalidHandle;
  return Server::Instance().Register(std::move(channel));
}

__declspec(dllexport) size_t OpenHandleCount() {
  return Server::Instance().OpenCount();
}

}  // namespace zmr::driver_api
