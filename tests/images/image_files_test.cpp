// SPDX-License-Identifier: MIT
// Every property of the committed image files under images/data/, read from the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "images/image_set.h"
#include "tests/images/image_reader.h"

namespace zmr {
namespace {

using testing::DataRecord;
using testing::ImageFacts;
using testing::kFacts;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Stretch {
  uint32_t from, to;  // [from, to)
  bool operator==(const Stretch&) const = default;
};

std::vector<Stretch> Unwritten(const testing::Memory& m, uint32_t base) {
  std::vector<Stretch> stretches;
  for (uint32_t i = 0; i < m.written.size(); ++i) {
    if (m.written[i]) continue;
    if (!stretches.empty() && stretches.back().to == base + i) {
      ++stretches.back().to;
    } else {
      stretches.push_back({base + i, base + i + 1});
    }
  }
  return stretches;
}

bool AllFF(const DataRecord& r) {
  return std::all_of(r.data.begin(), r.data.end(), [](uint8_t b) { return b == 0xFF; });
}

std::string VersionRecordAt(const testing::Memory& m, uint32_t offset) {
  return std::string(m.bytes.begin() + offset, m.bytes.begin() + offset + 16);
}

std::string VersionRecord(const char* text) {
  return std::string(text) + std::string(10, '\xFF');
}

class ImageFileTest : public ::testing::Test {
 protected:
  void Load(int index) {
    index_ = index;
    bytes_ = ReadFile(std::string(ZMR_IMAGE_DATA_DIR) + "/" + facts().file);
    image_ = testing::ParseImage(bytes_);
    ASSERT_EQ(image_.error, "");
    memory_ = testing::LoadMemory(image_, facts().base, facts().top);
  }
  const ImageFacts& facts() const { return kFacts[index_]; }
  const std::vector<DataRecord>& records() const { return image_.records; }
  std::map<uint32_t, int> LengthsOtherThan16() const {
    std::map<uint32_t, int> lengths;
    for (const DataRecord& r : records()) {
      if (r.length != 16) ++lengths[r.length];
    }
    return lengths;
  }
  int FFOnlyRecords() const {
    return static_cast<int>(std::count_if(records().begin(), records().end(), AllFF));
  }

  int index_ = 0;
  std::vector<uint8_t> bytes_;
  testing::ParsedImage image_;
  testing::Memory memory_;
};

class ImageFile : public ImageFileTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override { Load(GetParam()); }
};

TEST_P(ImageFile, FramingSizeAndSums) {
  EXPECT_EQ(bytes_.size(), facts().size);
  EXPECT_EQ(records().size(), facts().records);
  uint64_t dataBytes = 0;
  for (const DataRecord& r : records()) dataBytes += r.length;
  EXPECT_EQ(bytes_.size(), 9 * records().size() + dataBytes + 6);
  EXPECT_EQ(image_.storedSum, facts().streamSum);
  EXPECT_EQ(image_.recomputedSum, facts().streamSum);
  EXPECT_EQ(testing::WordSum(memory_.bytes), facts().wordSum);
}

TEST_P(ImageFile, RecordsAscendWithinTheRange) {
  ASSERT_FALSE(records().empty());
  EXPECT_EQ(records().front().address, facts().base);
  EXPECT_EQ(records().front().length, facts().firstLength);
  EXPECT_EQ(records().back().address, facts().lastAddress);
  EXPECT_EQ(records().back().length, facts().lastLength);
  EXPECT_EQ(records().back().end(), facts().top);
  for (size_t i = 0; i < records().size(); ++i) {
    const DataRecord& r = records()[i];
    EXPECT_GE(r.length, 1u);
    EXPECT_LE(r.length, 16u);
    EXPECT_GE(r.address, facts().base);
    EXPECT_LE(r.end(), facts().top);
    if (i > 0) {
      EXPECT_GE(r.address, records()[i - 1].end()) << "record " << i;
    }
  }
}

TEST_P(ImageFile, OwnVersionAndCheckSumTexts) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", testing::WordSum(memory_.bytes));
  EXPECT_STREQ(text, kImages[GetParam()].checkSum);
  // The tool carries exactly these bytes.
  const std::span<const uint8_t> embedded = EmbeddedImage(GetParam());
  EXPECT_TRUE(std::equal(bytes_.begin(), bytes_.end(), embedded.begin(), embedded.end()));
}

