// SPDX-License-Identifier: MIT
#include "update/update_procedure.h"

#include "link/status_query.h"
#include "protocol/status_report.h"
#include "update/image_download.h"
#include "update/string_table.h"

namespace zmr {
namespace {

constexpr uint32_t kModeSwitchWaitMs = 5000;
constexpr uint32_t kModeSwitchStepMs = 50;
constexpr uint32_t kReopenDelayMs = 100;
constexpr uint32_t kFinalPauseMs = 500;

// Marks the procedure as running for exactly as long as one press is being handled.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

// "state 00 40, unit1 000000000000, unit2 -": what the status gate decided on, in hexadecimal.
std::string StatusBytesText(const StatusReport& report) {
  auto hex = [](const uint8_t* bytes, size_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < n; ++i) {
      if (i > 0 && n == 2) text += ' ';
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 0xF];
    }
    return text;
  };
  return "state " + hex(report.stateBytes, 2) + ", unit1 " + hex(report.unit1Head, 6) + ", unit2 " +
         (HasSecondUnit(report) ? hex(report.unit2Head, 6) : std::string("-"));
}

}  // namespace

std::string VersionsText(const std::array<std::string, kImageCount>& versions,
                         const std::array<std::string, kImageCount>& checkSums) {
  std::string text;
  for (int i = 0; i < kImageCount; ++i) {
    if (versions[i].empty() && checkSums[i].empty()) continue;
    if (!text.empty()) text += ", ";
    // A version is the printer's bytes: anything but printable ASCII is shown as \xNN.
    std::string version;
    for (const char c : versions[i]) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 0x20 && u < 0x7F && c != '\\') {
        version += c;
      } else {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        version += std::string("\\x") + kDigits[u >> 4] + kDigits[u & 0xF];
      }
    }
    text += std::string(kImages[i].label) + " " + version + " / " + checkSums[i];
  }
  return text;
}

std::string PortErrorText(const CPrinterPort& port) {
  return std::string("port ") + Name(port.ErrorCode()) + " (" +
         std::to_string(static_cast<int>(port.ErrorCode())) + ")";
}

CUpdateProcedure::CUpdateProcedure(UpdateView& view, const UpdateContext& context)
    : view_(view),
      clock_(context.clock),
      keys_(context.keys),
      imported_(context.imported),
      loaded_(context.loaded),
      language_(context.language),
      images_(context.images),
      observer_(context.observer) {
  for (ImageSlot& slot : images_.slots) slot.skip = 0;
  images_.totalTimeWeight = 0;
  images_.SetOwnVersions();
}

void CUpdateProcedure::OnDownload() {
  if (running_) return;  // a press from inside a drained event never starts a second run
  RunningFlag running(running_);

  // Shift first; K is only looked at while Shift is down.
  const bool force = keys_.IsDown(platform::Key::Shift) && keys_.IsDown(platform::Key::K);
  view_.EnableDownloadButton(false);
  images_.totalTimeWeight = 0;
  fields_ = DisplayFields{};
  view_.RefreshFields(fields_);
  downloadMode_ = false;
  releaseOwed_ = false;
  lastRun_ = RunResult{};
  if (observer_) observer_->OnRunStarted(force);

  auto port = std::make_unique<CPrinterPort>(imported_, loaded_, clock_);
  std::unique_ptr<CProgressDlg> download;
  if (!RunUpdate(*port, force, download)) {
    // The common exit shows no message of its own: the step that stopped has shown one.
    if (downloadMode_) ReleasePrinter(*port);
    download.reset();
    FreeImages();
  }
  NoteReleased(false);  // only when no release was ever tried (it never is after a message)
  view_.EnableDownloadButton(true);
  view_.FocusDownloadButton();
  port.reset();
  if (observer_) observer_->OnRunEnded(lastRun_, fields_);
}

