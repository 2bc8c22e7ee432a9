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
  // Makes no window yet. captionId 0 stands for 104, which the string table does not have (empty
  // caption). The owner and the clock outlive the object.
  CProgressDlg(UpdateView& owner, Clock& clock, platform::Language language, uint32_t captionId);
  ~CProgressDlg();  // DestroyWindow when the window exists
  CProgressDlg(const CProgressDlg&) = delete;
  CProgressDlg& operator=(const CProgressDlg&) = delete;

  // Disables the owner (when it is enabled), asks it for a window and shows it with the range,
  // step and position set and the caption loaded. True at once when a window already exists;
  // false when none can be made, with the owner enabled again and every later call harmless.
  bool Create();
  // Enables the owner again (when Create disabled it) and then closes the window; harmless when
  // there is none.
  void DestroyWindow();
  // The label above the bar: the text as given, or the string-table entry loaded now in the
  // window's language. Nothing without a window.
  void SetMessage(const std::string& text);
  void SetMessageId(uint32_t stringId);
  // The bar's range, kept for the percentage and for a window made later.
  void SetRange(int32_t lower, int32_t upper);
  // Services the window's pending events (DrainEvents), moves the bar and refreshes the
  // percentage. Returns the bar's previous position, or without a window the previous
  // Position() (nothing is serviced then).
  int32_t SetPosition(int32_t position);
  // Starts the time estimate: AdvanceEstimate measures from startTick over `duration` ms.
  void StartEstimate(uint32_t startTick, uint32_t duration);
  // Sets the position to the elapsed share of the estimate's duration (in percent) while that is
  // below 100, through SetPosition (so it services events); changes nothing once it is 100 or
  // more, or before StartEstimate (duration 0).
  void AdvanceEstimate();

  // Whether a window is shown now.
  bool HasWindow() const { return window_ != nullptr; }
  // The last position set (the range's lower end when the window was made), window or not.
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
