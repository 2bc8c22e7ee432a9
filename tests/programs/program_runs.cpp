// SPDX-License-Identifier: MIT
#include "program_runs.h"

#include <fcntl.h>
#include <poll.h>
#include <regex.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef ZMR_SIM_LIB_DIR
#error "ZMR_SIM_LIB_DIR names the simulated printer's libraries"
#endif

extern char** environ;

namespace zmr::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A POSIX extended expression that must match a whole line.
bool MatchesWhole(const std::string& pattern, const std::string& line) {
  regex_t re{};
  if (regcomp(&re, ("^(" + pattern + ")$").c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    std::fprintf(stderr, "bad expression /%s/\n", pattern.c_str());
    return false;
  }
  const bool match = regexec(&re, line.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return match;
}

bool AnyLine(const std::string& text, const std::string& pattern) {
  for (const std::string& line : Lines(text))
    if (MatchesWhole(pattern, line)) return true;
  return false;
}

// The environment of a run: ours, less what must not leak into it, plus the run's own.
std::vector<std::string> Environment(const ProgramRun& run, const std::string& display) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (auto it = env.begin(); it != env.end();) {
    const bool ours = it->first.rfind("ZMR470_", 0) == 0 || it->first.rfind("ZMR_", 0) == 0 ||
                      it->first.rfind("XDG_", 0) == 0 || it->first.rfind("LC_", 0) == 0;
    it = ours ? env.erase(it) : std::next(it);
  }
  env["LD_LIBRARY_PATH"] = ZMR_SIM_LIB_DIR;
  env["ZMR470_SIM_TRACE"] = run.folder + "/trace.txt";
  env["XDG_STATE_HOME"] = run.folder + "/state";
  env["HOME"] = run.folder + "/home";
  env["LANGUAGE"] = "";
  env["LANG"] = "C";
  // The sleep inhibitor of the machine's login manager is not the tests' to take.
  env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=/nonexistent/zmr470-test-bus";
  if (run.display) {
    env["DISPLAY"] = display;
    env["QT_QPA_PLATFORM"] = "xcb";
    env["ZMR470_UI_LOG"] = "-";
  }
  for (const auto& [name, value] : run.env) {
    if (value) {
      env[name] = *value;
    } else {
      env.erase(name);
    }
  }
  std::vector<std::string> list;
  for (const auto& [name, value] : env) list.push_back(name + "=" + value);
  return list;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts `argv` with `env`, standard output and error to the files given (or /dev/null).
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, const std::string& out,
            const std::string& err, const std::function<void()>& inChild = {}) {
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> envp = Pointers(env);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int in = open("/dev/null", O_RDONLY);
  const int o = open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  const int e = open(err.empty() ? "/dev/null" : err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  dup2(in, 0);
  dup2(o, 1);
  dup2(e, 2);
  // A process group of its own: a terminal's Ctrl-C reaches the test, not each program.
  setpgid(0, 0);
  // The default actions the programs start with, whatever the test's own are.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) std::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Below the test in priority: many programs start at once, and the test must see their trace
  // lines as they come to act at the moments it means.
  [[maybe_unused]] const int niced = nice(10);
  const rlimit noCore{0, 0};  // SIGQUIT would leave a core file
  setrlimit(RLIMIT_CORE, &noCore);
  if (inChild) inChild();
  execve(args[0], args.data(), envp.data());
  _exit(127);
}

// An X server of its own for one run of the desktop tool.
struct Display {
  pid_t server = -1;
  std::string name;

  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    server = fork();
    if (server == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      setpgid(0, 0);
      [[maybe_unused]] const int niced = nice(10);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display's number once it listens.
    std::string number;
    char c = 0;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    name = ":" + number;
    return !number.empty();
  }
  void Stop() {
    if (server > 0) {
      kill(server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
    server = -1;
  }
};

// One run as it goes.
struct Running {
  const ProgramRun* run = nullptr;
  std::vector<Trigger> triggers;  // copies: the matchers keep their own state
  std::vector<int> seen;          // matching lines so far, per trigger
  std::vector<std::optional<Clock::time_point>> due;
  std::vector<bool> done;
  Display display;
  pid_t pid = -1;
  int pidfd = -1;
  bool ended = false;
  Clock::time_point start;
  size_t traceOffset = 0, outOffset = 0;
  std::string traceRest, outRest;
  long traceLines = 0;
  std::vector<pid_t> helpers;
  RunOutcome outcome;
};

long SinceStart(const Running& r) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.start).count());
}

// Feeds the new complete lines of `path` to the triggers of `source`.
void ReadNew(Running& r, const std::string& path, size_t& offset, std::string& rest,
             Trigger::Source source) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(static_cast<std::streamoff>(offset));
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  offset += text.size();
  rest += text;
  for (size_t nl = rest.find('\n'); nl != std::string::npos; nl = rest.find('\n')) {
    const std::string line = rest.substr(0, nl);
    rest.erase(0, nl + 1);
    if (source == Trigger::Source::kTrace) ++r.traceLines;
    for (size_t i = 0; i < r.triggers.size(); ++i) {
      Trigger& t = r.triggers[i];
      if (t.source != source || r.due[i] || r.done[i] || !t.matches(line)) continue;
      if (++r.seen[i] == t.count) {
        r.due[i] = Clock::now() + std::chrono::milliseconds(t.delayMs);
        r.outcome.seenAtMs[i] = SinceStart(r);
      }
    }
  }
}

