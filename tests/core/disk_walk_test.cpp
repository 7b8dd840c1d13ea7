// A game folder holding planted links, a FIFO and a device link, with access
// restricted to it: what each name leads to when read, listed or written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"
#include "core/files/file_access.h"
#include "core/files/list_files.h"
#include "core/streams/big_stream.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// game/ (open to the game) and outside/ (not) side by side; the links are
// planted in game/.
struct PlantedGame {
  PlantedGame() {
    for (const char* folder : {"game/sub", "game/other", "outside/dir"}) fs::create_directories(*this / folder);
    test::WriteFileBytes(*this / "game/inside.txt", test::Bytes("inside"));
    test::WriteFileBytes(*this / "game/sub/a.txt", test::Bytes("sub a"));
    test::WriteFileBytes(*this / "outside/secret.txt", test::Bytes("canary"));
    test::WriteFileBytes(*this / "outside/dir/x.txt", test::Bytes("canary"));
    const std::vector<std::pair<std::string, std::string>> links = {
        {"out_file", "../outside/secret.txt"},
        {"out_abs", *this / "outside/secret.txt"},
        {"out_dir", "../outside/dir"},
        {"dangling_in", "nothing.txt"},
        {"dangling_out", "../outside/nothing.txt"},
        {"leave_return", "../outside/back"},
        {"in_dir", "sub"},
        {"in_file", "inside.txt"},
        {"in_abs", *this / "game/sub/a.txt"},
        {"in_chain", "in_dir/../in_file"},
        {"loop", "loop"},
        {"zero", "/dev/zero"},
    };
    for (const auto& [name, target] : links) fs::create_symlink(target, *this / ("game/" + name));
    fs::create_symlink("../game/inside.txt", *this / "outside/back");
    ::mkfifo((*this / "game/fifo").c_str(), 0644);
    RestrictFileAccess();
    AllowFileRoot(*this / "game/", TAccessRoot::Game);
  }
  ~PlantedGame() { ReleaseFileAccess(); }
  std::string operator/(const std::string& name) const { return top + "/" + name; }

  test::TempDir dir;
  std::string top = fs::canonical(dir.path()).string();
};

enum class Leads { File, Missing, Nothing };

TEST(DiskWalk, EachPlantedNameLeadsOnlyInsideTheGame) {
  PlantedGame g;
  const struct {
    const char* name;
    Leads leads;
    const char* real;  // below the top folder, for what is found
  } cases[] = {
      {"inside.txt", Leads::File, "game/inside.txt"},
      {"SUB\\A.TXT", Leads::File, "game/sub/a.txt"},
      {"out_file", Leads::Nothing, ""},
      {"out_abs", Leads::Nothing, ""},
      {"out_dir/x.txt", Leads::Nothing, ""},
      {"out_dir\\..\\inside.txt", Leads::File, "game/inside.txt"},  // ".." folds before the link is met
      {"dangling_in", Leads::Missing, "game/nothing.txt"},
      {"dangling_out", Leads::Nothing, ""},
      {"leave_return", Leads::Nothing, ""},  // out and back in is still out
      {"in_dir/a.txt", Leads::File, "game/sub/a.txt"},
      {"in_file", Leads::File, "game/inside.txt"},
      {"in_abs", Leads::File, "game/sub/a.txt"},
      {"in_chain", Leads::File, "game/inside.txt"},
      {"loop", Leads::Nothing, ""},
      {"zero", Leads::Nothing, ""},
      {"fifo", Leads::Nothing, ""},
      {"..\\outside\\secret.txt", Leads::Nothing, ""},
      {"a\x81/../../outside/secret.txt", Leads::Nothing, ""},  // a lead byte before "/"
  };
  for (const auto& c : cases) {
    const std::string path = g / ("game/" + std::string(c.name));
    const TDiskFileName file = TDiskFileName::Find(path);
    EXPECT_EQ(!file.Empty(), c.leads == Leads::File) << c.name;
    EXPECT_EQ(DiskFileExists(path), c.leads == Leads::File) << c.name;
    if (c.leads == Leads::Nothing) continue;
    const std::unique_ptr<TDiskWalk> walk = WalkForGame(path, TFileAccess::Read);
    ASSERT_NE(walk, nullptr) << c.name;
    EXPECT_EQ(walk->RealPath(), g / c.real) << c.name;
    if (!file.Empty()) {
      EXPECT_EQ(file.DiskPath(), g / c.real) << c.name;
    }
  }
}

