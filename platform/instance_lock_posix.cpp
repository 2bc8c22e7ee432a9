#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace zmr::platform {
namespace {

std::string PrivateDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  std::string dir = "/tmp/zmr470-update-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  struct stat info {};
  // A folder that someone else made, or that others may write, is not private: refuse it.
  if (lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
      (info.st_mode & 077) != 0) {
    return {};
  }
  return dir;
}

}  // namespace

std::string InstanceLock::PathFor(std::string_view name) {
  const std::string dir = PrivateDirectory();
  if (dir.empty()) return {};
  std::string file;
  for (char c : name) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    file += plain ? c : '_';
  }
  return dir + "/" + file + ".lock";
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(std::string_view name) {
  const std::string path = PathFor(name);
  if (path.empty()) return nullptr;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

InstanceLock::~InstanceLock() {
  close(fd_);
}

}  // namespace zmr::platform
