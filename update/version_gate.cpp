#include <cstring>

#include "protocol/commands.h"
#include "protocol/version_report.h"
#include "update/string_table.h"
#include "update/update_procedure.h"
#include "update/version_text.h"

namespace zmr {
namespace {

constexpr uint32_t kReplyWaitMs = 1000;
constexpr uint32_t kReplyWaitStepMs = 100;
constexpr uint32_t kFinalPauseMs = 500;

struct ReportedImage {
  std::string version;
  uint32_t checkSum;
};

// The report's version texts and check sums by image. The texts are NUL-terminated by
// construction, but are still copied no further than their fields.
std::array<ReportedImage, kImageCount> ReportedImages(const VersionReport& report) {
  return {{{BoundedText(report.data1Version), report.data1CheckSum},
           {BoundedText(report.data2Version), report.data2CheckSum},
           {BoundedText(report.data3Version), report.data3CheckSum}}};
}

}  // namespace

int CUpdateProcedure::CheckVersion(CPrinterPort& port) {
  VersionReport report{};
  std::unique_ptr<CProgressDlg> progress = ShowProgress(IDS_VERSION_CHECK);
  progress->SetMessageId(IDS_PLEASE_WAIT);
  progress->StartEstimate(clock_.TickCount(), kReplyWaitMs);

  bool read = port.SendVersionRequest(command::kVersionCode) != 0;
  if (read) {
    PacedWait(kReplyWaitMs, progress.get(), kReplyWaitStepMs);
    progress->SetPosition(99);
    read = port.ReadVersionReply(report) != 0;
  }
  if (!read) {
    // Released before the message; the window stays up until the user has closed the box.
    ReleasePrinter(port);
    ShowMessage(IDS_VERSION_FAILED, MessageTitle::Error, MessageIcon::Warning);
    return 0;
  }

  const bool same = std::memcmp(report.data1Version, images_.slots[kData1].ownVersion, 6) == 0;
  const bool accepted = !same && IsAcceptedVersion(report.data1Version);

  // DATA1 is always shown: it is what the decision was made on.
  const auto reported = ReportedImages(report);
  for (int i = 0; i < kImageCount; ++i) {
    if (i != kData1 && images_.slots[i].skip == -1) continue;
    fields_.beforeVersion[i] = reported[i].version;
    fields_.beforeCheckSum[i] = CheckSumText(reported[i].checkSum);
  }
  view_.RefreshFields(fields_);

  progress->SetPosition(100);
  clock_.Sleep(kFinalPauseMs);
  progress.reset();
  if (accepted) return 1;

  ReleasePrinter(port);
  if (same) {
    ShowMessage(IDS_NEWEST_VERSION, MessageTitle::VersionCheck, MessageIcon::Information);
  } else {
    ShowText(IDS_NOT_APPLICABLE,
             FormatVersionMessage(LoadString(IDS_NOT_APPLICABLE, language_),
                                  reported[kData1].version, report.data1CheckSum),
             MessageTitle::VersionCheck, MessageIcon::Information);
  }
  return 0;
}

int CUpdateProcedure::VerifyVersions(CPrinterPort& port, CProgressDlg* progress) {
  VersionReport report{};
  if (!port.SendVersionRequest(command::kVersionCode)) return 0;
  PacedWait(kReplyWaitMs, progress, kReplyWaitStepMs);
  if (!port.ReadVersionReply(report)) return 0;  // the After fields stay empty

  const auto reported = ReportedImages(report);
  for (int i = 0; i < kImageCount; ++i) {
    if (images_.slots[i].skip == -1) continue;
    fields_.afterVersion[i] = reported[i].version;
    fields_.afterCheckSum[i] = CheckSumText(reported[i].checkSum);
  }
  view_.RefreshFields(fields_);
  if (progress) progress->SetPosition(99);

  // Whole texts, byte for byte: version first, then check sum.
  for (int i = 0; i < kImageCount; ++i) {
    const ImageSlot& slot = images_.slots[i];
    if (slot.skip == -1) continue;
    if (fields_.afterVersion[i] != BoundedText(slot.ownVersion)) return 0;
    if (fields_.afterCheckSum[i] != BoundedText(slot.ownCheckSum)) return 0;
  }
  return 1;
}

}  // namespace zmr