// The open folder itself, however it is spelt, and names one below it.
TEST(DiskWalk, TheOpenFolderItselfIsAFolder) {
  PlantedGame g;
  for (const std::string& path : {g / "game", g / "game/", g / "game\\sub\\..", g / "GAME"})
    EXPECT_EQ(DiskEntryKind(path), TDiskEntryKind::Folder) << path;
  EXPECT_EQ(DiskEntryKind(g / "game/inside.txt"), TDiskEntryKind::File);
  EXPECT_EQ(DiskEntryKind(g / "outside"), TDiskEntryKind::None);
}

TEST(DiskWalk, AFileReadsThroughItsOpenDescriptorWholly) {
  PlantedGame g;
  const TDiskFileName file = TDiskFileName::Find(g / "game/in_dir/a.txt");
  ASSERT_FALSE(file.Empty());
  TKsMemoryStream content;
  file.LoadInto(content);
  EXPECT_EQ(std::string(content.Bytes().begin(), content.Bytes().end()), "sub a");
}

TEST(DiskWalk, ANameHoldingAZeroByteIsRefusedEvenUnrestricted) {
  PlantedGame g;
  const std::string cut = g / "game/n" + std::string(1, '\0') + ".brx";
  EXPECT_TRUE(GameWritePlace(cut).Refused());
  ReleaseFileAccess();
  EXPECT_EQ(TDiskWalk(cut, {}).End(), TWalkEnd::Refused);
  EXPECT_FALSE(DiskFileExists(g / "game/inside.txt" + std::string(1, '\0')));
  EXPECT_FALSE(fs::exists(g / "game/n"));
}

TEST(DiskWalk, DevicesAndFifosAreNoFilesWithoutRestrictionToo) {
  PlantedGame g;
  ReleaseFileAccess();
  for (const char* name : {"zero", "fifo"}) {
    EXPECT_EQ(DiskEntryKind(g / ("game/" + std::string(name))), TDiskEntryKind::None) << name;
    EXPECT_TRUE(TDiskFileName::Find(g / ("game/" + std::string(name))).Empty()) << name;
  }
  // Links are followed freely while nothing is restricted.
  EXPECT_TRUE(DiskFileExists(g / "game/out_file"));
}

// The user's own link on the way to the game (a games folder moved to
// another disk) is the user's: it is followed.
TEST(DiskWalk, TheUsersLinkToTheGamesFolderIsFollowed) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  fs::create_directories(top + "/home");
  fs::create_directories(top + "/disk/games/g");
  test::WriteFileBytes(top + "/disk/games/g/inside.txt", test::Bytes("inside"));
  fs::create_directory_symlink("../disk/games", top + "/home/Games");
  RestrictFileAccess();
  AllowFileRoot(top + "/home/Games/g/", TAccessRoot::Game);
  EXPECT_EQ(TDiskFileName::Find(top + "/home/Games/g/inside.txt").DiskPath(), top + "/disk/games/g/inside.txt");
  ReleaseFileAccess();
}

