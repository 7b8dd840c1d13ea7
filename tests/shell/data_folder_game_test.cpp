// The "datalink" game installed in the program-files folder (named by a
// registry filled by the test) keeps "save.dat" in the player's data
// folder. There the user may have made it a link, to a file in a synced
// folder: the link is followed for reading and for writing and stays a
// link; the game's folder holds no save.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/game_clock.h"
#include "core/system/registry_values.h"
#include "platform/headless/memory_registry.h"
#include "shell/in_process_game.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

class DataFolderGame : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = ::getenv("XDG_DATA_HOME");
    old_data_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    registry->Set(TRegRoot::LocalMachine, kWindowsVersionKey, kProgramFilesValue, kRegString,
                  test::Bytes(programs + std::string(1, '\0')));
  }
  void TearDown() override {
    SetRegistry(previous);
    if (old_data_) {
      ::setenv("XDG_DATA_HOME", old_data_->c_str(), 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
    ResetPlayerGlobals();
  }
  std::string Run() { return test::PlayLoggedRun(game); }

  test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string programs = top + "/programs", game = programs + "/datalink", data = top + "/data";
  const std::string synced = top + "/synced", link = data + "/orba/datalink/save.dat";
  std::shared_ptr<TMemoryRegistry> registry = std::make_shared<TMemoryRegistry>();
  std::shared_ptr<TRegistry> previous = SetRegistry(registry);
  std::optional<std::string> old_data_;
};

TEST_F(DataFolderGame, ASaveDatLinkThereIsFollowedToReadAndToWrite) {
  test::BuildGame("datalink", game, true);
  fs::create_directories(data + "/orba/datalink");
  fs::create_directories(synced);
  // Dangling until the first save writes its target.
  fs::create_symlink("../../../synced/save.dat", link);
  EXPECT_EQ(Run(), "runs 1 caption ");
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(synced + "/save.dat")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(game + "/save.dat")));
  test::ExpectContains(test::DumpSave(synced + "/save.dat"), {"var log str = \"runs 1 caption \""});

  EXPECT_EQ(Run(), "runs 2 caption one");
  ASSERT_TRUE(fs::is_symlink(link));
  test::ExpectContains(test::DumpSave(synced + "/save.dat"), {"var log str = \"runs 2 caption one\""});
  // Nothing but the save itself is left beside it.
  EXPECT_EQ(test::FilesBelow(synced, {}, false).size(), 1u);

  // An absolute link through another link is followed the same way.
  fs::create_directories(top + "/cloud");
  fs::rename(synced + "/save.dat", top + "/cloud/save.dat");
  fs::create_symlink(top + "/cloud/save.dat", synced + "/save.dat");
  EXPECT_EQ(Run(), "runs 3 caption one");
  EXPECT_TRUE(fs::is_symlink(synced + "/save.dat"));
  test::ExpectContains(test::DumpSave(top + "/cloud/save.dat"), {"var log str = \"runs 3 caption one\""});
}

}  // namespace
}  // namespace orba
