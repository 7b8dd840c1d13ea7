// The "gamefonts" game draws with the face it brings in its folder "fonts",
// whether the game is named with a trailing "/" or without, while a FIFO
// and links leading out planted there after the build are neither waited on
// nor read; a "fonts" folder that is itself a link out (to HOME, to "/") is
// not read at all. Canaries in a fake HOME and a folder outside stay
// untouched, and the game goes on.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// A block font is solid white (as the caption blends it: 254) where the game's face draws; the installed
// face's "A" is not (its top left corner and its hollow are black).
constexpr char kPoints[] = "(0, 0), (40, 8), (79, 15), (0, 22), (5, 25)";
constexpr char kOwnFaceDrawn[] = "[(254, 254, 254), (254, 254, 254), (254, 254, 254), (0, 0, 0), (0, 0, 0)]\n";
constexpr char kNoOwnFace[] = "[(0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n";

// Every entry below Root: links as their targets, files with their bytes
// and modification times.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    if (entry.is_symlink()) {
      entries[path] = "-> " + fs::read_symlink(path).string();
    } else if (entry.is_regular_file()) {
      entries[path] = test::FileText(path) + "@" + std::to_string(entry.last_write_time().time_since_epoch().count());
    } else {
      entries[path] = "<folder>";
    }
  }
  return entries;
}

void WriteBlockFont(const std::string& path, const std::string& family) {
  ASSERT_EQ(test::RunPython("fixtures/block_font.py", {path, family}).exit_code, 0);
}

// A game built as a folder or a package, a fake HOME and a folder outside,
// each outside place holding a font of the family "OrbaLeak" that the game
// asks for.
struct Planted {
  test::TempDir dir;
  std::string top = fs::canonical(dir.path()).string();
  std::string home = top + "/home", outside = top + "/outside", game = top + "/game";

  explicit Planted(bool folder) {
    fs::create_directories(home);
    fs::create_directories(outside);
    WriteBlockFont(home + "/leak.ttf", "OrbaLeak");
    WriteBlockFont(outside + "/leak.ttf", "OrbaLeak");
    test::WriteText(home + "/notes.txt", "CANARY-NOTES\n");
    test::BuildGame("gamefonts", game, folder);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  }

  test::CommandResult Play(bool slash, const std::string& shot) const {
    return test::RunCommand({"timeout", "-s", "KILL", "60", ORBA_PLAYER_PATH, "--headless", "--ticks", "3", "--trace",
                             "-", "--screenshot", shot, slash ? game + "/" : game});
  }
};

struct Run {
  const char* name;
  bool folder;
  bool slash;
};

void PrintTo(const Run& run, std::ostream* os) { *os << run.name; }

class GameFonts : public ::testing::TestWithParam<Run> {};

TEST_P(GameFonts, OwnFaceDrawsAndNothingPlantedIsReadOrWaitedOn) {
  const Planted p(GetParam().folder);
  // Planted after the build, as a downloaded game would carry them.
  fs::create_directories(p.game + "/fonts/sub");
  fs::create_directories(p.game + "/other");
  WriteBlockFont(p.game + "/fonts/block.ttf", "OrbaBlock");
  ASSERT_EQ(::mkfifo((p.game + "/fonts/fifo.ttf").c_str(), 0644), 0);
  fs::create_symlink(p.home + "/leak.ttf", p.game + "/fonts/home.ttf");
  fs::create_symlink("../../outside/leak.ttf", p.game + "/fonts/sub/out.ttf");
  fs::create_symlink(p.outside, p.game + "/fonts/outdir");
  fs::create_symlink(p.home, p.game + "/fonts/homedir");
  fs::create_symlink("/", p.game + "/fonts/root");
  const auto home_before = Snapshot(p.home), outside_before = Snapshot(p.outside);
  const test::OpenWatch home_font(p.home + "/leak.ttf"), outside_font(p.outside + "/leak.ttf");
  const test::OpenWatch notes(p.home + "/notes.txt");
  ASSERT_TRUE(home_font.Armed() && outside_font.Armed() && notes.Armed());

  const test::CommandResult r = p.Play(GetParam().slash, p.dir / "shot.png");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(test::PngPixels(p.dir / "shot.png", kPoints), kOwnFaceDrawn);
  test::ExpectContains(test::DumpSave(p.game + "/save.dat"), {"var log str = \"went on\""});
  test::ExpectContains(r.output, {"game font not read: " + p.game});
  EXPECT_FALSE(home_font.Touched());
  EXPECT_FALSE(outside_font.Touched());
  EXPECT_FALSE(notes.Touched());
  EXPECT_EQ(Snapshot(p.home), home_before);
  EXPECT_EQ(Snapshot(p.outside), outside_before);
}

INSTANTIATE_TEST_SUITE_P(Builds, GameFonts,
                         ::testing::Values(Run{"FolderWithSlash", true, true}, Run{"FolderWithoutSlash", true, false},
                                           Run{"PackageWithSlash", false, true},
                                           Run{"PackageWithoutSlash", false, false}),
                         [](const ::testing::TestParamInfo<Run>& info) { return std::string(info.param.name); });

struct FolderLink {
  const char* name;
  const char* target;  // "HOME", "OUTSIDE" or a path
};

void PrintTo(const FolderLink& link, std::ostream* os) { *os << link.name; }

class GameFontsFolderLink : public ::testing::TestWithParam<FolderLink> {};

TEST_P(GameFontsFolderLink, IsNotScanned) {
  const Planted p(true);
  const std::string target = std::string(GetParam().target) == "HOME"      ? p.home
                             : std::string(GetParam().target) == "OUTSIDE" ? p.outside
                                                                           : GetParam().target;
  fs::create_symlink(target, p.game + "/fonts");
  const auto home_before = Snapshot(p.home), outside_before = Snapshot(p.outside);
  const test::OpenWatch home_font(p.home + "/leak.ttf"), outside_font(p.outside + "/leak.ttf");
  const test::OpenWatch notes(p.home + "/notes.txt");

  const test::CommandResult r = p.Play(false, p.dir / "shot.png");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(test::PngPixels(p.dir / "shot.png", kPoints), kNoOwnFace);
  test::ExpectContains(r.output, {"game font folder not read: " + p.game + "\\fonts\n"});
  test::ExpectContains(test::DumpSave(p.game + "/save.dat"), {"var log str = \"went on\""});
  EXPECT_FALSE(home_font.Touched());
  EXPECT_FALSE(outside_font.Touched());
  EXPECT_FALSE(notes.Touched());
  EXPECT_EQ(Snapshot(p.home), home_before);
  EXPECT_EQ(Snapshot(p.outside), outside_before);
}

INSTANTIATE_TEST_SUITE_P(Targets, GameFontsFolderLink,
                         ::testing::Values(FolderLink{"Home", "HOME"}, FolderLink{"Outside", "OUTSIDE"},
                                           FolderLink{"Root", "/"}),
                         [](const ::testing::TestParamInfo<FolderLink>& info) {
                           return std::string(info.param.name);
                         });

// A link inside the game's folder is the game's own: its font draws.
TEST(GameFontsInside, LinkedFolderInsideTheGameIsRead) {
  const Planted p(true);
  fs::create_directories(p.game + "/other");
  WriteBlockFont(p.game + "/other/block.ttf", "OrbaBlock");
  fs::create_symlink("other", p.game + "/fonts");
  const test::CommandResult r = p.Play(true, p.dir / "shot.png");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(test::PngPixels(p.dir / "shot.png", kPoints), kOwnFaceDrawn);
}

}  // namespace
}  // namespace orba
