// SPDX-License-Identifier: MIT
// The Win32 platform files and the pipes through which driver libraries of ours hand out kernel
// handles. The transfers go through the kernel: a test here fails if the platform layer stops
// calling ReadFile and WriteFile on the handles it is given.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "driver_api/handle_table.h"
#include "link/driver_library.h"
#include "link/printer_port.h"
#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/handle_io.h"
#include "platform/instance_lock.h"

namespace zmr {
namespace {

using Bytes = std::vector<uint8_t>;

platform::DriverHandle AsPlatform(HANDLE handle) {
  return reinterpret_cast<platform::DriverHandle>(handle);
}

// An anonymous kernel pipe, both ends owned by the test.
struct KernelPipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  KernelPipe() { EXPECT_TRUE(CreatePipe(&read, &write, nullptr, 0)); }
  ~KernelPipe() {
    if (read) ::CloseHandle(read);
    if (write) ::CloseHandle(write);
  }
};

TEST(HandleIo, MovesBytesThroughKernelHandles) {
  KernelPipe pipe;
  const Bytes sent = {0x1B, 'V', '#', 0x00};
  uint32_t done = 99;
  ASSERT_TRUE(platform::WriteHandle(AsPlatform(pipe.write), sent.data(), 4, &done));
  EXPECT_EQ(done, 4u);
  Bytes got(8);
  ASSERT_TRUE(platform::ReadHandle(AsPlatform(pipe.read), got.data(), 8, &done));
  EXPECT_EQ(done, 4u);  // what the pipe held: a short read
  got.resize(done);
  EXPECT_EQ(got, sent);

  // The platform closes the kernel handle itself: the other end sees the pipe broken.
  ASSERT_TRUE(platform::CloseHandle(AsPlatform(pipe.write)));
  pipe.write = nullptr;
  EXPECT_FALSE(platform::ReadHandle(AsPlatform(pipe.read), got.data(), 1, &done));
  EXPECT_EQ(done, 0u);
}

TEST(HandleIo, InvalidHandleFailsWithNothingMoved) {
  uint8_t byte = 0;
  uint32_t done = 99;
  EXPECT_FALSE(platform::ReadHandle(platform::kInvalidHandle, &byte, 1, &done));
  EXPECT_EQ(done, 0u);
  done = 99;
  EXPECT_FALSE(platform::WriteHandle(platform::kInvalidHandle, &byte, 1, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(platform::CloseHandle(platform::kInvalidHandle));
}

// A loaded driver library whose pipes are plain kernel pipes of the test: whatever the port
// moves, the test sees with ReadFile and WriteFile on the other ends.
struct PipeDriver {
  KernelPipe toPrinter;    // PIPE00: the port writes, the test reads
  KernelPipe fromPrinter;  // PIPE01: the test writes, the port reads
};
PipeDriver* pipeDriver = nullptr;

extern "C" int ZMR_DRIVER_CALL PipeSetVenderID(uint16_t) {
  return 1;
}
extern "C" intptr_t ZMR_DRIVER_CALL PipeOpenBulk(const char* pipe, int index) {
  if (index != 0) return ZMR_INVALID_HANDLE;
  HANDLE source =
      std::strcmp(pipe, "PIPE00") == 0 ? pipeDriver->toPrinter.write : pipeDriver->fromPrinter.read;
  HANDLE copy = nullptr;  // the port closes what it is given
  DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  return AsPlatform(copy);
}

TEST(PrinterPortOnKernelHandles, WritesAndShortReadsGoThroughTheKernel) {
  PipeDriver driver;
  pipeDriver = &driver;
  CDriverLibrary loaded;
  loaded.SetVenderID = &PipeSetVenderID;
  loaded.UsbOpenBulk = &PipeOpenBulk;
  const ImportedDriver imported{};
  VirtualClock clock;
  CPrinterPort port(imported, loaded, clock);
  ASSERT_EQ(port.Open(), 1);

  const uint8_t request[4] = {0x1B, 'V', '#', 0x00};
  EXPECT_EQ(port.Write(request, 4), 4u);
  uint8_t seen[4] = {};
  DWORD moved = 0;
  ASSERT_TRUE(ReadFile(driver.toPrinter.read, seen, 4, &moved, nullptr));
  EXPECT_EQ(moved, 4u);
  EXPECT_EQ(std::memcmp(seen, request, 4), 0);

  // 40 of the 48 bytes of a version reply: the port reports what the kernel moved.
  const Bytes reply(40, 0x5A);
  ASSERT_TRUE(WriteFile(driver.fromPrinter.write, reply.data(), 40, &moved, nullptr));
  uint8_t buffer[48] = {};
  EXPECT_EQ(port.Read(buffer, 48), 40u);
  EXPECT_EQ(port.ErrorCode(), PortError::kTransferFailed);
  EXPECT_EQ(buffer[39], 0x5A);
  port.Close();
  pipeDriver = nullptr;
}

// A channel that answers as the test tells it.
class ScriptedChannel : public driver_api::Channel {
 public:
  struct State {
    std::vector<Bytes> written;
    std::deque<bool> writeResults;  // empty: every write succeeds
    Bytes reply;                    // offered to the next read
    bool destroyed = false;
  };
  ScriptedChannel(State& state, bool readsOnly) : state_(state), readsOnly_(readsOnly) {}
  ~ScriptedChannel() override { state_.destroyed = true; }
  bool Read(uint8_t* buffer, uint32_t length, uint32_t& done) override {
    done = std::min<uint32_t>(length, static_cast<uint32_t>(state_.reply.size()));
    std::memcpy(buffer, state_.reply.data(), done);
    state_.reply.clear();
    return true;
  }
  bool Write(const uint8_t* buffer, uint32_t length, uint32_t& done) override {
    state_.written.emplace_back(buffer, buffer + length);
    bool ok = true;
    if (!state_.writeResults.empty()) {
      ok = state_.writeResults.front();
      state_.writeResults.pop_front();
    }
    done = ok ? length : 0;
    return ok;
  }
  bool ReadsOnly() override { return readsOnly_; }
  uint32_t ReplyLength() override { return static_cast<uint32_t>(state_.reply.size()); }

 private:
  State& state_;
  bool readsOnly_;
};

HANDLE AsHandle(driver_api::ChannelHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

TEST(ChannelPipes, HandleIsAKernelPipeCountedUntilTheCallerClosesIt) {
  ScriptedChannel::State state;
  const size_t before = driver_api::OpenHandleCount();
  const driver_api::ChannelHandle handle =
      driver_api::RegisterChannel(std::make_unique<ScriptedChannel>(state, false));
  ASSERT_NE(handle, driver_api::kInvalidHandle);
  EXPECT_EQ(GetFileType(AsHandle(handle)), static_cast<DWORD>(FILE_TYPE_PIPE));
  EXPECT_EQ(driver_api::OpenHandleCount(), before + 1);
  ASSERT_TRUE(::CloseHandle(AsHandle(handle)));
  EXPECT_EQ(driver_api::OpenHandleCount(), before);  // at once, not some time later
  EXPECT_TRUE(state.destroyed);
}

TEST(ChannelPipes, AFailedWriteFailsThatWriteOnly) {
  ScriptedChannel::State state;
  state.writeResults = {true, false, true};
  const driver_api::ChannelHandle handle =
      driver_api::RegisterChannel(std::make_unique<ScriptedChannel>(state, false));
  ASSERT_NE(handle, driver_api::kInvalidHandle);
  const Bytes block(4096, 0xA5);
  for (const bool expected : {true, false, true}) {
    DWORD moved = 99;
    EXPECT_EQ(WriteFile(AsHandle(handle), block.data(), 4096, &moved, nullptr) != FALSE, expected);
    EXPECT_EQ(moved, expected ? 4096u : 0u);
  }
  ASSERT_EQ(state.written.size(), 3u);  // the channel saw each write once, whole
  EXPECT_EQ(state.written[2], block);
  ::CloseHandle(AsHandle(handle));
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
}

TEST(ChannelPipes, ReplyIsInThePipeWhenTheWriteReturnsAndAReadOfNothingFailsAtOnce) {
  ScriptedChannel::State out;
  ScriptedChannel::State in;
  const driver_api::ChannelHandle write =
      driver_api::RegisterChannel(std::make_unique<ScriptedChannel>(out, false));
  const driver_api::ChannelHandle read =
      driver_api::RegisterChannel(std::make_unique<ScriptedChannel>(in, true));
  uint8_t buffer[64] = {};
  DWORD moved = 99;
  EXPECT_FALSE(ReadFile(AsHandle(read), buffer, 48, &moved, nullptr));  // nothing ready
  EXPECT_EQ(moved, 0u);

  const uint8_t request[4] = {0x1B, 'V', '#', 0x00};
  in.reply = Bytes(48, 0x23);  // what the request makes ready
  ASSERT_TRUE(WriteFile(AsHandle(write), request, 4, &moved, nullptr));
  ASSERT_TRUE(ReadFile(AsHandle(read), buffer, 48, &moved, nullptr));
  EXPECT_EQ(moved, 48u);
  EXPECT_EQ(buffer[47], 0x23);
  EXPECT_FALSE(ReadFile(AsHandle(read), buffer, 48, &moved, nullptr));  // used up
  ::CloseHandle(AsHandle(write));
  ::CloseHandle(AsHandle(read));
  EXPECT_EQ(driver_api::OpenHandleCount(), 0u);
}

TEST(InstanceLockWin32, TheNameIsTakenWhileHeld) {
  const char* name = "zmr470 instance lock test";
  auto lock = platform::InstanceLock::Acquire(name);
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(platform::InstanceLock::Acquire(name), nullptr);
  // The holder keeps its mutex until the process ends (the name is never freed before).
  lock.reset();
  EXPECT_EQ(platform::InstanceLock::Acquire(name), nullptr);
}

TEST(DynamicLibraryWin32, LoadsByPlainNameFromTheSearchPath) {
  EXPECT_EQ(platform::DynamicLibrary::FileName("ZUsbXpIf"), "ZUsbXpIf.dll");
  EXPECT_EQ(platform::DynamicLibrary::Open("NoSuchDriverLibrary"), nullptr);
  const auto library = platform::DynamicLibrary::Open("ZUsbXpIf");
  ASSERT_NE(library, nullptr) << "the simulated ZUsbXpIf.dll must be on the DLL search path";
  EXPECT_NE(library->Symbol("UsbDeviceIoControl"), nullptr);
  EXPECT_EQ(library->Symbol("UsbDeviceIoControlEx"), nullptr);
}

}  // namespace
}  // namespace zmr
