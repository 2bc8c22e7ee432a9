// SPDX-License-Identifier: MIT
// Runs the terminal tool as a process and checks its exit status and output: the cases that need
// more than the outcome table's rows (a terminal, signals, the run log, the command line).
//
//   cli_process_check [checks...] -- PROGRAM [ARGS...]
//
// Checks:
//   --status N         the exit status
//   --line TEXT        standard output has a line that is exactly TEXT
//   --match REGEX      standard output has a line that matches REGEX (POSIX extended, whole line)
//   --no-match REGEX   no line of standard output matches REGEX
//   --lines N          standard output has exactly N lines
//   --stderr-line TEXT standard error has a line that is exactly TEXT
//   --quiet            nothing on standard output or standard error
//   --quiet-stdout     nothing on standard output
//   --hold-lock        hold the tool's single-instance lock while it runs
//   --tty              run with standard output and standard error on a pseudo-terminal
//   --closed-stdout    run with standard output a pipe whose reading end is already closed
//   --stderr-match REGEX  standard error has a line that matches REGEX
//   --no-stdout        run with descriptor 1 closed (no standard output at all); the tool's
//                      single-instance lock file must stay empty
//   --signal-at-trace N:SIG  send SIGINT, SIGTERM or SIGHUP (SIG: INT, TERM, HUP) once the
//                      simulated printer's trace has N lines (the trace goes to a file of the
//                      case's own, watched with inotify)
//   --trace-match REGEX   a line of the trace matches REGEX
//   --trace-no-match REGEX  no line of the trace matches REGEX
//   --trace-match-after-signal REGEX  a line of the trace written after the signal matches
//   --log-match REGEX  a line of the run log ($XDG_STATE_HOME/zmr470-update/zmr470-update.log,
//                      emptied before the run) matches REGEX
//   --full-stdout      run with standard output /dev/full (every write fails: no space)
//   --json-field POINTER=VALUE  standard output is one JSON object on one line and nothing else,
//                      and its value at POINTER (a JSON pointer, /after/data1/version) is VALUE:
//                      a string as it stands, anything else as JSON (16, null)
// When ZMR470_SIM_TRACE names a file (or a check above needs the trace), it is emptied first, and
// afterwards the simulated printer's trace in it must hold no protocol violation (no line with
// "VIOLATION"). Without --tty, both outputs must be free of control characters (line breaks
// excepted). With
// --tty, the status line must be redrawn in place ("\r" ... ESC "[K") and finished before the
// closing message. The real time the program took is printed for the log.
#include <regex.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/startup.h"
#include "platform/instance_lock.h"
#include "tests/cli/cli_outcomes.h"
#include "tests/cli/posix_process.h"

namespace {

using zmr::test::SplitLines;

struct Expectations {
  int status = -1;
  std::vector<std::string> lines;
  std::vector<std::string> matches;
  std::vector<std::string> noMatches;
  long lineCount = -1;
  std::vector<std::string> stderrLines;
  bool quiet = false;
  bool quietStdout = false;
  bool holdLock = false;
  bool tty = false;
  bool closedStdout = false;
  std::vector<std::string> stderrMatches;
  long signalAtTrace = -1;
  int signal = 0;
  std::vector<std::string> traceMatches;
  std::vector<std::string> traceNoMatches;
  std::vector<std::string> traceMatchesAfterSignal;
  std::string traceFile;  // set when a check needs the trace
  std::vector<std::string> logMatches;
  bool noStdout = false;
  bool fullStdout = false;
  std::vector<std::string> jsonFields;
};

int failures = 0;

void Fail(const std::string& what) {
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  ++failures;
}

// A POSIX extended expression that must match a whole line.
class WholeLine {
 public:
  explicit WholeLine(const std::string& pattern) {
    ok_ = regcomp(&re_, ("^(" + pattern + ")$").c_str(), REG_EXTENDED | REG_NOSUB) == 0;
    if (!ok_) Fail("bad expression /" + pattern + "/");
  }
  ~WholeLine() {
    if (ok_) regfree(&re_);
  }
  WholeLine(const WholeLine&) = delete;
  WholeLine& operator=(const WholeLine&) = delete;
  bool Matches(const std::string& line) const {
    return ok_ && regexec(&re_, line.c_str(), 0, nullptr, 0) == 0;
  }

