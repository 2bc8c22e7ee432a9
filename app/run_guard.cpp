// SPDX-License-Identifier: MIT
#include "app/run_guard.h"

#include <cstdio>

#include "images/image_set.h"
#include "platform/dynamic_library.h"
#include "platform/run_log_file.h"
#include "update/run_reasons.h"
#include "update/string_table.h"
#include "update/version_text.h"

namespace zmr {
namespace {

// The waits in download mode after each step, as the procedure makes them: the mode switch
// (5 s), the reopen (0.1 s), the version gate (1.5 s), the download (its time weight), the
// verification (1 s), the release (2 s) and the last pause (0.5 s).
constexpr uint32_t kAfterDownloadMs = 1000 + 2000 + 500;

uint32_t DownloadMs(int fromImage) {
  int32_t weight = fromImage == 0 ? kBaseTimeWeight : 0;
  for (int i = fromImage; i < kImageCount; ++i) weight += kImages[i].timeWeight;
  return static_cast<uint32_t>(weight) * 100u;
}

std::string SignalName(int signal) {
  switch (signal) {
    case 1:
      return "SIGHUP";
    case 2:
      return "SIGINT";
    case 3:
      return "SIGQUIT";
    case 15:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

// A text for standard error with no control character in it (a path may hold anything).
std::string ForTerminal(std::string text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

std::string UsbTimeoutNotice(const driver_api::UsbTimeoutSetting& setting,
                             platform::Language language) {
  if (!setting.invalid || setting.name == nullptr) return {};
  // The value as it was set, escaped: the environment may hold any byte.
  return std::string(setting.name) + "=\"" + EscapedText(setting.text) + "\" " +
         LoadString(IDS_USB_TIMEOUT_INVALID, language);
}

void AddProgramHeader(RunGuard& guard, const std::string& program, const ImportedDriver& imported,
                      const CDriverLibrary& loaded) {
  guard.AddHeaderLine(platform::LocalTimeText() + "  " + program + " " + ZMR_VERSION);
  auto from = [](const void* entry) {
    const std::string path = platform::DynamicLibrary::PathOf(entry);
    return path.empty() ? std::string("(not loaded)") : path;
  };
  guard.AddHeaderLine("driver libTUsbPrIf (linked): " + from(imported.UsbGetDeviceNum.Address()));
  guard.AddHeaderLine("driver libZUsbXpIf (loaded by name): " + from(loaded.SetVenderID.Address()));
}

std::string InhibitorWhy(platform::Language language) {
  return LoadString(IDS_SHUTDOWN_REASON, language);
}

RunGuard::RunGuard(Clock& clock, Options options)
    : clock_(clock), options_(std::move(options)), record_(clock) {}

RunGuard::~RunGuard() {
  // A run cut short by an exception still gives the signals and the machine back.
  inhibitor_.reset();
  hold_.reset();
}

void RunGuard::SetRemaining(uint32_t ms) {
  endTick_ = clock_.TickCount() + ms;
}

void RunGuard::SayLogProblem(const std::string& problem) {
  if (logProblemSaid_) return;
  logProblemSaid_ = true;
  const std::string line = options_.program + ": " +
                           LoadString(IDS_RUN_LOG_NOT_WRITTEN, options_.language) + " " +
                           ForTerminal(problem) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void RunGuard::OpenLog() {
  log_.reset();
  if (options_.logPath.empty()) return;
  platform::RunLogFile::Opened opened = platform::RunLogFile::Open(options_.logPath, clock_);
  if (!opened.log) {
    SayLogProblem(opened.problem);
    return;
  }
  log_ = std::move(opened.log);
  bool first = true;
  for (size_t at = 0; at < header_.size();) {
    const size_t nl = header_.find('\n', at);
    const std::string line = header_.substr(at, nl - at);
    if (!log_->AppendLine((first ? RunRecord::kStartMark : "") + line)) break;
    first = false;
    at = nl + 1;
  }
  const std::string previous = RunRecord::UnfinishedRecord(opened.tail);
  if (!previous.empty()) {
    record_.Note("the previous record (" +
                 previous.substr(std::string(RunRecord::kStartMark).size()) +
                 ") has no outcome: that run was cut short (killed, crashed or lost power)");
  }
}

void RunGuard::Flush() {
  const std::string& text = record_.Text();
  while (flushed_ < text.size()) {
    const size_t nl = text.find('\n', flushed_);
    if (nl == std::string::npos) return;
    const std::string line = text.substr(flushed_, nl - flushed_);
    flushed_ = nl + 1;
    if (log_ && !log_->AppendLine(line)) {
      SayLogProblem(log_->Problem());
      log_.reset();
    }
  }
}

void RunGuard::OnRunStarted(bool force) {
  record_.Clear();
  flushed_ = 0;
  heldSignal_ = 0;
  logProblemSaid_ = false;
  writtenLog_.clear();
  record_.OnRunStarted(force);
  OpenLog();
  Flush();
}

void RunGuard::OnEnteringDownloadMode() {
  // From before the command: the printer may be in download mode as soon as it has gone out.
  SetRemaining(5000 + 100 + 1500 + DownloadMs(0) + kAfterDownloadMs);
  hold_ = platform::StopSignalHold::Begin([this](int signal) {
    if (!options_.onHeldSignal) return;
    const uint32_t left = endTick_.load() - clock_.TickCount();
    // A run that takes longer than it expected still says a little is left.
    const uint32_t seconds = static_cast<int32_t>(left) > 0 ? (left + 999) / 1000 : 1;
    options_.onHeldSignal(signal, seconds);
  });
  std::string problem;
  inhibitor_ =
      platform::SleepInhibitor::Take(kInhibitorWho, InhibitorWhy(options_.language), &problem);
  record_.Note(hold_ ? "stop requests held until the release"
                     : "stop requests cannot be held: an interruption would leave the printer in "
                       "download mode");
  record_.Note(inhibitor_ ? "sleep, shutdown and idle inhibited"
                          : "sleep and shutdown not inhibited: " + problem);
  Flush();
}

void RunGuard::OnDownloadModeEntered() {
  record_.OnDownloadModeEntered();
  SetRemaining(5000 + 100 + 1500 + DownloadMs(0) + kAfterDownloadMs);
  Flush();
}

void RunGuard::OnDownloadModeNotEntered() {
  EndHold();
  Flush();
}

void RunGuard::EndHold() {
  if (inhibitor_) {
    inhibitor_.reset();
    record_.Note("sleep and shutdown inhibitor released");
  }
  if (hold_) {
    heldSignal_ = hold_->Release();
    hold_.reset();
    if (heldSignal_ != 0) {
      record_.Note(SignalName(heldSignal_) + " arrived in download mode and was held until now");
    }
  }
}

void RunGuard::OnReleased(bool leaveSent) {
  record_.OnReleased(leaveSent);
  EndHold();
  Flush();
}

void RunGuard::OnStep(const StepRecord& step) {
  record_.OnStep(step);
  const std::string& name = step.step;
  const auto is = [&name](RunStep s) { return name == Name(s); };
  if (is(RunStep::kSwitchToDownloadMode)) {
    SetRemaining(100 + 1500 + DownloadMs(0) + kAfterDownloadMs);
  } else if (is(RunStep::kReopen)) {
    SetRemaining(1500 + DownloadMs(0) + kAfterDownloadMs);
  } else if (is(RunStep::kCheckVersion) || is(RunStep::kBuildImages)) {
    SetRemaining(DownloadMs(0) + kAfterDownloadMs);
  } else if (is(RunStep::kVerifyVersions)) {
    SetRemaining(2000 + 500);
  } else {
    for (int i = 0; i < kImageCount; ++i) {
      if (name == std::string(Name(RunStep::kDownloadImages)) + " " + kImages[i].label) {
        SetRemaining(DownloadMs(i + 1) + kAfterDownloadMs);
      }
    }
  }
  Flush();
}

void RunGuard::OnRunEnded(const RunResult& result, const DisplayFields& fields) {
  record_.OnRunEnded(result, fields);
  Flush();
  if (log_) {
    // A blank line between records, as the log has always had.
    if (log_->AppendLine("")) writtenLog_ = options_.logPath;
    log_.reset();
  }
}

}  // namespace zmr
