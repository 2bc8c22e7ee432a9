// SPDX-License-Identifier: MIT
#include "update/image_download.h"

#include <cstring>
#include <string>

#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

constexpr std::array<uint32_t, kImageCount> kLoadingLabel = {IDS_LOADING_DATA1, IDS_LOADING_DATA2,
                                                             IDS_LOADING_DATA3};
constexpr uint32_t kReleaseWaitMs = 2000;

}  // namespace

const char* Name(DownloadResult result) {
  switch (result) {
    case DownloadResult::kDone:
      return "Done";
    case DownloadResult::kTimedOut:
      return "TimedOut";
    case DownloadResult::kShortWrite:
      return "ShortWrite";
  }
  return "Unknown";
}

int CUpdateProcedure::BuildImages() {
  return images_.BuildImages();
}

int CUpdateProcedure::DownloadImages(CPrinterPort& port, CProgressDlg& progress) {
  // A failure stops the whole download: the rest of the image and every later one are not sent.
  for (int i = 0; i < kImageCount; ++i) {
    const ImageSlot& slot = images_.slots[i];
    if (!slot.IsCarried()) continue;
    const uint16_t type = kImages[i].type;
    const std::string image = kImages[i].label;
    progress.SetMessageId(kLoadingLabel[i]);
    if (!port.SendErase(type)) {
      return Stop(port, RunReason::kEraseNotSent, image + ": " + PortErrorText(port));
    }
    PacedWait(clock_, kEraseWaitMs, &progress, kDefaultStepMs);
    if (!port.SendTransfer(type)) {
      return Stop(port, RunReason::kTransferNotSent, image + ": " + PortErrorText(port));
    }
    BlockPosition at;
    const DownloadResult result =
        SendImageBlocks(port, clock_, slot.buffer.get(), slot.size, kImageBudgetMs, &progress, &at);
    const std::string where =
        image + " block " + std::to_string(at.block) + " of " + std::to_string(at.blocks);
    if (result == DownloadResult::kTimedOut) {
      return Stop(port, RunReason::kTimeBudgetExceeded,
                  where + ": more than " + std::to_string(kImageBudgetMs / 1000) + " s");
    }
    if (result != DownloadResult::kDone) {
      return Stop(port, RunReason::kImageNotSent, where + ": " + PortErrorText(port));
    }
    Step(RunStep::kDownloadImages, true, std::to_string(slot.size) + " bytes", kImages[i].label);
  }
  // Still in download mode: verified and released by the caller.
  return 1;
}

uint32_t BlockCount(uint32_t size) {
  return size / kBlockSize + (size % kBlockSize > 0 ? 1 : 0);
}

DownloadResult SendImageBlocks(CPrinterPort& port, Clock& clock, const uint8_t* data, uint32_t size,
                               uint32_t budgetMs, CProgressDlg* progress,
                               BlockPosition* stoppedAt) {
  BlockPosition at{0, BlockCount(size)};
  // Tells where the transfer stopped, whichever way it ends.
  auto end = [&](DownloadResult result) {
    if (stoppedAt) *stoppedAt = at;
    return result;
  };
  if (data == nullptr && size > 0) {
    at.block = 1;
    return end(DownloadResult::kShortWrite);
  }

  // Every write goes out of this block, never out of the image itself.
  uint8_t scratch[kBlockSize];
  const uint32_t start = clock.TickCount();
  const uint32_t full = size / kBlockSize;
  for (uint32_t i = 0; i < full; ++i) {
    at.block = i + 1;
    std::memcpy(scratch, data + static_cast<size_t>(i) * kBlockSize, kBlockSize);
    if (port.Write(scratch, kBlockSize) != kBlockSize) return end(DownloadResult::kShortWrite);
    // Tested after the block, so the block during which the budget ran out has gone out whole.
    if (clock.TickCount() - start > budgetMs) return end(DownloadResult::kTimedOut);
    if (progress) progress->AdvanceEstimate();
  }

  const uint32_t tail = size % kBlockSize;
  if (tail > 0) {
    at.block = full + 1;
    // Zero-padded to the next multiple of 64 above the tail; never timed.
    std::memset(scratch, 0, sizeof scratch);
    std::memcpy(scratch, data + (size - tail), tail);
    const uint32_t length = (tail / kTailGranule) * kTailGranule + kTailGranule;
    if (port.Write(scratch, length) != length) return end(DownloadResult::kShortWrite);
    if (progress) progress->AdvanceEstimate();
  }
  return end(DownloadResult::kDone);
}

void PacedWait(Clock& clock, uint32_t totalMs, CProgressDlg* progress, uint32_t stepMs) {
  if (progress == nullptr) {
    clock.Sleep(totalMs);
    return;
  }
  if (stepMs == 0) stepMs = kDefaultStepMs;
  const uint32_t steps = totalMs / stepMs;  // the remainder is not waited
  if (steps == 0 || static_cast<int32_t>(steps) < 0) return;
  for (uint32_t i = 0; i < steps; ++i) {
    clock.Sleep(stepMs);
    progress->AdvanceEstimate();
  }
}

int CUpdateProcedure::ReleasePrinter(CPrinterPort& port) {
  const int ok = port.LeaveDownloadMode();
  port.Close();
  clock_.Sleep(kReleaseWaitMs);  // no events are serviced here
  if (ok) downloadMode_ = false;
  Step(RunStep::kReleasePrinter, ok != 0, ok ? std::string() : PortErrorText(port));
  NoteReleased(ok != 0);
  return ok;
}

}  // namespace zmr
