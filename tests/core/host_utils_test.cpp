// Save location, special folders, fonts, the instance lock and the desktop
// answers, over a host with fixed answers (and the real fonts once).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <tuple>

#include "core/errors.h"
#include "core/sjis_test_helpers.h"
#include "core/system/desktop.h"
#include "core/system/font_list.h"
#include "core/system/instance_lock.h"
#include "core/system/save_location.h"
#include "platform/linux/host_linux.h"
#include "platform/text_convert.h"
#include "support/fixed_host.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::TempDir;
using test::ToHex;
namespace fs = std::filesystem;

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Installs a fixed host for the life of the object.
struct FixedHostScope {
  std::shared_ptr<test::TFixedHost> host = std::make_shared<test::TFixedHost>();
  std::shared_ptr<THostServices> old = SetHostServices(host);
  ~FixedHostScope() { SetHostServices(old); }
};

TEST(SaveLocation, TitleFolderNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"a\\b/c:d,e;f*g?h\"i<j>k|l", "a_b_c_d_e_f_g_h_i_j_k_l"},
      {"\x83\x5c\x95\x5c|", "\x83\x5c\x95\x5c_"},  // ソ表| : trail bytes 0x5C stay
      {"\x83|", "\x83|"},    // "|" as the trail byte of a character stays
      {"a|\x83", "a_\x83"},  // a lead byte at the end is a byte of its own
      {"..", "__"}, {".", "_"}, {"v1.0", "v1.0"},
      // A byte after a lead byte that is no trail byte is a byte of its own.
      {"a\x81/..", "a\x81_.."}, {"\x81\x7f|", "\x81\x7f_"}, {"\x81/\x81\\", "\x81_\x81\\"}};
  for (const auto& [title, folder] : cases) EXPECT_EQ(TitleFolderName(title), folder) << title;
  EXPECT_EQ(TitleFolderName(std::string("..\0/x", 5)), "..__x");
}

// Whatever the title holds, its data folder is one folder directly below
// the player's own, and nothing else is made.
TEST(SaveLocation, AHostileTitleStaysInItsOwnDataFolder) {
  TempDir dir;
  FixedHostScope host;
  host.host->Folders = {{kFolderLocalAppData, dir / "data"}};
  const std::string titles[] = {"a\x81/..", "\x81/..", "..", "\x81/\x81/", std::string("..\0x", 4),
                                std::string("\x81\0", 2), "a/../../b", "\x81\\.."};
  for (const std::string& title : titles) {
    SCOPED_TRACE(ToHex(std::vector<uint8_t>(title.begin(), title.end())));
    const std::string folder = GetTitleDataFolder(title);
    const std::string base = dir / "data/orba/";
    ASSERT_EQ(folder.substr(0, base.size()), base);
    const std::string name = SjisToUtf8(folder.substr(base.size(), folder.size() - base.size() - 1));
    EXPECT_TRUE(!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos) << name;
    EXPECT_TRUE(std::filesystem::is_directory(base + name));
  }
  // Only the titles' folders were made, all of them in the player's folder.
  size_t made = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "data")) {
    if (e.path() == dir / "data/orba") continue;
    EXPECT_EQ(e.path().parent_path().string(), dir / "data/orba") << e.path();
    ++made;
  }
  EXPECT_EQ(made, std::size(titles));
}

// A game that ships a symlink under the probe's old name: the probe never
// opens, empties or removes it, and the game keeps its folder.
TEST(SaveLocation, TheProbeLeavesAPlantedLinkAndWhatItLeadsToAlone) {
  TempDir dir;
  FixedHostScope host;
  host.host->Folders = {{kFolderLocalAppData, dir / "data"}};
  std::filesystem::create_directories(dir / "game");
  test::WriteFileBytes(dir / "canary", {1, 2, 3});
  std::filesystem::create_symlink(dir / "canary", dir / "game/save.dat.$$$");
  EXPECT_EQ(ResolveSaveDataFile(dir / "game/", "T"), dir / "game/save.dat");
  EXPECT_EQ(test::ReadFileBytes(dir / "canary"), (std::vector<uint8_t>{1, 2, 3}));
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir / "game")) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"save.dat.$$$"});
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "game/save.dat.$$$"));
}

