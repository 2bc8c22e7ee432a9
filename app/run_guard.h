// SPDX-License-Identifier: MIT
#pragma once
// What both programs wrap around a run: from just before the enter-download-mode command until the
// printer's release the requests to stop are held and the machine is kept from sleeping or
// shutting down; every run's record goes to the per-user run log line by line as the run goes. It
// observes the procedure (RunObserver) and uses the platform's services for the rest.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "driver_api/usb_timeout.h"
#include "link/driver_library.h"
#include "platform/clock.h"
#include "platform/run_log_file.h"
#include "platform/sleep_inhibitor.h"
#include "platform/stop_signals.h"
#include "platform/ui_language.h"
#include "update/run_record.h"

namespace zmr {

// Who holds the sleep inhibitor, and why, in the user's language.
inline constexpr const char* kInhibitorWho = "zmr470-update";
std::string InhibitorWhy(platform::Language language);

class RunGuard final : public RunObserver {
 public:
  struct Options {
    std::string program;  // "zmr470-update-cli"
    platform::Language language = platform::Language::English;
    // Told once per hold of the first stop request, with the signal and about how many seconds
    // the run still needs; called on another thread.
    std::function<void(int signal, uint32_t secondsLeft)> onHeldSignal;
    std::string logPath;  // the run log; empty: none is written
  };
  RunGuard(Clock& clock, Options options);
  ~RunGuard() override;

  // Lines of the log's header of every run: the program, which driver libraries were loaded
  // from where, a lock that could not be taken, a setting that is not used.
  void AddHeaderLine(const std::string& line) { header_ += line + "\n"; }

  void OnRunStarted(bool force) override;
  void OnEnteringDownloadMode() override;
  void OnDownloadModeEntered() override;
  void OnDownloadModeNotEntered() override;
  void OnReleased(bool leaveSent) override;
  void OnStep(const StepRecord& step) override;
  void OnRunEnded(const RunResult& result, const DisplayFields& fields) override;

  // The first stop request held during the last run (0 for none).
  int HeldSignal() const { return heldSignal_; }
  // Where the last record went; empty when it could not be written whole.
  const std::string& WrittenLog() const { return writtenLog_; }

 private:
  void SetRemaining(uint32_t ms);
  void EndHold();
  // Opens the log for this run and writes the header; says on standard error when it cannot.
  void OpenLog();
  // Appends the record's lines that are not in the log yet.
  void Flush();
  void SayLogProblem(const std::string& problem);

  Clock& clock_;
  Options options_;
  std::string header_;
  RunRecord record_;
  std::unique_ptr<platform::StopSignalHold> hold_;
  std::unique_ptr<platform::SleepInhibitor> inhibitor_;
  std::atomic<uint32_t> endTick_{0};  // when the run expects to release the printer
  int heldSignal_ = 0;
  std::unique_ptr<platform::RunLogFile> log_;  // open from the run's start to its end
  size_t flushed_ = 0;                         // bytes of the record's text in the log
  bool logProblemSaid_ = false;
  std::string writtenLog_;
};

// The line that says a ZMR470_USB_TIMEOUT_MS that is set is not used, in `language`; empty when
// the setting is fine or not set. The run log takes it in English.
std::string UsbTimeoutNotice(const driver_api::UsbTimeoutSetting& setting,
                             platform::Language language);

// The head of every record of a program: the time, the program and its version, and which driver
// libraries it uses and from where (the simulated printer's show as such by their folder).
void AddProgramHeader(RunGuard& guard, const std::string& program, const ImportedDriver& imported,
                      const CDriverLibrary& loaded);

}  // namespace zmr
