// SPDX-License-Identifier: MIT
// The driver call thunk on 32-bit x86: a library built with stdcall (it removes its arguments) and
// one built with cdecl (it leaves them) must both give their result and leave the caller's stack
// pointer and callee-saved registers as they were.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "link/driver_entry.h"

namespace {

struct ProbeRegisters {
  uint32_t esp, ebx, esi, edi, ebp;
};
struct ProbeRecord {
  ProbeRegisters before, after;
  uint32_t result;
};

extern "C" void zmr_probe_driver_call(const void* entry, const uint32_t* args, uint32_t misalign,
                                      ProbeRecord* record);
extern "C" uint32_t zmr_probe_stack_at_entry();

// The arguments' order shows in the result: each one lands in its own digits.
#define ZMR_ENTRIES(CALL, name, tag)                                                    \
  extern "C" __attribute__((CALL, noinline)) uint32_t name##0() {                       \
    return tag;                                                                         \
  }                                                                                     \
  extern "C" __attribute__((CALL, noinline)) uint32_t name##1(uint32_t a) {             \
    return tag + a;                                                                     \
  }                                                                                     \
  extern "C" __attribute__((CALL, noinline)) uint32_t name##2(uint32_t a, uint32_t b) { \
    return tag + a + (b << 4);                                                          \
  }                                                                                     \
  extern "C" __attribute__((CALL, noinline))                                            \
  uint32_t name##3(uint32_t a, uint32_t b, uint32_t c) {                                \
    return tag + a + (b << 4) + (c << 8);                                               \
  }
ZMR_ENTRIES(stdcall, Stdcall, 0x5d0000u)
ZMR_ENTRIES(cdecl, Cdecl, 0xcd0000u)
#undef ZMR_ENTRIES

template <typename Fn>
const void* Address(Fn fn) {
  return reinterpret_cast<const void*>(fn);
}

struct ThunkCase {
  const char* name;
  const void* entry;
  uint32_t expected;
};

TEST(CallingConvention, EitherConventionLeavesTheCallerAsItWas) {
  const uint32_t args[3] = {0x1, 0x2, 0x3};
  const ThunkCase cases[] = {
      {"stdcall, 0 arguments", Address(&Stdcall0), 0x5d0000},
      {"stdcall, 1 argument", Address(&Stdcall1), 0x5d0001},
      {"stdcall, 2 arguments", Address(&Stdcall2), 0x5d0021},
      {"stdcall, 3 arguments", Address(&Stdcall3), 0x5d0321},
      {"cdecl, 0 arguments", Address(&Cdecl0), 0xcd0000},
      {"cdecl, 1 argument", Address(&Cdecl1), 0xcd0001},
      {"cdecl, 2 arguments", Address(&Cdecl2), 0xcd0021},
      {"cdecl, 3 arguments", Address(&Cdecl3), 0xcd0321},
  };
  for (const ThunkCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeRecord record{};
    zmr_probe_driver_call(c.entry, args, 0, &record);
    EXPECT_EQ(record.result, c.expected);
    EXPECT_EQ(record.after.esp, record.before.esp) << "stack pointer";
    EXPECT_EQ(record.after.ebx, record.before.ebx) << "ebx";
    EXPECT_EQ(record.after.esi, record.before.esi) << "esi";
    EXPECT_EQ(record.after.edi, record.before.edi) << "edi";
    EXPECT_EQ(record.after.ebp, record.before.ebp) << "ebp";
  }
}

// A caller on Windows keeps the stack aligned to 4 bytes only; a 32-bit Linux library may rely
// on 16 at its entry.
TEST(CallingConvention, EntryFindsTheStackAlignedTo16) {
  const uint32_t args[3] = {};
  for (const uint32_t misalign : {0u, 4u, 8u, 12u}) {
    ProbeRecord record{};
    zmr_probe_driver_call(Address(&zmr_probe_stack_at_entry), args, misalign, &record);
    EXPECT_EQ((record.result + 4) % 16, 0u) << "caller misaligned by " << misalign;
    EXPECT_EQ(record.after.esp, record.before.esp) << "caller misaligned by " << misalign;
  }
}

