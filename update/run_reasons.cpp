// SPDX-License-Identifier: MIT
#include "update/run_reasons.h"

#include <cstddef>
#include <iterator>

namespace zmr {
namespace {

using enum PrinterAtBox;
using enum WindowAtBox;
constexpr MessageTitle kError = MessageTitle::Error;
constexpr MessageIcon kWarning = MessageIcon::Warning;

// In the order of RunReason. Every failure is an "Error" with the warning icon but the version
// gate's two refusals; the box is up over a progress window only for the version gate's failed
// read (its own window) and a failed download (the download's window).
constexpr ReasonRow kRows[] = {
    {RunReason::kSuccess, "Success", RunStep::kOnDownload, IDS_SUCCESS, MessageTitle::Success,
     kWarning, kReleasedByStep, kGone},
    {RunReason::kNoPrinter, "NoPrinter", RunStep::kCheckPrinterCount, IDS_NOT_CONNECTED, kError,
     kWarning, kNotInDownloadMode, kGone},
    {RunReason::kTwoOrMorePrinters, "TwoOrMorePrinters", RunStep::kCheckPrinterCount,
     IDS_TWO_PRINTERS, kError, kWarning, kNotInDownloadMode, kGone},
    {RunReason::kOpenFailed, "OpenFailed", RunStep::kOpen, IDS_NOT_CONNECTED, kError, kWarning,
     kNotInDownloadMode, kGone},
    {RunReason::kStatusNotRead, "StatusNotRead", RunStep::kCheckPrinterStatus, IDS_FAILED, kError,
     kWarning, kNotInDownloadMode, kGone},
    {RunReason::kStillBusy, "StillBusy", RunStep::kCheckPrinterStatus, IDS_FAILED, kError, kWarning,
     kNotInDownloadMode, kGone},
    {RunReason::kPrinting, "Printing", RunStep::kCheckPrinterStatus, IDS_PRINTING, kError, kWarning,
     kNotInDownloadMode, kGone},
    {RunReason::kPrinterError, "PrinterError", RunStep::kCheckPrinterStatus, IDS_PRINTER_ERROR,
     kError, kWarning, kNotInDownloadMode, kGone},
    {RunReason::kModeSwitchNotSent, "ModeSwitchNotSent", RunStep::kSwitchToDownloadMode, IDS_FAILED,
     kError, kWarning, kNotInDownloadMode, kGone},
    // The message asks for the power cycle that a printer left in download mode needs.
    {RunReason::kReopenFailed, "ReopenFailed", RunStep::kReopen, IDS_NOT_CONNECTED, kError,
     kWarning, kUnreachable, kGone},
    {RunReason::kPrinterCountChanged, "PrinterCountChanged", RunStep::kReopen, IDS_NOT_CONNECTED,
     kError, kWarning, kUnreachable, kGone},
    {RunReason::kVersionNotRead, "VersionNotRead", RunStep::kCheckVersion, IDS_VERSION_FAILED,
     kError, kWarning, kReleased, kOpen},
    {RunReason::kNewestVersion, "NewestVersion", RunStep::kCheckVersion, IDS_NEWEST_VERSION,
     MessageTitle::VersionCheck, MessageIcon::Information, kReleased, kGone},
    {RunReason::kNotApplicable, "NotApplicable", RunStep::kCheckVersion, IDS_NOT_APPLICABLE,
     MessageTitle::VersionCheck, MessageIcon::Information, kReleased, kGone, true},
    {RunReason::kImagesInvalid, "ImagesInvalid", RunStep::kBuildImages, IDS_FAILED, kError,
     kWarning, kReleased, kGone},
    {RunReason::kEraseNotSent, "EraseNotSent", RunStep::kDownloadImages, IDS_FAILED, kError,
     kWarning, kReleased, kOpen},
    {RunReason::kTransferNotSent, "TransferNotSent", RunStep::kDownloadImages, IDS_FAILED, kError,
     kWarning, kReleased, kOpen},
    {RunReason::kImageNotSent, "ImageNotSent", RunStep::kDownloadImages, IDS_FAILED, kError,
     kWarning, kReleased, kOpen},
    {RunReason::kTimeBudgetExceeded, "TimeBudgetExceeded", RunStep::kDownloadImages, IDS_TIME_OUT,
     kError, kWarning, kReleased, kOpen},
    {RunReason::kVersionNotReadBack, "VersionNotReadBack", RunStep::kVerifyVersions, IDS_FAILED,
     kError, kWarning, kReleased, kGone},
    {RunReason::kVersionMismatch, "VersionMismatch", RunStep::kVerifyVersions, IDS_FAILED, kError,
     kWarning, kReleased, kGone},
    {RunReason::kReleaseNotSent, "ReleaseNotSent", RunStep::kReleasePrinter, IDS_FAILED, kError,
     kWarning, kReleasedByStep, kGone},
};

constexpr bool InReasonOrder() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (static_cast<size_t>(kRows[i].reason) != i) return false;
  }
  return true;
}
static_assert(InReasonOrder(), "one row per RunReason, in the enum's order");
static_assert(std::size(kRows) == static_cast<size_t>(RunReason::kReleaseNotSent) + 1,
              "a row for every RunReason");

// A value outside the enum cannot come from the procedure; it would end as a plain failure.
constexpr ReasonRow kUnknown = {RunReason::kImagesInvalid,
                                "Unknown",
                                RunStep::kOnDownload,
                                IDS_FAILED,
                                kError,
                                kWarning,
                                kReleased,
                                kGone};

}  // namespace

const char* Name(RunStep step) {
  switch (step) {
    case RunStep::kOnDownload:
      return "OnDownload";
    case RunStep::kCheckPrinterCount:
      return "CheckPrinterCount";
    case RunStep::kOpen:
      return "Open";
    case RunStep::kCheckPrinterStatus:
      return "CheckPrinterStatus";
    case RunStep::kSwitchToDownloadMode:
      return "SwitchToDownloadMode";
    case RunStep::kReopen:
      return "Reopen";
    case RunStep::kCheckVersion:
      return "CheckVersion";
    case RunStep::kBuildImages:
      return "BuildImages";
    case RunStep::kDownloadImages:
      return "DownloadImages";
    case RunStep::kVerifyVersions:
      return "VerifyVersions";
    case RunStep::kReleasePrinter:
      return "ReleasePrinter";
  }
  return "Unknown";
}

const ReasonRow& RowOf(RunReason reason) {
  const auto i = static_cast<size_t>(reason);
  return i < std::size(kRows) ? kRows[i] : kUnknown;
}

}  // namespace zmr
