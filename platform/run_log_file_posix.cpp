// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/run_log_file.h"
#include "platform/user_folders_posix.h"

namespace zmr::platform {
namespace {

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Makes each missing folder of `dir` below an existing one (0700).
void MakeFolders(const std::string& dir) {
  for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
    const std::string part = at == std::string::npos ? dir : dir.substr(0, at);
    mkdir(part.c_str(), 0700);
    if (at == std::string::npos) return;
  }
}

bool Fail(std::string* problem, const std::string& what) {
  if (problem) *problem = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::string LocalTimeText() {
  const time_t now = time(nullptr);
  tm local{};
  char text[64];
  if (localtime_r(&now, &local) == nullptr || strftime(text, sizeof text, "%F %T %z", &local) == 0)
    return "?";
  return text;
}

std::string RunLogPath() {
  const std::string state = StateDirectory();
  return state.empty() ? std::string() : state + "/zmr470-update/zmr470-update.log";
}

bool AppendRunLog(const std::string& path, std::string_view record, size_t maxBytes,
                  std::string* problem) {
  if (path.empty()) {
    if (problem) *problem = "no place for the log";
    return false;
  }
  if (const size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
    MakeFolders(path.substr(0, slash));
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Fail(problem, path);
  // Both programs share one lock of the user, but a log may also be shared by hand: take turns.
  flock(fd, LOCK_EX);
  bool ok = true;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<size_t>(info.st_size) + record.size() > maxBytes) {
    // Keep the newest half (whole lines) and write it back from the start.
    const size_t size = static_cast<size_t>(info.st_size);
    const size_t keep = std::min(size, maxBytes / 2);
    std::vector<char> tail(keep);
    ssize_t got = keep > 0 ? pread(fd, tail.data(), keep, static_cast<off_t>(size - keep)) : 0;
    if (got < 0) got = 0;
    size_t from = 0;
    if (keep < size) {  // the first line is likely cut: drop it
      const void* nl = std::memchr(tail.data(), '\n', static_cast<size_t>(got));
      from = nl ? static_cast<size_t>(static_cast<const char*>(nl) - tail.data()) + 1
                : static_cast<size_t>(got);
    }
    ok = ftruncate(fd, 0) == 0 && WriteAll(fd, tail.data() + from, static_cast<size_t>(got) - from);
    if (!ok) Fail(problem, path);
  }
  if (ok && !WriteAll(fd, record.data(), record.size())) ok = Fail(problem, path);
  close(fd);  // also releases the lock
  return ok;
}

}  // namespace zmr::platform