bool CUpdateProcedure::RunUpdate(CPrinterPort& port, bool force,
                                 std::unique_ptr<CProgressDlg>& download) {
  if (!CheckPrinterCount(port)) return false;
  if (!port.Open()) {
    Fail(RunReason::kOpenFailed, PortErrorText(port));
    Step("Open", false);
    ShowMessage(IDS_NOT_CONNECTED, MessageTitle::Error, MessageIcon::Warning);
    return false;
  }
  Step("Open", true, port.DriverPath() == 0 ? "by index" : "by device path");
  if (!force && !CheckPrinterStatus(port)) return false;
  if (!SwitchToDownloadMode(port)) return false;
  downloadMode_ = true;
  NoteDownloadModeEntered();

  // The printer comes back as a new device in download mode: look it up afresh.
  port.Close();
  port.ClearDevicePath();
  clock_.Sleep(kReopenDelayMs);
  bool reopened = port.Open() != 0;
  if (!reopened) {
    Fail(RunReason::kReopenFailed, PortErrorText(port));
  } else if (const int count = port.GetPrinterCount(); count != 1) {
    // What was opened may be another printer plugged in during the switch: send it nothing.
    port.Close();
    Fail(RunReason::kPrinterCountChanged, std::to_string(count) + " found after the reopen");
    reopened = false;
  }
  if (!reopened) {
    // Nothing more can reach the printer; the message asks for a power cycle.
    Step("Reopen", false);
    downloadMode_ = false;
    NoteReleased(false);
    ShowMessage(IDS_NOT_CONNECTED, MessageTitle::Error, MessageIcon::Warning);
    return false;
  }
  Step("Reopen", true, port.DriverPath() == 0 ? "by index" : "by device path");

  if (!force && !CheckVersion(port)) return false;
  if (!BuildImages()) {
    Fail(RunReason::kImagesInvalid);
    Step("BuildImages", false);
    ReleasePrinter(port);
    ShowMessage(IDS_FAILED, MessageTitle::Error, MessageIcon::Warning);
    return false;
  }
  Step("BuildImages", true);

  download = ShowProgress(IDS_UPGRADE);
  download->StartEstimate(clock_.TickCount(),
                          static_cast<uint32_t>(images_.totalTimeWeight) * 100u);
  const int sent = DownloadImages(port, *download);
  FreeImages();
  if (!sent) return false;  // released and reported by the download

  const int verified = VerifyVersions(port, download.get());
  Step("VerifyVersions", verified != 0, VersionsText(fields_.afterVersion, fields_.afterCheckSum));
  // The images are right, but a printer never told to leave download mode needs a power cycle:
  // that is the failure message's advice, not "Success!".
  const bool released = ReleasePrinter(port) != 0;
  if (verified && !released) Fail(RunReason::kReleaseNotSent, PortErrorText(port));
  if (verified && released) {
    download->SetPosition(100);
    clock_.Sleep(kFinalPauseMs);
  }
  download.reset();
  if (verified && released) {
    ShowMessage(IDS_SUCCESS, MessageTitle::Success, MessageIcon::Warning);
  } else {
    ShowMessage(IDS_FAILED, MessageTitle::Error, MessageIcon::Warning);
  }
  return true;
}

int CUpdateProcedure::CheckPrinterCount(CPrinterPort& port) {
  const int count = port.GetPrinterCount();
  Step("CheckPrinterCount", count == 1, std::to_string(count) + " found");
  if (count == 1) return 1;
  Fail(count <= 0 ? RunReason::kNoPrinter : RunReason::kTwoOrMorePrinters,
       std::to_string(count) + " found");
  ShowMessage(count <= 0 ? IDS_NOT_CONNECTED : IDS_TWO_PRINTERS, MessageTitle::Error,
              MessageIcon::Warning);
  return 0;
}

