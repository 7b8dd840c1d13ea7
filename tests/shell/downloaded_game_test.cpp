// The "downloaded" game played from HOME and from the user's downloads
// folder (by its default name and by the name user-dirs.dirs gives it), as
// a package file and as the folder holding "game.dat": only its package is
// open to it, nothing beside it is read or written, its saves go to its
// data folder, and one line says why. A game folder that is HOME or holds
// it is refused; a package in a folder of its own still reads its loose
// files beside it.
#include <gtest/gtest.h>
#include <stdlib.h>

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

using test::ExpectContains;
using test::ExpectLacks;

constexpr char kNotice[] =
    ": the game lies in HOME, a folder holding it or one of the user's own folders: only its package is open to it "
    "and its saves go to its data folder; move the game into a folder of its own\n";

struct Lying {
  const char* name;
  const char* folder;     // below HOME ("" for HOME itself)
  bool named_folder;      // the game named as its folder (holding "game.dat")
  const char* user_dirs;  // the text of ~/.config/user-dirs.dirs ("@" for HOME), or nullptr for none
  bool from_inside = false;  // named without a folder, played from the folder ("cd ~ && orba evil.dat")
};

void PrintTo(const Lying& c, std::ostream* os) { *os << c.name; }

class DownloadedGame : public ::testing::TestWithParam<Lying> {
 protected:
  void SetUp() override {
    for (const char* folder : {"/Documents", "/.config"}) fs::create_directories(home + folder);
    test::WriteText(home + "/Documents/secret.txt", "CANARY-DOCUMENT\n");
    fs::create_directories(data);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
  }

  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", data = top + "/data";
};

TEST_P(DownloadedGame, OnlyItsPackageIsOpenAndItsSavesGoToItsDataFolder) {
  const Lying& c = GetParam();
  const std::string folder = home + c.folder;
  fs::create_directories(folder);
  if (c.user_dirs != nullptr) {
    std::string dirs = c.user_dirs;
    for (size_t at = dirs.find('@'); at != std::string::npos; at = dirs.find('@')) dirs.replace(at, 1, home);
    test::WriteText(home + "/.config/user-dirs.dirs", dirs);
  }
  const test::TempDir built;
  test::BuildGame("downloaded", built.path(), false, {"Var home str " + home, "Var here str " + folder});
  const std::string package = folder + (c.named_folder ? "/game.dat" : "/evil.dat");
  fs::copy_file(built / "game.dat", package);
  // What an unpacked download leaves beside the package, and a page of
  // the game's own name that the player must not take for the game's.
  test::WriteText(folder + "/bank-statement.txt", "CANARY-BANK\r\n");
  test::WriteText(folder + "/main.osb", "CANARY-PAGE\n");
  const auto before = test::FilesBelow(home, {}, true);
  const test::OpenWatch bank(folder + "/bank-statement.txt"), page(folder + "/main.osb");
  ASSERT_TRUE(bank.Armed() && page.Armed());

  const test::CommandResult r = c.from_inside ? test::PlayGameJoined("evil.dat", 3, folder)
                                              : test::PlayGameJoined(c.named_folder ? folder : package, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"orba: " + folder + kNotice});
  const std::string save = data + "/orba/downloaded/save.dat";
  ASSERT_TRUE(fs::exists(save)) << r.output;
  const test::CommandResult dump = test::RunOrbaTool({"save", "dump", "--game", package, save});
  ASSERT_EQ(dump.exit_code, 0) << dump.output;
  ExpectContains(dump.output, {"var log str = \"start FALSE beside  read FALSEFALSETRUE write FALSEFALSEFALSE end\""});
  EXPECT_FALSE(bank.Touched());
  EXPECT_FALSE(page.Touched());
  for (const std::string& text : {dump.output, r.output}) ExpectLacks(text, {"CANARY"});
  EXPECT_EQ(test::FilesBelow(home, {}, true), before);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, DownloadedGame,
    ::testing::Values(Lying{"PackageInHome", "", false, nullptr},
                      Lying{"PackageInHomeNamedFromThere", "", false, nullptr, true},
                      Lying{"PackageInDownloads", "/Downloads", false, nullptr},
                      Lying{"PackageInNamedDownloads", "/Telechargements", false,
                            "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Telechargements\"\n"},
                      Lying{"PackageInAbsoluteMusic", "/Media/Musique", false,
                            "XDG_MUSIC_DIR=\"@/Media/Musique\"\n"},
                      Lying{"FolderDownloads", "/Downloads", true, nullptr}),
    [](const ::testing::TestParamInfo<Lying>& info) { return std::string(info.param.name); });