void Act(Running& r, size_t i) {
  r.done[i] = true;
  r.outcome.traceLinesAtAction[i] = r.traceLines;
  r.outcome.actedAtMs[i] = SinceStart(r);
  const Trigger& t = r.triggers[i];
  if (r.ended) return;
  if (t.signal != 0) {
    kill(r.pid, t.signal);
    return;
  }
  std::vector<std::string> command = t.command;
  for (std::string& arg : command) {
    if (arg == "{pid}") arg = std::to_string(r.pid);
  }
  const char* path = std::getenv("PATH");
  std::vector<std::string> env = {"DISPLAY=" + r.display.name,
                                  std::string("PATH=") + (path ? path : "/usr/bin")};
  if (!command.empty()) {
    // The helper is found on the path.
    const std::string name = command[0];
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
      if (access((std::string(dir) + "/" + name).c_str(), X_OK) == 0) {
        command[0] = std::string(dir) + "/" + name;
        break;
      }
    }
    r.helpers.push_back(Spawn(command, env, "", r.run->folder + "/helper-err.txt"));
  }
}

}  // namespace

std::vector<RunOutcome> RunAll(const std::vector<ProgramRun>& runs, uint32_t timeoutMs) {
  std::vector<Running> running(runs.size());
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  for (size_t k = 0; k < runs.size(); ++k) {
    Running& r = running[k];
    r.run = &runs[k];
    r.triggers = runs[k].triggers;
    r.seen.assign(r.triggers.size(), 0);
    r.due.assign(r.triggers.size(), std::nullopt);
    r.done.assign(r.triggers.size(), false);
    r.outcome.traceLinesAtAction.assign(r.triggers.size(), -1);
    r.outcome.seenAtMs.assign(r.triggers.size(), -1);
    r.outcome.actedAtMs.assign(r.triggers.size(), -1);
    std::error_code error;
    if (!r.run->keepFolder) fs::remove_all(r.run->folder, error);
    fs::create_directories(r.run->folder + "/home", error);
    for (const char* file : {"/trace.txt", "/out.txt", "/err.txt"})
      std::ofstream(r.run->folder + file).close();
    if (r.run->prepare) r.run->prepare(r.run->folder);
    inotify_add_watch(watch, r.run->folder.c_str(), IN_MODIFY | IN_CLOSE_WRITE);
    if (r.run->display && !r.display.Start()) {
      r.ended = true;
      r.outcome.err = "no X server";
    }
  }
  for (Running& r : running) {
    if (r.ended) continue;
    r.start = Clock::now();
    r.pid = Spawn(r.run->argv, Environment(*r.run, r.display.name), r.run->folder + "/out.txt",
                  r.run->folder + "/err.txt", r.run->inChild);
    r.pidfd = static_cast<int>(syscall(SYS_pidfd_open, r.pid, 0));
    for (size_t i = 0; i < r.triggers.size(); ++i) {
      if (r.triggers[i].source == Trigger::Source::kStart)
        r.due[i] = r.start + std::chrono::milliseconds(r.triggers[i].delayMs);
    }
  }

  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // What is due now, and when the next thing is.
    Clock::time_point next = deadline;
    bool anyRunning = false;
    for (Running& r : running) {
      if (r.ended) continue;
      anyRunning = true;
      for (size_t i = 0; i < r.triggers.size(); ++i) {
        if (!r.due[i] || r.done[i]) continue;
        if (*r.due[i] <= Clock::now()) {
          Act(r, i);
        } else {
          next = std::min(next, *r.due[i]);
        }
      }
    }
    if (!anyRunning) break;
    if (Clock::now() >= deadline) {
      for (Running& r : running) {
        if (r.ended) continue;
        kill(r.pid, SIGKILL);
        r.outcome.timedOut = true;
      }
    }
    std::vector<pollfd> fds = {{watch, POLLIN, 0}};
    for (const Running& r : running) {
      if (!r.ended && r.pidfd >= 0) fds.push_back({r.pidfd, POLLIN, 0});
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    poll(fds.data(), fds.size(),
         static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 1000)));
    char events[8192];
    while (read(watch, events, sizeof events) > 0) {
    }
    for (Running& r : running) {
      if (r.ended) continue;
      ReadNew(r, r.run->folder + "/trace.txt", r.traceOffset, r.traceRest, Trigger::Source::kTrace);
      ReadNew(r, r.run->folder + "/out.txt", r.outOffset, r.outRest, Trigger::Source::kStdout);
      int status = 0;
      if (waitpid(r.pid, &status, WNOHANG) == r.pid) {
        r.ended = true;
        r.outcome.seconds = std::chrono::duration<double>(Clock::now() - r.start).count();
        r.outcome.exited = WIFEXITED(status);
        r.outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        if (r.pidfd >= 0) close(r.pidfd);
      }
    }
  }
  close(watch);

  std::vector<RunOutcome> outcomes;
  for (Running& r : running) {
    for (pid_t helper : r.helpers) waitpid(helper, nullptr, 0);
    r.display.Stop();
    RunOutcome& o = r.outcome;
    o.out = ReadFile(r.run->folder + "/out.txt");
    o.err += ReadFile(r.run->folder + "/err.txt");
    o.trace = Lines(ReadFile(r.run->folder + "/trace.txt"));
    // Only a regular file: a FIFO in the log's place would block the read.
    const std::string log = r.run->folder + "/state/zmr470-update/zmr470-update.log";
    std::error_code error;
    if (fs::is_regular_file(fs::symlink_status(log, error))) o.log = ReadFile(log);
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

bool RunOutcome::TraceHas(const std::string& pattern, long from) const {
  for (size_t i = static_cast<size_t>(std::max(0L, from)); i < trace.size(); ++i)
    if (MatchesWhole(pattern, trace[i])) return true;
  return false;
}

size_t RunOutcome::LogLines(const std::string& pattern) const {
  size_t n = 0;
  for (const std::string& line : Lines(log)) n += MatchesWhole(pattern, line) ? 1 : 0;
  return n;
}

bool RunOutcome::ErrHas(const std::string& pattern) const {
  return AnyLine(err, pattern);
}

bool RunOutcome::OutHas(const std::string& pattern) const {
  return AnyLine(out, pattern);
}

std::vector<std::string> RunOutcome::Violations() const {
  std::vector<std::string> found;
  for (const std::string& line : trace) {
    if (line.find(" VIOLATION ") != std::string::npos &&
        line.find("(after a write fault)") == std::string::npos)
      found.push_back(line);
  }
  return found;
}

std::string RunOutcome::Describe() const {
  std::ostringstream text;
  text << "status " << ShellStatus() << (timedOut ? " (timed out)" : "") << " after " << seconds
       << " s\n--- stdout ---\n"
       << out << "--- stderr ---\n"
       << err << "--- run log ---\n"
       << log << "--- trace: " << trace.size() << " lines; actions at";
  for (size_t i = 0; i < traceLinesAtAction.size(); ++i) {
    text << " " << traceLinesAtAction[i] << " (seen " << seenAtMs[i] << " ms, acted "
         << actedAtMs[i] << " ms)";
  }
  text << " ---\n";
  const size_t from = trace.size() > 12 ? trace.size() - 12 : 0;
  for (size_t i = from; i < trace.size(); ++i) text << trace[i] << "\n";
  return text.str();
}

bool CanRunOnDisplay() {
  return std::system("command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") == 0;
}

bool IsCommand(const std::string& line, const char* hex) {
  const std::string tail = std::string(" W PIPE00 4 ") + hex;
  return line.size() >= tail.size() &&
         line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

Trigger OnBlockOf(char type, int count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string transfer = "1b6674";
  transfer += kDigits[static_cast<unsigned char>(type) >> 4];
  transfer += kDigits[static_cast<unsigned char>(type) & 0xF];
  Trigger trigger;
  trigger.count = count;
  trigger.matches = [transfer, inside = false](const std::string& line) mutable {
    if (line.find(" W PIPE00 4 ") != std::string::npos) {
      inside = IsCommand(line, transfer.c_str());
      return false;
    }
    return inside && line.find(" W PIPE00 4096 ") != std::string::npos;
  };
  return trigger;
}

Trigger OnEnter(uint32_t delayMs) {
  Trigger trigger;
  trigger.matches = [](const std::string& line) { return IsCommand(line, kEnterHex); };
  trigger.delayMs = delayMs;
  return trigger;
}

// The tool names its window before the X server has mapped it, and focusing a window that is
// not mapped yet fails (BadMatch): the search waits for the window to be visible.
std::vector<std::string> PressDownload(bool shiftK) {
  std::vector<std::string> command = {
      "xdotool",     "search", "--sync", "--onlyvisible",
      "--pid",       "{pid}",  "--name", "^TALVERON ZMR470 Update Tool$",
      "windowfocus", "--sync"};
  if (shiftK) {
    for (const char* arg : {"keydown", "shift", "keydown", "k"}) command.emplace_back(arg);
  }
  command.emplace_back("key");
  command.emplace_back("Return");
  if (shiftK) {
    for (const char* arg : {"keyup", "k", "keyup", "shift"}) command.emplace_back(arg);
  }
  return command;
}

}  // namespace zmr::test
