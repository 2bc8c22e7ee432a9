// SPDX-License-Identifier: MIT
#pragma once
// The per-user log of update runs: one file that every run of either program appends its record
// to, line by line as the run goes, so that a run that is killed, crashes or loses power leaves
// its record up to that moment. Kept to a bounded size by dropping its oldest lines. Writing it is
// best effort: a log that cannot be written never stops an update and never holds it up for
// longer than the bounded wait for the log's lock.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/clock.h"

namespace zmr::platform {

// The log keeps at most about this many bytes: when a run starts with less than a sixteenth of
// it left, the oldest lines go first.
inline constexpr size_t kRunLogMaxBytes = 256 * 1024;
// How long a run waits for another process that holds the log's lock before it goes on without.
inline constexpr uint32_t kRunLogLockWaitMs = 2000;
// How much of the log's end Open hands back, for a look at the last record.
inline constexpr size_t kRunLogTailBytes = 16 * 1024;

// $XDG_STATE_HOME/zmr470-update/zmr470-update.log, or ~/.local/state/zmr470-update/... when
// XDG_STATE_HOME is unset or not absolute; empty when there is no home directory either. On
// Windows %LOCALAPPDATA%\zmr470-update\zmr470-update.log.
std::string RunLogPath();

// The log opened for the lines of one run. It holds the log's lock until it is destroyed, so
// the lines of two runs never mix.
class RunLogFile {
 public:
  struct Opened {
    std::unique_ptr<RunLogFile> log;  // null when the log cannot be written now
    std::string problem;              // then: why, with the path
    // The end of the log as it was found (at most kRunLogTailBytes, starting at a line), for a
    // look at the record that the previous run left.
    std::string tail;
  };

  // Opens the log at `path`:
  // - the folders above the log's own are made when missing (0700); the log's own folder is
  //   made (0700) when missing and opened without following a symbolic link, and must belong to
  //   the user;
  // - the log must be a regular file of the user: a symbolic link, FIFO, device or folder in its
  //   place is refused, and opening never blocks on it; it is made (0600) when missing;
  // - another process that holds the log's lock is waited for at most `lockWaitMs` (through
  //   `clock`), then the log is refused;
  // - a log that has grown to within a sixteenth of `maxBytes` loses its oldest whole lines, so
  //   that about half of `maxBytes` stays.
  static Opened Open(const std::string& path, Clock& clock, size_t maxBytes = kRunLogMaxBytes,
                     uint32_t lockWaitMs = kRunLogLockWaitMs);

  // Appends `line` (no line break in it) and a line break, in one write: afterwards the line is
  // in the file whole, or (false) nothing of it is and the log takes no further lines, so a full
  // disk cuts a record between lines, never inside one.
  bool AppendLine(std::string_view line);
  // Why the last AppendLine failed; empty while every line went in.
  const std::string& Problem() const { return problem_; }

  ~RunLogFile();  // closes the file, which gives its lock back
  RunLogFile(const RunLogFile&) = delete;
  RunLogFile& operator=(const RunLogFile&) = delete;

 private:
  RunLogFile(intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  intptr_t handle_;  // the file descriptor, or the Windows file handle
  std::string path_;
  std::string problem_;
};

// Appends `record` (whole lines) to the log at `path` at once, as Open and AppendLine do, waiting
// for the lock on the system clock. False, with `problem` set when given, when any of it could
// not be written.
bool AppendRunLog(const std::string& path, std::string_view record,
                  size_t maxBytes = kRunLogMaxBytes, std::string* problem = nullptr);

// The local date and time now, "2025-03-14 09:26:53 +0100", for the head of a record.
std::string LocalTimeText();

}  // namespace zmr::platform
