#include <cstring>

#include "update/string_table.h"
#include "update/update_procedure.h"

namespace zmr {
namespace {

constexpr std::array<uint32_t, kImageCount> kLoadingLabel = {IDS_LOADING_DATA1, IDS_LOADING_DATA2,
                                                             IDS_LOADING_DATA3};
constexpr uint32_t kReleaseWaitMs = 2000;

}  // namespace

int CUpdateProcedure::DownloadImages(CPrinterPort& port, CProgressDlg& progress) {
  int result = kDownloadDone;
  bool ok = true;
  for (int i = 0; i < kImageCount && ok; ++i) {
    const ImageSlot& slot = images_.slots[i];
    if (slot.skip == -1) continue;
    const uint16_t type = kImages[i].type;
    progress.SetMessageId(kLoadingLabel[i]);
    ok = port.SendErase(type) != 0;
    if (!ok) break;
    PacedWait(kEraseWaitMs, &progress, kDefaultStepMs);
    ok = port.SendTransfer(type) != 0;
    if (!ok) break;
    ok = SendImageBlocks(port, slot.buffer.get(), slot.size, kImageBudgetMs, &progress, &result) !=
         0;
  }
  if (ok) return 1;  // still in download mode: verified and released by the caller

  ReleasePrinter(port);
  ShowMessage(result == kDownloadTimedOut ? IDS_TIME_OUT : IDS_FAILED, MessageTitle::Error,
              MessageIcon::Warning);
  return 0;
}

int CUpdateProcedure::SendImageBlocks(CPrinterPort& port, const uint8_t* data, uint32_t size,
                                      uint32_t budgetMs, CProgressDlg* progress, int* resultCode) {
  auto finish = [resultCode](int code, int ok) {
    if (resultCode) *resultCode = code;
    return ok;
  };
  if (data == nullptr && size > 0) return finish(kDownloadShortWrite, 0);

  // Every write goes out of this block, never out of the image itself.
  uint8_t scratch[kBlockSize];
  const uint32_t start = clock_.TickCount();
  const uint32_t full = size / kBlockSize;
  for (uint32_t i = 0; i < full; ++i) {
    std::memcpy(scratch, data + static_cast<size_t>(i) * kBlockSize, kBlockSize);
    if (port.Write(scratch, kBlockSize) != kBlockSize) return finish(kDownloadShortWrite, 0);
    // Tested after the block, so the block during which the budget ran out has gone out whole.
    if (clock_.TickCount() - start > budgetMs) return finish(kDownloadTimedOut, 0);
    if (progress) progress->AdvanceEstimate();
  }

  const uint32_t tail = size % kBlockSize;
  if (tail > 0) {
    // Zero-padded to the next multiple of 64 above the tail; never timed.
    std::memset(scratch, 0, sizeof scratch);
    std::memcpy(scratch, data + (size - tail), tail);
    const uint32_t length = (tail / kTailGranule) * kTailGranule + kTailGranule;
    if (port.Write(scratch, length) != length) return finish(kDownloadShortWrite, 0);
    if (progress) progress->AdvanceEstimate();
  }
  return finish(kDownloadDone, 1);
}

void CUpdateProcedure::PacedWait(uint32_t totalMs, CProgressDlg* progress, uint32_t stepMs) {
  if (progress == nullptr) {
    clock_.Sleep(totalMs);
    return;
  }
  if (stepMs == 0) stepMs = kDefaultStepMs;
  const uint32_t steps = totalMs / stepMs;  // the remainder is not waited
  if (steps == 0 || static_cast<int32_t>(steps) < 0) return;
  for (uint32_t i = 0; i < steps; ++i) {
    clock_.Sleep(stepMs);
    progress->AdvanceEstimate();
  }
}

int CUpdateProcedure::ReleasePrinter(CPrinterPort& port) {
  const int ok = port.LeaveDownloadMode();
  port.Close();
  clock_.Sleep(kReleaseWaitMs);  // no events are serviced here
  if (ok) downloadMode_ = false;
  return ok;
}

}  // namespace zmr
