// The file-access policy of a running game: which paths its folders open,
// for reading and for writing, however the path is spelt; and the addresses
// the desktop may be asked to open.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/files/file_access.h"
#include "core/system/desktop.h"
#include "core/system/trace.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// A home with a desktop and hidden folders, a game folder below it and a
// data folder in one of its hidden folders; access restricted to them.
struct PolicyScope {
  PolicyScope() {
    for (const char* folder : {"home/Desktop", "home/.config", "home/.local/share/orba/game", "games/game/sub",
                               "other", "disc"})
      fs::create_directories(dir / folder);
    old_home = ::getenv("HOME") != nullptr ? ::getenv("HOME") : "";
    ::setenv("HOME", (dir / "home").c_str(), 1);
    fs::create_directory_symlink(dir / "other", dir / "games/game/link");
    RestrictFileAccess();
    AllowFileRoot(dir / "games/game/", TAccessRoot::Game);
    AllowFileRoot(dir / "home/.local/share/orba/game/", TAccessRoot::Data);
    AllowFileRoot(dir / "disc/", TAccessRoot::Disc);
    AllowFileRoot(dir / "home/.local/share/orba/orbawall.bmp", TAccessRoot::Single);
    SetTraceSink([this](const std::string& line) { traced.push_back(line); });
  }
  ~PolicyScope() {
    SetTraceSink(nullptr);
    ReleaseFileAccess();
    ::setenv("HOME", old_home.c_str(), 1);
  }
  test::TempDir dir;
  std::string old_home;
  std::vector<std::string> traced;
};

TEST(FileAccess, GameFoldersOpenAndEveryClimbOutIsRefused) {
  PolicyScope scope;
  const std::string game = scope.dir / "games/game/";
  const struct {
    std::string path;
    TFileAccess access;
    bool open;
  } cases[] = {
      {game + "a.brx", TFileAccess::Write, true},
      {game + "sub\\..\\a.brx", TFileAccess::Write, true},
      {game + "..\\a.brx", TFileAccess::Read, false},
      {game + "sub/../../a.brx", TFileAccess::Read, false},
      {game + "link/x.txt", TFileAccess::Read, false},  // a link out of the folder is followed
      {scope.dir / "games/GAME/a.brx", TFileAccess::Write, true},  // found in any letter case
      {scope.dir / "home/Desktop/manual/a.txt", TFileAccess::Write, false},  // the user's, until chosen
      {scope.dir / "home/notes.txt", TFileAccess::Read, false},
      {scope.dir / "home/.config/autostart/x.desktop", TFileAccess::Write, false},
      {scope.dir / "home/.config", TFileAccess::Read, false},
      {scope.dir / "home/Desktop/../.local/share/x", TFileAccess::Write, false},
      {scope.dir / "home/.local/share/orba/game/save.dat", TFileAccess::Write, true},
      {scope.dir / "home/.local/share/orba/other/save.dat", TFileAccess::Write, false},
      {scope.dir / "home/.local/share/orba/orbawall.bmp", TFileAccess::Write, true},
      {scope.dir / "home/.local/share/orba/orbawall.bmp2", TFileAccess::Write, false},
      {scope.dir / "disc/a.ogg", TFileAccess::Read, true},
      {scope.dir / "disc/a.ogg", TFileAccess::Write, false},
      {scope.dir / "other/a.txt", TFileAccess::Read, false},
      {"/etc/passwd", TFileAccess::Read, false},
      {"relative.txt", TFileAccess::Read, false},
  };
  for (const auto& c : cases) EXPECT_EQ(FileAccessAllowed(c.path, c.access), c.open) << c.path;
  EXPECT_EQ(std::count(scope.traced.begin(), scope.traced.end(), "file write refused: " + scope.dir / "disc/a.ogg"),
            1);
  // Joined as the file layer joins them: quick inside, refused when climbing.
  EXPECT_TRUE(FileAccessAllowedIn(game, "sub\\a.brx", TFileAccess::Read));
  EXPECT_TRUE(FileAccessAllowedIn(game, "/etc/passwd", TFileAccess::Read));  // joined below the folder
  EXPECT_FALSE(FileAccessAllowedIn(game, "..\\..\\other\\a.txt", TFileAccess::Read));
  EXPECT_FALSE(FileAccessAllowedIn(scope.dir / "disc/", "a.ogg", TFileAccess::Write));
  // A folder the user chose opens from then on.
  EXPECT_FALSE(FileAccessAllowed(scope.dir / "other/a.txt", TFileAccess::Write));
  AllowFileRoot(scope.dir / "other\\", TAccessRoot::Chosen);
  EXPECT_TRUE(FileAccessAllowed(scope.dir / "other/a.txt", TFileAccess::Write));
}

// The player may choose any folder but "/", HOME and the folders holding
// HOME; a chosen file opens alone; a shut record stays shut inside every
// open folder, for reading and for writing.
TEST(FileAccess, ChosenFoldersNeverOpenHomeAsSuchAndShutRecordsStayShut) {
  PolicyScope scope;
  const std::string home = scope.dir / "home", record = home + "/.local/share/orba/chosen:folders";
  const std::string real_home = fs::canonical(home).string();
  const struct {
    std::string folder;
    std::string opened;  // "" when refused
  } choices[] = {
      {home, ""},
      {home + "/", ""},
      {home + "/Desktop/..", ""},
      {scope.dir.path(), ""},
      {"/", ""},
      {home + "/Desktop", real_home + "/Desktop"},
      {home + "/.local", real_home + "/.local"},  // the player's choice, hidden or not
  };
  for (const auto& c : choices) EXPECT_EQ(AllowFileRoot(c.folder, TAccessRoot::Chosen), c.opened) << c.folder;
  EXPECT_EQ(std::count(scope.traced.begin(), scope.traced.end(), "not opened to the game: " + real_home), 3);
  EXPECT_EQ(std::count(scope.traced.begin(), scope.traced.end(), "not opened to the game: /"), 1);
  EXPECT_EQ(AllowFileRoot(record, TAccessRoot::Shut), fs::weakly_canonical(record).string());
  EXPECT_EQ(AllowFileRoot(home + "/letter.txt", TAccessRoot::Single), real_home + "/letter.txt");
  const struct {
    std::string path;
    TFileAccess access;
    bool open;
  } cases[] = {
      {home + "/Desktop/a.txt", TFileAccess::Write, true},
      {home + "/Documents/a.txt", TFileAccess::Write, false},
      {home + "/bin/orba.opb", TFileAccess::Write, false},
      {home + "/.local/share/x", TFileAccess::Write, true},
      {record, TFileAccess::Read, false},
      {record, TFileAccess::Write, false},
      {home + "/.local/share/orba/CHOSEN:FOLDERS", TFileAccess::Read, false},  // found in any letter case
      {home + "/.local/share/orba/game/save.dat", TFileAccess::Write, true},
      {home + "/letter.txt", TFileAccess::Write, true},
      {home + "/letter.txt2", TFileAccess::Write, false},
  };
  test::WriteFileBytes(record, test::Bytes("record"));
  for (const auto& c : cases) EXPECT_EQ(FileAccessAllowed(c.path, c.access), c.open) << c.path;
}

TEST(FileAccess, EverythingIsOpenUntilRestrictedAndAfterRelease) {
  EXPECT_FALSE(FileAccessRestricted());
  EXPECT_TRUE(FileAccessAllowed("/etc/passwd", TFileAccess::Read));
  RestrictFileAccess();
  EXPECT_FALSE(FileAccessAllowed("/etc/passwd", TFileAccess::Read));
  ReleaseFileAccess();
  EXPECT_TRUE(FileAccessAllowedIn("/etc/", "passwd", TFileAccess::Write));
}

TEST(Desktop, OnlyWebAddressesAreOpened) {
  const struct {
    const char* url;
    bool open;
  } cases[] = {
      {"http://example.com/", true},
      {"https://example.com/a?b=1#c", true},
      {"http://[::1]:8080/", true},
      {"http://user@example.com", true},
      {"ftp://example.com/pub/a.txt", true},
      {"mailto:me@example.com", false},  // a mail address may carry attachments in its queries
      {"mailto:x@y.z?attach=~/.ssh/id_rsa", false},
      {"HTTP://example.com/", false},  // the scheme is taken in lower case only
      {"httpevil:--help", false},
      {"http:/example.com", false},
      {"http://", false},
      {"http://-x", false},
      {"http:///etc/passwd", false},
      {"http://exa mple.com", false},
      {"http://example.com/\x82\xa0", false},
      {"ftp://", false},
      {"FTP://example.com/", false},
      {"ftpx:/x", false},
      {"file:///etc/passwd", false},
      {"mailto:", false},
      {"mailto:-x@y", false},
      {"mailto:me", false},
      {"/etc", false},
      {"..\\..", false},
      {"--help", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDesktopUrl(c.url), c.open) << c.url;
}

}  // namespace
}  // namespace orba
