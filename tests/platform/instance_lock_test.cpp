#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zmr::platform {
namespace {

// Whether another process can take the lock now.
bool OtherProcessCanAcquire(const char* name) {
  const pid_t child = fork();
  if (child == 0) _exit(InstanceLock::Acquire(name) ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(InstanceLock, OneHolderAtATimeAndFreeAgainAfterRelease) {
  const char* name = "zmr470 lock test";
  auto lock = InstanceLock::Acquire(name);
  ASSERT_NE(lock, nullptr);
  EXPECT_FALSE(OtherProcessCanAcquire(name));
  lock.reset();
  EXPECT_TRUE(OtherProcessCanAcquire(name));
}

TEST(InstanceLock, NameBecomesASafeFileName) {
  const std::string path = InstanceLock::PathFor("TALVERON ZMR470 Update Tool/../x");
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "TALVERON_ZMR470_Update_Tool____x.lock");
}

}  // namespace
}  // namespace zmr::platform