 private:
  regex_t re_{};
  bool ok_ = false;
};

void CheckNoControlCharacters(const std::string& text, const char* stream) {
  const std::string problem = zmr::test::ControlCharacterProblem(text, stream);
  if (!problem.empty()) Fail(problem);
}

void CheckInPlace(const std::string& text) {
  if (text.find("\x1b[K") == std::string::npos || text.find('\r') == std::string::npos)
    Fail("the status line was not redrawn in place");
  // Every redraw starts at the beginning of a line: "\r" then text then clear to end of line.
  long redraws = 0;
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
    const size_t end = text.find_first_of("\r\n\x1b", at + 1);
    if (end != std::string::npos && text.compare(end, 3, "\x1b[K") == 0) ++redraws;
  }
  std::printf("in-place redraws: %ld\n", redraws);
  if (redraws < 3) Fail("fewer than three in-place redraws");
}

std::string Readable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\x1b') {
      shown += "\\e";
    } else {
      shown += c;
    }
  }
  return shown;
}

bool ParseArguments(int argc, char** argv, Expectations& expect, int& programIndex) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--") {
      programIndex = i + 1;
      return programIndex < argc;
    }
    if (arg == "--status" && hasValue) {
      expect.status = std::atoi(argv[++i]);
    } else if (arg == "--line" && hasValue) {
      expect.lines.emplace_back(argv[++i]);
    } else if (arg == "--match" && hasValue) {
      expect.matches.emplace_back(argv[++i]);
    } else if (arg == "--no-match" && hasValue) {
      expect.noMatches.emplace_back(argv[++i]);
    } else if (arg == "--lines" && hasValue) {
      expect.lineCount = std::atol(argv[++i]);
    } else if (arg == "--stderr-line" && hasValue) {
      expect.stderrLines.emplace_back(argv[++i]);
    } else if (arg == "--quiet") {
      expect.quiet = true;
    } else if (arg == "--quiet-stdout") {
      expect.quietStdout = true;
    } else if (arg == "--hold-lock") {
      expect.holdLock = true;
    } else if (arg == "--tty") {
      expect.tty = true;
    } else if (arg == "--closed-stdout") {
      expect.closedStdout = true;
    } else if (arg == "--stderr-match" && hasValue) {
      expect.stderrMatches.emplace_back(argv[++i]);
    } else if (arg == "--signal-at-trace" && hasValue) {
      const std::string value = argv[++i];
      const size_t colon = value.find(':');
      const std::string name = colon == std::string::npos ? "" : value.substr(colon + 1);
      expect.signalAtTrace = std::atol(value.c_str());
      expect.signal = name == "INT"    ? SIGINT
                      : name == "TERM" ? SIGTERM
                      : name == "HUP"  ? SIGHUP
                                       : 0;
      if (expect.signal == 0 || expect.signalAtTrace <= 0) return false;
    } else if (arg == "--no-stdout") {
      expect.noStdout = true;
    } else if (arg == "--log-match" && hasValue) {
      expect.logMatches.emplace_back(argv[++i]);
    } else if (arg == "--json-field" && hasValue) {
      expect.jsonFields.emplace_back(argv[++i]);
    } else if (arg == "--trace-match" && hasValue) {
      expect.traceMatches.emplace_back(argv[++i]);
    } else if (arg == "--trace-no-match" && hasValue) {
      expect.traceNoMatches.emplace_back(argv[++i]);
    } else if (arg == "--trace-match-after-signal" && hasValue) {
      expect.traceMatchesAfterSignal.emplace_back(argv[++i]);
    } else if (arg == "--full-stdout") {
      expect.fullStdout = true;
    } else {
      std::fprintf(stderr, "cli_process_check: unknown or incomplete check %s\n", arg.c_str());
      return false;
    }
  }
  return false;
}

}  // namespace

void CheckJson(const std::string& out, const std::vector<std::string>& fields) {
  if (out.empty() || out.find('\n') != out.size() - 1) {
    Fail("stdout is not one line: " + out);
    return;
  }
  nlohmann::json object;
  try {
    object = nlohmann::json::parse(out);
  } catch (const nlohmann::json::exception& error) {
    Fail(std::string("stdout is not JSON: ") + error.what());
    return;
  }
  if (!object.is_object()) Fail("stdout is not a JSON object");
  for (const std::string& field : fields) {
    const size_t equals = field.find('=');
    const std::string pointer = field.substr(0, equals);
    const std::string expected = equals == std::string::npos ? "" : field.substr(equals + 1);
    try {
      const nlohmann::json& value = object.at(nlohmann::json::json_pointer(pointer));
      const std::string shown = value.is_string() ? value.get<std::string>() : value.dump();
      if (shown != expected) Fail("JSON " + pointer + " is " + shown + ", expected " + expected);
    } catch (const nlohmann::json::exception& error) {
      Fail("JSON " + pointer + ": " + error.what());
    }
  }
}

