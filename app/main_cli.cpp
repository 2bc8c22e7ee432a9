// SPDX-License-Identifier: MIT
// zmr470-update-cli: the press of Download, once, with the progress on the terminal.
#include <iostream>
#include <string>

#include "app/run_guard.h"
#include "app/startup.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/key_state.h"
#include "platform/run_log_file.h"
#include "platform/standard_streams.h"
#include "platform/terminal.h"
#include "platform/ui_language.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/run_json.h"
#include "ui/cli/terminal_view.h"
#include "update/string_table.h"
#include "update/update_procedure.h"

namespace {

// Said once on standard error when a request to stop arrives while the printer is in download
// mode. Written in one call from the hold's own thread.
void SayCannotInterrupt(zmr::platform::Language language, uint32_t secondsLeft) {
  const std::string text = "\n" +
                           zmr::FillText(zmr::LoadString(zmr::IDS_CANNOT_INTERRUPT, language),
                                         {std::to_string(secondsLeft)}) +
                           "\n";
  std::cerr.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cerr.flush();
}

// -f/--force: the chord of force mode counts as held at the press.
class ForceChord final : public zmr::platform::KeyState {
 public:
  bool IsDown(zmr::platform::Key) const override { return true; }
};

// The folders of the two driver libraries, as far as they are loaded.
void AddDriverFolders(zmr::cli::RunJson& run) {
  auto folder = [](const void* entry) {
    return entry ? zmr::cli::FolderOf(zmr::platform::DynamicLibrary::PathOf(entry)) : "";
  };
  run.linkedDriverFolder = folder(zmr::LinkedImportedDriver().UsbGetDeviceNum.Address());
  run.loadedDriverFolder = folder(zmr::TheDriverLibrary().SetVenderID.Address());
}

// The result for --json, on standard output, once.
void PrintJson(zmr::cli::RunJson run) {
  AddDriverFolders(run);
  const std::string text = zmr::cli::FormatRunJson(run);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zmr;
  // Before anything opens a file: a closed standard stream must not take the next descriptor.
  platform::OpenMissingStandardStreams();
  // Before the driver library is loaded by name: not from the folder the tool was started in.
  platform::DynamicLibrary::KeepCurrentFolderOutOfSearch();
  const cli::Arguments arguments = cli::ParseArguments(argc, argv);
  switch (arguments.command) {
    case cli::Command::Help:
      return cli::WriteText(std::cout, std::cerr, cli::HelpText());
    case cli::Command::Version:
      return cli::WriteText(std::cout, std::cerr, cli::VersionText());
    case cli::Command::Usage:
      std::cerr << arguments.error << "\n" << cli::TryHelpLine() << "\n" << std::flush;
      return cli::kExitUsage;
    case cli::Command::Run:
      break;
  }

  // A reader that goes away (a closed pipe) must not end the process in the middle of an update.
  platform::IgnoreClosedOutput();
  platform::UseUtf8Output();

  const bool json = arguments.json;
  const Startup startup = StartUp(TheDriverLibrary());
  if (startup.outcome == StartupOutcome::AlreadyRunning) {
    if (json) {
      cli::RunJson result;
      result.exitStatus = cli::kExitAlreadyRunning;
      result.reason = "AlreadyRunning";
      PrintJson(std::move(result));
    }
    return cli::kExitAlreadyRunning;
  }
  if (startup.outcome == StartupOutcome::DriverNotFound) {
    std::cerr << kDriverNotFoundTitle << ": " << kDriverNotFoundText << "\n" << std::flush;
    if (json) {
      cli::RunJson result;
      result.exitStatus = cli::kExitDriverNotFound;
      result.title = kDriverNotFoundTitle;
      result.text = kDriverNotFoundText;
      result.reason = "DriverNotFound";
      PrintJson(std::move(result));
    }
    return cli::kExitDriverNotFound;
  }

  const platform::Language language = platform::UserLanguage();
  if (!startup.lockProblem.empty()) {
    std::cerr << "zmr470-update-cli: " << LockNotice(startup, language) << "\n" << std::flush;
  }
  const std::string usbTimeout = UsbTimeoutNotice(startup.usbTimeout, language);
  if (!usbTimeout.empty()) {
    std::cerr << "zmr470-update-cli: " << usbTimeout << "\n" << std::flush;
  }

  // From just before the enter-download-mode command until the release, Ctrl-C, Ctrl-\,
  // SIGTERM and SIGHUP wait; the run then ends as it would have, and the exit status is that of
  // its outcome.
  RunGuard guard(SystemClock(), {"zmr470-update-cli", language,
                                 [language](int, uint32_t secondsLeft) {
                                   SayCannotInterrupt(language, secondsLeft);
                                 },
                                 platform::RunLogPath()});
  AddProgramHeader(guard, "zmr470-update-cli", LinkedImportedDriver(), TheDriverLibrary());
  // The run log is written in English, whatever the user's language.
  if (!startup.lockProblem.empty())
    guard.AddHeaderLine(LockNotice(startup, platform::Language::English));
  if (!usbTimeout.empty()) {
    guard.AddHeaderLine(UsbTimeoutNotice(startup.usbTimeout, platform::Language::English));
  }

  // With --json standard output holds the result alone: the rest goes to standard error, as
  // plain lines.
  cli::TerminalView view(json ? std::cerr : std::cout,
                         {!json && platform::CanRedrawInPlace(), platform::TerminalColumns});
  const platform::NoKeysDown noKeys;
  const ForceChord forced;  // -f/--force stands for the key chord of the desktop tool
  const platform::KeyState& keys =
      arguments.force ? static_cast<const platform::KeyState&>(forced) : noKeys;
  CUpdateProcedure procedure(view, {SystemClock(), keys, LinkedImportedDriver(), TheDriverLibrary(),
                                    language, EmbeddedImage, &guard});
  procedure.OnDownload();
  const int status = cli::ExitStatusFor(view.ClosingMessage());
  if (status != cli::kExitSuccess && !guard.WrittenLog().empty()) {
    std::cerr << FillText(LoadString(IDS_RUN_LOG_WRITTEN, language), {guard.WrittenLog()}) << "\n"
              << std::flush;
  }
  if (json) {
    const RunResult& run = procedure.LastRun();
    cli::RunJson result;
    result.exitStatus = status;
    result.reason = Name(run.reason);
    if (run.reason != RunReason::kSuccess) result.step = StepOf(run.reason);
    result.detail = run.detail;
    result.fields = procedure.Fields();
    result.runLog = guard.WrittenLog();
    if (const std::optional<Message>& shown = view.LastMessage()) {
      result.messageId = shown->stringId;
      result.title = MessageTitleText(shown->title);
      result.text = cli::EnglishText(*shown, language, procedure.Fields());
    }
    PrintJson(std::move(result));
  }
  return status;
}
