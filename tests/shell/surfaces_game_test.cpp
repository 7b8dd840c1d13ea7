// Every test game and the demo played twice, once with the screen running
// accelerated on DirectDraw surfaces (the default) and once forced to
// system memory (--surfaces memory): the same clicks and keys give the same
// last frame pixel for pixel, the same trace, and the same files in the
// game's folder (save.dat among them) byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// Clicks about the screen, Enter and Escape, spread over the run.
const char kInput[] =
    "tick 5: lbutton down 20 20\ntick 6: lbutton up 20 20\n"
    "tick 10: mouse move 80 60\n"
    "tick 15: lbutton down 600 520\ntick 16: lbutton up 600 520\n"
    "tick 20: key down 13\ntick 21: key up 13\n"
    "tick 30: lbutton down 640 560\ntick 31: lbutton up 640 560\n"
    "tick 40: rbutton down 100 100\ntick 41: rbutton up 100 100\n"
    "tick 50: lbutton down 1000 560\ntick 51: lbutton up 1000 560\n";
constexpr int kTicks = 70;

struct TPlayed {
  int exit_code = 0;
  std::string trace;
  std::map<std::string, std::string> files;
};

// Whether two PNG files hold the same pixels (their time chunks differ).
bool SamePixels(const std::string& a, const std::string& b) {
  const std::string script =
      "import sys\nfrom PIL import Image\n"
      "load = lambda p: (Image.open(p).size, Image.open(p).convert('RGB').tobytes())\n"
      "print('same' if load(sys.argv[1]) == load(sys.argv[2]) else 'different')\n";
  return test::RunCommand({ORBA_PYTHON, "-c", script, a, b}).output == "same\n";
}

class BothSurfaces : public ::testing::Test {
 protected:
  // Plays a fresh copy of Pristine in one folder, so that both runs see the
  // same paths; PNG files the game wrote are compared by their pixels.
  TPlayed Play(const std::string& pristine, const std::string& mode) {
    const std::string run = dir_ / "run";
    fs::remove_all(run);
    fs::copy(pristine, run, fs::copy_options::recursive);
    test::WriteText(dir_ / "input", kInput);
    const test::CommandResult r = test::PlayGame(
        run, kTicks, {"--input", dir_ / "input", "--screenshot", dir_ / (mode + ".png"), "--surfaces", mode});
    TPlayed played{r.exit_code, r.output, test::FilesBelow(run, {})};
    for (auto& [path, content] : played.files) {
      if (path.size() < 4 || path.substr(path.size() - 4) != ".png") continue;
      const std::string kept = dir_ / (mode + "." + fs::path(path).filename().string());
      fs::copy_file(path, kept, fs::copy_options::overwrite_existing);
      content = "<png " + kept + ">";
    }
    return played;
  }

  void ExpectBothAlike(const std::string& pristine) {
    const TPlayed memory = Play(pristine, "memory");
    const TPlayed accelerated = Play(pristine, "directdraw");
    EXPECT_EQ(accelerated.exit_code, memory.exit_code);
    EXPECT_EQ(accelerated.trace, memory.trace);
    ASSERT_EQ(accelerated.files.size(), memory.files.size());
    for (const auto& [path, content] : memory.files) {
      const auto other = accelerated.files.find(path);
      ASSERT_NE(other, accelerated.files.end()) << path;
      if (content.rfind("<png ", 0) == 0) {
        const std::string mine = dir_ / ("memory." + fs::path(path).filename().string());
        const std::string theirs = dir_ / ("directdraw." + fs::path(path).filename().string());
        EXPECT_TRUE(SamePixels(mine, theirs)) << path;
      } else {
        EXPECT_TRUE(other->second == content) << path << " differs";
      }
    }
    if (fs::exists(dir_ / "memory.png") || fs::exists(dir_ / "directdraw.png")) {
      EXPECT_TRUE(SamePixels(dir_ / "memory.png", dir_ / "directdraw.png"));
    }
  }

  test::TempDir dir_;
};

// The surfaces game's picture: 12 x 12 of red 100, green 50, blue 20.
void WriteSurfacesPicture(const std::string& game) {
  const std::string script = test::CellPicturesScript("cells('pic.brx', 12, 12, [(100, 50, 20)])\n");
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", script, game}).exit_code, 0);
}

class BothSurfacesGame : public BothSurfaces, public ::testing::WithParamInterface<std::string> {};