TEST(SaveLocation, BesideTheProgramOrInTheTitleFolderCopiedOnce) {
  TempDir dir;
  FixedHostScope host;
  host.host->Folders = {{kFolderLocalAppData, dir / "data"}, {kFolderProgramFiles, ""}};
  ::mkdir((dir / "game").c_str(), 0755);
  // A writable folder keeps save.dat beside the program; the probe is gone.
  EXPECT_EQ(ResolveSaveDataFile(dir / "game/player", "T"), dir / "game/save.dat");
  EXPECT_FALSE(Exists(dir / "game/save.dat.$$$"));
  // A folder where the probe cannot be created: the per-title folder, with
  // the old save.dat copied there once.
  // There "save.dat" still fits the longest path there is, the probe's
  // name does not.
  const std::string ro = test::PathNearTheLimit(dir / "ro", PATH_MAX - 17) + "/";
  ::mkdir(ro.c_str(), 0755);
  test::WriteFileBytes(ro + "save.dat", {1, 2, 3});
  const std::string title = "My:Game?";
  const std::string want = dir / "data/orba/My_Game_/save.dat";
  EXPECT_EQ(ResolveSaveDataFile(ro, title), want);
  EXPECT_EQ(test::ReadFileBytes(want), (std::vector<uint8_t>{1, 2, 3}));
  test::WriteFileBytes(ro + "save.dat", {9});
  EXPECT_EQ(ResolveSaveDataFile(ro, title), want);
  EXPECT_EQ(test::ReadFileBytes(want), (std::vector<uint8_t>{1, 2, 3}));
  // A "save.dat" beside the game that is a link to a file of the user's is
  // not copied: the data folder gets no copy of what it leads to.
  test::WriteFileBytes(dir / "secret", {7, 7, 7});
  ::unlink((ro + "save.dat").c_str());
  ASSERT_EQ(::symlink((dir / "secret").c_str(), (ro + "save.dat").c_str()), 0);
  EXPECT_EQ(ResolveSaveDataFile(ro, "Other"), dir / "data/orba/Other/save.dat");
  EXPECT_FALSE(Exists(dir / "data/orba/Other/save.dat"));
  // A "save.dat" in the data folder that is the user's link to a synced
  // folder, leading nowhere yet, takes the old saves where it leads and
  // stays a link.
  ::unlink((ro + "save.dat").c_str());
  test::WriteFileBytes(ro + "save.dat", {4, 5});
  ::mkdir((dir / "data/orba/Linked").c_str(), 0755);
  ::mkdir((dir / "synced").c_str(), 0755);
  ASSERT_EQ(::symlink((dir / "synced/save.dat").c_str(), (dir / "data/orba/Linked/save.dat").c_str()), 0);
  EXPECT_EQ(ResolveSaveDataFile(ro, "Linked"), dir / "data/orba/Linked/save.dat");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "data/orba/Linked/save.dat"));
  EXPECT_EQ(test::ReadFileBytes(dir / "synced/save.dat"), (std::vector<uint8_t>{4, 5}));
  // No title, no data folder, or one that cannot be made: the error of the
  // player, and where it looked and why for the player's own line.
  test::WriteFileBytes(dir / "file", {1});
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {dir / "data", "", "the game has no title to name a data folder"},
      {"", "T", "no data folder: neither $XDG_DATA_HOME nor $HOME is set"},
      {dir / "file", "T", "the data folder " + dir / "file/orba/T/ cannot be made"},
  };
  for (const auto& [data, title, why] : cases) {
    host.host->Folders = {{kFolderLocalAppData, data}};
    try {
      ResolveSaveDataFile(ro, title);
      ADD_FAILURE() << why;
    } catch (const ESaveLocationError& e) {
      EXPECT_STREQ(e.what(), kMsgCannotCreateDataFile);
      EXPECT_EQ(e.Where(), "save.dat: nothing can be written in " + ro + ", and " + why);
    }
  }
  EXPECT_EQ(GetTitleDataFolder(""), "");
}

TEST(SaveLocation, SpecialFolders) {
  FixedHostScope host;
  EXPECT_THROW(GetSpecialFolder(99), EOrbaError);
  // The Linux host: XDG folders, no program-files folder, unknown ids.
  SetHostServices(std::make_shared<TLinuxHost>());
  EXPECT_EQ(GetSpecialFolder(kFolderProgramFiles), "");
  EXPECT_FALSE(GetSpecialFolder(kFolderLocalAppData).empty());
  EXPECT_THROW(GetSpecialFolder(12345), EOrbaError);
}

// A desktop or documents folder that does not exist is no folder at all:
// never HOME in its place, also when HOME is "/".
TEST(SaveLocation, AMissingDesktopOrDocumentsFolderIsNoFolder) {
  TempDir dir;
  const char* old = ::getenv("HOME");
  const std::string old_home = old != nullptr ? old : "";
  SetHostServices(std::make_shared<TLinuxHost>());
  const std::string home = dir / "home";
  fs::create_directories(home);
  ::setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), "");
  EXPECT_EQ(GetSpecialFolder(kFolderPersonal), "");
  fs::create_directories(home + "/Desktop");
  fs::create_directories(home + "/Documents");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), home + "/Desktop");
  EXPECT_EQ(GetSpecialFolder(kFolderPersonal), home + "/Documents");
  ::setenv("HOME", "/", 1);
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), fs::is_directory("/Desktop") ? "/Desktop" : "");
  EXPECT_NE(GetSpecialFolder(kFolderPersonal), "/");
  ::unsetenv("HOME");
  EXPECT_EQ(GetSpecialFolder(kFolderDesktop), "");
  ::setenv("HOME", old_home.c_str(), 1);
}