TEST(DiskWalk, WritesGoToTheRealPlaceOrNowhere) {
  PlantedGame g;
  const struct {
    const char* name;
    const char* real;  // "" when refused
  } cases[] = {
      {"new.brx", "game/new.brx"},
      {"in_file", "game/inside.txt"},
      {"in_dir\\new.brx", "game/sub/new.brx"},
      {"dangling_in", "game/nothing.txt"},
      {"out_file", ""},
      {"out_dir\\new.brx", ""},
      {"dangling_out", ""},
      {"leave_return", ""},
      {"fifo", ""},
      {"sub", ""},  // a folder in a file's place
  };
  for (const auto& c : cases) {
    const TWritePlace place = GameWritePlace(g / ("game/" + std::string(c.name)));
    EXPECT_EQ(place.Refused(), !*c.real) << c.name;
    EXPECT_EQ(place.Path(), *c.real ? g / c.real : std::string()) << c.name;
    if (*c.real) {
      EXPECT_EQ(place.Name(), fs::path(c.real).filename().string()) << c.name;
    }
  }
  // A place whose folder is missing is no refusal: writing it fails.
  const TWritePlace deep = GameWritePlace(g / "game/none/new.brx");
  EXPECT_FALSE(deep.Refused());
  EXPECT_EQ(deep.FolderFd(), -1);
  EXPECT_THROW(WriteGameFile(deep, "x", 1), EFOpenError);
  EXPECT_TRUE(MakeGameFolders(g / "game/in_dir"));
  EXPECT_TRUE(MakeGameFolders(g / "game/in_dir\\made\\deeper"));
  EXPECT_TRUE(fs::is_directory(g / "game/sub/made/deeper"));
  for (const char* refused : {"out_dir", "out_dir\\made", "inside.txt", "fifo"})
    EXPECT_FALSE(MakeGameFolders(g / ("game/" + std::string(refused)))) << refused;
  EXPECT_FALSE(fs::exists(g / "outside/dir/made"));
}

// Another process swaps a folder of the path for a link to an outside
// folder after the check: the file is still written in the folder checked,
// under its new name, and nothing lands outside.
TEST(DiskWalk, AWriteGoesToTheFolderCheckedWhenItIsSwappedForALinkMeanwhile) {
  PlantedGame g;
  const TWritePlace place = GameWritePlace(g / "game/sub/new.brx");
  ASSERT_GE(place.FolderFd(), 0);
  fs::create_directory_symlink(g / "outside/dir", g / "game/swap");
  ASSERT_EQ(::renameat2(AT_FDCWD, (g / "game/sub").c_str(), AT_FDCWD, (g / "game/swap").c_str(), RENAME_EXCHANGE), 0);
  WriteGameFile(place, "shot", 4);
  EXPECT_EQ(test::ReadFileBytes(g / "game/swap/new.brx"), test::Bytes("shot"));
  EXPECT_FALSE(fs::exists(g / "outside/dir/new.brx"));
  std::vector<std::string> outside;
  for (const auto& e : fs::directory_iterator(g / "outside/dir")) outside.push_back(e.path().filename().string());
  EXPECT_EQ(outside, std::vector<std::string>{"x.txt"});
}

// Whole blocks of zeros past the end written so far are left as holes,
// but zeros written back over data replace it, and a file ending in a hole
// still has its whole length.
TEST(DiskWalk, ZerosBecomeHolesOnlyPastWhatWasWritten) {
  PlantedGame g;
  const TWritePlace place = GameWritePlace(g / "game/holes.bin");
  ASSERT_GE(place.FolderFd(), 0);
  const std::vector<uint8_t> data(8192, 'A'), zeros(8192, 0);
  WriteGameFileFrom(place, [&](TKsBigStream& out) {
    out.Write(data.data(), 8192);   // 0..8191: data
    out.Write(zeros.data(), 8192);  // 8192..16383: a hole
    out.SetPosition(0);
    out.Write(zeros.data(), 4096);  // 0..4095: back over the data
  });
  const std::vector<uint8_t> got = test::ReadFileBytes(g / "game/holes.bin");
  ASSERT_EQ(got.size(), 16384u);
  EXPECT_EQ(std::count(got.begin(), got.begin() + 4096, 0), 4096);
  EXPECT_EQ(std::count(got.begin() + 4096, got.begin() + 8192, 'A'), 4096);
  EXPECT_EQ(std::count(got.begin() + 8192, got.end(), 0), 8192);
}

TEST(DiskWalk, ListingsShowWhatInsideLinksLeadToAndHideTheRest) {
  PlantedGame g;
  std::vector<std::string> list;
  ListFiles(g / "game", faReadOnly | faHidden | faDirectory, true, "", false, false, false, list, true);
  std::vector<std::string> names;
  for (const std::string& path : list) names.push_back(path.substr(path.find_last_of("\\/") + 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in_abs", "in_chain", "in_dir", "in_file", "inside.txt", "other", "sub"}));
  list.clear();
  ListFiles(g / "game/out_dir", faReadOnly | faHidden | faDirectory, true, "", false, false, false, list, true);
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace orba
