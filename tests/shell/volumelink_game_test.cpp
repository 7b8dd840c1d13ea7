// The "volumelink" game over a package whose first volume is full (1 GiB,
// sparse), planted after the build with its second volume a link: out of
// the game's folder to a canary in a fake HOME, which is never opened while
// the game goes on, and the third volume behind it still reads; or to
// another file inside the folder, which reads, also beside an empty folder
// named as the side file, which is no side file.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "shell/test_games.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

// Writes Folder/game.dat: a version-102 directory of a raw entry "pad.bin"
// that fills the first volumes to N GiB (sparse, costing no disk; the file
// itself holds 1 GiB) and a raw entry "key.txt" of 13 bytes at N GiB, in
// volume N.
const char* const kPlantPackage =
    "import sys\n"
    "sys.path.insert(0, sys.argv[1])\n"
    "from vf_fixture import directory\n"
    "GIB = 1 << 30\n"
    "names = [b'pad.bin', b'key.txt']\n"
    "recs = [dict(raw=True, age=0, crc=0, cou=False)] * 2\n"
    "size = len(directory(102, names, [0, 0, 0], recs))\n"
    "key = int(sys.argv[3]) * GIB\n"
    "with open(sys.argv[2] + '/game.dat', 'wb') as f:\n"
    "    f.write(directory(102, names, [size, key, key + 13], recs))\n"
    "    f.truncate(GIB)\n";

struct VolumeLink {
  const char* name;
  bool inside;     // the second volume leads inside the game's folder
  int key_volume;  // the volume "key.txt" lies in: 1, or 2 behind the second
  bool side_folder;  // an empty folder "game.ext" lies beside the package
};

void PrintTo(const VolumeLink& c, std::ostream* os) { *os << c.name; }

class VolumeLinkGame : public ::testing::TestWithParam<VolumeLink> {};

TEST_P(VolumeLinkGame, ASecondVolumeIsReadOnlyInsideTheGamesFolder) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", game = top + "/game", key = home + "/.ssh/id_rsa";
  fs::create_directories(home + "/.ssh");
  test::WriteText(key, "CANARY-KEY!\r\n");
  test::BuildGame("volumelink", game, true);
  const test::CommandResult plant =
      test::RunCommand({ORBA_PYTHON, "-c", kPlantPackage, test::TestsPath("fixtures"), game,
                        std::to_string(GetParam().key_volume)});
  ASSERT_EQ(plant.exit_code, 0) << plant.output;
  ASSERT_EQ(fs::file_size(game + "/game.dat"), uintmax_t{1} << 30);
  fs::create_directories(game + "/vol");
  test::WriteText(game + "/vol/second.001", "inside line\r\n");
  fs::create_symlink(GetParam().inside ? std::string("vol/second.001") : key, game + "/game.001");
  // Behind a second volume that is refused, the third is still read.
  if (GetParam().key_volume == 2) fs::create_symlink("vol/second.001", game + "/game.002");
  if (GetParam().side_folder) fs::create_directory(game + "/game.ext");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  const test::OpenWatch watch(key);
  ASSERT_TRUE(watch.Armed());

  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string save = test::DumpSave(game + "/save.dat");
  if (GetParam().inside || GetParam().key_volume == 2) {
    ExpectContains(save, {"var log str = \"start key TRUEinside line end TRUE\""});
  } else {
    // The entry is there, in a volume nothing is read from: its read fails.
    ExpectContains(save, {"var log str = \"start end TRUE\""});
  }
  if (!GetParam().inside) ExpectContains(r.output, {"file read refused: " + game + "/game.001\n"});
  EXPECT_FALSE(watch.Touched());
  for (const std::string& text : {save, r.output}) ExpectLacks(text, {"CANARY"});
}

INSTANTIATE_TEST_SUITE_P(Links, VolumeLinkGame,
                         ::testing::Values(VolumeLink{"OutToTheUsersKey", false, 1, false},
                                           VolumeLink{"Inside", true, 1, false},
                                           VolumeLink{"OutThenAThirdVolume", false, 2, false},
                                           VolumeLink{"InsideBesideAFolderNamedAsTheSideFile", true, 1, true}),
                         [](const ::testing::TestParamInfo<VolumeLink>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba
