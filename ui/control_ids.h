// SPDX-License-Identifier: MIT
#pragma once
// Control IDs of the main window, the same numbers in every windowed front end.
#include <array>

#include "images/image_set.h"

namespace zmr::ui {

// The value fields, by image.
inline constexpr std::array<int, kImageCount> kOwnVersionControl = {1005, 1006, 1007};
inline constexpr std::array<int, kImageCount> kOwnCheckSumControl = {1003, 1008, 1011};
inline constexpr std::array<int, kImageCount> kBeforeVersionControl = {1014, 1016, 1018};
inline constexpr std::array<int, kImageCount> kBeforeCheckSumControl = {1015, 1017, 1019};
inline constexpr std::array<int, kImageCount> kAfterVersionControl = {1004, 1010, 1012};
inline constexpr std::array<int, kImageCount> kAfterCheckSumControl = {1002, 1009, 1013};
inline constexpr int kDownloadButtonControl = 1000;

}  // namespace zmr::ui
