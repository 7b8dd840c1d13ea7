// A "save.dat" too large to read is moved aside whole at start-up, beside
// the file it really is, and the saves begin a new file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "save_player.h"
#include "script/save/save_data.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// "save.dat" of a game folder is a link to another of its files, too large
// to read: that file is renamed beside itself (the same file, not a copy),
// the warning names it and its new name, and the first save puts a file of
// its own in the dangling link's place, which reads back.
TEST(SaveSetAside, TheFileALinkLeadsToIsMovedAsideBesideItself) {
  test::TempDir dir;
  const std::string folder = fs::canonical(dir.path()).string();
  const std::string path = folder + "/save.dat", real = folder + "/real.dat";
  {
    std::ofstream out(real, std::ios::binary);
    out.seekp(kMaxSaveFileBytes);
    out.put('\x7f');
  }
  fs::create_symlink("real.dat", path);
  struct stat before {};
  ASSERT_EQ(::stat(real.c_str(), &before), 0);

  test::SavePlayer p(path);
  p.file.OpenAtStart(nullptr);
  EXPECT_FALSE(p.file.Damaged());
  std::string moved;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(std::string("real.dat") + kSetAsideTag, 0) == 0) moved = e.path().string();
  }
  ASSERT_FALSE(moved.empty());
  EXPECT_EQ(p.file.Warning(), real + ": holds more than " + std::to_string(kMaxSaveFileBytes) +
                                  " bytes: set aside as " + moved + "; the saves go to a new file");
  struct stat after {};
  ASSERT_EQ(::stat(moved.c_str(), &after), 0);
  EXPECT_EQ(std::make_tuple(after.st_ino, after.st_size), std::make_tuple(before.st_ino, before.st_size));

  ASSERT_TRUE(p.file.SaveGame(1, "", 0, "fresh", true)) << p.file.LastError;
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
  test::SavePlayer q(path);
  q.file.OpenAtStart(nullptr);
  EXPECT_EQ(q.file.Warning(), "");
  EXPECT_EQ(q.file.GetSaveCaption(1), "fresh");
}

}  // namespace
}  // namespace orba
