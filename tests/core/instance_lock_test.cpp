// The instance lock without a runtime folder: it lives in a folder of the
// user's in the temporary folder, and a link or another user's file or
// folder planted where it goes is neither followed nor used (nor lets its
// owner hold the game).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "core/system/instance_lock.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A temporary folder standing in for /tmp, with no runtime folder set.
struct FakeTemp {
  TempDir dir;
  ScopedEnv runtime{"XDG_RUNTIME_DIR", nullptr};
  ScopedEnv tmp{"TMPDIR", dir.path().c_str()};
  std::string user = dir.path() + "/orba-" + std::to_string(::geteuid());
};

constexpr uid_t kOtherUser = 65534;

TEST(InstanceLockInTemp, LivesInAFolderOfTheUsersAlone) {
  FakeTemp temp;
  TempDir game;
  const std::string file = InstanceLockFile(game.path());
  EXPECT_EQ(fs::path(file).parent_path().string(), temp.user);
  auto first = CreateInstanceMutex(game.path());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(CreateInstanceMutex(game.path()), nullptr);
  struct stat st {};
  ASSERT_EQ(::lstat(temp.user.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
}

// A runtime folder that others may write is no place for the lock either.
TEST(InstanceLockInTemp, AnOpenRuntimeFolderIsPassedOver) {
  FakeTemp temp;
  TempDir runtime, game;
  ::chmod(runtime.path().c_str(), 0777);
  const ScopedEnv set("XDG_RUNTIME_DIR", runtime.path().c_str());
  EXPECT_EQ(fs::path(InstanceLockFile(game.path())).parent_path().string(), temp.user);
  ::chmod(runtime.path().c_str(), 0700);
  EXPECT_EQ(fs::path(InstanceLockFile(game.path())).parent_path().string(), runtime.path());
}

TEST(InstanceLockInTemp, APlantedLinkIsNotFollowed) {
  FakeTemp temp;
  TempDir game, outside;
  const std::string canary = outside.path() + "/canary", dangling = outside.path() + "/made";
  test::WriteFileBytes(canary, test::Bytes("CANARY"));
  ASSERT_EQ(::chmod(canary.c_str(), 0666), 0);
  // The lock file planted as a link to a file and as a dangling link.
  fs::create_directories(temp.user);
  ::chmod(temp.user.c_str(), 0700);
  const std::string file = InstanceLockFile(game.path());
  for (const std::string& target : {canary, dangling}) {
    fs::remove(file);
    fs::create_symlink(target, file);
    auto lock = CreateInstanceMutex(game.path());
    EXPECT_NE(lock, nullptr);
    // Another player is not kept out by a lock that was never taken.
    EXPECT_NE(CreateInstanceMutex(game.path()), nullptr);
  }
  EXPECT_EQ(test::ReadFileBytes(canary), test::Bytes("CANARY"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dangling)));
  // The user's folder itself planted as a link to another folder.
  fs::remove_all(temp.user);
  fs::create_symlink(outside.path(), temp.user);
  EXPECT_NE(CreateInstanceMutex(game.path()), nullptr);
  EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);
}

// Needs root to hand a file to another user.
TEST(InstanceLockInTemp, AnotherUsersFileOrFolderIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  FakeTemp temp;
  TempDir game;
  fs::create_directories(temp.user);
  ::chmod(temp.user.c_str(), 0700);
  const std::string file = InstanceLockFile(game.path());
  // Another user's lock file, held by its owner.
  const int theirs = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(theirs, 0);
  ASSERT_EQ(::fchown(theirs, kOtherUser, kOtherUser), 0);
  ASSERT_EQ(::flock(theirs, LOCK_EX | LOCK_NB), 0);
  EXPECT_NE(CreateInstanceMutex(game.path()), nullptr);
  // The user's folder made by another user, open to everyone.
  ::close(theirs);
  fs::remove_all(temp.user);
  fs::create_directories(temp.user);
  ASSERT_EQ(::chown(temp.user.c_str(), kOtherUser, kOtherUser), 0);
  ::chmod(temp.user.c_str(), 0777);
  EXPECT_NE(CreateInstanceMutex(game.path()), nullptr);
  EXPECT_TRUE(fs::is_empty(temp.user));
}

}  // namespace
}  // namespace orba
