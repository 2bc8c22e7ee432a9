// SPDX-License-Identifier: MIT
#pragma once
// One entry point of a driver library, as the printer link holds and calls it.
//
// The maker documents no calling convention for either library. 64-bit x86 has one, and there a
// call is a plain call. On 32-bit x86 a library may remove its arguments from the stack itself
// (stdcall, the system's own on Windows) or leave that to its caller (cdecl); a caller that
// expects the one and meets the other finds its stack pointer off by the size of the arguments
// and crashes soon after. There every call goes through zmr_call_driver (link/driver_call.S),
// which keeps the stack pointer in a callee-saved register across the call and restores it
// afterwards: right whichever convention the library uses. An entry point called there takes at
// most three arguments, each no wider than a pointer, and returns at most 32 bits (in EAX).
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "driver_api/driver_api.h"

#if defined(__i386__)
extern "C" {
// Calls `entry` with the three words as its arguments (an entry point that takes fewer reads
// fewer) and returns what it left in EAX. Built for 32-bit x86 only.
__attribute__((cdecl)) uintptr_t zmr_call_driver(const void* entry, uintptr_t a0, uintptr_t a1,
                                                 uintptr_t a2);
}
#endif

namespace zmr {

template <typename Fn>
class DriverEntry;

// Fn is one of the entry-point types of driver_api.h. Null until it is given an address; every
// caller tests it first.
template <typename R, typename... Args>
class DriverEntry<R(ZMR_DRIVER_CALL*)(Args...)> {
 public:
  using Fn = R(ZMR_DRIVER_CALL*)(Args...);

  constexpr DriverEntry() = default;
  constexpr DriverEntry(std::nullptr_t) {}
  // Implicit, so that an entry point is set as a function pointer is.
  constexpr DriverEntry(Fn fn) : fn_(fn) {}

  explicit operator bool() const { return fn_ != nullptr; }
  bool operator==(std::nullptr_t) const { return fn_ == nullptr; }
  // Where the entry point lies (the run log names the library from it).
  const void* Address() const { return reinterpret_cast<const void*>(fn_); }

  R operator()(Args... args) const {
#if defined(__i386__)
    static_assert(sizeof...(Args) <= 3, "an entry point called here takes at most 3 arguments");
    static_assert(((sizeof(Args) <= sizeof(uintptr_t)) && ...), "arguments of at most 32 bits");
    static_assert(sizeof(R) <= sizeof(uint32_t), "results of at most 32 bits");
    const uintptr_t words[3] = {ToWord(args)...};
    return FromWord(zmr_call_driver(Address(), words[0], words[1], words[2]));
#else
    return fn_(args...);
#endif
  }

 private:
#if defined(__i386__)
  // An argument as the word the caller pushes: integers widened by their own sign, as C does.
  template <typename T>
  static uintptr_t ToWord(T value) {
    if constexpr (std::is_pointer_v<T>) {
      return reinterpret_cast<uintptr_t>(value);
    } else {
      return static_cast<uintptr_t>(value);
    }
  }
  static R FromWord(uintptr_t word) {
    if constexpr (std::is_pointer_v<R>) {
      return reinterpret_cast<R>(word);
    } else {
      return static_cast<R>(word);
    }
  }
#endif

  Fn fn_ = nullptr;
};

}  // namespace zmr