// The test games, each a folder holding orba.opb.txt, but "busy" and
// "membomb", which only a quit signal ends.
std::vector<std::string> TestGames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(test::TestsPath("games")))
    if (fs::exists(entry.path() / "orba.opb.txt") && entry.path().filename() != "busy" &&
        entry.path().filename() != "membomb")
      names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(BothSurfacesGame, SameFramesAndFiles) {
  const std::string name = GetParam(), pristine = dir_ / "pristine";
  // The pictures some games load are written by their fixtures.
  std::string extra;
  if (name == "images") {
    extra = dir_ / "extra";
    fs::create_directories(extra);
    ASSERT_EQ(test::RunPython("fixtures/image_game_fixture.py", {"write", extra}).exit_code, 0);
  }
  test::BuildGame(name, pristine, true, {}, extra);
  if (name == "pictures") {
    ASSERT_EQ(test::RunPython("fixtures/pictures_game_fixture.py", {"write", pristine}).exit_code, 0);
  }
  if (name == "surfaces") WriteSurfacesPicture(pristine);
  if (name == "kinds") {
    ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", dir_ / "brix"}).exit_code, 0);
    fs::copy_file(dir_ / "brix/scrambled_tiles.brx", pristine + "/scrambled_tiles.brx");
  }
  ExpectBothAlike(pristine);
}

INSTANTIATE_TEST_SUITE_P(Games, BothSurfacesGame, ::testing::ValuesIn(TestGames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Brightness makes each image its own adjusted copy of the picture, on the
// surface the rule chooses: 60 added to every channel (saturating), 80
// taken off (down to 0), in both modes; the tile repeats the picture over
// its rectangle (48..63, 36..47).
TEST_F(BothSurfaces, BrightenedPicturesInBothModes) {
  const std::string pristine = dir_ / "pristine";
  test::BuildGame("surfaces", pristine, true);
  WriteSurfacesPicture(pristine);
  for (const std::string mode : {"memory", "directdraw"}) {
    const std::string run = dir_ / mode, shot = dir_ / (mode + ".png");
    fs::copy(pristine, run, fs::copy_options::recursive);
    ASSERT_EQ(test::PlayGame(run, 3, {"--screenshot", shot, "--surfaces", mode}).exit_code, 0);
    EXPECT_EQ(test::PngPixels(shot, "(5, 5), (25, 5), (41, 5), (0, 40), (48, 36), (63, 47), (47, 47)"),
              "[(100, 50, 20), (160, 110, 80), (20, 0, 0), (30, 60, 90), (100, 50, 20), (100, 50, 20), (30, 60, 90)]\n")
        << mode;
    EXPECT_TRUE(fs::exists(run + "/shot.brx")) << mode;
  }
}

// The run's tree says where each picture lives: by default (no --surfaces)
// the screen drawn into (the presentation surface), the roots' screens, the
// pictures the images show (their own adjusted copies or the cache's), the
// tile's picture and every cached frame are DirectDraw surfaces; forced to
// system memory, none is. So a player whose default stopped making
// DirectDraw surfaces, which would still give the same frames in both
// modes, fails here. (The still image, which no script makes, is checked
// in tests/items/item_surfaces_test.cpp.)
TEST_F(BothSurfaces, TheTreeSaysEachPictureIsOnTheSurfaceOfItsMode) {
  const std::string pristine = dir_ / "pristine";
  test::BuildGame("surfaces", pristine, true);
  WriteSurfacesPicture(pristine);
  const std::string screen1 = "\xe7\x94\xbb\xe9\x9d\xa2" "1 (\xe3\x82\xa2\xe3\x82\xaf\xe3\x83\x86\xe3\x82\xa3\xe3\x83\x96)";
  const std::string screen2 = "\xe7\x94\xbb\xe9\x9d\xa2" "2";
  struct TMode {
    std::vector<std::string> args;
    std::string kind, other;
  };
  const TMode modes[] = {{{}, "DirectDraw", "memory"}, {{"--surfaces", "memory"}, "memory", "DirectDraw"}};
  for (const TMode& mode : modes) {
    SCOPED_TRACE(mode.kind);
    const std::string run = dir_ / mode.kind, tree = dir_ / (mode.kind + ".tree");
    fs::copy(pristine, run, fs::copy_options::recursive);
    std::vector<std::string> args = {"--tree", tree};
    args.insert(args.end(), mode.args.begin(), mode.args.end());
    ASSERT_EQ(test::PlayGame(run, 3, args).exit_code, 0);
    const std::string text = test::FileText(tree);
    const size_t at = text.find("[surfaces]\n");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string kinds = text.substr(at);
    const std::vector<std::string> lines = {"screen", screen1, screen2, "plain", "bright", "dark",
                                            "half", "turned", "tiled", "picture pic.brx frame 0"};
    for (const std::string& line : lines)
      EXPECT_NE(kinds.find("\n  " + line + " = " + mode.kind + "\n"), std::string::npos) << line << "\n" << kinds;
    EXPECT_EQ(kinds.find(" = " + mode.other + "\n"), std::string::npos) << kinds;
  }
}

TEST_F(BothSurfaces, DemoSameFramesAndFiles) {
  const std::string pristine = dir_ / "pristine";
  fs::create_directories(pristine);
  fs::copy_file(ORBA_DEMO_GAME, pristine + "/game.dat");
  ExpectBothAlike(pristine);
}

}  // namespace
}  // namespace orba
