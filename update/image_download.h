// SPDX-License-Identifier: MIT
#pragma once
// The image download's parts that need no procedure: the block transfer of one image and the
// paced wait. CUpdateProcedure::DownloadImages and CUpdateProcedure::ReleasePrinter
// (image_download.cpp) put them together with the erase and transfer commands.
#include <cstdint>

#include "link/printer_port.h"
#include "platform/clock.h"
#include "update/progress_dlg.h"

namespace zmr {

inline constexpr uint32_t kBlockSize = 4096;
inline constexpr uint32_t kTailGranule = 64;
inline constexpr uint32_t kImageBudgetMs = 120000;
inline constexpr uint32_t kEraseWaitMs = 10000;
inline constexpr uint32_t kDefaultStepMs = 100;

// How the block transfer of one image ended; the numbers are the ones the system keeps.
enum class DownloadResult : int {
  kDone = 0,
  kTimedOut = 2,     // the image's time budget ran out
  kShortWrite = 101  // a write failed or moved fewer bytes than the block
};
const char* Name(DownloadResult result);  // "Done", "TimedOut", "ShortWrite"

// Where a block transfer stopped: the block it was in (counted from 1, the tail counting as one
// block; 0 when the image has none) and how many blocks the image takes. After a failure the
// block is the one that was not written whole, or the one during which the budget ran out (and
// which went out whole); after success it is the last.
struct BlockPosition {
  uint32_t block = 0;
  uint32_t blocks = 0;
};

// The number of writes an image of `size` bytes takes: its whole blocks and the tail, if any.
uint32_t BlockCount(uint32_t size);

// Sends `size` bytes of `data` in 4096-byte blocks and a tail zero-padded to the next multiple of
// 64 above it. The budget is tested after each whole block, never after the tail. Each block
// advances the progress window's estimate (when there is one). Stores where it stopped in
// `stoppedAt` when given one.
[[nodiscard]] DownloadResult SendImageBlocks(CPrinterPort& port, Clock& clock, const uint8_t* data,
                                             uint32_t size, uint32_t budgetMs,
                                             CProgressDlg* progress,
                                             BlockPosition* stoppedAt = nullptr);

// Waits totalMs: in whole steps of stepMs (0 stands for 100; the remainder is not waited), each
// advancing the progress window's estimate; at once when there is no window.
void PacedWait(Clock& clock, uint32_t totalMs, CProgressDlg* progress,
               uint32_t stepMs = kDefaultStepMs);

}  // namespace zmr