int CUpdateProcedure::CheckPrinterStatus(CPrinterPort& port) {
  StatusReport report{};
  CStatusQuery query;
  const StatusError status = WaitWhileBusy(port, query, 0, report, true);
  if (status != StatusError::kNone) {
    Fail(status == StatusError::kStillBusy ? RunReason::kStillBusy : RunReason::kStatusNotRead,
         std::string("status ") + Name(status) + " (" + std::to_string(Code(status)) + ")");
    Step("CheckPrinterStatus", false);
    ShowMessage(IDS_FAILED, MessageTitle::Error, MessageIcon::Warning);
    return 0;
  }
  // The second unit counts only when the printer says it has one; printing wins over error.
  const bool second = HasSecondUnit(report);
  const std::string seen = StatusBytesText(report);
  if (IsUnitPrinting(report.unit1Head) || (second && IsUnitPrinting(report.unit2Head))) {
    Fail(RunReason::kPrinting, seen);
    Step("CheckPrinterStatus", false);
    ShowMessage(IDS_PRINTING, MessageTitle::Error, MessageIcon::Warning);
    return 0;
  }
  if (IsUnitInError(report.unit1Head) || (second && IsUnitInError(report.unit2Head))) {
    Fail(RunReason::kPrinterError, seen);
    Step("CheckPrinterStatus", false);
    ShowMessage(IDS_PRINTER_ERROR, MessageTitle::Error, MessageIcon::Warning);
    return 0;
  }
  Step("CheckPrinterStatus", true, seen);
  return 1;
}

int CUpdateProcedure::SwitchToDownloadMode(CPrinterPort& port) {
  if (!port.EnterDownloadMode()) {
    Fail(RunReason::kModeSwitchNotSent, PortErrorText(port));
    Step("SwitchToDownloadMode", false);
    ShowMessage(IDS_FAILED, MessageTitle::Error, MessageIcon::Warning);
    return 0;
  }
  std::unique_ptr<CProgressDlg> progress = ShowProgress(IDS_INITIALIZING);
  progress->SetMessageId(IDS_PLEASE_WAIT);
  progress->StartEstimate(clock_.TickCount(), kModeSwitchWaitMs);
  PacedWait(clock_, kModeSwitchWaitMs, progress.get(), kModeSwitchStepMs);
  progress->SetPosition(100);
  Step("SwitchToDownloadMode", true);
  return 1;
}

void CUpdateProcedure::Fail(RunReason reason, std::string detail) {
  if (lastRun_.reason != RunReason::kSuccess) return;
  lastRun_.reason = reason;
  lastRun_.detail = std::move(detail);
}

void CUpdateProcedure::Step(std::string name, bool ok, std::string detail) {
  if (!observer_) return;
  if (!ok && detail.empty()) detail = lastRun_.detail;
  observer_->OnStep(StepRecord{std::move(name), ok, std::move(detail), clock_.TickCount()});
}

void CUpdateProcedure::NoteDownloadModeEntered() {
  releaseOwed_ = true;
  if (observer_) observer_->OnDownloadModeEntered();
}

void CUpdateProcedure::NoteReleased(bool leaveSent) {
  if (!releaseOwed_) return;
  releaseOwed_ = false;
  if (observer_) observer_->OnReleased(leaveSent);
}

void CUpdateProcedure::ShowMessage(uint32_t stringId, MessageTitle title, MessageIcon icon) {
  // Loaded only now, so the text is the one of the procedure's language at this moment.
  ShowText(stringId, LoadString(stringId, language_), title, icon);
}

void CUpdateProcedure::ShowText(uint32_t stringId, std::string text, MessageTitle title,
                                MessageIcon icon) {
  lastRun_.messageId = stringId;
  view_.ShowMessage(Message{stringId, std::move(text), title, icon});
}

std::unique_ptr<CProgressDlg> CUpdateProcedure::NewProgress(uint32_t captionId) {
  return std::make_unique<CProgressDlg>(view_, clock_, language_, captionId);
}

std::unique_ptr<CProgressDlg> CUpdateProcedure::ShowProgress(uint32_t captionId) {
  std::unique_ptr<CProgressDlg> progress = NewProgress(captionId);
  progress->Create();  // a window that cannot be made leaves the work to go on without one
  progress->SetRange(0, 100);
  progress->SetPosition(0);
  return progress;
}

}  // namespace zmr
