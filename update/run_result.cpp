// SPDX-License-Identifier: MIT
#include "update/run_result.h"

namespace zmr {
namespace {

struct ReasonInfo {
  const char* name;
  const char* step;
};

ReasonInfo Info(RunReason reason) {
  switch (reason) {
    case RunReason::kSuccess:
      return {"Success", "OnDownload"};
    case RunReason::kNoPrinter:
      return {"NoPrinter", "CheckPrinterCount"};
    case RunReason::kTwoOrMorePrinters:
      return {"TwoOrMorePrinters", "CheckPrinterCount"};
    case RunReason::kOpenFailed:
      return {"OpenFailed", "Open"};
    case RunReason::kStatusNotRead:
      return {"StatusNotRead", "CheckPrinterStatus"};
    case RunReason::kStillBusy:
      return {"StillBusy", "CheckPrinterStatus"};
    case RunReason::kPrinting:
      return {"Printing", "CheckPrinterStatus"};
    case RunReason::kPrinterError:
      return {"PrinterError", "CheckPrinterStatus"};
    case RunReason::kModeSwitchNotSent:
      return {"ModeSwitchNotSent", "SwitchToDownloadMode"};
    case RunReason::kReopenFailed:
      return {"ReopenFailed", "Reopen"};
    case RunReason::kPrinterCountChanged:
      return {"PrinterCountChanged", "Reopen"};
    case RunReason::kVersionNotRead:
      return {"VersionNotRead", "CheckVersion"};
    case RunReason::kNewestVersion:
      return {"NewestVersion", "CheckVersion"};
    case RunReason::kNotApplicable:
      return {"NotApplicable", "CheckVersion"};
    case RunReason::kImagesInvalid:
      return {"ImagesInvalid", "BuildImages"};
    case RunReason::kEraseNotSent:
      return {"EraseNotSent", "DownloadImages"};
    case RunReason::kTransferNotSent:
      return {"TransferNotSent", "DownloadImages"};
    case RunReason::kImageNotSent:
      return {"ImageNotSent", "DownloadImages"};
    case RunReason::kTimeBudgetExceeded:
      return {"TimeBudgetExceeded", "DownloadImages"};
    case RunReason::kVersionNotReadBack:
      return {"VersionNotReadBack", "VerifyVersions"};
    case RunReason::kVersionMismatch:
      return {"VersionMismatch", "VerifyVersions"};
    case RunReason::kReleaseNotSent:
      return {"ReleaseNotSent", "ReleasePrinter"};
  }
  return {"Unknown", "Unknown"};
}

}  // namespace

const char* Name(RunReason reason) {
  return Info(reason).name;
}

const char* StepOf(RunReason reason) {
  return Info(reason).step;
}

}  // namespace zmr
