// SPDX-License-Identifier: MIT
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

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

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Where the lock goes for each kind of runtime directory: always the private folder in the state
// directory, so that a copy started with XDG_RUNTIME_DIR and one started without take the same
// lock; never a shared place like /tmp or the current folder.
struct PlaceCase {
  const char* name;
  enum class Runtime { kUnset, kPrivate, kOpenToAll, kRelative, kAFile } runtime;
  bool inRuntime;  // the lock is in the runtime directory (else in <state>/zmr470-update)
};

class InstanceLockPlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(InstanceLockPlace, OnlyInAPrivateDirectoryOfTheUser) {
  namespace fs = std::filesystem;
  const PlaceCase& c = GetParam();
  const fs::path root = fs::temp_directory_path() / ("zmr-lock-test-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "runtime");
  fs::create_directories(root / "state");
  std::optional<std::string> runtime;
  switch (c.runtime) {
    case PlaceCase::Runtime::kUnset:
      break;
    case PlaceCase::Runtime::kPrivate:
      chmod((root / "runtime").c_str(), 0700);
      runtime = (root / "runtime").string();
      break;
    case PlaceCase::Runtime::kOpenToAll:
      chmod((root / "runtime").c_str(), 0777);
      runtime = (root / "runtime").string();
      break;
    case PlaceCase::Runtime::kRelative:
      runtime = "runtime";
      break;
    case PlaceCase::Runtime::kAFile:
      std::ofstream(root / "file").put('x');
      runtime = (root / "file").string();
      break;
  }
  const ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime);
  const ScopedEnv stateEnv("XDG_STATE_HOME", (root / "state").string());
  const fs::path cwd = fs::current_path();
  fs::current_path(root);

  const InstanceLock::Attempt attempt = InstanceLock::TryAcquire("zmr470 place test");
  fs::current_path(cwd);
  ASSERT_EQ(attempt.outcome, InstanceLock::Outcome::kAcquired) << attempt.problem;
  const std::string path = InstanceLock::PathFor("zmr470 place test");
  const fs::path expected = c.inRuntime ? root / "runtime" : root / "state" / "zmr470-update";
  EXPECT_EQ(fs::path(path).parent_path(), expected);
  struct stat info {};
  ASSERT_EQ(stat(expected.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 077, c.inRuntime ? info.st_mode & 077 : 0u);
  fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    Runtime, InstanceLockPlace,
    testing::Values(PlaceCase{"Unset", PlaceCase::Runtime::kUnset, false},
                    PlaceCase{"Private", PlaceCase::Runtime::kPrivate, false},
                    PlaceCase{"OpenToAll", PlaceCase::Runtime::kOpenToAll, false},
                    PlaceCase{"Relative", PlaceCase::Runtime::kRelative, false},
                    PlaceCase{"AFile", PlaceCase::Runtime::kAFile, false}),
    [](const testing::TestParamInfo<PlaceCase>& row) { return row.param.name; });

// A lock that cannot be made is told apart from one that another process holds, with a reason.
TEST(InstanceLock, NoPlaceForTheLockIsUnavailableNotHeld) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / ("zmr-lock-file-" + std::to_string(getpid()));
  std::ofstream(file).put('x');
  const ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", std::nullopt);
  const ScopedEnv stateEnv("XDG_STATE_HOME", file.string());  // not a folder
  const InstanceLock::Attempt attempt = InstanceLock::TryAcquire("zmr470 unavailable test");
  EXPECT_EQ(attempt.outcome, InstanceLock::Outcome::kUnavailable);
  EXPECT_EQ(attempt.lock, nullptr);
  EXPECT_FALSE(attempt.problem.empty());
  fs::remove(file);
}

}  // namespace
}  // namespace zmr::platform
