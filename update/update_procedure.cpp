// SPDX-License-Identifier: MIT
#include "update/update_procedure.h"

#include "link/status_query.h"
#include "protocol/status_report.h"
#include "update/image_download.h"
#include "update/string_table.h"
#include "update/version_text.h"

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

// How the port was opened, for the record of the open and the reopen.
const char* OpenedText(const CPrinterPort& port) {
  switch (port.DriverPath()) {
    case DriverPath::kByIndex:
      return "by index";
    case DriverPath::kByDevicePath:
      return "by device path";
  }
  return "by an unknown path";
}

}  // namespace

std::string VersionsText(const std::array<std::string, kImageCount>& versions,
                         const std::array<std::string, kImageCount>& checkSums) {
  std::string text;
  for (int i = 0; i < kImageCount; ++i) {
    if (versions[i].empty() && checkSums[i].empty()) continue;
    if (!text.empty()) text += ", ";
    // A version is the printer's bytes: anything but printable ASCII is shown as \xNN.
    text += std::string(kImages[i].label) + " " + EscapedText(versions[i]) + " / " + checkSums[i];
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
    Stop(port, RunReason::kOpenFailed, PortErrorText(port));
    return false;
  }
  Step(RunStep::kOpen, true, OpenedText(port));
  if (!force && !CheckPrinterStatus(port)) return false;
  if (!SwitchToDownloadMode(port)) return false;
  downloadMode_ = true;

  // The printer comes back as a new device in download mode: look it up afresh.
  port.Close();
  port.ClearDevicePath();
  clock_.Sleep(kReopenDelayMs);
  if (!port.Open()) {
    Stop(port, RunReason::kReopenFailed, PortErrorText(port));
    return false;
  }
  if (const int count = port.GetPrinterCount(); count != 1) {
    // What was opened may be another printer plugged in during the switch: send it nothing.
    port.Close();
    Stop(port, RunReason::kPrinterCountChanged, std::to_string(count) + " found after the reopen");
    return false;
  }
  Step(RunStep::kReopen, true, OpenedText(port));

  if (!force && !CheckVersion(port)) return false;
  if (!BuildImages()) {
    Stop(port, RunReason::kImagesInvalid, {});
    return false;
  }
  Step(RunStep::kBuildImages, true);

  download = ShowProgress(IDS_UPGRADE);
  download->StartEstimate(clock_.TickCount(),
                          static_cast<uint32_t>(images_.totalTimeWeight) * 100u);
  const int sent = DownloadImages(port, *download);
  FreeImages();
  if (!sent) return false;  // released and reported by the download

  // From here the run never goes through the common exit: the release after the verification
  // is not repeated.
  if (!VerifyVersions(port, download)) return true;
  Step(RunStep::kVerifyVersions, true, VersionsText(fields_.afterVersion, fields_.afterCheckSum));
  // The images are right, but a printer never told to leave download mode needs a power cycle:
  // that is the failure message's advice, not "Success!".
  if (!ReleasePrinter(port)) {
    Stop(port, RunReason::kReleaseNotSent, PortErrorText(port), {.window = &download});
    return true;
  }
  download->SetPosition(100);
  clock_.Sleep(kFinalPauseMs);
  download.reset();
  ShowMessage(RowOf(RunReason::kSuccess));
  return true;
}

int CUpdateProcedure::CheckPrinterCount(CPrinterPort& port) {
  const int count = port.GetPrinterCount();
  const std::string found = std::to_string(count) + " found";
  if (count != 1) {
    return Stop(port, count <= 0 ? RunReason::kNoPrinter : RunReason::kTwoOrMorePrinters, found);
  }
  Step(RunStep::kCheckPrinterCount, true, found);
  return 1;
}

int CUpdateProcedure::CheckPrinterStatus(CPrinterPort& port) {
  StatusReport report{};
  CStatusQuery query;
  const StatusError status = WaitWhileBusy(port, query, 0, report, true);
  if (status != StatusError::kNone) {
    return Stop(
        port, status == StatusError::kStillBusy ? RunReason::kStillBusy : RunReason::kStatusNotRead,
        std::string("status ") + Name(status) + " (" + std::to_string(Code(status)) + ")");
  }
  // The second unit counts only when the printer says it has one; printing wins over error.
  const bool second = HasSecondUnit(report);
  const std::string seen = StatusBytesText(report);
  if (IsUnitPrinting(report.unit1Head) || (second && IsUnitPrinting(report.unit2Head))) {
    return Stop(port, RunReason::kPrinting, seen);
  }
  if (IsUnitInError(report.unit1Head) || (second && IsUnitInError(report.unit2Head))) {
    return Stop(port, RunReason::kPrinterError, seen);
  }
  Step(RunStep::kCheckPrinterStatus, true, seen);
  return 1;
}

int CUpdateProcedure::SwitchToDownloadMode(CPrinterPort& port) {
  // Stop requests are held from before the command goes out, not only after its wait.
  if (observer_) observer_->OnEnteringDownloadMode();
  if (!port.EnterDownloadMode()) {
    if (observer_) observer_->OnDownloadModeNotEntered();
    return Stop(port, RunReason::kModeSwitchNotSent, PortErrorText(port));
  }
  NoteDownloadModeEntered();
  std::unique_ptr<CProgressDlg> progress = ShowProgress(IDS_INITIALIZING);
  progress->SetMessageId(IDS_PLEASE_WAIT);
  progress->StartEstimate(clock_.TickCount(), kModeSwitchWaitMs);
  PacedWait(clock_, kModeSwitchWaitMs, progress.get(), kModeSwitchStepMs);
  progress->SetPosition(100);
  Step(RunStep::kSwitchToDownloadMode, true);
  return 1;
}

int CUpdateProcedure::Stop(CPrinterPort& port, RunReason reason, std::string detail,
                           StopContext context) {
  const ReasonRow& row = RowOf(reason);
  lastRun_.reason = reason;
  lastRun_.detail = std::move(detail);
  if (row.printer != PrinterAtBox::kReleasedByStep) {
    Step(row.step, false, std::move(context.seen));
  }
  switch (row.printer) {
    case PrinterAtBox::kReleased:
      ReleasePrinter(port);
      break;
    case PrinterAtBox::kUnreachable:
      // Nothing more can reach the printer; the message asks for a power cycle.
      downloadMode_ = false;
      NoteReleased(false);
      break;
    case PrinterAtBox::kNotInDownloadMode:
    case PrinterAtBox::kReleasedByStep:
      break;
  }
  if (row.window == WindowAtBox::kGone && context.window) context.window->reset();
  ShowMessage(row, context.data1);
  return 0;
}

void CUpdateProcedure::Step(RunStep step, bool ok, std::string detail, const char* image) {
  if (!observer_) return;
  if (!ok && detail.empty()) detail = lastRun_.detail;
  std::string name = Name(step);
  if (image) name += std::string(" ") + image;
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

void CUpdateProcedure::ShowMessage(const ReasonRow& row, const ReportedImage* data1) {
  // Loaded only now, so the text is the one of the procedure's language at this moment.
  std::string text = LoadString(row.messageId, language_);
  if (row.quotesData1 && data1) text = FormatVersionMessage(text, data1->version, data1->checkSum);
  lastRun_.messageId = row.messageId;
  view_.ShowMessage(Message{row.messageId, std::move(text), row.title, row.icon});
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
