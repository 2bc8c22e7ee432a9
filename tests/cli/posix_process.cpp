// SPDX-License-Identifier: MIT
#include "tests/cli/posix_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>

namespace zmr::test {
namespace {

// Sends the signal once the trace file has enough lines; woken by inotify.
struct SignalAtTrace {
  const ProcessOptions* options = nullptr;
  pid_t pid = -1;
  int watch = -1;  // inotify descriptor, -1 when no signal is to be sent
  ProcessResult* result = nullptr;

  static long CountLines(const std::string& path) {
    std::ifstream file(path);
    long n = 0;
    std::string line;
    while (std::getline(file, line)) ++n;
    return n;
  }
  void Check() {
    if (watch < 0 || result->traceLinesAtSignal >= 0) return;
    const long lines = CountLines(options->traceFile);
    if (lines < options->signalAtTrace) return;
    result->traceLinesAtSignal = lines;
    kill(pid, options->signal);
  }
  void OnReadable() {
    char events[4096];
    while (read(watch, events, sizeof events) > 0) {
    }
    Check();
  }
};

// Reads both pipes until both are closed.
void Drain(int outFd, int errFd, ProcessResult& result, SignalAtTrace& trigger) {
  pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {trigger.watch, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = errFd >= 0 ? 2 : 1;
  if (errFd < 0) fds[1].fd = -1;
  trigger.Check();
  while (open > 0) {
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) trigger.OnReadable();
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, size_t(n));
      } else if (n == 0 || errno != EINTR) {
        // A pseudo-terminal reports EIO once the other side has gone.
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProcessResult RunProcess(char** argv, const ProcessOptions& options) {
  ProcessResult result;
  pid_t pid = -1;
  SignalAtTrace trigger{&options, -1, -1, &result};
  if (options.signal != 0) {
    trigger.watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (trigger.watch < 0 || inotify_add_watch(trigger.watch, options.traceFile.c_str(),
                                               IN_MODIFY | IN_CLOSE_WRITE) < 0) {
      result.problem = "cannot watch the trace file";
      return result;
    }
  }
  if (options.tty) {
    int master = -1;
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
      execv(argv[0], argv);
      _exit(127);
    }
    if (pid < 0) {
      result.problem = "cannot start a process on a pseudo-terminal";
      return result;
    }
    trigger.pid = pid;
    Drain(master, -1, result, trigger);
  } else {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) {
      result.problem = "cannot make the pipes";
      return result;
    }
    if (options.closedStdout) {
      // Nobody reads, from the start: every write of the program to standard output fails
      // (EPIPE, or SIGPIPE when it does not guard against it).
      close(out[0]);
      out[0] = open("/dev/null", O_RDONLY);
    }
    pid = fork();
    if (pid == 0) {
      if (options.fullStdout) {
        close(out[1]);
        out[1] = open("/dev/full", O_WRONLY);
      }
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      close(out[0]);
      close(out[1]);
      close(err[0]);
      close(err[1]);
      if (options.noStdout) close(STDOUT_FILENO);
      execv(argv[0], argv);
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
      result.problem = "cannot start a process";
      return result;
    }
    trigger.pid = pid;
    Drain(out[0], err[0], result, trigger);
  }
  if (trigger.watch >= 0) close(trigger.watch);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace zmr::test
