#include "core/files/vr_file.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/sjis_test_helpers.h"
#include "core/streams/crc32.h"
#include "core/streams/stream_encoding.h"
#include "core/vr_fixture_support.h"
#include "platform/dialogs.h"
#include "platform/headless/scripted_dialogs.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;
using test::VfFixture;

// "vf", 102, N = 0, one offset: the end of the 18-byte directory (0x12)
// XORed with the first step 0x3C91A5E7.
const char* const kEmptyArchive = "76 66 66 00 00 00 00 00 00 00 F5 A5 91 3C 00 00 00 00";

// Four entries "a", "", "bc", "def", each an empty memory entry (packed to
// the 8 zlib bytes 78 01 03 00 00 00 00 01, CRC 4D731CC0 over those).
// Steps of the key: 3C91A5E7 6B69E36A 55A316F9 E8C118C4 C85721BB 26454E8E.
// Names: 61^E7 = 86; 62^6A 63^F9 = 08 9A; 64^C4 65^BB 66^8E = A0 DE E8.
// Directory 112 bytes; offsets 112, 120, 128, 136, 144 XOR the steps, the
// fourth and fifth with the negative steps sign-extended (upper half FF).
const char* const kFourEntries =
    "76 66 66 00 00 00 04 00 00 00"
    " 01 00 00 00 86  00 00 00 00  02 00 00 00 08 9a  03 00 00 00 a0 de e8"
    " 97 a5 91 3c 00 00 00 00  12 e3 69 6b 00 00 00 00  79 16 a3 55 00 00 00 00"
    " 4c 18 c1 e8 ff ff ff ff  2b 21 57 c8 ff ff ff ff"
    " 00 00 00 00  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
    " c0 1c 73 4d c0 1c 73 4d c0 1c 73 4d c0 1c 73 4d  00 00 00 00"
    " 78 01 03 00 00 00 00 01 78 01 03 00 00 00 00 01 78 01 03 00 00 00 00 01 78 01 03 00 00 00 00 01";

std::string Text(const TKsMemoryStream& s) { return std::string(s.Bytes().begin(), s.Bytes().end()); }

// The values as one text "a b c ", so that one comparison shows every field.
template <class... T>
std::string Fields(const T&... v) {
  std::ostringstream out;
  ((out << v << ' '), ...);
  return out.str();
}

// The content of an entry as text.
std::string Entry(TVrFileCollection& c, const std::string& name) {
  TKsMemoryStream content;
  c.ReadEntry(content, name);
  return Text(content);
}

// A collection reading the archive written into Out.
std::unique_ptr<TVrFileCollection> Reopened(const TKsMemoryStream& out) {
  auto back = std::make_unique<TVrFileCollection>();
  back->Archive = std::make_unique<TKsMemoryStream>(out.Bytes());
  back->ReadDirectory(*back->Archive);
  return back;
}

// orbatool vf extract of an archive of the fixture gives its source tree.
void ExpectExtractsTheTree(const test::TVfFixture& fx, const std::string& file) {
  test::TempDir out;
  ASSERT_EQ(test::RunOrbaTool({"vf", "extract", fx.Dir + "/" + file, out.path() + "/x"}).exit_code, 0) << file;
  EXPECT_EQ(test::RunCommand({"diff", "-r", out.path() + "/x", fx.Dir + "/src"}).exit_code, 0) << file;
}

TEST(VrArchive, WritesAndReadsTheEmptyArchive) {
  TVrFileCollection c;
  TKsMemoryStream out;
  EXPECT_TRUE(c.SaveToBigStream(out));
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(FromHex(kEmptyArchive)));
  TKsMemoryStream in(FromHex(kEmptyArchive));
  c.ReadDirectory(in);
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.GetEntry(0)->Name(), "\\EOF\\");
  EXPECT_EQ(std::make_pair(c.GetEntry(0)->Offset, c.Version), std::make_pair(int64_t{18}, 102));
}

TEST(VrArchive, ScramblesNamesAndSignExtendedOffsets) {
  TVrFileCollection c;
  for (const char* name : {"a", "", "bc", "def"}) c.AddEntry(name);
  TKsMemoryStream out;
  ASSERT_TRUE(c.SaveToBigStream(out));
  // The stream is left after the directory, not at the end of the data.
  EXPECT_EQ(out.GetPosition(), 112);
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(FromHex(kFourEntries)));

  TVrFileCollection back;
  TKsMemoryStream in(FromHex(kFourEntries));
  back.ReadDirectory(in);
  ASSERT_EQ(back.Count(), 5);
  const char* names[] = {"a", "", "bc", "def", "\\EOF\\"};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.GetEntry(i)->Name(), names[i]);
    EXPECT_EQ(back.GetEntry(i)->Offset, 112 + 8 * i);
    EXPECT_EQ(back.GetEntry(i)->Size, i < 4 ? 8 : 0);
    if (i < 4) {
      EXPECT_FALSE(back.GetEntry(i)->Raw);
      EXPECT_EQ(back.GetEntry(i)->Crc, 0x4D731CC0u);
    }
  }
}

