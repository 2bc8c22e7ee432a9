// SPDX-License-Identifier: MIT
#include "driver_api/handle_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zmr::driver_api {
namespace {

// Echoes what was written; moves at most `limit` bytes per transfer.
class EchoChannel : public Channel {
 public:
  explicit EchoChannel(uint32_t limit) : limit_(limit) {}
  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = std::min({length, limit_, static_cast<uint32_t>(data_.size())});
    std::memcpy(buffer, data_.data(), done);
    return true;
  }
  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = std::min(length, limit_);
    data_.assign(buffer, buffer + done);
    return done == length;
  }

 private:
  uint32_t limit_;
  std::vector<uint8_t> data_;
};

TEST(HandleTable, ReadWriteCloseAndCount) {
  const size_t before = OpenHandleCount();
  const ChannelHandle handle = RegisterChannel(std::make_unique<EchoChannel>(3));
  EXPECT_NE(handle, kInvalidHandle);
  EXPECT_EQ(OpenHandleCount(), before + 1);

  uint32_t done = 99;
  EXPECT_FALSE(WriteHandle(handle, "abcd", 4, &done));  // short write fails with the count
  EXPECT_EQ(done, 3u);
  char buffer[8] = {};
  EXPECT_TRUE(ReadHandle(handle, buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 3u);
  EXPECT_STREQ(buffer, "abc");

  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(OpenHandleCount(), before);
  EXPECT_FALSE(ReadHandle(handle, buffer, 1, &done));  // unknown handles move nothing
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(WriteHandle(kInvalidHandle, buffer, 1, nullptr));
}

}  // namespace
}  // namespace zmr::driver_api
