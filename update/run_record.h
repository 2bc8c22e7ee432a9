// SPDX-License-Identifier: MIT
#pragma once
// The record of one run for the run log, built from what the procedure tells its observer: each
// step with its time and result, download mode entered and left, the versions and check sums the
// printer reported, and the outcome with the named reason of the step that stopped the run. No
// image bytes ever reach it. The program adds its own lines (which driver libraries, the sleep
// inhibitor) and writes the text out; nothing here touches a file.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "update/run_observer.h"

namespace zmr {

class RunRecord final : public RunObserver {
 public:
  // The first line of every record in the log begins with this.
  static constexpr const char* kStartMark = "== ";

  explicit RunRecord(Clock& clock) : clock_(clock) {}

  // The first line of the last record in `logTail` (the end of a log, from a line's start) when
  // that record has no outcome line, i.e. the run that wrote it was cut short; empty otherwise.
  static std::string UnfinishedRecord(const std::string& logTail);

  // A line of the program's own, stamped with the time since the run started (or 0.000 before).
  void Note(const std::string& text);

  void OnRunStarted(bool force) override;
  void OnDownloadModeEntered() override;
  void OnReleased(bool leaveSent) override;
  void OnStep(const StepRecord& step) override;
  void OnRunEnded(const RunResult& result, const DisplayFields& fields) override;

  // The lines so far, each ending in '\n'; every byte outside printable ASCII is written as \xNN,
  // so no text can forge a line (texts from the printer come escaped already).
  const std::string& Text() const { return text_; }
  bool Ended() const { return ended_; }
  // Forgets the lines, for the next run.
  void Clear();

 private:
  void Line(uint32_t atMs, const std::string& text);

  Clock& clock_;
  bool started_ = false;
  bool ended_ = false;
  uint32_t startTick_ = 0;
  std::string text_;
};

}  // namespace zmr
