// Shift-JIS paths and names: splitting, resolving and case folding, the
// names on disk, file listing, and the small text helpers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/errors.h"
#include "core/files/brix_probe.h"
#include "core/files/disk_path.h"
#include "core/files/list_files.h"
#include "core/files/path_utils.h"
#include "core/sjis_test_helpers.h"
#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::SjisBytes;
using test::SjisHex;

TEST(PathParser, GivesTheParts) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> cases = {
      {"-", {}},
      // c:\games\x -> C:\ GAMES\ X\ .
      {"63 3a 5c 67 61 6d 65 73 5c 78", {"43 3a 5c", "47 41 4d 45 53 5c", "58 5c"}},
      // \\srv\share\ -> \\SRV\ SHARE\ .
      {"5c 5c 73 72 76 5c 73 68 61 72 65 5c", {"5c 5c 53 52 56 5c", "53 48 41 52 45 5c"}},
      // a\表\ソ : trail bytes 0x5C do not split, and the added backslash follows ソ.
      {"61 5c 95 5c 5c 83 5c", {"41 5c", "95 5c 5c", "83 5c 5c"}},
      // ヂ (83 61) keeps its trail byte; ａ (82 81) folds to Ａ (82 60).
      {"83 61 82 81", {"83 61 82 60 5c"}}};
  for (const auto& [path, items] : cases) {
    TPathParser p;
    p.Parse(SjisBytes(path));
    std::vector<std::string> got, want;
    for (int32_t i = 0; i < p.Count(); ++i) got.push_back(SjisHex(p.Get(i)));
    std::string joined;
    for (const char* item : items) {
      want.push_back(SjisHex(SjisBytes(item)));
      joined += SjisBytes(item);
    }
    EXPECT_EQ(got, want) << path;
    EXPECT_EQ(p.GetPath(), joined) << path;
  }
}

TEST(ResolveRelative, Resolves) {
  const char* const cases[][3] = {{"..\\..\\a.omt", "C:\\games\\x\\film\\", "C:\\GAMES\\a.omt"},
                                  {"b.omt", "c:\\d\\", "c:\\d\\b.omt"},
                                  {"\\abs\\f", "c:\\d\\", "\\abs\\f"},
                                  {"e:\\f", "c:\\d\\", "e:\\f"},
                                  {"x", "c:\\d\\", "x"},
                                  {"::x", "c:\\d\\", "::x"},
                                  {"", "c:\\d\\", ""},
                                  // the root is dropped too; the "..\" parts beyond it stay
                                  {"..\\..\\..\\..\\f", "c:\\d\\", "..\\..\\f"},
                                  {"..\\", "", "..\\"}};
  for (const auto& c : cases) EXPECT_EQ(ResolveRelativePath(c[0], c[1]), c[2]) << c[0] << " in " << c[1];
  // Base c:\表\ソ\ (95 5C, 83 5C): going up one folder removes ソ only.
  const std::string base = SjisBytes("63 3a 5c 95 5c 5c 83 5c 5c");
  EXPECT_EQ(SjisHex(ResolveRelativePath("..\\f", base)), SjisHex(SjisBytes("43 3a 5c 95 5c 5c 66")));
  // A relative path that starts with a double-byte character is appended.
  EXPECT_EQ(ResolveRelativePath(SjisBytes("83 5c 2e"), "c:\\"), "c:\\" + SjisBytes("83 5c 2e"));
}

TEST(PathUtils, AddBackSlashAndDelimiters) {
  EXPECT_EQ(AddBackSlash("") + "|" + AddBackSlash("a") + "|" + AddBackSlash("a\\"), "\\|a\\|a\\");
  EXPECT_EQ(AddBackSlash(SjisBytes("83 5c")), SjisBytes("83 5c 5c"));
  EXPECT_EQ((std::vector<bool>{IsPathDelimiter("a\\", 2), IsPathDelimiter(SjisBytes("83 5c"), 2),
                               IsPathDelimiter("a\\", 3), IsPathDelimiter("a\\", 0)}),
            (std::vector<bool>{true, false, false, false}));
}