// Entry points of the driver contract as the printer link holds them: whatever convention the
// library was built with, a 16-bit argument, pointers, negative numbers and a negative handle
// come through.
template <typename Fn>
Fn As(const void* entry) {
  return reinterpret_cast<Fn>(entry);
}

#define ZMR_CONTRACT_FAKES(CALL, suffix)                                                           \
  extern "C" __attribute__((CALL)) int SetVenderID##suffix(uint16_t vendorId) {                    \
    return vendorId == 0x04CB ? 1 : 0;                                                             \
  }                                                                                                \
  extern "C" __attribute__((CALL)) int UsbGetDeviceNum##suffix() {                                 \
    return -1;                                                                                     \
  }                                                                                                \
  extern "C" __attribute__((CALL)) int UsbGetDeviceInfo##suffix(int index, char* id, char* path) { \
    if (index != 2 || !id || !path) return 0;                                                      \
    std::strcpy(id, "USB\\VID_04CB&PID_5006");                                                     \
    std::strcpy(path, "usb:2");                                                                    \
    return 1;                                                                                      \
  }                                                                                                \
  extern "C" __attribute__((CALL)) intptr_t UsbOpenBulk##suffix(const char* pipeName, int index) { \
    return pipeName && std::strcmp(pipeName, "PIPE01") == 0 && index == 0 ? 0x104 : -1;            \
  }
ZMR_CONTRACT_FAKES(stdcall, Stdcall)
ZMR_CONTRACT_FAKES(cdecl, Cdecl)
#undef ZMR_CONTRACT_FAKES

struct ContractCase {
  const char* name;
  const void* setVenderID;
  const void* usbGetDeviceNum;
  const void* usbGetDeviceInfo;
  const void* usbOpenBulk;
};

TEST(CallingConvention, DriverEntriesCallEitherConvention) {
  const ContractCase cases[] = {
      {"stdcall", Address(&SetVenderIDStdcall), Address(&UsbGetDeviceNumStdcall),
       Address(&UsbGetDeviceInfoStdcall), Address(&UsbOpenBulkStdcall)},
      {"cdecl", Address(&SetVenderIDCdecl), Address(&UsbGetDeviceNumCdecl),
       Address(&UsbGetDeviceInfoCdecl), Address(&UsbOpenBulkCdecl)},
  };
  for (const ContractCase& c : cases) {
    SCOPED_TRACE(c.name);
    const zmr::DriverEntry<SetVenderIDFn> setVenderID = As<SetVenderIDFn>(c.setVenderID);
    const zmr::DriverEntry<UsbGetDeviceNumFn> deviceNum = As<UsbGetDeviceNumFn>(c.usbGetDeviceNum);
    const zmr::DriverEntry<UsbGetDeviceInfoFn> deviceInfo =
        As<UsbGetDeviceInfoFn>(c.usbGetDeviceInfo);
    const zmr::DriverEntry<UsbOpenBulkFn> openBulk = As<UsbOpenBulkFn>(c.usbOpenBulk);
    // Many calls in a row: a stack pointer off by a few bytes per call would add up.
    for (int round = 0; round < 100; ++round) {
      EXPECT_EQ(setVenderID(0x04CB), 1);
      EXPECT_EQ(setVenderID(0x04CC), 0);
      EXPECT_EQ(deviceNum(), -1);
      char id[ZMR_DRIVER_TEXT_SIZE] = {};
      char path[ZMR_DRIVER_TEXT_SIZE] = {};
      EXPECT_EQ(deviceInfo(2, id, path), 1);
      EXPECT_STREQ(id, "USB\\VID_04CB&PID_5006");
      EXPECT_STREQ(path, "usb:2");
      EXPECT_EQ(deviceInfo(2, nullptr, path), 0);
      EXPECT_EQ(openBulk("PIPE01", 0), 0x104);
      EXPECT_EQ(openBulk("PIPE01", -1), -1);
      EXPECT_EQ(openBulk(nullptr, 0), -1);
    }
  }
}

}  // namespace
