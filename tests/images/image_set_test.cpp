// SPDX-License-Identifier: MIT
#include "images/image_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace zmr {
namespace {

void ExpectNothingHeld(const ImageSet& set) {
  EXPECT_FALSE(set.AnyBufferHeld());
  for (const ImageSlot& slot : set.slots) {
    EXPECT_EQ(slot.size, 0u);
    EXPECT_EQ(slot.buffer, nullptr);
  }
}

TEST(ImageSet, BuildsAllThreeImages) {
  ImageSet set;
  set.SetOwnVersions();
  ASSERT_EQ(set.BuildImages(), 1);
  EXPECT_EQ(set.totalTimeWeight, 502);
  const uint32_t sizes[] = {1'024'123, 409'696, 368'281};
  for (int i = 0; i < kImageCount; ++i) {
    const ImageSlot& slot = set.slots[i];
    EXPECT_EQ(slot.size, sizes[i]);
    ASSERT_NE(slot.buffer, nullptr);
    const std::span<const uint8_t> embedded = EmbeddedImage(i);
    EXPECT_NE(slot.buffer.get(), embedded.data());  // a copy, not the constant bytes
    EXPECT_EQ(std::memcmp(slot.buffer.get(), embedded.data(), sizes[i]), 0);
  }
  EXPECT_STREQ(set.slots[kData1].ownVersion, "316G21");
  EXPECT_STREQ(set.slots[kData2].ownVersion, "318C21");
  EXPECT_STREQ(set.slots[kData3].ownVersion, "D11");
  EXPECT_STREQ(set.slots[kData1].ownCheckSum, "08A6");
  EXPECT_STREQ(set.slots[kData2].ownCheckSum, "AF7C");
  EXPECT_STREQ(set.slots[kData3].ownCheckSum, "EE03");

  set.FreeImages();
  ExpectNothingHeld(set);
  EXPECT_EQ(set.totalTimeWeight, 502);  // freeing leaves the weight and the texts alone
  EXPECT_STREQ(set.slots[kData1].ownVersion, "316G21");
  set.FreeImages();
  ExpectNothingHeld(set);
  EXPECT_EQ(set.BuildImages(), 1);  // and a later run builds afresh
}

TEST(ImageSet, FreeBeforeAnyBuildIsHarmless) {
  ImageSet set;
  set.FreeImages();
  set.FreeImages();
  ExpectNothingHeld(set);
}

// A source that hands out the embedded images with one byte changed in one of them, and notes
// which images were asked for.
struct DamagingSource {
  int image;
  size_t offset;  // from the start of the stream, or from its end when `fromEnd`
  bool fromEnd;
  std::vector<int>* asked;
  std::vector<uint8_t> copy;
  std::span<const uint8_t> operator()(int index) {
    asked->push_back(index);
    if (index != image) return EmbeddedImage(index);
    const std::span<const uint8_t> original = EmbeddedImage(index);
    copy.assign(original.begin(), original.end());
    copy[fromEnd ? copy.size() - 1 - offset : offset] ^= 0x01;
    return copy;
  }
};

TEST(ImageSet, ADamagedImageReleasesEverything) {
  struct Case {
    const char* what;
    int image;
    size_t offset;
    bool fromEnd;
  };
  const Case cases[] = {
      {"DATA1 address byte", kData1, 1 + 3, false}, {"DATA1 data byte", kData1, 600'000, false},
      {"DATA2 length byte", kData2, 5 + 3, false},  {"DATA2 stored sum", kData2, 1, true},
      {"DATA3 data byte", kData3, 9, false},        {"DATA3 last data byte", kData3, 6, true},
      {"DATA3 end mark", kData3, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> asked;
    ImageSet set(DamagingSource{c.image, c.offset, c.fromEnd, &asked, {}});
    set.totalTimeWeight = 99;
    EXPECT_EQ(set.BuildImages(), 0);
    ExpectNothingHeld(set);
    EXPECT_EQ(set.totalTimeWeight, 0);
    // The images before the damaged one had been built, and none after it was started.
    std::vector<int> expected;
    for (int i = 0; i <= c.image; ++i) expected.push_back(i);
    EXPECT_EQ(asked, expected);
  }
}

TEST(ImageSet, ASourceOfTheWrongSizeIsRefused) {
  for (long delta : {-1L, 1L}) {
    std::vector<uint8_t> bytes;
    ImageSet set([&](int index) -> std::span<const uint8_t> {
      const std::span<const uint8_t> original = EmbeddedImage(index);
      if (index != kData2) return original;
      bytes.assign(original.begin(), original.end());
      bytes.resize(static_cast<size_t>(static_cast<long>(bytes.size()) + delta), 'E');
      return bytes;
    });
    EXPECT_EQ(set.BuildImages(), 0) << delta;
    ExpectNothingHeld(set);
  }
}

TEST(ImageSet, SkippedImagesAreLeftOut) {
  struct Case {
    std::vector<int> skipped;
    int32_t total;
  };
  const Case cases[] = {
      {{kData3}, 360}, {{kData1}, 312}, {{kData2}, 362}, {{kData1, kData2, kData3}, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.skipped));
    std::vector<int> asked;
    ImageSet set([&asked](int index) {
      asked.push_back(index);
      return EmbeddedImage(index);
    });
    for (int i : c.skipped) set.slots[i].skip = -1;
    set.SetOwnVersions();
    ASSERT_EQ(set.BuildImages(), 1);
    EXPECT_EQ(set.totalTimeWeight, c.total);
    for (int i = 0; i < kImageCount; ++i) {
      const ImageSlot& slot = set.slots[i];
      const bool skipped = slot.skip != 0;
      EXPECT_EQ(slot.size, skipped ? 0u : kImages[i].size) << i;
      EXPECT_EQ(slot.buffer == nullptr, skipped) << i;
      EXPECT_STREQ(slot.ownVersion, skipped ? "" : kImages[i].version) << i;
      EXPECT_STREQ(slot.ownCheckSum, skipped ? "" : kImages[i].checkSum) << i;
      EXPECT_EQ(std::count(asked.begin(), asked.end(), i), skipped ? 0 : 1) << i;
    }
  }
}

TEST(ImageSet, SetOwnVersionsEmptiesTheTextsOfASkippedImage) {
  ImageSet set;
  set.SetOwnVersions();
  set.slots[kData2].skip = -1;
  set.SetOwnVersions();
  const char empty7[7] = {};
  const char empty5[5] = {};
  EXPECT_EQ(std::memcmp(set.slots[kData2].ownVersion, empty7, 7), 0);
  EXPECT_EQ(std::memcmp(set.slots[kData2].ownCheckSum, empty5, 5), 0);
  EXPECT_STREQ(set.slots[kData1].ownVersion, "316G21");
}

}  // namespace
}  // namespace zmr
