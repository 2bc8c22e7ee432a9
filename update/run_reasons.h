// SPDX-License-Identifier: MIT
#pragma once
// One row per way a run ends: the step that ends it, the closing message with its title and icon,
// and what the procedure does before the box goes up (release the printer or not, delete the
// progress window or leave the box over it). CUpdateProcedure::Stop reads the row; a step that
// stops names only its reason and what it knew. A new failure is one row here, its RunReason, and
// the line in the step that stops with it.
#include <cstdint>

#include "update/run_result.h"
#include "update/string_table.h"

namespace zmr {

// The steps of a run, by the names the observer's records and the run log give them.
enum class RunStep {
  kOnDownload,  // the press as a whole (the step of a success)
  kCheckPrinterCount,
  kOpen,
  kCheckPrinterStatus,
  kSwitchToDownloadMode,
  kReopen,
  kCheckVersion,
  kBuildImages,
  kDownloadImages,  // each image's end is told as "DownloadImages DATA1(M)", ...
  kVerifyVersions,
  kReleasePrinter,
};
const char* Name(RunStep step);  // "OnDownload", "CheckPrinterCount", ...

// What happens to the printer before the box goes up.
enum class PrinterAtBox {
  kNotInDownloadMode,  // nothing to release: the printer never left normal mode
  kReleased,           // ReleasePrinter, then the box
  kUnreachable,        // no connection after the mode switch: nothing more is sent, the
                       // download-mode flag is cleared and the observer told it was not released
  kReleasedByStep,     // the step itself has sent (or tried) the release and told its record
};

// Where the step's progress window is while the box is up.
enum class WindowAtBox {
  kGone,  // deleted before the box (or there is none)
  kOpen,  // the box is shown over it; its owner deletes it when the box has been closed
};

struct ReasonRow {
  RunReason reason;
  const char* name;  // "NoPrinter", ...
  RunStep step;      // the step that stops with it
  uint32_t messageId;
  MessageTitle title;
  MessageIcon icon;
  PrinterAtBox printer;
  WindowAtBox window;
  // The message is a format of the printer's DATA1 version (%s) and check sum (%04X).
  bool quotesData1 = false;
};

// The row of `reason`; every RunReason has one.
const ReasonRow& RowOf(RunReason reason);

}  // namespace zmr
