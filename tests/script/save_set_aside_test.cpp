// "save.dat" faults that must not block the saves: a file too large to read
// is moved aside whole at start-up and the saves begin a new file; a write
// that fails says the system's reason.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "save_player.h"
#include "script/save/save_data.h"
#include "script/values/param_collection.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

using Player = test::SavePlayer;

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A sparse file of Size bytes that begins with Head.
void WriteLarge(const std::string& path, int64_t size, const std::string& head) {
  std::ofstream out(path, std::ios::binary);
  out << head;
  out.seekp(size - 1);
  out.put('\x7f');
}

// The file too large to read is renamed beside the file it really is (a
// link in the game folder leading to another of its files stays, dangling),
// whole: the same file, not a copy. It is named in the warning, nothing is
// damaged, and the next save writes a new "save.dat" that reads back.
TEST(SaveSetAside, ASaveFileTooLargeToReadIsMovedAsideAndTheSavesBeginAnew) {
  const struct {
    const char* what;
    const char* real;  // the file "save.dat" is, in the folder
  } cases[] = {{"the file itself", "save.dat"}, {"a link to another file of the folder", "real.dat"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string folder = fs::canonical(dir.path()).string();
    const std::string path = folder + "/save.dat", real = folder + "/" + c.real;
    WriteLarge(real, kMaxSaveFileBytes + 1, "vff");
    if (real != path) fs::create_symlink(c.real, path);
    struct stat before {};
    ASSERT_EQ(::stat(real.c_str(), &before), 0);

    Player p(path);
    p.file.OpenAtStart(nullptr);
    EXPECT_FALSE(p.file.Damaged());
    const std::string moved_name = std::string(c.real) + kSetAsideTag;
    std::string moved;
    for (const std::string& name : NamesIn(folder))
      if (name.rfind(moved_name, 0) == 0) moved = folder + "/" + name;
    ASSERT_EQ(moved.size(), folder.size() + 1 + moved_name.size() + 6) << moved;
    EXPECT_EQ(p.file.Warning(), real + ": holds more than " + std::to_string(kMaxSaveFileBytes) +
                                    " bytes: set aside as " + moved + "; the saves go to a new file");
    struct stat after {};
    ASSERT_EQ(::stat(moved.c_str(), &after), 0);
    EXPECT_EQ(std::make_tuple(after.st_ino, after.st_size), std::make_tuple(before.st_ino, before.st_size));
    EXPECT_FALSE(fs::exists(real));

    p.vars.AddVar(PT_INT)->SetName("n");
    p.vars.Find("n")->Persistent = 1;
    p.vars.Find("n")->SetAsInt(7);
    ASSERT_TRUE(p.file.SaveGame(1, "", 0, "fresh", true)) << p.file.LastError;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
    Player q(path);
    q.file.OpenAtStart(nullptr);
    EXPECT_EQ(q.file.Warning(), "");
    EXPECT_EQ(q.file.GetSaveCaption(1), "fresh");
    ASSERT_NE(q.vars.Find("n"), nullptr);
    EXPECT_EQ(q.vars.Find("n")->GetAsInt(), 7);
  }
}

// A write that fails says why in the system's words: here no file may grow
// (with SIGXFSZ ignored, the write fails with EFBIG). Every kind of write
// leaves the file as it was.
TEST(SaveSetAside, AWriteThatFailsSaysTheSystemsReason) {
  const struct {
    const char* what;
    std::function<bool(TSaveDataFile&)> write;
  } writes[] = {
      {"status save", [](TSaveDataFile& f) { return f.SaveStatus(true); }},
      {"game save", [](TSaveDataFile& f) { return f.SaveGame(2, "", 0, "two", true); }},
      {"saved file", [](TSaveDataFile& f) {
         return f.UpdateEntry("save:a", [](TKsBigStream& s) { s.WriteBuffer("a", 1); }, false);
       }},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w.what);
    TempDir dir;
    const std::string path = dir / "save.dat";
    Player p(path);
    ASSERT_TRUE(p.file.SaveGame(1, "", 0, "one", true)) << p.file.LastError;
    const std::vector<uint8_t> before = test::ReadFileBytes(path);
    EXPECT_FALSE(test::WithFileSizeLimit(0, [&] { return w.write(p.file); }));
    EXPECT_EQ(p.file.LastError, path + ": not written: File too large");
    EXPECT_TRUE(test::ReadFileBytes(path) == before);
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"save.dat"});
  }
}

}  // namespace
}  // namespace orba
