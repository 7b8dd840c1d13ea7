// Files created and replaced beside names a game may have planted: symlinks
// under the temporary's old fixed name or the target's own, leading to a
// user's file or to a file not there yet, are never written through.
#include "core/files/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "core/errors.h"
#include "core/streams/big_stream.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const std::vector<uint8_t> kCanary = Bytes("the user's own file\n");

// A game folder beside an "outside" folder holding the user's canary file.
struct PlantedFolders {
  test::TempDir dir;
  std::string game = dir / "game", outside = dir / "outside", canary = dir / "outside/canary";
  PlantedFolders() {
    fs::create_directories(game);
    fs::create_directories(outside);
    test::WriteFileBytes(canary, kCanary);
  }
  std::set<std::string> Names(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
  }
  void ExpectOutsideUntouched() const {
    EXPECT_EQ(Names(outside), std::set<std::string>{"canary"});
    EXPECT_EQ(test::ReadFileBytes(canary), kCanary);
  }
};

bool IsRegularFile(const std::string& path) { return fs::is_regular_file(fs::symlink_status(path)); }

TEST(ReplaceFileWhole, NeverWritesThroughAPlantedSymlink) {
  struct Case {
    const char* what;
    const char* planted_name;  // in the game folder, beside "save.dat"
    const char* points_to;     // in the outside folder
  };
  const Case cases[] = {
      {"the old fixed temporary name leads to a user's file", "save.dat.~tmp", "canary"},
      {"the old fixed temporary name leads to a file not there yet", "save.dat.~tmp", "evil.desktop"},
      {"the target itself leads to a user's file", "save.dat", "canary"},
      {"the target itself leads to a file not there yet", "save.dat", "evil.desktop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlantedFolders f;
    fs::create_symlink(f.outside + "/" + c.points_to, f.game + "/" + c.planted_name);
    TKsMemoryStream content(Bytes("the game's save"));
    content.SaveToFile(f.game + "/save.dat");
    f.ExpectOutsideUntouched();
    EXPECT_TRUE(IsRegularFile(f.game + "/save.dat"));
    EXPECT_EQ(test::ReadFileBytes(f.game + "/save.dat"), Bytes("the game's save"));
    // No temporary is left; a link under another name stays as it was.
    EXPECT_EQ(f.Names(f.game), (std::set<std::string>{"save.dat", c.planted_name}));
  }
}

TEST(ReplaceFileWhole, AFailedWriteLeavesNoTemporary) {
  PlantedFolders f;
  // A folder cannot be replaced by a file: the rename fails.
  fs::create_directories(f.game + "/save.dat");
  TKsMemoryStream content(Bytes("x"));
  EXPECT_THROW(content.SaveToFile(f.game + "/save.dat"), EWriteError);
  EXPECT_EQ(f.Names(f.game), std::set<std::string>{"save.dat"});
  EXPECT_EQ(ReplaceFileWhole(f.game + "/save.dat", "x", 1), TReplaceResult::NotWritten);
  EXPECT_EQ(ReplaceFileWhole(f.game + "/no/such/save.dat", "x", 1), TReplaceResult::NotCreated);
  EXPECT_THROW(content.SaveToFile(f.game + "/no/such/save.dat"), EFOpenError);
  EXPECT_EQ(f.Names(f.game), std::set<std::string>{"save.dat"});
}

// Content written piece by piece: what the writer raises passes on, the old
// file stays and no temporary is left; a writer that answers false is a
// failed write.
TEST(ReplaceFileAt, AWriterThatFailsOrRaisesLeavesTheOldFile) {
  PlantedFolders f;
  test::WriteFileBytes(f.game + "/save.dat", Bytes("old"));
  const int folder = ::open(f.game.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  const auto half = [](int fd) { return ::write(fd, "ne", 2) == 2; };
  EXPECT_THROW(ReplaceFileAt(folder, "save.dat", [&](int fd) -> bool { half(fd); throw EReadError(); }), EReadError);
  EXPECT_EQ(ReplaceFileAt(folder, "save.dat", [&](int fd) { return half(fd) && false; }), TReplaceResult::NotWritten);
  EXPECT_EQ(test::ReadFileBytes(f.game + "/save.dat"), Bytes("old"));
  EXPECT_EQ(f.Names(f.game), std::set<std::string>{"save.dat"});
  EXPECT_EQ(ReplaceFileAt(folder, "save.dat", [&](int fd) { return half(fd) && ::write(fd, "w", 1) == 1; }),
            TReplaceResult::Replaced);
  EXPECT_EQ(test::ReadFileBytes(f.game + "/save.dat"), Bytes("new"));
  ::close(folder);
}

mode_t PermissionBits(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// A file the user made private (or read only, or executable) keeps its
// permission bits through every replacement, whatever the umask; a link in
// the file's place passes nothing of its target on.
TEST(ReplaceFileWhole, KeepsThePermissionBitsOfTheFileItReplaces) {
  const struct {
    mode_t old_mode;
    mode_t umask;
  } cases[] = {{0600, 022}, {0640, 077}, {0664, 022}, {0444, 022}, {0755, 077}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.old_mode) + " under umask " + std::to_string(c.umask));
    PlantedFolders f;
    const std::string save = f.game + "/save.dat";
    test::WriteFileBytes(save, Bytes("old"));
    ASSERT_EQ(::chmod(save.c_str(), c.old_mode), 0);
    const mode_t umask_before = ::umask(c.umask);
    EXPECT_EQ(ReplaceFileWhole(save, "new", 3), TReplaceResult::Replaced);
    ::umask(umask_before);
    EXPECT_EQ(PermissionBits(save), c.old_mode);
    EXPECT_EQ(test::ReadFileBytes(save), Bytes("new"));
  }
  PlantedFolders f;
  ASSERT_EQ(::chmod(f.canary.c_str(), 0777), 0);
  fs::create_symlink(f.canary, f.game + "/save.dat");
  const mode_t umask_before = ::umask(022);
  EXPECT_EQ(ReplaceFileWhole(f.game + "/save.dat", "new", 3), TReplaceResult::Replaced);
  ::umask(umask_before);
  EXPECT_EQ(PermissionBits(f.game + "/save.dat"), mode_t{0644});
  EXPECT_EQ(PermissionBits(f.canary), mode_t{0777});
  f.ExpectOutsideUntouched();
}

TEST(ReadOwnFileAt, ReadsARegularFileOfTheFolderAndNothingALinkLeadsTo) {
  PlantedFolders f;
  test::WriteFileBytes(f.game + "/own.dat", Bytes("own"));
  fs::create_symlink(f.canary, f.game + "/link.dat");
  fs::create_symlink("own.dat", f.game + "/inner_link.dat");
  ::mkfifo((f.game + "/fifo.dat").c_str(), 0644);
  fs::create_directories(f.game + "/folder.dat");
  const int folder = ::open(f.game.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  EXPECT_EQ(ReadOwnFileAt(folder, "own.dat"), Bytes("own"));
  for (const char* none : {"link.dat", "inner_link.dat", "fifo.dat", "folder.dat", "missing.dat"})
    EXPECT_FALSE(ReadOwnFileAt(folder, none).has_value()) << none;
  ::close(folder);
}

TEST(CreateFreshFile, MakesANewFileOfItsOwnEveryTime) {
  PlantedFolders f;
  const std::string prefix = f.game + "/save.dat.$$$";
  const TNewFile a = CreateFreshFile(prefix), b = CreateFreshFile(prefix);
  ASSERT_TRUE(a.Fd >= 0 && b.Fd >= 0);
  ::close(a.Fd);
  ::close(b.Fd);
  EXPECT_NE(a.Path, b.Path);
  for (const std::string& path : {a.Path, b.Path}) {
    EXPECT_EQ(path.substr(0, prefix.size()), prefix);
    EXPECT_EQ(path.size(), prefix.size() + kFreshNameLetters);
    EXPECT_TRUE(IsRegularFile(path));
  }
  const TNewFile none = CreateFreshFile(f.game + "/missing/x");
  EXPECT_EQ(none.Fd, -1);
}

TEST(CreateReplacingFile, ReplacesALinkOrAReadOnlyFileItself) {
  PlantedFolders f;
  const std::string link = f.game + "/~ob00000000.txt", read_only = f.game + "/kept.txt";
  fs::create_symlink(f.canary, link);
  test::WriteFileBytes(read_only, Bytes("old"));
  ::chmod(read_only.c_str(), 0444);
  for (const std::string& path : {link, read_only}) {
    SCOPED_TRACE(path);
    const int fd = CreateReplacingFile(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "new", 3), 3);
    ::close(fd);
    EXPECT_TRUE(IsRegularFile(path));
    EXPECT_EQ(test::ReadFileBytes(path), Bytes("new"));
  }
  f.ExpectOutsideUntouched();
  EXPECT_EQ(CreateReplacingFile(f.game + "/missing/x"), -1);
}

TEST(RemoveStaleTemporaries, RemovesOnlyTheTemporariesNamesAndNeverWhatALinkLeadsTo) {
  PlantedFolders f;
  const std::string g = f.game + "/";
  for (const char* name : {"save.dat", "save.dat.~tmp", "save.dat.~tmpAbC123", "save.dat.~tmpAbC12",
                           "save.dat.~tmpAbC1234", "save.dat.~tmpAbC12!", "other.dat.~tmp", "save.dat.$$$"})
    test::WriteFileBytes(g + name, Bytes("x"));
  fs::create_symlink(f.canary, g + "save.dat.~tmpLinked");
  fs::create_symlink(f.outside, g + "save.dat.~tmpFolder");
  fs::create_directories(g + "save.dat.~tmpInside");
  const std::vector<std::string> removed = RemoveStaleTemporaries(g + "save.dat");
  EXPECT_EQ(std::set<std::string>(removed.begin(), removed.end()),
            (std::set<std::string>{"save.dat.~tmp", "save.dat.~tmpAbC123", "save.dat.~tmpLinked",
                                   "save.dat.~tmpFolder"}));
  // Names of another form, and a real folder, stay.
  EXPECT_EQ(f.Names(f.game),
            (std::set<std::string>{"save.dat", "save.dat.~tmpAbC12", "save.dat.~tmpAbC1234", "save.dat.~tmpAbC12!",
                                   "other.dat.~tmp", "save.dat.$$$", "save.dat.~tmpInside"}));
  f.ExpectOutsideUntouched();
  EXPECT_TRUE(RemoveStaleTemporaries(f.game + "/missing/save.dat").empty());
}

}  // namespace
}  // namespace orba
