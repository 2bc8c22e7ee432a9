// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "platform/run_log_file.h"
#include "platform/user_folders_posix.h"

namespace zmr::platform {
namespace {

// A step of the wait for the log's lock.
constexpr uint32_t kLockPollMs = 50;

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
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

std::string Reason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

// A descriptor that is closed when it goes out of scope unless it was handed on.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Keeps the newest `keep` bytes of the file, from the first whole line among them on.
bool DropOldestLines(int fd, size_t size, size_t keep) {
  keep = std::min(size, keep);
  std::vector<char> tail(keep);
  ssize_t got = keep > 0 ? pread(fd, tail.data(), keep, static_cast<off_t>(size - keep)) : 0;
  if (got < 0) return false;
  size_t from = 0;
  if (keep < size) {  // the first line is likely cut: drop it
    const void* nl = std::memchr(tail.data(), '\n', static_cast<size_t>(got));
    from = nl ? static_cast<size_t>(static_cast<const char*>(nl) - tail.data()) + 1
              : static_cast<size_t>(got);
  }
  return ftruncate(fd, 0) == 0 && WriteAll(fd, tail.data() + from, static_cast<size_t>(got) - from);
}

// The last `bytes` of the file, from a line's start.
std::string Tail(int fd, size_t bytes) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_size <= 0) return {};
  const auto size = static_cast<size_t>(info.st_size);
  const size_t take = std::min(size, bytes);
  std::string text(take, '\0');
  const ssize_t got = pread(fd, text.data(), take, static_cast<off_t>(size - take));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  if (take < size) {
    const size_t nl = text.find('\n');
    text.erase(0, nl == std::string::npos ? text.size() : nl + 1);
  }
  return text;
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

RunLogFile::Opened RunLogFile::Open(const std::string& path, Clock& clock, size_t maxBytes,
                                    uint32_t lockWaitMs) {
  Opened opened;
  const size_t slash = path.rfind('/');
  if (path.empty() || slash == std::string::npos || slash + 1 == path.size()) {
    opened.problem = "no place for the log";
    return opened;
  }
  // A file size limit (ulimit -f) must not end the process in the middle of an update: a write
  // past it fails like one to a full disk instead.
  std::signal(SIGXFSZ, SIG_IGN);

  // The folders above the log's own may be links (a home folder elsewhere); the log's own folder
  // may not: a link there would let the file be made wherever it points.
  const std::string dir = slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = path.substr(slash + 1);
  const size_t up = dir.rfind('/');
  const std::string parent = up == std::string::npos ? "." : up == 0 ? "/" : dir.substr(0, up);
  const std::string folder = up == std::string::npos ? dir : dir.substr(up + 1);
  if (parent != "/") MakeFolders(parent);
  const Fd parentFd(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) {
    opened.problem = Reason(parent, errno);
    return opened;
  }
  if (!folder.empty()) mkdirat(parentFd.get(), folder.c_str(), 0700);
  const Fd dirFd(folder.empty() ? dup(parentFd.get())
                                : openat(parentFd.get(), folder.c_str(),
                                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dirFd.get() < 0) {
    const int error = errno;
    opened.problem = error == ELOOP || error == ENOTDIR
                         ? dir + " is not a folder (a symbolic link is not followed)"
                         : Reason(dir, error);
    return opened;
  }
  struct stat info {};
  if (fstat(dirFd.get(), &info) != 0 || info.st_uid != geteuid()) {
    opened.problem = dir + " does not belong to this user";
    return opened;
  }

  // O_NONBLOCK: a FIFO or a device in the log's place must not hold the run up while it opens.
  Fd fd(openat(dirFd.get(), name.c_str(),
               O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
  if (fd.get() < 0) {
    const int error = errno;
    opened.problem = error == ELOOP ? path + " is a symbolic link" : Reason(path, error);
    return opened;
  }
  if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    opened.problem = path + " is not a regular file of this user";
    return opened;
  }
  fcntl(fd.get(), F_SETFL, O_APPEND);

  // Both programs share one lock of the user, but a log may also be shared by hand: take turns,
  // for a while.
  const uint32_t start = clock.TickCount();
  while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      opened.problem = Reason(path, errno);
      return opened;
    }
    const uint32_t waited = clock.TickCount() - start;
    if (waited >= lockWaitMs) {
      opened.problem = path + " is locked by another process (waited " +
                       std::to_string(waited / 1000) + "." + std::to_string(waited % 1000 / 100) +
                       " s)";
      return opened;
    }
    clock.Sleep(std::min(kLockPollMs, lockWaitMs - waited));
  }

  if (fstat(fd.get(), &info) == 0 && static_cast<size_t>(info.st_size) + maxBytes / 16 > maxBytes &&
      !DropOldestLines(fd.get(), static_cast<size_t>(info.st_size), maxBytes / 2)) {
    opened.problem = Reason(path, errno);
    return opened;
  }
  opened.tail = Tail(fd.get(), kRunLogTailBytes);
  opened.log.reset(new RunLogFile(fd.release(), path));
  return opened;
}

bool RunLogFile::AppendLine(std::string_view line) {
  if (!problem_.empty()) return false;
  std::string text(line);
  text += '\n';
  const int fd = static_cast<int>(handle_);
  const off_t before = lseek(fd, 0, SEEK_END);
  if (before >= 0 && WriteAll(fd, text.data(), text.size())) return true;
  const int error = errno;
  // What went in of the line is taken back: the log ends after its last whole line.
  [[maybe_unused]] const int rc = before >= 0 ? ftruncate(fd, before) : 0;
  problem_ = Reason(path_, error);
  return false;
}

RunLogFile::~RunLogFile() {
  close(static_cast<int>(handle_));  // also gives the lock back
}

}  // namespace zmr::platform
