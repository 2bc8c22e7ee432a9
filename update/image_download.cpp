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
  DownloadResult result = DownloadResult::kDone;
  bool ok = true;
  for (int i = 0; i < kImageCount && ok; ++i) {
    const ImageSlot& slot = images_.slots[i];
    if (!slot.IsCarried()) continue;
    const uint16_t type = kImages[i].type;
    const std::string image = kImages[i].label;
    progress.SetMessageId(kLoadingLabel[i]);
    if (!port.SendErase(type)) {
      Fail(RunReason::kEraseNotSent, image + ": " + PortErrorText(port));
      ok = false;
      break;
    }
    PacedWait(clock_, kEraseWaitMs, &progress, kDefaultStepMs);
    if (!port.SendTransfer(type)) {
      Fail(RunReason::kTransferNotSent, image + ": " + PortErrorText(port));
      ok = false;
      break;
    }
    result = SendImageBlocks(port, clock_, slot.buffer.get(), slot.size, kImageBudgetMs, &progress);
    if (result == DownloadResult::kTimedOut) {
      Fail(RunReason::kTimeBudgetExceeded, image + ": more than 120 s");
      ok = false;
    } else if (result != DownloadResult::kDone) {
      Fail(RunReason::kImageNotSent, image + ": " + Name(result) + ", " + PortErrorText(port));
      ok = false;
    } else {
      Step("DownloadImages " + image, true, std::to_string(slot.size) + " bytes");
    }
  }
  if (ok) return 1;
  Step("DownloadImages", false);  // still in download mode: verified and released by the caller

  ReleasePrinter(port);
  ShowMessage(result == DownloadResult::kTimedOut ? IDS_TIME_OUT : IDS_FAILED, MessageTitle::Error,
              MessageIcon::Warning);
  return 0;
}

DownloadResult SendImageBlocks(CPrinterPort& port, Clock& clock, const uint8_t* data, uint32_t size,
                               uint32_t budgetMs, CProgressDlg* progress) {
  if (data == nullptr && size > 0) return DownloadResult::kShortWrite;

  // Every write goes out of this block, never out of the image itself.
  uint8_t scratch[kBlockSize];
  const uint32_t start = clock.TickCount();
  const uint32_t full = size / kBlockSize;
  for (uint32_t i = 0; i < full; ++i) {
    std::memcpy(scratch, data + static_cast<size_t>(i) * kBlockSize, kBlockSize);
    if (port.Write(scratch, kBlockSize) != kBlockSize) return DownloadResult::kShortWrite;
    // Tested after the block, so the block during which the budget ran out has gone out whole.
    if (clock.TickCount() - start > budgetMs) return DownloadResult::kTimedOut;
    if (progress) progress->AdvanceEstimate();
  }

  const uint32_t tail = size % kBlockSize;
  if (tail > 0) {
    // Zero-padded to the next multiple of 64 above the tail; never timed.
    std::memset(scratch, 0, sizeof scratch);
    std::memcpy(scratch, data + (size - tail), tail);
    const uint32_t length = (tail / kTailGranule) * kTailGranule + kTailGranule;
    if (port.Write(scratch, length) != length) return DownloadResult::kShortWrite;
    if (progress) progress->AdvanceEstimate();
  }
  return DownloadResult::kDone;
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
  Step("ReleasePrinter", ok != 0, ok ? std::string() : PortErrorText(port));
  NoteReleased(ok != 0);
  return ok;
}

}  // namespace zmr
