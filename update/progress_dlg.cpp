// SPDX-License-Identifier: MIT
#include "update/progress_dlg.h"

#include <cstdio>

#include "update/string_table.h"

namespace zmr {
namespace {

// The caption a window gets when constructed with 0; the table has no such entry.
constexpr uint32_t kDefaultCaptionId = 104;

}  // namespace

std::string FormatPercent(int32_t position, int32_t lower, int32_t upper) {
  // 32-bit signed arithmetic that wraps like the machine's, without undefined behaviour.
  const auto product =
      static_cast<int32_t>((static_cast<uint32_t>(position) - static_cast<uint32_t>(lower)) * 100u);
  const auto span =
      static_cast<int32_t>(static_cast<uint32_t>(upper) - static_cast<uint32_t>(lower));
  int32_t percent = 0;
  if (span == -1) {
    percent = static_cast<int32_t>(0u - static_cast<uint32_t>(product));
  } else if (span != 0) {  // equal bounds have no percentage; show 0 rather than fault
    percent = product / span;
  }
  if (percent != 100) percent %= 100;
  char text[16];
  std::snprintf(text, sizeof text, "%d%c", static_cast<int>(percent), '%');
  return text;
}

CProgressDlg::CProgressDlg(UpdateView& owner, Clock& clock, platform::Language language,
                           uint32_t captionId)
    : owner_(owner),
      clock_(clock),
      language_(language),
      captionId_(captionId == 0 ? kDefaultCaptionId : captionId) {}

CProgressDlg::~CProgressDlg() {
  if (window_) DestroyWindow();
}

bool CProgressDlg::Create() {
  if (window_) return true;
  if (owner_.IsWindowEnabled()) {
    owner_.EnableWindow(false);
    ownerDisabled_ = true;
  }
  std::unique_ptr<ProgressWindow> window = owner_.MakeProgressWindow();
  if (!window || !window->Create()) {
    ReleaseOwner();
    return false;
  }
  window_ = std::move(window);
  // What the window does as it initialises: bar range, step and position, then the caption.
  window_->SetBarRange(lower_, upper_);
  window_->SetBarStep(step_);
  window_->SetBarPosition(lower_);
  position_ = lower_;
  window_->SetCaption(LoadString(captionId_, language_));
  return true;
}

void CProgressDlg::ReleaseOwner() {
  if (ownerDisabled_) owner_.EnableWindow(true);
  ownerDisabled_ = false;
}

void CProgressDlg::DestroyWindow() {
  // The owner comes back before the window goes, so focus returns to the main window.
  ReleaseOwner();
  if (!window_) return;
  std::unique_ptr<ProgressWindow> window = std::move(window_);
  window->Destroy();
}

void CProgressDlg::SetMessage(const std::string& text) {
  if (window_) window_->SetMessage(text);
}

void CProgressDlg::SetMessageId(uint32_t stringId) {
  SetMessage(LoadString(stringId, language_));
}

void CProgressDlg::SetRange(int32_t lower, int32_t upper) {
  lower_ = lower;
  upper_ = upper;
  if (window_) window_->SetBarRange(lower, upper);
}

int32_t CProgressDlg::SetPosition(int32_t position) {
  const int32_t previous = position_;
  position_ = position;
  if (!window_) return previous;
  // The only place where the event queue is serviced during a run.
  window_->DrainEvents();
  const int32_t barPrevious = window_->SetBarPosition(position);
  RefreshPercent(position);
  return barPrevious;
}

void CProgressDlg::RefreshPercent(int32_t position) {
  if (!window_) return;
  const std::string text = FormatPercent(position, lower_, upper_);
  if (window_->PercentText() != text) window_->SetPercentText(text);
}

void CProgressDlg::StartEstimate(uint32_t startTick, uint32_t duration) {
  estimateStart_ = startTick;
  estimateDuration_ = duration;
}

void CProgressDlg::AdvanceEstimate() {
  if (estimateDuration_ == 0) return;
  const uint32_t elapsed = clock_.TickCount() - estimateStart_;
  const uint32_t percent = (elapsed * 100u) / estimateDuration_;
  // Below 100 only: the time-based bar never reaches the end by itself.
  if (static_cast<int32_t>(percent) < 100) SetPosition(static_cast<int32_t>(percent));
}

}  // namespace zmr