// HOME, a folder holding it and "/" named as the game's folder: refused
// with one line, exit 2, nothing read or written.
TEST(DownloadedGameFolder, HomeOrAFolderHoldingItIsNoGameFolder) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home";
  fs::create_directories(home);
  test::BuildGame("downloaded", home, false, {"Var home str " + home, "Var here str " + home});
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
  const auto before = test::FilesBelow(top, {}, true);
  for (const std::string& folder : {home, home + "/", top, std::string("/")}) {
    const test::CommandResult r = test::PlayGameJoined(folder, 3);
    EXPECT_EQ(r.exit_code, 2) << folder << "\n" << r.output;
    ExpectContains(r.output, {"orba: " + folder +
                              ": HOME, \"/\" or a folder holding HOME is no game folder; move the game into a "
                              "folder of its own\n"});
  }
  EXPECT_EQ(test::FilesBelow(top, {}, true), before);
}

// Writes Folder/evil.dat from the files of a loose build of "volumelink"
// (its settings and start page, argv[3] and argv[4]): a version-102
// directory of raw entries, "pad.bin" filling the first volume to 1 GiB
// (sparse) and "key.txt" of 13 bytes at 1 GiB, in the next volume
// "evil.001".
const char* const kPlantVolumes =
    "import sys\n"
    "sys.path.insert(0, sys.argv[1])\n"
    "from vf_fixture import directory\n"
    "GIB = 1 << 30\n"
    "opb = open(sys.argv[3], 'rb').read()\n"
    "page = open(sys.argv[4], 'rb').read()\n"
    "names = [b'orba.opb', b'main.osb', b'pad.bin', b'key.txt']\n"
    "recs = [dict(raw=True, age=0, crc=0, cou=False)] * 4\n"
    "size = len(directory(102, names, [0] * 5, recs))\n"
    "offsets = [size, size + len(opb), size + len(opb) + len(page), GIB, GIB + 13]\n"
    "with open(sys.argv[2] + '/evil.dat', 'wb') as f:\n"
    "    f.write(directory(102, names, offsets, recs))\n"
    "    f.write(opb)\n"
    "    f.write(page)\n"
    "    f.truncate(GIB)\n";

// A package in the downloads folder still reads its own next volume there.
TEST(DownloadedGameFolder, APackageInTheDownloadsReadsItsNextVolume) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home", downloads = home + "/Downloads";
  fs::create_directories(downloads);
  const test::TempDir built;
  test::BuildGame("volumelink", built.path(), true);
  const test::CommandResult plant = test::RunCommand({ORBA_PYTHON, "-c", kPlantVolumes, test::TestsPath("fixtures"),
                                                      downloads, built / "orba.opb", built / "main.osb"});
  ASSERT_EQ(plant.exit_code, 0) << plant.output;
  test::WriteText(downloads + "/evil.001", "inside line\r\n");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
  const test::CommandResult r = test::PlayGameJoined(downloads + "/evil.dat", 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"orba: " + downloads + kNotice});
  const test::CommandResult dump =
      test::RunOrbaTool({"save", "dump", "--game", downloads + "/evil.dat", top + "/data/orba/volumelink/save.dat"});
  ASSERT_EQ(dump.exit_code, 0) << dump.output;
  ExpectContains(dump.output, {"var log str = \"start key TRUEinside line end TRUE\""});
}

// A package in a folder of its own reads the loose files beside it and
// keeps its saves there.
TEST(DownloadedGameFolder, APackageInAFolderOfItsOwnReadsBesideIt) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home", own = home + "/Games/own";
  fs::create_directories(home + "/Downloads");
  test::BuildGame("downloaded", own, false, {"Var home str " + home, "Var here str " + own});
  fs::rename(own + "/game.dat", own + "/evil.dat");
  test::WriteText(own + "/bank-statement.txt", "own line\r\n");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
  const test::CommandResult r = test::PlayGameJoined(own + "/evil.dat", 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectLacks(r.output, {kNotice});
  ExpectContains(test::DumpSave(own + "/save.dat"),
                 {"var log str = \"start TRUE beside own line read FALSEFALSETRUE write TRUEFALSETRUE end\""});
}

}  // namespace
}  // namespace orba