// Page names the settings give: inside the folder, or leaving it.
TEST(PathUtils, NameLeavesFolder) {
  const struct {
    const char* name;
    bool leaves;
  } cases[] = {
      {"main.osb", false},
      {"sub\\page.osb", false},
      {"sub/../page.osb", false},        // down and back up: still inside
      {"a\\b\\..\\..\\page.osb", false},
      {".\\page.osb", false},
      {"", false},
      {"..\\home\\.ssh\\id_rsa", true},
      {"sub/../../x", true},
      {"..", true},
      {"a\\..\\..", true},
      {"\\x.osb", true},                // the drive's root
      {"/etc/passwd", true},
      {"\\\\server\\share\\x", true},
      {"C:\\x.osb", true},
      {"c:x.osb", true},                 // relative to a drive's folder
      {"page.osb:stream", true},
  };
  for (const auto& c : cases) EXPECT_EQ(NameLeavesFolder(c.name), c.leaves) << c.name;
  // 表 (95 5C) and ソ (83 5C) end in the byte of "\", which is no separator
  // there: "表..\x" is "x" in a folder "表..", "..ソx" one name and no "..";
  // "表\..\..\x" climbs one above.
  EXPECT_FALSE(NameLeavesFolder(SjisBytes("95 5c 2e 2e 5c 78")));
  EXPECT_FALSE(NameLeavesFolder(SjisBytes("2e 2e 83 5c 78")));
  EXPECT_TRUE(NameLeavesFolder(SjisBytes("95 5c 5c 2e 2e 5c 2e 2e 5c 78")));
}

TEST(TextUtils, UnescapeText) {
  const std::pair<const char*, const char*> cases[] = {{"61 5c 6e 62", "61 0d 0a 62"},  // a\nb
                                                       {"5c 74", "5c 74"},              // \t stays
                                                       {"61 5c", "61 5c"},              // lone backslash at the end
                                                       {"5c 5c 6e", "5c 6e"},           // \\n is a backslash and n
                                                       {"5c 22 5c", "22 5c"},           // \" then a lone backslash
                                                       {"83 5c 6e", "83 5c 6e"},        // ソn: no escape
                                                       {"95 5c 5c 5c", "95 5c 5c"},     // 表 then \\ .
                                                       {"5c", "5c"},
                                                       {"-", "-"},
                                                       {"61 83", "61 83"}};  // lone lead byte kept
  for (const auto& [in, out] : cases) EXPECT_EQ(SjisHex(UnescapeText(SjisBytes(in))), SjisHex(SjisBytes(out))) << in;
}

TEST(TextUtils, SplitLabelSuffix) {
  const char* const cases[][3] = {
      // main.osb:start
      {"6d 61 69 6e 2e 6f 73 62 3a 73 74 61 72 74", "6d 61 69 6e 2e 6f 73 62", "73 74 61 72 74"},
      // c:\dir\file: no suffix
      {"63 3a 5c 64 69 72 5c 66 69 6c 65", "63 3a 5c 64 69 72 5c 66 69 6c 65", "-"},
      {"3a 61 62 63", "3a 61 62 63", "-"},  // :abc (colon only at the first byte): no suffix
      {"61 3a 83 5c", "61", "83 5c"},       // a:ソ (83 5C): the trail backslash does not stop the search
      {"61 3a 95 5c 78", "61", "95 5c 78"},  // a:表x (95 5C): likewise
      {"70 2e 6f 3a", "70 2e 6f", "-"},     // page.osb: with an empty label
      {"78 3a 61 2e 62", "78 3a 61 2e 62", "-"}};  // x:a.b: the dot after the colon means no suffix
  for (const auto& c : cases) {
    std::string s = SjisBytes(c[0]);
    const std::string suffix = SplitLabelSuffix(s);
    EXPECT_EQ(SjisHex(s) + "|" + SjisHex(suffix), SjisHex(SjisBytes(c[1])) + "|" + SjisHex(SjisBytes(c[2]))) << c[0];
  }
}

TEST(ScaleColor, ScalesEachChannelWithoutClamping) {
  // The top byte is cleared; 0xFF * 2 wraps to 0xFE; a negative factor keeps
  // bits 8-15 of the 32-bit product: 0x10 * -256 = 0xFFFFF000.
  EXPECT_EQ((std::vector<int32_t>{ScaleColor(0x00FFFFFF, 128), ScaleColor(0x00123456, 256), ScaleColor(0x7F123456, 256),
                                  ScaleColor(0x00FF0080, 512), ScaleColor(-1, 0), ScaleColor(0x10, -256)}),
            (std::vector<int32_t>{0x007F7F7F, 0x00123456, 0x00123456, 0x00FE0000, 0, 0xF0}));
  EXPECT_EQ(MakePoint(3, -4), (TPoint{3, -4}));
}

