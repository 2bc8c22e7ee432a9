// SPDX-License-Identifier: MIT
#include "tests/cli/cli_outcomes.h"

#include <cstdio>
#include <ostream>
#include <regex>

namespace zmr::test {
namespace {

const char* const kUpdatedAfterRow = "After     316G21 / 08A6  318C21 / AF7C  D11 / EE03";
const char* const kDemoBeforeRow = "Before    316B20 / 1A2B  318C20 / 3C4D  D10 / 5E6F";

platform::Language LanguageOf(const CliOutcome& outcome) {
  const std::string locale = outcome.locale ? outcome.locale : "";
  return locale.rfind("ja", 0) == 0 ? platform::Language::Japanese : platform::Language::English;
}

// The lines of a closing message as the terminal prints it: the title, a colon and the first
// line, then the further lines.
std::vector<std::string> MessageLinesOf(const CliOutcome& outcome) {
  std::vector<std::string> lines = SplitLines(LoadString(outcome.message, LanguageOf(outcome)));
  if (lines.empty()) return {"<no entry " + std::to_string(outcome.message) + ">"};
  lines[0] = std::string(MessageTitleText(outcome.title)) + ": " + lines[0];
  return lines;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

const std::vector<CliOutcome>& CliOutcomes() {
  static const std::vector<CliOutcome> rows = {
      // Refused before any progress window: the closing message is all there is.
      {.name = "no_printer",
       .sim = "listed=0",
       .status = 10,
       .lines = {"Error: Printer is not connected.",
                 "Please check a cable connection, and turn the printer OFF and then ON, and "
                 "download again."},
       .lineCount = 2},
      {.name = "no_printer_japanese",
       .sim = "listed=0",
       .status = 10,
       .lineCount = 2,
       .locale = "ja_JP.UTF-8",
       .message = IDS_NOT_CONNECTED},
      {.name = "two_printers",
       .sim = "listed=2",
       .status = 11,
       .lines = {"Error: Two or more printers are connected.",
                 "Please connect only one printer, and download again."},
       .lineCount = 2},
      {.name = "printing",
       .sim = "busy=0 printing=1",
       .status = 12,
       .lines = {"Error: It is under printing.", "Please end printing and download."},
       .lineCount = 2},
      // Through the kernel's pipes: a status reply that arrives short, a command that does not
      // go.
      {.name = "short_status_reply",
       .sim = "busy=0 shortread=1:100",
       .status = 18,
       .lines = {"Error: Failed!"}},
      {.name = "wake_command_not_written",
       .sim = "busy=0 failwrite=1",
       .status = 18,
       .lines = {"Error: Failed!"}},

      // The whole update with the demo's printer (about 50 s of fixed waits and transfer).
      {.name = "success",
       .sim = "",
       .status = 0,
       .lines = {"Success!", "This DATA was downloaded properly on printer.", kDemoBeforeRow},
       .patterns = {R"(Upgrade - Loading DATA3\(F\)\.\.\. \[#+\] 100%)"},
       .after = AfterRow::kUpdated,
       .wait = Wait::kFixed},
      // The version gate, after download mode and the version request (about 9 s each).
      {.name = "data1_current",
       .sim = "busy=0 data1=316G21:08A6",
       .status = 15,
       .lines = {"Version Check: DATA in the printer is the newest version."},
       .patterns = {"Before +316G21 / 08A6 +318C20 / 3C4D +D10 / 5E6F",
                    R"(Version Check\.\.\. - Please wait\. \[#+\] 100%)"},
       .wait = Wait::kFixed},
      {.name = "version_not_accepted",
       .sim = "busy=0 data1=316D20:1A2B",
       .status = 16,
       .lines = {"Version Check: This program is not applicable on this printer.",
                 "DATA1(M) : 316D20 / 1A2B"},
       .patterns = {"Before +316D20 / 1A2B .*"},
       .wait = Wait::kFixed},
      // DATA2 arrives garbled: the versions read back are not the ones sent.
      {.name = "corrupted_download",
       .sim = "speed=0 busy=0 corruptwrite=t3",
       .status = 18,
       .lines = {"Error: Failed!"},
       .after = AfterRow::kOther,
       .wait = Wait::kFixed},
      // DATA1's first block takes longer than the whole 120 s budget of an image: the earliest a
      // download can run out of time (about 2 min 20 s in all).
      {.name = "time_out",
       .sim = "busy=0 slow=p1:120001",
       .status = 17,
       .lines = {"Error: Failed! Time out Error!",
                 "Please turn the printer OFF and then ON, and download again."},
       .patterns = {"Before +316B20 / 1A2B .*"},
       .wait = Wait::kTimeBudget},
  };
  return rows;
}

std::vector<CliOutcome> CliOutcomes(Wait wait) {
  std::vector<CliOutcome> rows;
  for (const CliOutcome& row : CliOutcomes()) {
    if (row.wait == wait) rows.push_back(row);
  }
  return rows;
}

void PrintTo(const CliOutcome& outcome, std::ostream* out) {
  *out << outcome.name;
}

std::string ControlCharacterProblem(const std::string& text, const char* stream) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) {
      char what[128];
      std::snprintf(what, sizeof what, "%s has control character 0x%02X at byte %zu", stream, c, i);
      return what;
    }
  }
  return {};
}

