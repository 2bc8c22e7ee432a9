// SPDX-License-Identifier: MIT
// The bytes that the program carries, checked against the images' constants without the
// validator.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "images/image_set.h"
#include "tests/images/image_reader.h"

namespace zmr {
namespace {

using testing::kFacts;

TEST(EmbeddedImages, MatchTheirConstants) {
  for (int i = 0; i < kImageCount; ++i) {
    const testing::ImageFacts& facts = kFacts[i];
    SCOPED_TRACE(kImages[i].label);
    const std::span<const uint8_t> bytes = EmbeddedImage(i);
    EXPECT_EQ(bytes.size(), facts.size);
    EXPECT_EQ(kImages[i].size, facts.size);

    const testing::ParsedImage image = testing::ParseImage(bytes);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(image.records.size(), facts.records);
    EXPECT_EQ(image.storedSum, facts.streamSum);
    EXPECT_EQ(image.recomputedSum, facts.streamSum);

    const uint16_t wordSum =
        testing::WordSum(testing::LoadMemory(image, facts.base, facts.top).bytes);
    EXPECT_EQ(wordSum, facts.wordSum);
    char text[8];
    std::snprintf(text, sizeof text, "%04X", wordSum);
    EXPECT_STREQ(kImages[i].checkSum, text);
  }
}

TEST(EmbeddedImages, OwnVersionsComeFromTheVersionRecords) {
  EXPECT_STREQ(kImages[kData1].version, kFacts[kData1].versionRecordText);
  EXPECT_STREQ(kImages[kData2].version, kFacts[kData2].versionRecordText);
  EXPECT_EQ(std::string(kFacts[kData3].versionRecordText).substr(3), kImages[kData3].version);
  for (int i = 0; i < kImageCount; ++i) {
    const testing::ImageFacts& facts = kFacts[i];
    const testing::Memory m =
        testing::LoadMemory(testing::ParseImage(EmbeddedImage(i)), facts.base, facts.top);
    EXPECT_EQ(std::string(m.bytes.end() - 16, m.bytes.end() - 10), facts.versionRecordText);
  }
}

TEST(EmbeddedImages, OutOfRangeIndexIsEmpty) {
  EXPECT_TRUE(EmbeddedImage(-1).empty());
  EXPECT_TRUE(EmbeddedImage(kImageCount).empty());
}

}  // namespace
}  // namespace zmr
