// SPDX-License-Identifier: MIT
// Writes the three data images that the tool carries (data1.bin, data2.bin, data3.bin) as record
// streams. Their contents are made up here; their layout, sizes, version records, stream sums and
// word sums are fixed, and this program builds the bytes so that every one of them holds.
// Deterministic: the same program always writes the same bytes.
//
// Usage: zmr_image_gen OUTPUT_DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "zmr_image_gen: %s\n", what.c_str());
  std::exit(1);
}

void Require(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// A small fixed-seed generator (splitmix64), so the bytes never depend on the library.
class Prng {
 public:
  explicit Prng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  uint64_t state_;
};

enum class Fill { kData, kErased, kVersion };

struct Record {
  uint32_t address;
  uint32_t length;
  Fill fill;
};

struct ImageLayout {
  const char* file;
  uint32_t base;
  uint32_t top;
  const char* version;  // 6 characters, followed by ten 0xFF bytes in memory
  uint32_t streamSum;   // value of the sum record
  uint16_t wordSum;     // big-endian 16-bit words over base..top, unwritten bytes as 0xFF
  uint64_t seed;
};

// Lays records out one after another from `address`, each item a length and a fill.
class Layout {
 public:
  explicit Layout(uint32_t address) : next_(address) {}
  void Add(uint32_t length, Fill fill) {
    records_.push_back({next_, length, fill});
    next_ += length;
  }
  void Skip(uint32_t bytes) { next_ += bytes; }
  uint32_t next() const { return next_; }
  std::vector<Record> Take() { return std::move(records_); }

 private:
  uint32_t next_;
  std::vector<Record> records_;
};

// Adds `sixteens` data records of 16 bytes, with the given short lengths spread evenly among them.
void AddDataRun(Layout& layout, uint32_t sixteens, const std::vector<uint32_t>& shorts) {
  const uint32_t total = sixteens + static_cast<uint32_t>(shorts.size());
  size_t nextShort = 0;
  for (uint32_t i = 0; i < total; ++i) {
    const uint64_t slot = (nextShort + 1) * uint64_t{total} / (shorts.size() + 1);
    if (nextShort < shorts.size() && i == slot) {
      layout.Add(shorts[nextShort++], Fill::kData);
    } else {
      layout.Add(16, Fill::kData);
    }
  }
  Require(nextShort == shorts.size(), "short records not all placed");
}

void AddErasedRun(Layout& layout, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) layout.Add(16, Fill::kErased);
}

// DATA1: 640 KiB, every byte written. The version record is written as 6 + 10 bytes at the base
// and at the top; 19 more short records shift the ones after them off the 16-byte grid; five
// erased stretches end the program's segments.
std::vector<Record> LayoutData1(const ImageLayout& image) {
  Layout layout(image.base);
  layout.Add(6, Fill::kVersion);
  layout.Add(10, Fill::kVersion);
  const std::vector<std::vector<uint32_t>> shorts = {
      {1, 2, 4, 8}, {12, 14, 15, 15}, {1, 14, 2, 12}, {4, 10, 6, 2}, {2, 2, 2}};
  const uint32_t sixteens[] = {7406, 7405, 7406, 7405, 7406};
  const uint32_t erased[] = {1024, 768, 1130, 600, 400};
  for (size_t s = 0; s < shorts.size(); ++s) {
    AddDataRun(layout, sixteens[s], shorts[s]);
    AddErasedRun(layout, erased[s]);
  }
  Require(layout.next() == image.top - 16, "DATA1 body does not end at the top version record");
  layout.Add(6, Fill::kVersion);
  layout.Add(10, Fill::kVersion);
  return layout.Take();
}

// DATA2: eight 32 KiB blocks, every byte written; each block is data (with pairs of 8-byte
// records), then 832 erased records, then the version record in its last 16 bytes.
std::vector<Record> LayoutData2(const ImageLayout& image) {
  Layout layout(image.base);
  const uint32_t pairsOfEights[] = {1, 1, 1, 2, 1, 1, 2, 1};
  constexpr uint32_t kBlock = 0x8000;
  constexpr uint32_t kErased = 832;
  constexpr uint32_t kDataBytes = kBlock - 16 * kErased - 16;
  for (uint32_t block = 0; block < 8; ++block) {
    const uint32_t pairs = pairsOfEights[block];
    AddDataRun(layout, kDataBytes / 16 - pairs, std::vector<uint32_t>(2 * pairs, 8));
    AddErasedRun(layout, kErased);
    Require(layout.next() == image.base + (block + 1) * kBlock - 16, "DATA2 block misplaced");
    layout.Add(16, Fill::kVersion);
  }
  Require(layout.next() == image.top, "DATA2 does not end at the top");
  return layout.Take();
}

