// SPDX-License-Identifier: MIT
#pragma once
// How the last press of Download ended: the closing message and, when it was not "Success!", the
// named reason of the step that stopped the run with what that step knew (the failing object's
// named code, the image and block). Front ends show or log it; the procedure keeps the last one.
#include <cstdint>
#include <string>

namespace zmr {

// Each has one row (step, message, what happens before the box) in update/run_reasons.cpp, in
// this order; kReleaseNotSent stays the last.
enum class RunReason {
  kSuccess,
  kNoPrinter,            // CheckPrinterCount: none attached
  kTwoOrMorePrinters,    // CheckPrinterCount
  kOpenFailed,           // opening the pipes
  kStatusNotRead,        // CheckPrinterStatus: the status query failed
  kStillBusy,            // CheckPrinterStatus: busy 10 s after the wake command
  kPrinting,             // CheckPrinterStatus
  kPrinterError,         // CheckPrinterStatus
  kModeSwitchNotSent,    // SwitchToDownloadMode
  kReopenFailed,         // reopening after the mode switch
  kPrinterCountChanged,  // after the reopen, not exactly one printer is attached
  kVersionNotRead,       // CheckVersion
  kNewestVersion,        // CheckVersion: DATA1 is the tool's own version
  kNotApplicable,        // CheckVersion: DATA1 is not in the accepted-versions table
  kImagesInvalid,        // BuildImages
  kEraseNotSent,         // DownloadImages
  kTransferNotSent,      // DownloadImages
  kImageNotSent,         // DownloadImages: a block write failed or was short
  kTimeBudgetExceeded,   // DownloadImages
  kVersionNotReadBack,   // VerifyVersions
  kVersionMismatch,      // VerifyVersions: a version or check sum differs from the own
  kReleaseNotSent,       // ReleasePrinter after a verified download: the leave-download-mode
                         // command was not written, so the printer needs a power cycle
};

// Both from the reason's row (update/run_reasons.h).
const char* Name(RunReason reason);    // "NoPrinter", ...
const char* StepOf(RunReason reason);  // the step that stops with it: "CheckPrinterCount", ...

struct RunResult {
  uint32_t messageId = 0;  // the closing message; 0 until the run has shown one
  RunReason reason = RunReason::kSuccess;
  std::string detail;  // e.g. "DATA2(T) block 7 of 101: port TransferFailed (101)"; may be empty
};

}  // namespace zmr