TEST(SjisCase, FoldsAsciiAndFullWidthLettersOnly) {
  // Aa Ａａ ア ヂ Ｚ ｚ Z
  const std::string mixed = SjisBytes("41 61 82 60 82 81 83 41 83 61 82 79 82 9a 5a");
  EXPECT_EQ(SjisHex(SjisLowerCase(mixed)), "61 61 82 81 82 81 83 41 83 61 82 9a 82 9a 7a");
  EXPECT_EQ(SjisHex(SjisUpperCase(mixed)), "41 41 82 60 82 60 83 41 83 61 82 79 82 79 5a");
  // Bytes next to the letter ranges, a lone lead byte at the end and
  // half-width katakana (single bytes) do not fold.
  EXPECT_EQ(SjisHex(SjisLowerCase(SjisBytes("40 5b 82 5f 82 7a 82 80 82 9b"))), "40 5b 82 5f 82 7a 82 80 82 9b");
  EXPECT_EQ(SjisHex(SjisUpperCase(SjisBytes("61 82"))) + "|" + SjisHex(SjisUpperCase(SjisBytes("b1 c1"))), "41 82|b1 c1");
  EXPECT_TRUE(SjisSameText("Name", "nAME"));
  EXPECT_FALSE(SjisSameText(SjisBytes("83 41"), SjisBytes("83 61")) || SjisSameText("ab", "abc"));
  // Bytes compare unsigned: "z" sorts before Ａ.
  EXPECT_EQ((std::vector<int>{SjisCompareText("abc", "ABD"), SjisCompareText("B", "a"),
                              SjisCompareText(SjisBytes("82 60"), SjisBytes("82 81")),
                              SjisCompareText("z", SjisBytes("82 60"))}),
            (std::vector<int>{-1, 1, 0, -1}));
  // SjisSameText is the comparison of the lower-cased copies.
  const char alphabet[] = {'A', 'a', 'Z', '\x82', '\x60', '\x81', '\x83', '\x41', '\x61', '\x9a', '\x79'};
  uint32_t seed = 12345;
  const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    const size_t n = next() % 5;
    for (size_t i = 0; i < n; ++i) a += alphabet[next() % sizeof alphabet];
    for (size_t i = 0; i < n; ++i) b += alphabet[next() % sizeof alphabet];
    if (round % 3 == 0) b = SjisUpperCase(a);
    ASSERT_EQ(SjisSameText(a, b), SjisLowerCase(a) == SjisLowerCase(b)) << SjisHex(a) << " / " << SjisHex(b);
  }
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(IsSjisLeadByte(static_cast<uint8_t>(b)), (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
}

TEST(DiskPath, SplitsShiftJisPathsOnlyAtSeparators) {
  // 表 (95 5C) and ソ (83 5C) end in the byte of "\".
  EXPECT_EQ(SplitSjisPath("\x95\x5c\\\x83\x5c/a.txt"), (std::vector<std::string>{"\x95\x5c", "\x83\x5c", "a.txt"}));
  EXPECT_EQ(SplitSjisPath("\\\\a\\.\\b\\"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ((std::vector<std::string>{SjisExtractFilePath("dir\\\x95\x5c.txt"), SjisExtractFileExt("a.b\\c"),
                                      SjisExtractFileExt("x\\pic.Brx"), SjisChangeFileExt("d\\game.dat", ".ext"),
                                      AddPathDelimiter(""), AddPathDelimiter("/a/"), AddPathDelimiter("\x95\x5c")}),
            (std::vector<std::string>{"dir\\", "", ".Brx", "d\\game.ext", "", "/a/", "\x95\x5c\\"}));
  // Shown on this system: every separator "/", the trail bytes kept.
  EXPECT_EQ(SlashSeparators("/home/u/g\\out\\\x95\x5c\\a.dat"), "/home/u/g/out/\x95\x5c/a.dat");
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
  const auto zeros = [](int n) {
    std::string out;
    while (n-- > 0) out += " 00";
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
  for (const Case& k : cases) {
    TKsMemoryStream s(FromHex(k.hex));
    const bool uncompressed = IsBrixStreamUncompressed(s);
    EXPECT_EQ(std::make_pair(uncompressed, s.GetPosition()), std::make_pair(k.uncompressed, k.left_at)) << k.hex;
  }
}

}  // namespace
}  // namespace orba