TEST(VrArchive, RoundTripsMemoryEntries) {
  TVrFileCollection c;
  std::string big(kVrPackLimit, 'x');
  const std::vector<std::pair<std::string, std::string>> files = {
      {"mem:one", "first"}, {"\x95\x5c\\\x95\x5c.txt", std::string(3000, 'z')}, {"empty", ""}, {"big.bin", big}};
  for (const auto& [name, data] : files) {
    TVrFile* f = c.AddEntry(name);
    f->Data->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    f->CrcOfUnpacked = name == "mem:one";
  }
  TKsMemoryStream archive;
  ASSERT_TRUE(c.SaveToBigStream(archive));
  std::unique_ptr<TVrFileCollection> back = Reopened(archive);
  ASSERT_EQ(back->Count(), 5);
  for (const auto& [name, data] : files) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Entry(*back, name), data);
    const TVrFile* f = back->Find(name);
    EXPECT_EQ(f->Raw, data.size() >= static_cast<size_t>(kVrPackLimit));
    EXPECT_EQ(f->CrcOfUnpacked, name == "mem:one");
  }
  TKsMemoryStream one(std::vector<uint8_t>{'f', 'i', 'r', 's', 't'});
  EXPECT_EQ(back->Find("MEM:ONE")->Crc, StreamCrc32(one));
}

// Every archive of the Python writer, every form and version.
class VrFixtureArchive : public testing::TestWithParam<const char*> {};

TEST_P(VrFixtureArchive, ReadsEveryFieldAndContent) {
  const test::TVfFixture& fx = VfFixture(false);
  const test::TManifestArchive& a = fx.Archives.at(GetParam());
  TVrFileCollection c;
  c.OpenPath(fx.Dir + "/" + a.File);
  EXPECT_EQ(c.Version, a.Version);
  ASSERT_EQ(c.Count(), static_cast<int>(a.Entries.size()) + 1);
  for (size_t i = 0; i < a.Entries.size(); ++i) {
    const test::TManifestEntry& e = a.Entries[i];
    const TVrFile& f = *c.GetEntry(static_cast<int>(i));
    SCOPED_TRACE(e.DiskPath);
    // Name, offset, stored size, raw flag, CRC, CRC kind and age.
    EXPECT_EQ(Fields(test::SjisHex(f.Name()), f.Offset, f.Size, f.Raw, f.Crc, f.CrcOfUnpacked, f.Age),
              Fields(test::SjisHex(e.Name), e.Offset, e.StoredSize, e.Raw, e.Crc, e.CrcOfUnpacked, e.Age));
    if (c.Find(f.Name()) == &f) {
      TKsMemoryStream content;
      c.ReadEntry(content, f.Name());
      EXPECT_EQ(content.Bytes(), test::ReadFileBytes(fx.Dir + "/" + e.DiskPath));
      // The window holds the stored bytes; an empty entry's window is empty.
      std::unique_ptr<TRangeStream> window = c.OpenEntryRange(f.Name());
      ASSERT_TRUE(window);
      EXPECT_EQ(window->GetSize(), e.StoredSize);
    }
  }
  const TVrFile& marker = *c.GetEntry(c.Count() - 1);
  EXPECT_EQ(marker.Name(), "\\EOF\\");
  EXPECT_EQ(marker.Offset, a.EofOffset);
  for (const auto& [name, disk] : a.Lookups) {
    TKsMemoryStream content;
    c.ReadEntry(content, name);
    EXPECT_EQ(content.Bytes(), test::ReadFileBytes(fx.Dir + "/" + disk)) << disk;
  }
}

INSTANTIATE_TEST_SUITE_P(AllForms, VrFixtureArchive,
                         testing::Values("plain_v0.vf", "plain_v100.vf", "plain_v101.vf", "plain_v102.vf",
                                         "prog_v0.exe", "prog_v100.exe", "prog_v101.exe", "prog_v102.exe", "prog_v102.scr",
                                         "side_v0.dat", "side_v100.dat", "side_v101.dat", "side_v102.dat",
                                         "dup_v0.vf", "dup_v102.vf", "empty_v0.vf", "empty_v102.vf"));

// orbatool vf extract of every copy of the source tree gives the tree back.
class VrFixtureExtract : public testing::TestWithParam<const char*> {};

