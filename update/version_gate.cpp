// SPDX-License-Identifier: MIT
#include <cstring>

#include "protocol/commands.h"
#include "protocol/version_report.h"
#include "update/image_download.h"
#include "update/string_table.h"
#include "update/update_procedure.h"
#include "update/version_gate.h"
#include "update/version_text.h"

namespace zmr {
namespace {

constexpr uint32_t kReplyWaitMs = 1000;
constexpr uint32_t kReplyWaitStepMs = 100;
constexpr uint32_t kFinalPauseMs = 500;

}  // namespace

const std::array<const char*, 3> kAcceptedVersions = {"316A20", "316B20", "316C20"};

bool IsAcceptedVersion(const char* data1Version) {
  if (data1Version == nullptr) return false;
  for (const char* entry : kAcceptedVersions) {
    const size_t compared = entry[5] == '0' ? 5 : 6;
    size_t i = 0;
    // Stops at the first differing byte, so a shorter text is never read past its end.
    while (i < compared && data1Version[i] == entry[i]) ++i;
    if (i == compared) return true;
  }
  return false;
}

// The texts are NUL-terminated by construction, but are still copied no further than their fields.
std::array<ReportedImage, kImageCount> ReportedImages(const VersionReport& report) {
  return {{{BoundedText(report.data1Version), report.data1CheckSum},
           {BoundedText(report.data2Version), report.data2CheckSum},
           {BoundedText(report.data3Version), report.data3CheckSum}}};
}

int CUpdateProcedure::CheckVersion(CPrinterPort& port) {
  VersionReport report{};
  std::unique_ptr<CProgressDlg> progress = ShowProgress(IDS_VERSION_CHECK);
  progress->SetMessageId(IDS_PLEASE_WAIT);
  progress->StartEstimate(clock_.TickCount(), kReplyWaitMs);

  bool read = port.SendVersionRequest(command::kVersionCode) != 0;
  if (read) {
    PacedWait(clock_, kReplyWaitMs, progress.get(), kReplyWaitStepMs);
    progress->SetPosition(99);
    read = port.ReadVersionReply(report) != 0;
  }
  // The box is shown over this window, which goes when the user has closed it.
  if (!read) return Stop(port, RunReason::kVersionNotRead, PortErrorText(port));

  const bool same = std::memcmp(report.data1Version, images_.slots[kData1].ownVersion, 6) == 0;
  const bool accepted = !same && IsAcceptedVersion(report.data1Version);

  // DATA1 is always shown: it is what the decision was made on.
  const auto reported = ReportedImages(report);
  for (int i = 0; i < kImageCount; ++i) {
    if (i != kData1 && !images_.slots[i].IsCarried()) continue;
    fields_.beforeVersion[i] = reported[i].version;
    fields_.beforeCheckSum[i] = CheckSumText(reported[i].checkSum);
  }
  view_.RefreshFields(fields_);

  progress->SetPosition(100);
  clock_.Sleep(kFinalPauseMs);
  progress.reset();
  // Every reported version goes to the observer, not only the fields that are shown.
  std::array<std::string, kImageCount> versions, checkSums;
  for (int i = 0; i < kImageCount; ++i) {
    versions[i] = reported[i].version;
    checkSums[i] = CheckSumText(reported[i].checkSum);
  }
  if (!accepted) {
    return Stop(port, same ? RunReason::kNewestVersion : RunReason::kNotApplicable,
                "DATA1 " + EscapedText(reported[kData1].version),
                {.seen = VersionsText(versions, checkSums), .data1 = &reported[kData1]});
  }
  Step(RunStep::kCheckVersion, true, VersionsText(versions, checkSums));
  return 1;
}

int CUpdateProcedure::VerifyVersions(CPrinterPort& port, std::unique_ptr<CProgressDlg>& progress) {
  // A failure's record carries the After fields as they were read.
  auto stop = [&](RunReason reason, std::string detail) {
    return Stop(
        port, reason, std::move(detail),
        {.seen = VersionsText(fields_.afterVersion, fields_.afterCheckSum), .window = &progress});
  };
  VersionReport report{};
  const bool read = port.SendVersionRequest(command::kVersionCode) &&
                    (PacedWait(clock_, kReplyWaitMs, progress.get(), kReplyWaitStepMs),
                     port.ReadVersionReply(report));
  // The After fields stay empty.
  if (!read) return stop(RunReason::kVersionNotReadBack, PortErrorText(port));

  const auto reported = ReportedImages(report);
  for (int i = 0; i < kImageCount; ++i) {
    if (!images_.slots[i].IsCarried()) continue;
    fields_.afterVersion[i] = reported[i].version;
    fields_.afterCheckSum[i] = CheckSumText(reported[i].checkSum);
  }
  view_.RefreshFields(fields_);
  if (progress) progress->SetPosition(99);

  // Whole texts, byte for byte: version first, then check sum.
  for (int i = 0; i < kImageCount; ++i) {
    const ImageSlot& slot = images_.slots[i];
    if (!slot.IsCarried()) continue;
    const std::string image = kImages[i].label;
    if (fields_.afterVersion[i] != BoundedText(slot.ownVersion)) {
      std::array<std::string, kImageCount> one, none;
      one[i] = fields_.afterVersion[i];
      none[i] = fields_.afterCheckSum[i];
      return stop(RunReason::kVersionMismatch, "version " + VersionsText(one, none));
    }
    if (fields_.afterCheckSum[i] != BoundedText(slot.ownCheckSum)) {
      return stop(RunReason::kVersionMismatch, image + " check sum " + fields_.afterCheckSum[i] +
                                                   ", expected " + BoundedText(slot.ownCheckSum));
    }
  }
  return 1;
}

}  // namespace zmr
