// A downloaded game carrying symlinks (zip and tar keep them) under the
// names the player writes: its temporaries' old fixed names, its targets'
// own names and the writability probe's, leading to a user's files and to
// files not there yet. The "plantedtmp" game extracts a file, captures the
// screen and saves among them, twice, with one of its slots damaged in
// between.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace orba