TEST_P(VrFixtureExtract, GivesTheSourceTree) { ExpectExtractsTheTree(VfFixture(false), GetParam()); }

INSTANTIATE_TEST_SUITE_P(AllForms, VrFixtureExtract,
                         testing::Values("plain_v0.vf", "plain_v100.vf", "plain_v101.vf", "plain_v102.vf",
                                         "prog_v0.exe", "prog_v100.exe", "prog_v101.exe", "prog_v102.exe", "prog_v102.scr",
                                         "side_v0.dat", "side_v100.dat", "side_v101.dat", "side_v102.dat"));

TEST(VrArchive, ExtractsFiveMebibyteEntries) {
  for (const char* file : {"plain_v0.vf", "plain_v102.vf"}) ExpectExtractsTheTree(VfFixture(true), file);
}

TEST(VrArchive, PacksByTheRulesAndThePythonReaderAgrees) {
  const test::TVfFixture& fx = VfFixture(true);
  test::TempDir out;
  const std::string archive = out.path() + "/game.dat";
  ASSERT_EQ(test::RunOrbaTool({"vf", "pack", fx.Dir + "/src", archive}).exit_code, 0);
  // The independent reader checks every CRC and inflates every entry.
  const test::CommandResult python = test::RunPython("fixtures/vf_fixture.py", {"list", archive});
  EXPECT_EQ(python.exit_code, 0) << python.output;
  const test::CommandResult ours = test::RunOrbaTool({"vf", "list", archive});
  ASSERT_EQ(ours.exit_code, 0);
  // Same names, flags, ages, stored sizes and CRCs, line by line.
  std::stringstream py(python.output), cc(ours.output);
  std::string a, b;
  int lines = 0;
  while (std::getline(py, a) && std::getline(cc, b)) {
    const std::string a_without_size = a.substr(0, a.find("\tsize=")) + a.substr(a.find("\tcrc="), 13);
    EXPECT_EQ(a_without_size, b);
    ++lines;
  }
  EXPECT_EQ(lines, static_cast<int>(fx.Tree.size()));
  EXPECT_EQ(test::RunOrbaTool({"vf", "verify", archive}).exit_code, 0);

  // The stored form of every file is the one the pack rules give.
  TVrFileCollection c;
  c.OpenPath(archive);
  for (const test::TManifestEntry& t : fx.Tree) {
    SCOPED_TRACE(t.DiskPath);
    const TVrFile* f = c.Find(t.Name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(!f->Raw, t.Packed);
  }
}

TEST(VrArchive, ShouldPackFollowsTheExtensionAndSizeRules) {
  struct Case {
    const char* name;
    int64_t size;
    bool pack;
  };
  const Case cases[] = {{"a.wav", 10, false},        {"a.Wa", 10, false},        {"a.MPEG", 10, false},
                        {"a.dat", 10, false},        {"noext", 10, true},        {"a.txt", kVrPackLimit - 1, true},
                        {"a.txt", kVrPackLimit, false}, {"dir.wav\\noext", 10, true}, {"a.png", 0, true}};
  TVrFileCollection c;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TVrFile& f = *c.AddItem(k.name);
    TKsMemoryStream source;
    source.SetSize(k.size);
    EXPECT_EQ(f.ShouldPack(source), k.pack);
  }
  // A Brix image is packed exactly when its layers are stored uncompressed.
  TVrFile& brx = *c.AddItem("x.BRX");
  std::vector<uint8_t> header = FromHex("42 72 69 78 31 30 36 28 00 00 00");
  header.resize(11 + 40, 0);
  header[11 + 22] = 1;
  TKsMemoryStream plain(header);
  EXPECT_TRUE(brx.ShouldPack(plain));
  header[11 + 22] = 0;
  TKsMemoryStream packed(header);
  EXPECT_FALSE(brx.ShouldPack(packed));
}

TEST(VrArchive, NineTenthsRuleStoresBadlyPackingFilesRaw) {
  test::TempDir dir;
  std::vector<uint8_t> noise(4000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 24);
  }
  test::WriteFileBytes(dir / "noise.bin", noise);
  test::WriteFileBytes(dir / "text.txt", std::vector<uint8_t>(4000, 'a'));
  TVrFileCollection c;
  c.BasePath = dir.path() + "/";
  c.AddItem("noise.bin");
  c.AddItem("text.txt")->CrcOfUnpacked = true;
  TKsMemoryStream out;
  ASSERT_TRUE(c.SaveToBigStream(out));
  EXPECT_TRUE(c.Find("noise.bin")->Raw && !c.Find("text.txt")->Raw);
  TKsMemoryStream text(std::vector<uint8_t>(4000, 'a'));
  EXPECT_EQ(c.Find("text.txt")->Crc, StreamCrc32(text));
  EXPECT_NE(c.Find("text.txt")->Age, 0);
}

