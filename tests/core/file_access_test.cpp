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
    AllowFileRoot(dir / "home/Desktop", TAccessRoot::UserFolder);
    AllowFileRoot(dir / "home", TAccessRoot::UserFolder);  // a desktop folder that falls back to HOME
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
      {scope.dir / "home/Desktop/manual/a.txt", TFileAccess::Write, true},
      {scope.dir / "home/notes.txt", TFileAccess::Write, true},
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
