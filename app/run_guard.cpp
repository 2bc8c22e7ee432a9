// SPDX-License-Identifier: MIT
#include "app/run_guard.h"

#include "images/image_set.h"
#include "platform/dynamic_library.h"
#include "platform/run_log_file.h"

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
    case 15:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

}  // namespace

void AddProgramHeader(RunGuard& guard, const std::string& program, const ImportedDriver& imported,
                      const CDriverLibrary& loaded) {
  guard.AddHeaderLine(platform::LocalTimeText() + "  " + program + " " + ZMR_VERSION);
  auto from = [](const void* entry) {
    const std::string path = platform::DynamicLibrary::PathOf(entry);
    return path.empty() ? std::string("(not loaded)") : path;
  };
  guard.AddHeaderLine("driver libTUsbPrIf (linked): " +
                      from(reinterpret_cast<const void*>(imported.UsbGetDeviceNum)));
  guard.AddHeaderLine("driver libZUsbXpIf (loaded by name): " +
                      from(reinterpret_cast<const void*>(loaded.SetVenderID)));
}

const char* InhibitorWhy(platform::Language language) {
  return language == platform::Language::Japanese
             ? "プリンターを更新しています。コンピューターの電源を切らないでください。"
             : "Updating the printer. Do not turn off the computer.";
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

void RunGuard::OnRunStarted(bool force) {
  record_.Clear();
  heldSignal_ = 0;
  record_.OnRunStarted(force);
}

void RunGuard::OnDownloadModeEntered() {
  record_.OnDownloadModeEntered();
  SetRemaining(5000 + 100 + 1500 + DownloadMs(0) + kAfterDownloadMs);
  hold_ = platform::StopSignalHold::Begin([this](int signal) {
    if (!options_.onHeldSignal) return;
    const uint32_t left = endTick_.load() - clock_.TickCount();
    // A run that takes longer than it expected still says a little is left.
    const uint32_t seconds = static_cast<int32_t>(left) > 0 ? (left + 999) / 1000 : 1;
    options_.onHeldSignal(signal, seconds);
  });
  record_.Note(hold_ ? "stop requests held until the release"
                     : "stop requests cannot be held: an interruption would leave the printer in "
                       "download mode");
  std::string problem;
  inhibitor_ =
      platform::SleepInhibitor::Take(kInhibitorWho, InhibitorWhy(options_.language), &problem);
  record_.Note(inhibitor_ ? "sleep, shutdown and idle inhibited"
                          : "sleep and shutdown not inhibited: " + problem);
}

void RunGuard::OnReleased(bool leaveSent) {
  record_.OnReleased(leaveSent);
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

void RunGuard::OnStep(const StepRecord& step) {
  record_.OnStep(step);
  const std::string& name = step.step;
  if (name == "SwitchToDownloadMode") {
    SetRemaining(100 + 1500 + DownloadMs(0) + kAfterDownloadMs);
  } else if (name == "Reopen") {
    SetRemaining(1500 + DownloadMs(0) + kAfterDownloadMs);
  } else if (name == "CheckVersion" || name == "BuildImages") {
    SetRemaining(DownloadMs(0) + kAfterDownloadMs);
  } else if (name == "VerifyVersions") {
    SetRemaining(2000 + 500);
  } else {
    for (int i = 0; i < kImageCount; ++i) {
      if (name == std::string("DownloadImages ") + kImages[i].label) {
        SetRemaining(DownloadMs(i + 1) + kAfterDownloadMs);
      }
    }
  }
}

void RunGuard::OnRunEnded(const RunResult& result, const DisplayFields& fields) {
  record_.OnRunEnded(result, fields);
  writtenLog_.clear();
  if (options_.logPath.empty()) return;
  const std::string text = "== " + header_ + record_.Text() + "\n";
  if (platform::AppendRunLog(options_.logPath, text)) writtenLog_ = options_.logPath;
}

}  // namespace zmr
