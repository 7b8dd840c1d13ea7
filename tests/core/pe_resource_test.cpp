#include "core/files/pe_resource.h"

#include <gtest/gtest.h>

#include "core/files/vr_file.h"
#include "core/files/vr_file_manager.h"
#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ReadFileBytes;

// A program file written by the independent Python writer, holding the
// small version-102 archive as DUMMY/BINTYPE and two more resources.
class PeResource : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(test::RunPython("fixtures/vf_fixture.py", {"small", dir.path()}).exit_code, 0);
    test::WriteFileBytes(dir / "hello.txt", test::Bytes("hello"));
    ASSERT_EQ(test::RunPython("fixtures/pe_fixture.py", {dir / "game.exe", "BINTYPE:DUMMY:" + (dir / "small_v102.vf"),
                                                          "#10:#7:" + (dir / "hello.txt"), "ICON:Other:" + (dir / "hello.txt")})
                  .exit_code,
              0);
    file = ReadFileBytes(dir / "game.exe");
  }
  std::string Found(const std::string& name, const std::string& type) {
    const auto at = FindPeResource(file, name, type);
    if (!at) return "(none)";
    return std::string(file.begin() + static_cast<std::ptrdiff_t>(at->FileOffset),
                       file.begin() + static_cast<std::ptrdiff_t>(at->FileOffset + at->Size));
  }
  test::TempDir dir;
  std::vector<uint8_t> file;
};

TEST_F(PeResource, FindsResourcesByNameOrId) {
  const std::vector<uint8_t> archive = ReadFileBytes(dir / "small_v102.vf");
  EXPECT_EQ(Found("dummy", "bintype"), std::string(archive.begin(), archive.end()));
  EXPECT_EQ((std::vector<std::string>{Found("#7", "#10"), Found("7", "10"), Found("OTHER", "Icon"),
                                      Found("DUMMY", "ICON"), Found("#8", "#10")}),
            (std::vector<std::string>{"hello", "hello", "hello", "(none)", "(none)"}));
}

TEST_F(PeResource, DamagedOrForeignFilesHaveNoResources) {
  for (size_t cut = 0; cut < file.size(); cut += 7) {
    const std::span<const uint8_t> part(file.data(), cut);
    const auto found = FindPeResource(part, "DUMMY", "BINTYPE");
    if (found) {
      EXPECT_LE(found->FileOffset + found->Size, cut);
    }
  }
  std::vector<uint8_t> other = file;
  other[0x80] = 'X';  // no "PE" signature
  EXPECT_FALSE(FindPeResource(other, "DUMMY", "BINTYPE"));
  other = file;
  other[0x3C] = 0xFF;  // header position beyond the file
  other[0x3F] = 0x7F;
  EXPECT_FALSE(FindPeResource(other, "DUMMY", "BINTYPE"));
}

TEST_F(PeResource, MountsTheArchiveHeldAsAResource) {
  TVrFileCollection c;
  c.OpenResource(dir / "game.exe", "DUMMY", "BINTYPE");
  ASSERT_EQ(c.Count(), 6);
  TKsMemoryStream content;
  c.ReadEntry(content, "A.TXT");
  std::string alpha;
  for (int i = 0; i < 20; ++i) alpha += "alpha ";
  EXPECT_EQ(std::string(content.Bytes().begin(), content.Bytes().end()), alpha);
  // A raw entry's window shows its bytes straight from the resource.
  std::unique_ptr<TRangeStream> window = c.OpenEntryRange("se.wav");
  ASSERT_TRUE(window);
  ASSERT_EQ(window->GetSize(), 200);
  std::vector<uint8_t> wave(200);
  window->ReadBuffer(wave.data(), 200);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(wave[static_cast<size_t>(i)], i);

  TVrFileManager manager;
  EXPECT_EQ(manager.AddResourceArchive(dir / "game.exe", "DUMMY", "BINTYPE"), 0);
  EXPECT_TRUE(manager.Exists("empty.bin"));
}

TEST_F(PeResource, MissingResourcesAndForeignModules) {
  TVrFileCollection c;
  // リソースが見つかりません
  EXPECT_EQ(test::ErrorText<EOrbaError>([&] { c.OpenResource(dir / "game.exe", "NOTHERE", "BINTYPE"); }),
            "\x83\x8a\x83\x5c\x81[\x83X\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  EXPECT_EQ(c.Count(), 0);
  // A resource that holds no package: the damaged-package error names the program.
  const std::string damaged =
      test::ErrorText<EVrDamagedError>([&] { c.OpenResource(dir / "game.exe", "OTHER", "ICON"); });
  EXPECT_EQ(damaged.rfind(dir / "game.exe:", 0), 0u) << damaged;
  EXPECT_EQ(c.Count(), 0);
  c.OpenResource(dir / "hello.txt", "DUMMY", "BINTYPE");  // not a program file: silently empty
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Archive, nullptr);
}

}  // namespace
}  // namespace orba