// DATA3: 16-byte records from the base version record up to 0x001A99A0 with 13 small unwritten
// stretches, then a long unwritten stretch, then the version record in the top 16 bytes.
std::vector<Record> LayoutData3(const ImageLayout& image) {
  Layout layout(image.base);
  layout.Add(16, Fill::kVersion);
  const uint32_t gaps[] = {16, 32, 16, 16, 16, 32, 16, 16, 16, 32, 16, 16, 16};
  constexpr uint32_t kRecords = 14729;
  constexpr uint32_t kGapCount = sizeof gaps / sizeof gaps[0];
  uint32_t nextGap = 0;
  for (uint32_t i = 0; i < kRecords; ++i) {
    if (nextGap < kGapCount && i == (nextGap + 1) * kRecords / (kGapCount + 1)) {
      layout.Skip(gaps[nextGap++]);
    }
    layout.Add(16, Fill::kData);
  }
  Require(layout.next() == 0x001A99A0, "DATA3 data does not end at the long unwritten stretch");
  layout.Skip(image.top - 16 - layout.next());
  layout.Add(16, Fill::kVersion);
  return layout.Take();
}

uint32_t ByteSum32(uint32_t v) {
  return (v >> 24) + ((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF);
}

// Moves the sum of the bytes at `offsets` by `delta`, one step of 1 per byte and visit, visiting
// the bytes in a scattered order so that the change is spread thin. Bytes stay within 0x00..0xFE,
// so no data record ever becomes 0xFF only.
void Adjust(std::vector<uint8_t>& memory, const std::vector<uint32_t>& offsets, int64_t delta) {
  const uint64_t n = offsets.size();
  Require(n > 0, "no adjustable bytes");
  uint64_t stride = 7919;
  while (std::gcd(stride, n) != 1) stride += 2;
  while (delta != 0) {
    bool moved = false;
    for (uint64_t k = 0; k < n && delta != 0; ++k) {
      uint8_t& b = memory[offsets[(k * stride) % n]];
      if (delta > 0 && b < 0xFE) {
        ++b;
        --delta;
        moved = true;
      } else if (delta < 0 && b > 0) {
        --b;
        ++delta;
        moved = true;
      }
    }
    Require(moved, "sums out of reach of the adjustable bytes");
  }
}

std::vector<uint8_t> BuildImage(const ImageLayout& image, const std::vector<Record>& records) {
  const uint32_t span = image.top - image.base;
  std::vector<uint8_t> memory(span, 0xFF);  // unwritten bytes read as 0xFF
  std::vector<bool> written(span, false);

  // Fixed bytes: version records and erased records; everything else is data to be made up.
  uint64_t headerSum = 0;
  uint64_t fixedSum = 0;
  std::vector<uint32_t> dataEven;  // offsets of made-up bytes at even addresses
  std::vector<uint32_t> dataOdd;
  uint32_t versionOffset = 0;  // where the next character of a version text goes
  for (const Record& r : records) {
    headerSum += ByteSum32(r.address) + ByteSum32(r.length);
    const uint32_t at = r.address - image.base;
    for (uint32_t i = 0; i < r.length; ++i) {
      Require(!written[at + i], "records overlap");
      written[at + i] = true;
    }
    switch (r.fill) {
      case Fill::kVersion:
        // A version record is 16 bytes of memory, possibly written as several records.
        for (uint32_t i = 0; i < r.length; ++i, ++versionOffset) {
          const uint32_t inRecord = versionOffset % 16;
          memory[at + i] = inRecord < 6 ? static_cast<uint8_t>(image.version[inRecord]) : 0xFF;
          fixedSum += memory[at + i];
        }
        break;
      case Fill::kErased:
        fixedSum += 0xFFull * r.length;
        break;
      case Fill::kData:
        for (uint32_t i = 0; i < r.length; ++i)
          ((r.address + i) % 2 ? dataOdd : dataEven).push_back(at + i);
        break;
    }
  }
  Require(versionOffset % 16 == 0, "incomplete version record");
  Require(headerSum + fixedSum <= image.streamSum, "stream sum below the fixed bytes");
  const int64_t dataSum = int64_t{image.streamSum} - static_cast<int64_t>(headerSum);

  // Filler: zero with some probability, otherwise uniform in 0x00..0xFE (mean 127), with the
  // probability chosen so that the expected sum lands on the stream sum.
  Prng prng(image.seed);
  const uint64_t pool = dataEven.size() + dataOdd.size();
  const uint64_t wanted = static_cast<uint64_t>(dataSum) - fixedSum;
  Require(wanted <= 127 * pool, "stream sum too high for the filler");
  const uint64_t nonzeroPer65536 = (wanted << 16) / (127 * pool);
  std::vector<uint32_t> all(dataEven);
  all.insert(all.end(), dataOdd.begin(), dataOdd.end());
  std::sort(all.begin(), all.end());
  for (uint32_t at : all) {
    const uint64_t draw = prng.Next();
    memory[at] = (draw & 0xFFFF) < nonzeroPer65536 ? static_cast<uint8_t>((draw >> 16) % 0xFF) : 0;
  }

  // Hit both sums: with E and O the sums of the written bytes at even and odd addresses and U the
  // unwritten bytes' share of the word sum, E + O = dataSum and 256 E + O + U = wordSum (mod
  // 2^16), so 255 E = wordSum - U - dataSum (mod 2^16); 255 is odd and so invertible.
  int64_t even = 0;
  int64_t odd = 0;
  uint32_t unwrittenWords = 0;
  for (uint32_t i = 0; i < span; ++i) {
    if (written[i]) {
      (i % 2 ? odd : even) += memory[i];
    } else {
      unwrittenWords += i % 2 ? 0xFFu : 0xFF00u;
    }
  }
  uint32_t inverse255 = 1;
  while ((inverse255 * 255u) % 65536u != 1) inverse255 += 2;
  const uint32_t residue =
      static_cast<uint32_t>((image.wordSum - unwrittenWords - static_cast<uint32_t>(dataSum)) *
                            inverse255) %
      65536u;
  const int64_t evenIdeal = even + (dataSum - even - odd) / 2;
  int64_t evenTarget =
      evenIdeal + static_cast<int64_t>((residue - static_cast<uint32_t>(evenIdeal)) % 65536u);
  if (evenTarget - evenIdeal > 32768) evenTarget -= 65536;
  Adjust(memory, dataEven, evenTarget - even);
  Adjust(memory, dataOdd, (dataSum - evenTarget) - odd);

  // The stream.
  std::vector<uint8_t> out;
  uint32_t streamSum = 0;
  auto put32 = [&out](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
  };
  for (const Record& r : records) {
    out.push_back('P');
    put32(r.address);
    put32(r.length);
    streamSum += ByteSum32(r.address) + ByteSum32(r.length);
    for (uint32_t i = 0; i < r.length; ++i) {
      const uint8_t b = memory[r.address - image.base + i];
      out.push_back(b);
      streamSum += b;
    }
  }
  Require(streamSum == image.streamSum, std::string(image.file) + ": stream sum missed");
  out.push_back('S');
  put32(streamSum);
  out.push_back('E');

  uint32_t words = 0;
  for (uint32_t i = 0; i < span; i += 2) words += memory[i] * 256u + memory[i + 1];
  Require((words & 0xFFFF) == image.wordSum, std::string(image.file) + ": word sum missed");
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zmr_image_gen OUTPUT_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const ImageLayout images[] = {
      {"data1.bin", 0x00020000, 0x000C0000, "316G21", 0x04B8DD2B, 0x08A6, 0x5A4D52'01},
      {"data2.bin", 0x000F0000, 0x00130000, "318C21", 0x02453828, 0xAF7C, 0x5A4D52'02},
      {"data3.bin", 0x00170000, 0x001B0000, "317D11", 0x00B26E25, 0xEE03, 0x5A4D52'03},
  };
  const std::vector<Record> layouts[] = {LayoutData1(images[0]), LayoutData2(images[1]),
                                         LayoutData3(images[2])};
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> bytes = BuildImage(images[i], layouts[i]);
    const std::string path = dir + "/" + images[i].file;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    Require(file.good(), "cannot write " + path);
  }
  return 0;
}
