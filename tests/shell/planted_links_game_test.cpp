// A downloaded game carrying symlinks (zip and tar keep them) under the
// names the player writes: its temporaries' old fixed names, its targets'
// own names and the writability probe's, leading to a user's files and to
// files not there yet. The "plantedtmp" game extracts a file, captures the
// screen and saves among them, twice, with one of its slots damaged in
// between. The "savelink" game saves while its "save.dat" is a link; the
// "swapdir" game writes into a folder another process keeps swapping for a
// link to a folder outside.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/files/install_record.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

// What an entry is, without following a link: a link's target, a folder,
// or a file's bytes and modification time.
struct TEntryState {
  std::string What;
  fs::file_time_type Modified;
  bool operator==(const TEntryState&) const = default;
};

// Every entry below Root but those below Skipped.
std::map<std::string, TEntryState> EntriesBelow(const std::string& root, const std::string& skipped) {
  std::map<std::string, TEntryState> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = it->path().string();
    if (path.rfind(skipped, 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      entries[path] = {"link to " + fs::read_symlink(path).string(), {}};
    } else if (fs::is_directory(status)) {
      entries[path] = {"folder", {}};
    } else {
      entries[path] = {test::FileText(path), fs::last_write_time(path)};
    }
  }
  return entries;
}

// Names in Folder that only the player's temporaries and probes have: a
// tag and six letters or digits after a target's name.
std::vector<std::string> FreshTemporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    for (const std::string tag : {".~tmp", ".$$$"}) {
      const size_t at = name.rfind(tag);
      if (at != std::string::npos && name.size() == at + tag.size() + 6) found.push_back(name);
    }
  }
  return found;
}

TEST(PlantedTmpGame, WritesStayInTheGamesFolderAndTheGameGoesOn) {
  const test::TempDir dir;
  const std::string home = dir / "home", outside = dir / "outside", game = dir / "game";
  fs::create_directories(home + "/.config/autostart");
  fs::create_directories(home + "/.local/share");
  fs::create_directories(outside);
  test::WriteText(home + "/.bashrc", "export LANG=C\n");
  test::WriteText(outside + "/canary.txt", "the user's own file\n");
  test::BuildGame("plantedtmp", game, true);
  test::WriteText(game + "/payload.txt", "[Desktop Entry]\nExec=payload\n");
  fs::create_directories(game + "/dl");
  const std::pair<const char*, std::string> planted[] = {
      {"dl/payload.txt.~tmp", home + "/.config/autostart/evil.desktop"},  // not there yet
      {"shot.brx.~tmp", home + "/.bashrc"},
      {"snap.brx", outside + "/canary.txt"},
      {"save.dat.~tmp", outside + "/canary.txt"},
      {"save.dat.$$$", home + "/.bashrc"},
  };
  for (const auto& [name, target] : planted) fs::create_symlink(target, game + "/" + name);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  const auto before = EntriesBelow(dir.path(), game);

  const test::CommandResult first = test::PlayGame(game, 8);
  ASSERT_EQ(first.exit_code, 0) << first.output;
  // Nothing outside the game's folder was written, emptied, made or removed.
  EXPECT_EQ(EntriesBelow(dir.path(), game), before);
  // The game's own files are written as files and the links under other
  // names left; a target's name that links out of the game is refused as
  // the access policy refuses every name leading out, the link kept.
  for (const char* file : {"dl/payload.txt", "shot.brx", "save.dat"})
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(game + "/" + file))) << file;
  EXPECT_EQ(test::FileText(game + "/dl/payload.txt"), "[Desktop Entry]\nExec=payload\n");
  for (const char* link : {"dl/payload.txt.~tmp", "shot.brx.~tmp", "snap.brx", "save.dat.~tmp", "save.dat.$$$"})
    EXPECT_TRUE(fs::is_symlink(game + "/" + link)) << link;
  EXPECT_TRUE(FreshTemporaries(game).empty() && FreshTemporaries(game + "/dl").empty());
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var runs int = 1\n", "var log str = \"extract TRUE shot TRUE snap FALSE went on\"\n", "  slot 2 version "});

  // A damaged slot blocks no later save; the stale temporary's name goes,
  // the link itself and not what it leads to.
  ASSERT_TRUE(test::DamageStoredEntry(game + "/save.dat", "GAMESAVEDATA2"));
  const std::vector<uint8_t> damaged = test::StoredEntryBytes(game + "/save.dat", "GAMESAVEDATA2");
  const test::CommandResult second = test::PlayGame(game, 8);
  ASSERT_EQ(second.exit_code, 0) << second.output;
  EXPECT_EQ(EntriesBelow(dir.path(), game), before);
  ExpectContains(second.output, {"removed a stale save.dat.~tmp\n", "save data: GAMESAVEDATA2 kept as stored"});
  EXPECT_FALSE(fs::exists(fs::symlink_status(game + "/save.dat.~tmp")));
  EXPECT_EQ(test::StoredEntryBytes(game + "/save.dat", "GAMESAVEDATA2"), damaged);
  // The dump tool reports the damaged entry (and fails for it) and shows
  // the rest.
  const test::CommandResult dump = test::RunOrbaTool({"save", "dump", game + "/save.dat"});
  ExpectContains(dump.output, {"entry GAMESAVEDATA2: unreadable: ", "var runs int = 2\n",
                               "var log str = \"extract TRUE shot TRUE snap FALSE went on\"\n",
                               "  slot 1 version 141 caption \"one\"", "  var g int = 2\n"});
}

