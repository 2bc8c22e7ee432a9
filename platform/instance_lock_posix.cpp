// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/user_folders_posix.h"

namespace zmr::platform {
namespace {

// A directory of this user that nobody else may enter or write (not a link to one).
bool IsPrivateDirectory(const std::string& dir) {
  struct stat info {};
  return lstat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & 077) == 0;
}

// Makes `dir` as a private folder when it is missing; true when it is one now.
bool MakePrivateDirectory(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsPrivateDirectory(dir);
}

// The folder for the lock, or empty with `problem` set. It is the tool's folder of the user's
// state ($XDG_STATE_HOME, by default ~/.local/state), the same whether the program runs in a
// desktop session, over ssh, from cron or in a plain shell: $XDG_RUNTIME_DIR is not looked at,
// as only some of these set it, and two copies must never take two different locks.
std::string PrivateDirectory(std::string* problem) {
  std::string dir = StateDirectory();
  if (dir.empty()) {
    if (problem) *problem = "no home directory for the lock";
    return {};
  }
  // ~/.local may be missing as well as ~/.local/state; only the last one must be private.
  if (const size_t slash = dir.rfind('/'); slash > 0 && slash != std::string::npos) {
    mkdir(dir.substr(0, slash).c_str(), 0700);
  }
  mkdir(dir.c_str(), 0700);
  dir += "/zmr470-update";
  if (!MakePrivateDirectory(dir)) {
    if (problem) *problem = dir + " is not a private directory of this user";
    return {};
  }
  return dir;
}

std::string LockPath(std::string_view name, std::string* problem) {
  const std::string dir = PrivateDirectory(problem);
  if (dir.empty()) return {};
  std::string file;
  for (char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    file += plain ? c : '_';
  }
  return dir + "/" + file + ".lock";
}

}  // namespace

std::string InstanceLock::PathFor(std::string_view name) {
  return LockPath(name, nullptr);
}

InstanceLock::Attempt InstanceLock::TryAcquire(std::string_view name) {
  Attempt attempt;
  const std::string path = LockPath(name, &attempt.problem);
  if (path.empty()) return attempt;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    attempt.problem = path + ": " + std::strerror(errno);
    return attempt;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) {
      attempt.outcome = Outcome::kHeldElsewhere;
    } else {
      attempt.problem = path + ": " + std::strerror(error);
    }
    return attempt;
  }
  attempt.outcome = Outcome::kAcquired;
  attempt.lock.reset(new InstanceLock(fd));
  return attempt;
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  return TryAcquire(name).lock;
}

InstanceLock::~InstanceLock() {
  close(fd_);
}

}  // namespace zmr::platform