INSTANTIATE_TEST_SUITE_P(AllImages, ImageFile, ::testing::Values(kData1, kData2, kData3),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return "DATA" + std::to_string(p.param + 1);
                         });

template <int Index>
class OneImageFile : public ImageFileTest {
 protected:
  void SetUp() override { Load(Index); }
};
using Data1File = OneImageFile<kData1>;
using Data2File = OneImageFile<kData2>;
using Data3File = OneImageFile<kData3>;

TEST_F(Data1File, Layout) {
  const std::map<uint32_t, int> shorts = LengthsOtherThan16();
  int count = 0;
  std::set<uint32_t> lengths;
  for (const auto& [length, n] : shorts) {
    count += n;
    lengths.insert(length);
  }
  EXPECT_EQ(count, 23);
  EXPECT_EQ(lengths, (std::set<uint32_t>{1, 2, 4, 6, 8, 10, 12, 14, 15}));
  EXPECT_TRUE(Unwritten(memory_, facts().base).empty());
  EXPECT_EQ(FFOnlyRecords(), 3924);
  // The version record at the base and in the top 16 bytes, each written as 6 + 10 bytes.
  EXPECT_EQ(VersionRecordAt(memory_, 0), VersionRecord("316G21"));
  EXPECT_EQ(VersionRecordAt(memory_, facts().top - facts().base - 16), VersionRecord("316G21"));
  const size_t n = records().size();
  EXPECT_EQ(records()[1].address, 0x00020006u);
  EXPECT_EQ(records()[1].length, 10u);
  EXPECT_EQ(records()[n - 2].address, 0x000BFFF0u);
  EXPECT_EQ(records()[n - 2].length, 6u);
}

TEST_F(Data2File, Layout) {
  EXPECT_EQ(LengthsOtherThan16(), (std::map<uint32_t, int>{{8, 20}}));
  EXPECT_TRUE(Unwritten(memory_, facts().base).empty());
  EXPECT_EQ(FFOnlyRecords(), 6656);
  // A version record, as one record, in the last 16 bytes of each 32 KiB block.
  std::set<uint32_t> recordStarts;
  for (const DataRecord& r : records()) recordStarts.insert(r.address);
  for (uint32_t block = 1; block <= 8; ++block) {
    const uint32_t offset = block * 0x8000 - 16;
    EXPECT_EQ(VersionRecordAt(memory_, offset), VersionRecord("318C21")) << block;
    EXPECT_TRUE(recordStarts.count(facts().base + offset)) << block;
  }
}

TEST_F(Data3File, Layout) {
  EXPECT_TRUE(LengthsOtherThan16().empty());
  EXPECT_EQ(std::count(memory_.written.begin(), memory_.written.end(), true), 235'696);
  const std::vector<Stretch> gaps = Unwritten(memory_, facts().base);
  ASSERT_EQ(gaps.size(), 14u);
  EXPECT_EQ(gaps.back(), (Stretch{0x001A99A0, 0x001AFFF0}));
  int small16 = 0;
  int small32 = 0;
  for (size_t i = 0; i + 1 < gaps.size(); ++i) {
    const uint32_t size = gaps[i].to - gaps[i].from;
    small16 += size == 16;
    small32 += size == 32;
  }
  EXPECT_EQ(small16 + small32, 13);
  EXPECT_EQ(VersionRecordAt(memory_, 0), VersionRecord("317D11"));
  EXPECT_EQ(VersionRecordAt(memory_, facts().top - facts().base - 16), VersionRecord("317D11"));
  // The unwritten bytes count as 0xFF in the word sum; as 0x00 they would give another value.
  const testing::Memory zeroed = testing::LoadMemory(image_, facts().base, facts().top, 0x00);
  EXPECT_NE(testing::WordSum(zeroed.bytes), facts().wordSum);
}

}  // namespace
}  // namespace zmr