// A user's HOME with its hidden folders and a file of its own, beside the
// game's folder, as the player's environment.
struct TUserHome {
  explicit TUserHome(const test::TempDir& dir) : home(dir / "home") {
    fs::create_directories(home + "/.config");
    fs::create_directories(home + "/.local/share");
    test::WriteText(home + "/.bashrc", "export LANG=C\n");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  }
  std::string home;
};

mode_t PermissionBits(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// "save.dat" shipped as a link, run after run: out of the game (no save
// data, the link replaced by the save, nothing of the user's read into a
// backup), kept private by the user, linked to another file of the game
// (read), and damaged (kept as the backup the game may read).
TEST(SaveLinkGame, ASaveDatLinkedOutIsNoSaveDataAndNothingOfTheUsersIsReadOrWritten) {
  const test::TempDir dir;
  const TUserHome user(dir);
  const std::string game = dir / "game";
  test::BuildGame("savelink", game, true);
  fs::create_symlink(user.home + "/.bashrc", game + "/save.dat");
  {
    TOrbaInstallSet install;
    install.TitleId = "savelink";
    install.SaveToFile(game + "/install.dat");
  }
  ASSERT_EQ(::chmod((game + "/install.dat").c_str(), 0600), 0);
  const auto before = EntriesBelow(dir.path(), game);

  const test::CommandResult first = test::PlayGame(game, 8);
  ASSERT_EQ(first.exit_code, 0) << first.output;
  EXPECT_EQ(EntriesBelow(dir.path(), game), before);
  ExpectContains(first.output, {"save.dat leads out of its folder: taken as no save data"});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(game + "/save.dat")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(game + "/save.dat.bak")));
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"reg TRUE runs 1 caption  bak FALSE went on\"\n"});
  // The capture is registered in the install record, which stays private.
  TOrbaInstallSet install;
  install.LoadFromFile(game + "/install.dat");
  EXPECT_EQ(install.Files, std::vector<std::string>{"reg.brx"});
  EXPECT_EQ(install.TitleId, "savelink");
  EXPECT_EQ(PermissionBits(game + "/install.dat"), mode_t{0600});

  // A save the user made private stays private.
  ASSERT_EQ(::chmod((game + "/save.dat").c_str(), 0600), 0);
  const test::CommandResult second = test::PlayGame(game, 8);
  ASSERT_EQ(second.exit_code, 0) << second.output;
  EXPECT_EQ(PermissionBits(game + "/save.dat"), mode_t{0600});
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"reg TRUE runs 2 caption one bak FALSE went on\"\n"});

  // A link to another file of the game's folder is read; the save puts a
  // file in its place.
  fs::create_directories(game + "/saves");
  fs::rename(game + "/save.dat", game + "/saves/kept.dat");
  fs::create_symlink("saves/kept.dat", game + "/save.dat");
  const test::CommandResult third = test::PlayGame(game, 8);
  ASSERT_EQ(third.exit_code, 0) << third.output;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(game + "/save.dat")));
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"reg TRUE runs 3 caption one bak FALSE went on\"\n"});

  // A damaged file of the game's own is kept as the backup.
  test::WriteText(game + "/save.dat", "damaged\n");
  const test::CommandResult fourth = test::PlayGame(game, 8);
  ASSERT_EQ(fourth.exit_code, 0) << fourth.output;
  EXPECT_EQ(test::FileText(game + "/save.dat.bak"), "damaged\n");
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"reg TRUE runs 1 caption  bak TRUE went on\"\n"});
  EXPECT_EQ(EntriesBelow(dir.path(), game), before);
}

