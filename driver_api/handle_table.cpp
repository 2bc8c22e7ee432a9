// SPDX-License-Identifier: MIT
#include "driver_api/handle_table.h"

#include <mutex>
#include <unordered_map>

namespace zmr::driver_api {
namespace {

struct Table {
  std::mutex mutex;
  std::unordered_map<ChannelHandle, std::shared_ptr<Channel>> channels;
  ChannelHandle next = 0x100;
};

Table& TheTable() {
  static Table table;
  return table;
}

std::shared_ptr<Channel> Find(ChannelHandle handle) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  const auto it = table.channels.find(handle);
  return it == table.channels.end() ? nullptr : it->second;
}

}  // namespace

ChannelHandle RegisterChannel(std::unique_ptr<Channel> channel) {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  const ChannelHandle handle = table.next++;
  table.channels.emplace(handle, std::shared_ptr<Channel>(std::move(channel)));
  return handle;
}

bool ReadHandle(ChannelHandle handle, void* buffer, uint32_t length, uint32_t* done) {
  uint32_t moved = 0;
  bool ok = false;
  // The transfer runs outside the table's lock: a slow device must not block other handles.
  if (auto channel = Find(handle)) ok = channel->Read(static_cast<uint8_t*>(buffer), length, moved);
  if (moved > length) moved = length;
  if (done) *done = moved;
  return ok;
}

bool WriteHandle(ChannelHandle handle, const void* buffer, uint32_t length, uint32_t* done) {
  uint32_t moved = 0;
  bool ok = false;
  if (auto channel = Find(handle)) {
    ok = channel->Write(static_cast<const uint8_t*>(buffer), length, moved);
  }
  if (moved > length) moved = length;
  if (done) *done = moved;
  return ok;
}

bool CloseHandle(ChannelHandle handle) {
  std::shared_ptr<Channel> channel;
  {
    Table& table = TheTable();
    std::lock_guard lock(table.mutex);
    const auto it = table.channels.find(handle);
    if (it == table.channels.end()) return false;
    channel = std::move(it->second);
    table.channels.erase(it);
  }
  return true;  // the channel is destroyed here, outside the lock
}

size_t OpenHandleCount() {
  Table& table = TheTable();
  std::lock_guard lock(table.mutex);
  return table.channels.size();
}

}  // namespace zmr::driver_api
