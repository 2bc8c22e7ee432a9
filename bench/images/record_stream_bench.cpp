// SPDX-License-Identifier: MIT
// Validation of each embedded image against the floor of any one-pass reader: a bare loop that
// sums every byte of the same buffer. The counter "ratio" is validation time / sum time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "images/image_set.h"
#include "images/record_stream.h"

namespace {

// The plainest one-pass reader, compiled with the same flags as the validator.
[[gnu::noinline]] uint32_t ByteSum(const uint8_t* data, uint32_t length) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) sum += data[i];
  return sum;
}

// The image in a heap buffer of its exact size, as the image set builds it.
struct Buffer {
  explicit Buffer(int index) {
    const std::span<const uint8_t> image = zmr::EmbeddedImage(index);
    size = static_cast<uint32_t>(image.size());
    bytes.reset(new uint8_t[size]);
    std::memcpy(bytes.get(), image.data(), size);
  }
  std::unique_ptr<uint8_t[]> bytes;
  uint32_t size;
};

void Describe(benchmark::State& state, const Buffer& buffer, int index) {
  state.SetLabel(zmr::kImages[index].label);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * buffer.size);
}

void BM_Validate(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const Buffer buffer(index);
  if (zmr::ValidateRecordStream(buffer.bytes.get(), buffer.size) != 1) {
    state.SkipWithError("embedded image does not validate");
    return;
  }
  for (auto _ : state) {
    const uint8_t* data = buffer.bytes.get();
    benchmark::DoNotOptimize(data);
    benchmark::DoNotOptimize(zmr::ValidateRecordStream(data, buffer.size));
  }
  Describe(state, buffer, index);
}

void BM_ByteSum(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const Buffer buffer(index);
  for (auto _ : state) {
    const uint8_t* data = buffer.bytes.get();
    benchmark::DoNotOptimize(data);
    benchmark::DoNotOptimize(ByteSum(data, buffer.size));
  }
  Describe(state, buffer, index);
}

// Both readers in turn over the same buffer, each timed on its own; reports the two mean times
// and their ratio.
void BM_ValidateOverByteSum(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int index = static_cast<int>(state.range(0));
  const Buffer buffer(index);
  Clock::duration validate{};
  Clock::duration sum{};
  for (auto _ : state) {
    const uint8_t* data = buffer.bytes.get();
    benchmark::DoNotOptimize(data);
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(zmr::ValidateRecordStream(data, buffer.size));
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(ByteSum(data, buffer.size));
    const auto t2 = Clock::now();
    validate += t1 - t0;
    sum += t2 - t1;
  }
  const double n = static_cast<double>(state.iterations());
  const double validateNs = static_cast<double>(std::chrono::nanoseconds(validate).count()) / n;
  const double sumNs = static_cast<double>(std::chrono::nanoseconds(sum).count()) / n;
  state.counters["validate_ns"] = validateNs;
  state.counters["sum_ns"] = sumNs;
  state.counters["ratio"] = sumNs > 0 ? validateNs / sumNs : 0;
  state.SetLabel(zmr::kImages[index].label);
}

BENCHMARK(BM_Validate)->DenseRange(0, zmr::kImageCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ByteSum)->DenseRange(0, zmr::kImageCount - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ValidateOverByteSum)
    ->DenseRange(0, zmr::kImageCount - 1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
