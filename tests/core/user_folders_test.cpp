// The user's folders a game's folder is judged against: user-dirs.dirs read
// as the desktop writes it, the default names besides, and HOME, "/" and
// the folders holding HOME.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/system/user_folders.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

TEST(UserFolders, ParsesUserDirsAsTheDesktopWritesThem) {
  const struct {
    const char* text;
    std::vector<std::string> folders;
  } cases[] = {
      {"# This file is written by xdg-user-dirs-update\n"
       "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9" "chargements\"\n",
       {"/h/Bureau", "/h/T\xc3\xa9l\xc3\xa9" "chargements"}},
      {"XDG_MUSIC_DIR=\"/srv/music\"\r\n  XDG_VIDEOS_DIR=\"$HOME\"  \n", {"/srv/music", "/h"}},
      {"XDG_PUBLICSHARE_DIR=\"$HOME/Public\"\nXDG_TEMPLATES_DIR=\"$HOME/Templates\"", {"/h/Public", "/h/Templates"}},
      {"XDG_CONFIG_HOME=\"/c\"\n", {}},            // no user folder
      {"XDG_DESKTOP_DIR=$HOME/Desktop\n", {}},      // not quoted
      {"XDG_DESKTOP_DIR=\"Desktop\"\n", {}},        // relative
      {"XDG_DESKTOP_DIR=\"$HOMEX/Desktop\"\n", {}}, // another variable
      {"XDG_DESKTOP_DIR=\"a\"b\"\n", {}},           // a quote inside
      {"#XDG_DESKTOP_DIR=\"$HOME/D\"\n", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseUserDirs(c.text, "/h"), c.folders) << c.text;
}

TEST(UserFolders, JudgesAGameFolderByItsRealPath) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home";
  for (const char* folder : {"/home/Downloads", "/home/Games/own", "/home/.config", "/elsewhere/music", "/links"})
    fs::create_directories(top + folder);
  test::WriteFileBytes(home + "/.config/user-dirs.dirs",
                       test::Bytes("XDG_MUSIC_DIR=\"" + top + "/elsewhere/music\"\n"));
  fs::create_directory_symlink(home + "/Downloads", top + "/links/dl");
  const test::EnvScope scope({{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"}});
  const struct {
    std::string folder;
    TFolderStanding standing;
  } cases[] = {
      {home, TFolderStanding::HoldsHome},
      {home + "/", TFolderStanding::HoldsHome},
      {home + "/Games/..", TFolderStanding::HoldsHome},
      {top, TFolderStanding::HoldsHome},
      {"/", TFolderStanding::HoldsHome},
      {home + "/Downloads", TFolderStanding::UserFolder},
      {top + "/links/dl", TFolderStanding::UserFolder},  // a link to the downloads
      {home + "/Documents", TFolderStanding::UserFolder},  // by its default name, missing
      {top + "/elsewhere/music", TFolderStanding::UserFolder},
      {home + "/Games/own", TFolderStanding::Own},
      {home + "/Downloads/game", TFolderStanding::Own},  // a folder of its own in the downloads
      {top + "/elsewhere", TFolderStanding::Own},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeGameFolder(c.folder), c.standing) << c.folder;
}

// Every way of naming a game from a working folder is its absolute path
// with its folders' links resolved; a file keeps its own name, also a link
// named like a program; what does not exist is "". An empty folder (what
// "./" leaves) is judged as the working folder, not as "/".
TEST(UserFolders, AGameNamedRelativelyIsItsRealAbsolutePath) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), own = top + "/Games/own";
  fs::create_directories(own + "/sub");
  test::WriteFileBytes(own + "/game.dat", {1});
  fs::create_directory_symlink("Games/own", top + "/link");
  fs::create_symlink("game.dat", own + "/start.exe");
  const fs::path before = fs::current_path();
  fs::current_path(own + "/sub");
  const struct {
    const char* named;
    std::string real;
  } cases[] = {
      {".", own + "/sub"},          {"./", own + "/sub"},          {"..", own},
      {"../", own},                 {"../game.dat", own + "/game.dat"}, {"../../own/", own},
      {"../../../link", own},       {"../../../link/game.dat", own + "/game.dat"},
      {"../start.exe", own + "/start.exe"}, {"../missing.dat", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(RealGamePath(c.named), c.real) << c.named;
  fs::current_path(top + "/Games");
  const TFolderStanding standing = JudgeGameFolder("");
  fs::current_path(before);
  EXPECT_EQ(standing, TFolderStanding::Own);
}

}  // namespace
}  // namespace orba
