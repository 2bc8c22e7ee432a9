// SPDX-License-Identifier: MIT
#pragma once
// What a front end may learn about a run while it goes on, beyond the view: when the printer is
// in download mode (and so must not be abandoned), each step as it ends, and the run's end. The
// programs hang their protection (held signals, the sleep inhibitor) and the run log on it; the
// procedure makes no OS call for them. Every call comes on the thread that runs the procedure;
// an observer must return promptly and must not call back into the procedure.
#include <cstdint>
#include <string>

#include "update/run_result.h"
#include "update/update_view.h"

namespace zmr {

// One step of a run as it ended: its name as the procedure calls it ("CheckPrinterStatus",
// "Reopen", "DownloadImages DATA2(T)", ...), whether it let the run go on, and what it saw
// (status bytes, versions, the named error). `atMs` is the clock's tick count at the end.
struct StepRecord {
  std::string step;
  bool ok = true;
  std::string detail;
  uint32_t atMs = 0;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // A press of Download starts (force mode as sampled).
  virtual void OnRunStarted(bool /*force*/) {}
  // The enter-download-mode command is about to be written: from here until OnReleased (or
  // OnDownloadModeNotEntered) nothing may end the process, as the printer may already be in
  // download mode when the write returns. Followed by exactly one of the next two.
  virtual void OnEnteringDownloadMode() {}
  // The enter-download-mode command was written (told at once, before the wait that follows it):
  // from here on the printer depends on the run.
  virtual void OnDownloadModeEntered() {}
  // The enter-download-mode command was not written: the printer stays in normal mode.
  virtual void OnDownloadModeNotEntered() {}
  // The run is done with the printer in download mode: the first release has been tried and its
  // wait is over (`leaveSent` tells whether the leave-download-mode command was written), or the
  // printer cannot be reached any more (the reopen failed; `leaveSent` false). Called exactly
  // once after each OnDownloadModeEntered, before the run's closing message.
  virtual void OnReleased(bool /*leaveSent*/) {}
  virtual void OnStep(const StepRecord& /*step*/) {}
  // The run has ended: its named result and the fields as it left them.
  virtual void OnRunEnded(const RunResult& /*result*/, const DisplayFields& /*fields*/) {}
};

// An observer that hands every call on to the next one (which may be null), for a front end's
// own part of the guard to sit in front of the program's observer: it overrides only the calls
// it acts on and calls these after its own work. A call that RunObserver gains is handed on here.
class ForwardingObserver : public RunObserver {
 public:
  explicit ForwardingObserver(RunObserver* next) : next_(next) {}

  void OnRunStarted(bool force) override {
    if (next_) next_->OnRunStarted(force);
  }
  void OnEnteringDownloadMode() override {
    if (next_) next_->OnEnteringDownloadMode();
  }
  void OnDownloadModeEntered() override {
    if (next_) next_->OnDownloadModeEntered();
  }
  void OnDownloadModeNotEntered() override {
    if (next_) next_->OnDownloadModeNotEntered();
  }
  void OnReleased(bool leaveSent) override {
    if (next_) next_->OnReleased(leaveSent);
  }
  void OnStep(const StepRecord& step) override {
    if (next_) next_->OnStep(step);
  }
  void OnRunEnded(const RunResult& result, const DisplayFields& fields) override {
    if (next_) next_->OnRunEnded(result, fields);
  }

 private:
  RunObserver* next_;
};

}  // namespace zmr
