// SPDX-License-Identifier: MIT
#pragma once
// The logic of a progress window: range, position, percentage text, the time-based estimate and
// when the event queue is drained. The front end's window (ProgressWindow) only shows what it is
// told. While the window exists its owner (the main window) is disabled; it is enabled again before
// the window goes.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/ui_language.h"
#include "update/update_view.h"

namespace zmr {

class CProgressDlg {
 public:
  // captionId 0 stands for 104, which the string table does not have (empty caption).
  CProgressDlg(UpdateView& owner, Clock& clock, platform::Language language, uint32_t captionId);
  ~CProgressDlg();  // DestroyWindow when the window exists
  CProgressDlg(const CProgressDlg&) = delete;
  CProgressDlg& operator=(const CProgressDlg&) = delete;

  bool Create();
  void DestroyWindow();
  void SetMessage(const std::string& text);
  void SetMessageId(uint32_t stringId);
  void SetRange(int32_t lower, int32_t upper);
  int32_t SetPosition(int32_t position);  // drains events first; returns the previous position
  void StartEstimate(uint32_t startTick, uint32_t duration);
  void AdvanceEstimate();

  bool HasWindow() const { return window_ != nullptr; }
  int32_t Position() const { return position_; }

 private:
  void ReleaseOwner();
  void RefreshPercent(int32_t position);

  UpdateView& owner_;
  Clock& clock_;
  platform::Language language_;
  std::unique_ptr<ProgressWindow> window_;  // null while no window exists
  uint32_t captionId_;
  int32_t lower_ = 0;
  int32_t upper_ = 100;
  int32_t step_ = 10;
  bool ownerDisabled_ = false;
  uint32_t estimateStart_ = 0;
  uint32_t estimateDuration_ = 0;
  int32_t position_ = 0;
};

// "%d%c" of the percentage of position in lower..upper, 100 kept and anything else taken
// modulo 100 ("100%", 150 of 0..100 gives "50%").
std::string FormatPercent(int32_t position, int32_t lower, int32_t upper);

}  // namespace zmr
