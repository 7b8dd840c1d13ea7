#include "core/files/disk_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/errors.h"
#include "core/files/brix_probe.h"
#include "core/files/list_files.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;

TEST(DiskPath, SplitsShiftJisPathsOnlyAtSeparators) {
  // 表 (95 5C) and ソ (83 5C) end in the byte of "\".
  EXPECT_EQ(SplitSjisPath("\x95\x5c\\\x83\x5c/a.txt"), (std::vector<std::string>{"\x95\x5c", "\x83\x5c", "a.txt"}));
  EXPECT_EQ(SplitSjisPath("\\\\a\\.\\b\\"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ((std::vector<std::string>{SjisExtractFilePath("dir\\\x95\x5c.txt"), SjisExtractFileExt("a.b\\c"),
                                      SjisExtractFileExt("x\\pic.Brx"), SjisChangeFileExt("d\\game.dat", ".ext"),
                                      AddPathDelimiter(""), AddPathDelimiter("/a/"), AddPathDelimiter("\x95\x5c")}),
            (std::vector<std::string>{"dir\\", "", ".Brx", "d\\game.ext", "", "/a/", "\x95\x5c\\"}));
  EXPECT_TRUE(PathStartsWith("/MEDIA/CD\\game.dat", "/media/cd/"));
  EXPECT_FALSE(PathStartsWith("/media/c", "/media/cd/"));
}

TEST(DiskPath, FindsEntriesInAnyLetterCase) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "data/bg");
  test::WriteFileBytes(dir / "data/bg/title.png", test::Bytes("png"));
  EXPECT_EQ(FindDiskPath(dir.path() + "\\DATA\\BG\\Title.PNG"), dir / "data/bg/title.png");
  EXPECT_TRUE(DiskFolderExists(dir.path() + "\\Data"));
  EXPECT_FALSE(DiskFileExists(dir.path() + "\\Data"));
  EXPECT_FALSE(FindDiskPath(dir.path() + "\\DATA\\missing.png"));
  EXPECT_EQ(DiskPathForCreate(dir.path() + "\\DATA\\NEW\\\x95\x5c.txt"), dir / "data/NEW/\xe8\xa1\xa8.txt");
  EXPECT_THROW(OpenDiskFileRead(dir.path() + "\\data"), EFOpenError);
  EXPECT_EQ(OpenDiskFileRead(dir.path() + "\\DATA\\BG\\TITLE.png")->GetSize(), 3);
}

TEST(ListFiles, ListsByAttributeExtensionAndDepth) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "sub/deeper");
  for (const char* name : {"b.TXT", "a.txt", "c.png", "sub/d.txt", "sub/deeper/e.txt"})
    test::WriteFileBytes(dir / name, test::Bytes("x"));
  ::chmod((dir / "c.png").c_str(), 0444);
  std::vector<std::string> list{"old"};
  ListFiles(dir.path(), faReadOnly | faArchive, true, ".txt", true, false, false, list, true);
  const std::string base = dir.path() + "\\";
  EXPECT_EQ(list, (std::vector<std::string>{base + "a.txt", base + "b.TXT"}));
  list.clear();
  ListFiles(dir.path(), faReadOnly, false, "", true, false, false, list, false);
  EXPECT_EQ(list, (std::vector<std::string>{base + "c.png"}));
  struct stat st {};
  ::stat((dir / "c.png").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0444u);  // listing never clears attributes
  list.clear();
  ListFiles(dir.path(), faDirectory, true, ".txt", false, true, true, list, false);
  EXPECT_EQ(list, (std::vector<std::string>{base + "a.txt", base + "b.TXT", base + "sub\\", base + "sub\\d.txt",
                                            base + "sub\\deeper\\", base + "sub\\deeper\\e.txt"}));
}

TEST(BrixProbe, ReadsAtMostTheHeaderRecord) {
  struct Case {
    std::string hex;
    bool uncompressed;
    int64_t left_at;
  };
  auto zeros = [](int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += " 00";
    return out;
  };
  const std::string header22 = zeros(22);
  const Case cases[] = {
      // "Brix106", header size 40, compression byte (offset 22) 1
      {"42 72 69 78 31 30 36 28 00 00 00" + header22 + " 01" + zeros(17), true, 51},
      // header size 23: just the compression byte
      {"42 72 69 78 31 30 33 17 00 00 00" + header22 + " 01", true, 34},
      // a claimed size of 2^31-1 still reads only 40 bytes
      {"42 72 69 78 31 30 36 ff ff ff 7f" + header22 + " 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 aa bb",
       true, 51},
      {"42 72 69 78 31 30 32 17 00 00 00" + header22 + " 01", false, 7},  // version 102: no header
      {"42 72 69 78 31 30 36 17 00 00 00" + header22 + " 02", false, 34},  // JPEG layers
      {"42 72 69 78 31 30 36 10 00 00 00 00 00", false, 13},                // header ends before the byte
      {"89 50 4e 47 0d 0a 1a", false, 7},                                   // not Brix
      {"42 72 69", false, 3},
  };
  int n = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(n++);
    TKsMemoryStream s(FromHex(k.hex));
    EXPECT_EQ(IsBrixStreamUncompressed(s), k.uncompressed);
    EXPECT_EQ(s.GetPosition(), k.left_at);
  }
}

}  // namespace
}  // namespace orba