std::vector<std::string> TraceViolations(const std::string& trace) {
  std::vector<std::string> violations;
  for (const std::string& line : SplitLines(trace)) {
    // One that follows a write the printer itself garbled (corruptwrite) is not the tool's.
    if (line.find(" VIOLATION ") != std::string::npos &&
        line.find("(after a write fault)") == std::string::npos)
      violations.push_back(line);
  }
  return violations;
}

std::vector<std::string> OutcomeProblems(const CliOutcome& outcome, const CliRun& run) {
  std::vector<std::string> problems;
  if (run.status != outcome.status) {
    problems.push_back("exit status " + std::to_string(run.status) + ", expected " +
                       std::to_string(outcome.status));
  }
  const std::vector<std::string> lines = SplitLines(run.out);
  const auto hasLine = [&](const std::string& wanted) {
    for (const std::string& line : lines) {
      if (line == wanted) return true;
    }
    return false;
  };
  std::vector<std::string> wanted = outcome.lines;
  if (outcome.message != 0) {
    for (const std::string& line : MessageLinesOf(outcome)) wanted.push_back(line);
  }
  for (const std::string& line : wanted) {
    if (!hasLine(line)) problems.push_back("no stdout line \"" + line + "\"");
  }
  for (const std::string& pattern : outcome.patterns) {
    const std::regex re(pattern);
    bool found = false;
    for (const std::string& line : lines) found = found || std::regex_match(line, re);
    if (!found) problems.push_back("no stdout line matches /" + pattern + "/");
  }
  if (outcome.lineCount >= 0 && long(lines.size()) != outcome.lineCount) {
    problems.push_back("stdout has " + std::to_string(lines.size()) + " lines, expected " +
                       std::to_string(outcome.lineCount));
  }

  bool afterRow = false;
  for (const std::string& line : lines) afterRow = afterRow || line.rfind("After", 0) == 0;
  const bool updated = hasLine(kUpdatedAfterRow);
  switch (outcome.after) {
    case AfterRow::kNone:
      if (afterRow) problems.push_back("an After row, expected none");
      break;
    case AfterRow::kUpdated:
      if (!updated) problems.push_back("no After row with this tool's versions");
      break;
    case AfterRow::kOther:
      if (!afterRow || updated) problems.push_back("no After row with other versions");
      break;
  }

  // After a failed run standard error names the run log, and holds nothing else.
  const std::vector<std::string> err = SplitLines(run.err);
  if (outcome.status == 0) {
    if (!run.err.empty()) problems.push_back("stderr is not empty");
  } else {
    const std::string notice = FillText(LoadString(IDS_RUN_LOG_WRITTEN, LanguageOf(outcome)), {""});
    if (err.size() != 1 || err[0].rfind(notice, 0) != 0 ||
        err[0].find("zmr470-update.log") == std::string::npos)
      problems.push_back("stderr is not the one line that names the run log");
  }

  for (const auto& [text, stream] :
       {std::pair{&run.out, "stdout"}, std::pair{&run.err, "stderr"}}) {
    const std::string problem = ControlCharacterProblem(*text, stream);
    if (!problem.empty()) problems.push_back(problem);
  }
  for (const std::string& line : TraceViolations(run.trace))
    problems.push_back("simulated printer: " + line);
  return problems;
}

}  // namespace zmr::test