int main(int argc, char** argv) {
  Expectations expect;
  int programIndex = 0;
  if (!ParseArguments(argc, argv, expect, programIndex)) {
    std::fprintf(stderr, "usage: cli_process_check [checks...] -- PROGRAM [ARGS...]\n");
    return 2;
  }
  // Each case keeps its single-instance lock in a folder of its own, so cases can run at once.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    std::error_code error;
    std::filesystem::create_directories(runtime, error);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, error);
  }
  std::unique_ptr<zmr::platform::InstanceLock> lock;
  if (expect.holdLock) {
    lock = zmr::platform::InstanceLock::Acquire(zmr::kInstanceName);
    if (!lock) {
      std::fprintf(stderr, "cli_process_check: cannot take the instance lock\n");
      return 2;
    }
  }

  std::string traceFile;
  if (const char* setting = std::getenv("ZMR470_SIM_TRACE"); setting && *setting) {
    traceFile = setting;
    std::remove(setting);
  }
  // The trace checks read that file, or one of the case's own when none is set.
  if (expect.signal != 0 || !expect.traceMatches.empty() || !expect.traceNoMatches.empty() ||
      !expect.traceMatchesAfterSignal.empty()) {
    if (traceFile.empty()) {
      const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      traceFile = std::string(runtime && *runtime ? runtime : ".") + "/sim-trace.txt";
      setenv("ZMR470_SIM_TRACE", traceFile.c_str(), 1);
    }
    expect.traceFile = traceFile;
    std::ofstream(expect.traceFile, std::ios::trunc).close();  // to be watched from the start
  }

  if (expect.noStdout) {
    // Left by an earlier run of the case: start from no lock file.
    std::error_code error;
    std::filesystem::remove(zmr::platform::InstanceLock::PathFor(zmr::kInstanceName), error);
  }

  std::string logFile;
  if (!expect.logMatches.empty()) {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (!state || *state != '/') {
      std::fprintf(stderr, "cli_process_check: --log-match needs an absolute XDG_STATE_HOME\n");
      return 2;
    }
    logFile = std::string(state) + "/zmr470-update/zmr470-update.log";
    std::error_code error;
    std::filesystem::remove(logFile, error);
  }

  const auto start = std::chrono::steady_clock::now();
  zmr::test::ProcessOptions options;
  options.tty = expect.tty;
  options.closedStdout = expect.closedStdout;
  options.fullStdout = expect.fullStdout;
  options.noStdout = expect.noStdout;
  options.signal = expect.signal;
  options.signalAtTrace = expect.signalAtTrace;
  options.traceFile = expect.traceFile;
  const zmr::test::ProcessResult result = zmr::test::RunProcess(argv + programIndex, options);
  if (!result.problem.empty()) Fail(result.problem);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("real time: %.1f s, exit status %d\n", seconds, result.status);
  std::printf("--- stdout ---\n%s--- stderr ---\n%s---\n", Readable(result.out).c_str(),
              Readable(result.err).c_str());

  if (expect.status >= 0 && result.status != expect.status)
    Fail("exit status " + std::to_string(result.status) + ", expected " +
         std::to_string(expect.status));
  if (expect.tty) {
    CheckInPlace(result.out);
    // Besides the redraw ("\r", ESC "[K") nothing may reach the terminal's control.
    std::string rest = result.out;
    for (size_t at = rest.find("\x1b[K"); at != std::string::npos; at = rest.find("\x1b[K", at))
      rest.erase(at, 3);
    std::erase(rest, '\r');
    CheckNoControlCharacters(rest, "stdout (apart from the redraw)");
  } else {
    CheckNoControlCharacters(result.out, "stdout");
    CheckNoControlCharacters(result.err, "stderr");
  }
  std::string out = result.out;
  if (expect.tty) {
    // What remains on the screen: each line as its last redraw left it.
    std::string screen;
    for (const std::string& line : SplitLines(out)) {
      std::string text = line;
      if (!text.empty() && text.back() == '\r') text.pop_back();
      const size_t lastRedraw = text.rfind('\r');
      if (lastRedraw != std::string::npos) text = text.substr(lastRedraw + 1);
      const size_t clear = text.find("\x1b[K");
      if (clear != std::string::npos) text.erase(clear);
      screen += text + "\n";
    }
    out = screen;
  }
  const std::vector<std::string> lines = SplitLines(out);
  const auto hasLine = [&](auto&& test) {
    for (const std::string& line : lines) {
      if (test(line)) return true;
    }
    return false;
  };
  for (const std::string& expected : expect.lines) {
    if (!hasLine([&](const std::string& line) { return line == expected; }))
      Fail("no stdout line \"" + expected + "\"");
  }
  for (const std::string& pattern : expect.matches) {
    const WholeLine re(pattern);
    if (!hasLine([&](const std::string& line) { return re.Matches(line); }))
      Fail("no stdout line matches /" + pattern + "/");
  }
  for (const std::string& pattern : expect.noMatches) {
    const WholeLine re(pattern);
    if (hasLine([&](const std::string& line) { return re.Matches(line); }))
      Fail("a stdout line matches /" + pattern + "/");
  }
  if (expect.lineCount >= 0 && long(lines.size()) != expect.lineCount)
    Fail("stdout has " + std::to_string(lines.size()) + " lines, expected " +
         std::to_string(expect.lineCount));
  const std::vector<std::string> errLines = SplitLines(result.err);
  for (const std::string& expected : expect.stderrLines) {
    bool found = false;
    for (const std::string& line : errLines) found = found || line == expected;
    if (!found) Fail("no stderr line \"" + expected + "\"");
  }
  for (const std::string& pattern : expect.stderrMatches) {
    const WholeLine re(pattern);
    bool found = false;
    for (const std::string& line : errLines) found = found || re.Matches(line);
    if (!found) Fail("no stderr line matches /" + pattern + "/");
  }
  if (!expect.traceFile.empty()) {
    std::vector<std::string> trace;
    std::ifstream file(expect.traceFile);
    for (std::string line; std::getline(file, line);) trace.push_back(line);
    std::printf("trace: %zu lines, signal sent after line %ld\n", trace.size(),
                result.traceLinesAtSignal);
    if (expect.signal != 0 && result.traceLinesAtSignal < 0) Fail("the signal was never sent");
    const auto traceHas = [&](const std::string& pattern, long from) {
      const WholeLine re(pattern);
      for (size_t i = size_t(std::max(0L, from)); i < trace.size(); ++i) {
        if (re.Matches(trace[i])) return true;
      }
      return false;
    };
    for (const std::string& pattern : expect.traceMatches) {
      if (!traceHas(pattern, 0)) Fail("no trace line matches /" + pattern + "/");
    }
    for (const std::string& pattern : expect.traceNoMatches) {
      if (traceHas(pattern, 0)) Fail("a trace line matches /" + pattern + "/");
    }
    for (const std::string& pattern : expect.traceMatchesAfterSignal) {
      if (!traceHas(pattern, result.traceLinesAtSignal))
        Fail("no trace line after the signal matches /" + pattern + "/");
    }
  }
  if (expect.noStdout) {
    // With descriptor 1 free, the first file the tool opened took it, and what it printed went
    // into that file.
    const std::string lockFile = zmr::platform::InstanceLock::PathFor(zmr::kInstanceName);
    std::error_code error;
    const auto size = std::filesystem::file_size(lockFile, error);
    if (!error && size != 0)
      Fail("the lock file " + lockFile + " holds " + std::to_string(size) + " bytes of output");
  }
  if (!logFile.empty()) {
    std::vector<std::string> log;
    std::ifstream file(logFile);
    for (std::string line; std::getline(file, line);) log.push_back(line);
    std::string shown;
    for (const std::string& line : log) shown += line + "\n";
    std::printf("--- run log ---\n%s---\n", shown.c_str());
    for (const std::string& pattern : expect.logMatches) {
      const WholeLine re(pattern);
      bool found = false;
      for (const std::string& line : log) found = found || re.Matches(line);
      if (!found) Fail("no run log line matches /" + pattern + "/");
    }
  }
  if (!expect.jsonFields.empty()) CheckJson(result.out, expect.jsonFields);
  if ((expect.quiet || expect.quietStdout) && !result.out.empty()) Fail("stdout is not empty");
  if (expect.quiet && !result.err.empty()) Fail("stderr is not empty");
  if (!traceFile.empty()) {
    std::ostringstream trace;
    trace << std::ifstream(traceFile).rdbuf();
    for (const std::string& line : zmr::test::TraceViolations(trace.str()))
      Fail("simulated printer: " + line);
  }
  return failures == 0 ? 0 : 1;
}
