// SPDX-License-Identifier: MIT
// zmr470-update-cli: the press of Download, once, with the progress on the terminal.
#include <iostream>
#include <string>

#include "app/run_guard.h"
#include "app/startup.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/run_log_file.h"
#include "platform/standard_streams.h"
#include "platform/terminal.h"
#include "platform/ui_language.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/terminal_view.h"
#include "update/update_procedure.h"

namespace {

// Said once on standard error when a request to stop arrives while the printer is in download
// mode. Written in one call from the hold's own thread.
void SayCannotInterrupt(zmr::platform::Language language, uint32_t secondsLeft) {
  const std::string seconds = std::to_string(secondsLeft);
  const std::string text =
      language == zmr::platform::Language::Japanese
          ? "\nプリンターがダウンロードモードのため、今は中断できません。残り約" + seconds +
                "秒で終わります。\n"
          : "\nThe update cannot be interrupted now: the printer is in download mode. About " +
                seconds + " s left.\n";
  std::cerr.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cerr.flush();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zmr;
  // Before anything opens a file: a closed standard stream must not take the next descriptor.
  platform::OpenMissingStandardStreams();
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

  const Startup startup = StartUp(TheDriverLibrary());
  if (startup.outcome == StartupOutcome::AlreadyRunning) return cli::kExitAlreadyRunning;
  if (startup.outcome == StartupOutcome::DriverNotFound) {
    std::cerr << kDriverNotFoundTitle << ": " << kDriverNotFoundText << "\n" << std::flush;
    return cli::kExitDriverNotFound;
  }

  const platform::Language language = platform::UserLanguage();
  if (!startup.lockProblem.empty()) {
    std::cerr << "zmr470-update-cli: " << startup.lockProblem << "\n" << std::flush;
  }

  // While the printer is in download mode, Ctrl-C, SIGTERM and SIGHUP wait for its release; the
  // run then ends as it would have, and the exit status is that of its outcome.
  RunGuard guard(SystemClock(), {"zmr470-update-cli", language,
                                 [language](int, uint32_t secondsLeft) {
                                   SayCannotInterrupt(language, secondsLeft);
                                 },
                                 platform::RunLogPath()});
  AddProgramHeader(guard, "zmr470-update-cli", LinkedImportedDriver(), TheDriverLibrary());
  if (!startup.lockProblem.empty()) guard.AddHeaderLine(startup.lockProblem);

  cli::TerminalView view(std::cout, {platform::CanRedrawInPlace(), platform::TerminalColumns});
  const platform::NoKeysDown noKeys;  // the key chord of force mode has no terminal equivalent
  CUpdateProcedure procedure(view, {SystemClock(), noKeys, LinkedImportedDriver(),
                                    TheDriverLibrary(), language, EmbeddedImage, &guard});
  procedure.OnDownload();
  const int status = cli::ExitStatusFor(view.ClosingMessage());
  if (status != cli::kExitSuccess && !guard.WrittenLog().empty()) {
    std::cerr << "Run log: " << guard.WrittenLog() << "\n" << std::flush;
  }
  return status;
}
