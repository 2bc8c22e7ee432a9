// SPDX-License-Identifier: MIT
#pragma once
// The version gate and the verification: what the printer's versions must be before the images
// are sent, and what they must be afterwards. CUpdateProcedure::CheckVersion and
// CUpdateProcedure::VerifyVersions (version_gate.cpp) apply them.
#include <array>
#include <cstdint>
#include <string>

#include "images/image_set.h"
#include "protocol/version_report.h"

namespace zmr {

// The DATA1 versions from which the printer may be updated, in the order they are tried.
extern const std::array<const char*, 3> kAcceptedVersions;

// True when the printer's DATA1 version text (at least 6 readable bytes, or NUL-terminated)
// matches an entry: the first 5 characters when the entry's sixth is '0', else 6; case-sensitive.
// The own DATA1 version is not in the table: the gate compares the printer's version with it
// before asking here.
bool IsAcceptedVersion(const char* data1Version);

// One image's version text and check sum as the printer reported them.
struct ReportedImage {
  std::string version;
  uint32_t checkSum;
};

// The report's version texts and check sums by image, copied no further than their fields.
std::array<ReportedImage, kImageCount> ReportedImages(const VersionReport& report);

}  // namespace zmr
