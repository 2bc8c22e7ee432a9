// zmr470-update-cli: the press of Download, once, with the progress on the terminal.
#include <iostream>

#include "app/startup.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/terminal.h"
#include "platform/ui_language.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/terminal_view.h"
#include "update/update_procedure.h"

int main(int argc, char** argv) {
  using namespace zmr;
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

  cli::TerminalView view(std::cout, {platform::CanRedrawInPlace(), platform::TerminalColumns});
  const platform::NoKeysDown noKeys;  // the key chord of force mode has no terminal equivalent
  CUpdateProcedure procedure(view, {SystemClock(), noKeys, LinkedImportedDriver(),
                                    TheDriverLibrary(), platform::UserLanguage()});
  procedure.OnDownload();
  return cli::ExitStatusFor(view.ClosingMessage());
}
