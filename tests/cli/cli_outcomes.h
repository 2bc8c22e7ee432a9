// SPDX-License-Identifier: MIT
#pragma once
// The outcomes of a run of the terminal tool against the simulated printer: one row each, with
// the printer's settings and what the tool must end with and print. The Linux and the Windows
// build run every row as a process (cli_outcomes_test.cpp, each with its own RunOutcome) and
// check it with OutcomeProblems, together with what every run must show: standard error empty
// after a success and naming the run log after anything else, no control character in either
// output, no protocol violation in the printer's trace.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "update/string_table.h"

namespace zmr::test {

// The row of the printer's versions read back after the download.
enum class AfterRow {
  kNone,     // not printed: the run ended before the verification
  kUpdated,  // the versions this tool carries
  kOther,    // printed, with other versions than this tool's
};

// How long a run takes, which decides how it is scheduled.
enum class Wait {
  kNone,        // decided before any fixed wait of the update: seconds
  kFixed,       // through the update's fixed waits: up to about a minute
  kTimeBudget,  // an image's time budget runs out: over two minutes
};

struct CliOutcome {
  const char* name;
  const char* sim;  // ZMR470_SIM
  int status;
  std::vector<std::string> lines = {};     // each is a whole line of standard output
  std::vector<std::string> patterns = {};  // each matches a whole line of it (ECMAScript)
  AfterRow after = AfterRow::kNone;
  Wait wait = Wait::kNone;
  int lineCount = -1;  // standard output has exactly this many lines; -1: any
  // The user's language, as LANG; none: the C locale (English).
  const char* locale = nullptr;
  // A closing message that must be printed as the table has it in the row's language (its
  // title and first line, then its further lines); 0: none.
  uint32_t message = 0;
  MessageTitle title = MessageTitle::Error;
};

const std::vector<CliOutcome>& CliOutcomes();
// The rows of one length.
std::vector<CliOutcome> CliOutcomes(Wait wait);
// For GoogleTest's messages: the row's name.
void PrintTo(const CliOutcome& outcome, std::ostream* out);

// What one run left: its exit status, both outputs (lines ending in "\n") and the simulated
// printer's trace.
struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
  std::string trace;
};

// Everything about the run that is not as the row says, one text each; empty when it is right.
std::vector<std::string> OutcomeProblems(const CliOutcome& outcome, const CliRun& run);

// A problem when `text` holds a control character that a terminal acts on (any below 0x20 but
// the line break, and DEL); empty otherwise. `stream` names the text.
std::string ControlCharacterProblem(const std::string& text, const char* stream);
// The lines of the simulated printer's trace that report a violation of the protocol by the
// tool (one that follows a write the printer itself garbled is not the tool's).
std::vector<std::string> TraceViolations(const std::string& trace);

// `text` at its line breaks, without them (a last line without one counts too).
std::vector<std::string> SplitLines(const std::string& text);

// Runs the terminal tool once as the row says (its printer, its language) and returns what it
// left. Each build has its own.
CliRun RunOutcome(const CliOutcome& outcome);
// Whether RunOutcome can give the tool a language of the row's own (else rows with a locale are
// skipped).
bool RunOutcomeChoosesLanguage();

}  // namespace zmr::test
