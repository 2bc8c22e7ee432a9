// zmr470-update-cli: the press of Download, once, with the progress on the terminal.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/startup.h"
#include "link/imported_driver.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/ui_language.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/terminal_view.h"
#include "update/update_procedure.h"

namespace {

// A terminal that can go back to the start of the line and clear it.
bool CanRedrawInPlace() {
  if (isatty(STDOUT_FILENO) != 1) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

size_t TerminalColumns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zmr;
  switch (cli::ParseArguments(argc, argv)) {
    case cli::Command::Help:
      std::cout << cli::HelpText() << std::flush;
      return cli::kExitSuccess;
    case cli::Command::Version:
      std::cout << cli::VersionText() << std::flush;
      return cli::kExitSuccess;
    case cli::Command::Usage:
      std::cerr << cli::UsageLine() << "\n" << std::flush;
      return cli::kExitUsage;
    case cli::Command::Run:
      break;
  }

  // A reader that goes away (a closed pipe) must not end the process in the middle of an update.
  std::signal(SIGPIPE, SIG_IGN);

  const Startup startup = StartUp(TheDriverLibrary());
  if (startup.outcome == StartupOutcome::AlreadyRunning) return cli::kExitAlreadyRunning;
  if (startup.outcome == StartupOutcome::DriverNotFound) {
    std::cerr << kDriverNotFoundTitle << ": " << kDriverNotFoundText << "\n" << std::flush;
    return cli::kExitDriverNotFound;
  }

  cli::TerminalView view(std::cout, {CanRedrawInPlace(), TerminalColumns});
  const platform::NoKeysDown noKeys;  // the key chord of force mode has no terminal equivalent
  CUpdateProcedure procedure(view, SystemClock(), noKeys, LinkedImportedDriver(),
                             TheDriverLibrary(), platform::UserLanguage());
  procedure.OnDownload();
  return cli::ExitStatusFor(view.ClosingMessage());
}
