// SPDX-License-Identifier: MIT
#pragma once
// Time for everything that waits: a 32-bit millisecond tick count that wraps like the system tick
// counter (differences are taken as unsigned 32-bit numbers) and a blocking sleep.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zmr {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, wrapping from 0xFFFFFFFF to 0; never goes back other
  // than by that wrap. Returns at once and cannot fail. Safe to call from any thread.
  virtual uint32_t TickCount() = 0;
  // Returns once at least `ms` milliseconds of this clock's time have passed (0: at once). The real
  // clock blocks the calling thread, a virtual one moves its time on; neither services window
  // events, fails, or can be cut short.
  virtual void Sleep(uint32_t ms) = 0;
};

// The machine's monotonic clock.
class RealClock final : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
};

// The process-wide real clock, for the programs.
Clock& SystemClock();

// Virtual time for tests and benchmarks: Sleep advances the time at once. Safe to read from
// another thread (the emulated USB bus answers on one).
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint32_t startTick = 0) : start_(startTick) {}
  uint32_t TickCount() override { return start_ + static_cast<uint32_t>(elapsed_.load()); }
  void Sleep(uint32_t ms) override;
  // Moves the time on without counting it as a sleep.
  void Advance(uint32_t ms) { elapsed_ += ms; }
  // Virtual milliseconds since construction, not wrapped.
  uint64_t ElapsedMs() const { return elapsed_.load(); }
  // Called with the length of every sleep, after the time has moved.
  void SetSleepObserver(std::function<void(uint32_t)> observer);

 private:
  uint32_t start_;
  std::atomic<uint64_t> elapsed_{0};
  std::mutex observerMutex_;
  std::function<void(uint32_t)> observer_;
};

}  // namespace zmr