TEST(VrArchive, AFailedEntryKeepsItsSlotEmptyAndTheSaveFails) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.txt", test::Bytes("alpha"));
  test::WriteFileBytes(dir / "c.txt", test::Bytes("gamma"));
  TVrFileCollection c;
  c.BasePath = dir.path() + "/";
  c.AddItem("a.txt");
  c.AddItem("missing.txt");
  c.AddItem("c.txt");
  TKsMemoryStream out;
  EXPECT_FALSE(c.SaveToBigStream(out));
  SetMessageBoxService(previous);
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].Text, "\x83G\x83\x89\x81[:missing.txt");  // エラー:missing.txt

  std::unique_ptr<TVrFileCollection> back = Reopened(out);
  EXPECT_EQ(Entry(*back, "a.txt") + "|" + Entry(*back, "missing.txt") + "|" + Entry(*back, "c.txt"), "alpha||gamma");
}

TEST(VrArchive, SavingToAFileReplacesItOnlyWhenEveryEntryWasWritten) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.txt", test::Bytes("alpha"));
  test::WriteFileBytes(dir / "game.dat", test::Bytes("old"));
  TVrFileCollection c;
  c.BasePath = dir.path() + "/";
  c.AddItem("a.txt");
  c.AddItem("missing.txt");
  EXPECT_FALSE(c.SaveToFileSafely(dir / "game.dat"));
  EXPECT_EQ(test::ReadFileBytes(dir / "game.dat"), test::Bytes("old"));
  EXPECT_FALSE(DiskFileExists(dir / "game~part.dat"));

  c.DeleteEntry("missing.txt");
  EXPECT_TRUE(c.SaveToFileSafely(dir / "game.dat"));
  SetMessageBoxService(previous);
  EXPECT_FALSE(DiskFileExists(dir / "game~part.dat"));
  TVrFileCollection back;
  back.Open(dir / "game.dat", true);
  EXPECT_EQ(Entry(back, "a.txt"), "alpha");
}

TEST(VrArchive, ArchiveEntriesAreRewrittenFromTheArchiveNotFromDisk) {
  test::TempDir dir;
  TVrFileCollection c;
  c.AddEntry("page.txt")->Data->WriteBuffer("packaged", 8);
  TKsMemoryStream archive;
  ASSERT_TRUE(c.SaveToBigStream(archive));
  archive.SaveToFile(dir / "save.dat");
  test::WriteFileBytes(dir / "page.txt", test::Bytes("beside on disk"));

  TVrFileCollection reopened;
  reopened.OpenPath(dir / "save.dat");
  reopened.AddEntry("new.txt")->Data->WriteBuffer("new", 3);
  TKsMemoryStream again;
  ASSERT_TRUE(reopened.SaveToBigStream(again));
  std::unique_ptr<TVrFileCollection> back = Reopened(again);
  EXPECT_EQ(Entry(*back, "page.txt") + "|" + Entry(*back, "NEW.TXT"), "packaged|new");
}

TEST(VrArchive, ReadEntryFallsBackToFilesBesideTheArchiveButNotItself) {
  const test::TVfFixture& fx = VfFixture(false);
  TVrFileCollection c;
  c.OpenPath(fx.Dir + "/plain_v102.vf");
  TKsMemoryStream content;
  c.ReadEntry(content, "manifest.txt");
  EXPECT_GT(content.GetSize(), 0);
  // plain_v102.vf:ファイルがありません
  EXPECT_EQ(test::ErrorText<EOrbaError>([&] { c.ReadEntry(content, "plain_v102.vf"); }),
            "plain_v102.vf:\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
}

TEST(VrArchive, ListFolderSkipsTheMarkerByName) {
  TVrFileCollection c;
  for (const char* name : {"bg\\a.png", "BG\\b.png", "bg\\sub\\c.png", "a.png", "bg\\A.PNG"}) c.AddItem(name);
  auto listed = [](TVrFileCollection& from, const std::string& folder) {
    std::vector<std::string> list;
    from.ListFolder(folder, list);
    return list;
  };
  EXPECT_EQ(listed(c, "bg\\"), (std::vector<std::string>{"bg\\a.png", "BG\\b.png"}));
  EXPECT_EQ(listed(c, ""), (std::vector<std::string>{"a.png"}));
  // The last item is listed when it is no marker.
  TVrFileCollection last;
  last.AddItem("x.txt");
  EXPECT_EQ(listed(last, ""), (std::vector<std::string>{"x.txt"}));
}

}  // namespace
}  // namespace orba