TEST(FontList, NamesCharsetsAndRecords) {
  FixedHostScope host;
  host.host->Fonts = {
      {"IPAGothic", true, true},
      {"DejaVu Sans", false, false},
      {"IPA\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf", true, true},  // IPAゴシック
      {"@Vertical", false, true},
      {"Emoji \xf0\x9f\x98\x80", false, false},  // Shift-JIS cannot hold it
      {"A family name far beyond thirty-one bytes", false, false},
      {"aardvark", false, false},
  };
  std::vector<std::string> names;
  EnumFontNames(names, true, false, false);
  EXPECT_EQ(names, (std::vector<std::string>{"aardvark", "DejaVu Sans", "IPAGothic",
                                             "IPA\x83\x53\x83\x56\x83\x62\x83\x4e"}));
  EnumFontNames(names, false, true, false);
  EXPECT_EQ(std::make_pair(names.size(), names[3]), std::make_pair(size_t{5}, std::string("@Vertical")));
  EnumFontNames(names, true, false, true);
  EXPECT_EQ(names, (std::vector<std::string>{"IPAGothic", "IPA\x83\x53\x83\x56\x83\x62\x83\x4e"}));
  host.host->Japanese = true;
  EnumFontNames(names, true, true, false);
  EXPECT_EQ(names, (std::vector<std::string>{"@Vertical", "IPAGothic", "IPA\x83\x53\x83\x56\x83\x62\x83\x4e"}));

  // Names compare exactly: "ipagothic" is no font.
  EXPECT_EQ((std::vector<int>{GetFontCharset("IPAGothic"), GetFontCharset("DejaVu Sans"), GetFontCharset("ipagothic"),
                              GetFontCharset("Missing")}),
            (std::vector<int>{SHIFTJIS_CHARSET, ANSI_CHARSET, 0, 0}));
  // The record as stored: weight 400, charset at byte 23, face name at 28.
  const std::array<uint8_t, 60> record = GetFontLogFont("IPAGothic").ToBytes();
  std::string zeros;
  for (int i = 0; i < 23; ++i) zeros += "00 ";
  EXPECT_EQ(ToHex(std::vector<uint8_t>(record.begin(), record.end())),
            ToHex(test::FromHex("00000000 00000000 00000000 00000000 90010000 00 00 00 80 03 02 01 01"
                                "49 50 41 47 6f 74 68 69 63" + zeros)));
  const std::array<uint8_t, 60> none = GetFontLogFont("Missing").ToBytes();
  EXPECT_EQ(std::count(none.begin(), none.end(), 0), 60);
}

// The real fonts of this machine: the IPA fonts cover Japanese.
TEST(FontList, InstalledIpaFontsAreJapanese) {
  SetHostServices(std::make_shared<TLinuxHost>());
  EXPECT_EQ(GetFontCharset("IPAGothic"), SHIFTJIS_CHARSET);
  std::vector<std::string> names;
  EnumFontNames(names, true, false, true);
  if (!Host().UserLanguageIsJapanese()) {
    EXPECT_NE(std::find(names.begin(), names.end(), "IPAGothic"), names.end());
  }
}

TEST(InstanceLock, OneHolderPerFolder) {
  TempDir a;
  TempDir b;
  auto first = CreateInstanceMutex(a.path()), other = CreateInstanceMutex(b.path());
  ASSERT_TRUE(first != nullptr && other != nullptr);
  EXPECT_EQ(CreateInstanceMutex(a.path() + "/"), nullptr);
  EXPECT_NE(InstanceLockFile(a.path()), InstanceLockFile(b.path()));
  // Another process sees the folder taken.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(CreateInstanceMutex(a.path()) == nullptr ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ReleaseInstanceMutex(first);
  EXPECT_EQ(first, nullptr);
  EXPECT_NE(CreateInstanceMutex(a.path()), nullptr);
}

TEST(Desktop, WallpaperStyles) {
  FixedHostScope host;
  host.host->WallpaperAnswer = true;
  for (int style : {0, 1, 7}) EXPECT_TRUE(SetWallPaper("/w/orbawall.bmp", style));
  std::vector<TWallpaperStyle> styles;
  for (const auto& request : host.host->WallpaperRequests) styles.push_back(request.Style);
  EXPECT_EQ(styles, (std::vector<TWallpaperStyle>{TWallpaperStyle::Center, TWallpaperStyle::Tile,
                                                  TWallpaperStyle::Stretch}));
  // The Linux desktop is left as it is.
  SetHostServices(std::make_shared<TLinuxHost>());
  EXPECT_FALSE(SetWallPaper("/w/orbawall.bmp", 0));
}

}  // namespace
}  // namespace orba
