// The font files a game brings: which entries of its "fonts" folder are
// opened (regular files inside the game's folder, by name, subfolders
// after) and which never are (FIFOs, devices, links leading out, linked
// folders, files beyond the caps).
#include "core/system/game_fonts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The inode of each descriptor, closing it.
std::vector<ino_t> InodesOf(const std::vector<int>& fds) {
  std::vector<ino_t> inodes;
  for (const int fd : fds) {
    struct stat st {};
    EXPECT_EQ(::fstat(fd, &st), 0);
    inodes.push_back(st.st_ino);
    ::close(fd);
  }
  return inodes;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_ino;
}

void Write(const std::string& path) { test::WriteFileBytes(path, test::Bytes("font " + path)); }

TEST(GameFontFiles, RegularFilesInsideAreOpenedInNameOrderAndNothingPlantedIs) {
  const TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string game = top + "/game", fonts = game + "/fonts", outside = top + "/outside";
  fs::create_directories(fonts + "/sub/deeper");
  fs::create_directories(game + "/shared");
  fs::create_directories(outside);
  Write(fonts + "/b.ttf");
  Write(fonts + "/a.ttf");
  Write(fonts + "/sub/c.ttf");
  Write(fonts + "/sub/deeper/d.ttf");
  Write(game + "/shared/e.ttf");
  Write(outside + "/x.ttf");
  ASSERT_EQ(::mkfifo((fonts + "/fifo.ttf").c_str(), 0644), 0);
  fs::create_symlink("../shared/e.ttf", fonts + "/inside.ttf");
  fs::create_symlink(outside + "/x.ttf", fonts + "/out.ttf");
  fs::create_symlink("../../outside/x.ttf", fonts + "/sub/up.ttf");
  fs::create_symlink("/dev/zero", fonts + "/zero.ttf");
  fs::create_symlink("../shared", fonts + "/linked");
  fs::create_symlink(outside, fonts + "/outdir");
  fs::create_symlink("/", fonts + "/root");
  fs::create_symlink("loop.ttf", fonts + "/loop.ttf");
  const std::vector<ino_t> expected = {InodeOf(fonts + "/a.ttf"), InodeOf(fonts + "/b.ttf"),
                                       InodeOf(game + "/shared/e.ttf"), InodeOf(fonts + "/sub/c.ttf"),
                                       InodeOf(fonts + "/sub/deeper/d.ttf")};
  // The game named as the player names it: with "\" or "/" before "fonts".
  for (const std::string& folder : {game + "\\fonts", game + "/fonts", game + "//fonts"})
    EXPECT_EQ(InodesOf(OpenGameFontFiles(folder)), expected) << folder;
}

TEST(GameFontFiles, AFontsFolderLinkedOutIsNotRead) {
  const TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  fs::create_directories(top + "/game/own");
  fs::create_directories(top + "/outside");
  Write(top + "/outside/x.ttf");
  Write(top + "/game/own/y.ttf");
  for (const std::string& target : {top + "/outside", std::string("/"), std::string("../outside")}) {
    fs::remove(top + "/game/fonts");
    fs::create_symlink(target, top + "/game/fonts");
    EXPECT_TRUE(OpenGameFontFiles(top + "/game\\fonts").empty()) << target;
  }
  // Linked to a folder of the game's own, it is read.
  fs::remove(top + "/game/fonts");
  fs::create_symlink("own", top + "/game/fonts");
  EXPECT_EQ(InodesOf(OpenGameFontFiles(top + "/game\\fonts")), std::vector<ino_t>{InodeOf(top + "/game/own/y.ttf")});
  // A game folder the user named through a link of the user's is the game's.
  fs::create_symlink(top + "/game", top + "/named");
  EXPECT_EQ(InodesOf(OpenGameFontFiles(top + "/named/fonts")).size(), 1u);
  EXPECT_TRUE(OpenGameFontFiles(top + "/missing/fonts").empty());
}

TEST(GameFontFiles, TooManyOrTooLargeFilesAreSkipped) {
  const TempDir dir;
  const std::string fonts = dir.path() + "/game/fonts";
  fs::create_directories(fonts);
  for (size_t i = 0; i < kMaxGameFontFiles + 6; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "/f%03zu.ttf", i);
    Write(fonts + name);
  }
  fs::resize_file(fonts + "/f000.ttf", static_cast<uintmax_t>(kMaxGameFontBytes) + 1);
  const std::vector<ino_t> opened = InodesOf(OpenGameFontFiles(fonts));
  ASSERT_EQ(opened.size(), kMaxGameFontFiles);
  EXPECT_EQ(opened.front(), InodeOf(fonts + "/f001.ttf"));
}

}  // namespace
}  // namespace orba
