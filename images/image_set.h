// SPDX-License-Identifier: MIT
#pragma once
// The three data images the tool carries (DATA1(M), DATA2(T), DATA3(F)), their constants, and the
// per-run image buffers that the update procedure builds, sends and frees.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace zmr {

inline constexpr int kImageCount = 3;
enum ImageIndex : int { kData1 = 0, kData2 = 1, kData3 = 2 };

struct ImageInfo {
  const char* label;     // "DATA1(M)"
  uint16_t type;         // data type of the erase and transfer commands: 0, 1, 3
  uint32_t size;         // bytes of the record stream
  const char* version;   // own version text: "316G21", "318C21", "D11"
  const char* checkSum;  // own check-sum text: "08A6", "AF7C", "EE03"
  int32_t timeWeight;    // tenths of a second: 190, 140, 142
};

extern const std::array<ImageInfo, kImageCount> kImages;
inline constexpr int32_t kBaseTimeWeight = 30;

// The embedded bytes of an image (constant, part of the program).
std::span<const uint8_t> EmbeddedImage(int index);

struct ImageSlot {
  int32_t skip = 0;                   // 0 carried, -1 not carried (read it through IsCarried)
  char ownVersion[7] = {};            // NUL-terminated
  char ownCheckSum[5] = {};           // NUL-terminated
  uint32_t size = 0;                  // 0 while no buffer is held
  std::unique_ptr<uint8_t[]> buffer;  // the slot owns it; null while none is held

  bool IsCarried() const { return skip == 0; }
};

class ImageSet {
 public:
  // Where BuildImages copies an image from; the embedded bytes unless a test says otherwise.
  using Source = std::function<std::span<const uint8_t>(int index)>;
  explicit ImageSet(Source source = EmbeddedImage);

  // Own texts from the constants for carried images; empty for skipped ones.
  void SetOwnVersions();
  // Copies and validates every carried image; 1 when all are held, 0 (nothing held) otherwise.
  // Sets the total time weight on success (502 with all three carried).
  int BuildImages();
  // Releases every buffer and sets the sizes to 0. Harmless when nothing is held.
  void FreeImages();
  bool AnyBufferHeld() const;

  std::array<ImageSlot, kImageCount> slots;
  int32_t totalTimeWeight = 0;

 private:
  Source source_;
};

}  // namespace zmr
