// SPDX-License-Identifier: MIT
#include "images/image_set.h"

#include <cstring>
#include <new>

#include "images/record_stream.h"

// Defined in embedded_data.S, hidden from other modules like there (on ELF; PE/COFF exports
// nothing unless asked).
#if defined(_WIN32)
#define ZMR_EMBEDDED extern "C" const
#else
#define ZMR_EMBEDDED extern "C" [[gnu::visibility("hidden")]] const
#endif
ZMR_EMBEDDED uint8_t zmr_image_data1[];
ZMR_EMBEDDED uint8_t zmr_image_data2[];
ZMR_EMBEDDED uint8_t zmr_image_data3[];
ZMR_EMBEDDED uint32_t zmr_image_data1_size;
ZMR_EMBEDDED uint32_t zmr_image_data2_size;
ZMR_EMBEDDED uint32_t zmr_image_data3_size;
#undef ZMR_EMBEDDED

namespace zmr {

const std::array<ImageInfo, kImageCount> kImages = {{
    {"DATA1(M)", 0, 1024123, "316G21", "08A6", 190},
    {"DATA2(T)", 1, 409696, "318C21", "AF7C", 140},
    {"DATA3(F)", 3, 368281, "D11", "EE03", 142},
}};

std::span<const uint8_t> EmbeddedImage(int index) {
  switch (index) {
    case kData1:
      return {zmr_image_data1, zmr_image_data1_size};
    case kData2:
      return {zmr_image_data2, zmr_image_data2_size};
    case kData3:
      return {zmr_image_data3, zmr_image_data3_size};
    default:
      return {};
  }
}

ImageSet::ImageSet(Source source) : source_(std::move(source)) {}

namespace {

// Copies `text` into a fixed field, always leaving the field NUL-terminated.
template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::strncpy(field, text, N - 1);
}

}  // namespace

void ImageSet::SetOwnVersions() {
  for (int i = 0; i < kImageCount; ++i) {
    ImageSlot& slot = slots[i];
    if (slot.IsCarried()) {
      CopyText(slot.ownVersion, kImages[i].version);
      CopyText(slot.ownCheckSum, kImages[i].checkSum);
    } else {
      std::memset(slot.ownVersion, 0, sizeof slot.ownVersion);
      std::memset(slot.ownCheckSum, 0, sizeof slot.ownCheckSum);
    }
  }
}

int ImageSet::BuildImages() {
  totalTimeWeight = 0;
  FreeImages();  // nothing should be held here; if something is, it is released, not leaked
  int32_t weights[kImageCount] = {};
  for (int i = 0; i < kImageCount; ++i) {
    ImageSlot& slot = slots[i];
    if (!slot.IsCarried()) continue;
    const uint32_t size = kImages[i].size;
    // A source that does not hold exactly the image's size could not be copied safely.
    const std::span<const uint8_t> bytes = source_ ? source_(i) : std::span<const uint8_t>{};
    if (bytes.size() != size || bytes.data() == nullptr) {
      FreeImages();
      return 0;
    }
    slot.size = size;
    slot.buffer.reset(new (std::nothrow) uint8_t[size]);
    if (!slot.buffer) {
      FreeImages();
      return 0;
    }
    std::memcpy(slot.buffer.get(), bytes.data(), size);
    if (ValidateRecordStream(slot.buffer.get(), slot.size) == 0) {
      FreeImages();
      return 0;
    }
    weights[i] = kImages[i].timeWeight;
  }
  totalTimeWeight = weights[kData1] + weights[kData2] + weights[kData3] + kBaseTimeWeight;
  return 1;
}

void ImageSet::FreeImages() {
  for (ImageSlot& slot : slots) {
    slot.size = 0;
    slot.buffer.reset();
  }
}

bool ImageSet::AnyBufferHeld() const {
  for (const ImageSlot& slot : slots) {
    if (slot.buffer) return true;
  }
  return false;
}

}  // namespace zmr