// The number after "var NAME int = " in a dump; -1 without one.
int DumpedInt(const std::string& dump, const std::string& name) {
  const std::string key = "var " + name + " int = ";
  const size_t at = dump.find(key);
  return at == std::string::npos ? -1 : std::atoi(dump.c_str() + at + key.size());
}

TEST(SwapDirGame, WritesStayInTheFolderCheckedWhileAnotherProcessSwapsItForALink) {
  const test::TempDir dir;
  const TUserHome user(dir);
  const std::string game = dir / "game", outside = dir / "outside";
  test::BuildGame("swapdir", game, true);
  test::WriteText(game + "/payload.txt", "payload\n");
  fs::create_directories(game + "/sub");
  fs::create_directories(outside + "/deep");
  test::WriteText(outside + "/gone.brx", "the user's own file\n");
  test::WriteText(outside + "/deep/payload.txt", "the user's own file\n");
  fs::create_directory_symlink(outside, game + "/swap");
  const auto before = EntriesBelow(dir.path(), game);

  // Swaps "sub" and the link "swap" for as long as the game runs, a few
  // seconds at most.
  const std::string sub = game + "/sub", swap = game + "/swap";
  std::atomic<bool> stop{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stop && std::chrono::steady_clock::now() < until) {
      if (::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
    }
  });
  const test::CommandResult r = test::PlayGame(game, 400);
  stop = true;
  swapper.join();
  ASSERT_EQ(r.exit_code, 0) << r.output;
  if (fs::is_symlink(sub)) {
    ASSERT_EQ(::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE), 0);
  }
  EXPECT_GT(swaps.load(), 0);

  // Nothing outside was written, emptied, made or removed; the game went on
  // and wrote in its own folder whenever "sub" was the folder.
  EXPECT_EQ(EntriesBelow(dir.path(), game), before);
  const std::string dump = test::DumpSave(game + "/save.dat");
  ExpectContains(dump, {"var i int = 100\n"});
  EXPECT_GT(DumpedInt(dump, "shots"), 0) << dump;
  EXPECT_GT(DumpedInt(dump, "extracted"), 0) << dump;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(sub + "/shot.brx")));
  EXPECT_EQ(test::FileText(sub + "/deep/payload.txt"), "payload\n");
  EXPECT_FALSE(fs::exists(fs::symlink_status(sub + "/gone.brx")));
  EXPECT_TRUE(FreshTemporaries(sub).empty() && FreshTemporaries(sub + "/deep").empty());
}

}  // namespace
}  // namespace orba
