#include "core/files/vr_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/files/pe_resource.h"
#include "core/files/vr_file_manager.h"
#include "core/sjis_test_helpers.h"
#include "core/streams/crc32.h"
#include "core/streams/stream_encoding.h"
#include "platform/dialogs.h"
#include "platform/headless/scripted_dialogs.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::SjisBytes;
using test::SjisHex;
using test::ToHex;

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

// The archives of the independent Python writer (with its 5 MiB entries when
// big is set), made once per test process, and its manifest as rows of
// tab-separated fields (manifest.txt beside the archives): "A" archives, "E" their
// entries, "L" name lookups, "T" the source tree.
struct TVfFixture {
  std::string Dir;
  std::vector<std::vector<std::string>> Rows;
  std::vector<std::vector<std::string>> Of(const std::string& kind, const std::string& file = "") const {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : Rows)
      if (r[0] == kind && (file.empty() || r[1] == file)) out.push_back(r);
    return out;
  }
};

const TVfFixture& VfFixture(bool big) {
  static test::TempDir dirs[2];
  static TVfFixture made[2];
  TVfFixture& fx = made[big ? 1 : 0];
  if (fx.Dir.empty()) {
    fx.Dir = dirs[big ? 1 : 0].path();
    std::vector<std::string> args = {"make", fx.Dir};
    if (!big) args.push_back("--no-big");
    EXPECT_EQ(test::RunPython("fixtures/vf_fixture.py", args).exit_code, 0);
    const std::vector<uint8_t> manifest = test::ReadFileBytes(fx.Dir + "/manifest.txt");
    std::istringstream lines(std::string(manifest.begin(), manifest.end()));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      fx.Rows.emplace_back();
      for (std::string f; std::getline(fields, f, '\t');) fx.Rows.back().push_back(f);
    }
  }
  return fx;
}

std::string Text(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

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
  return Text(content.Bytes());
}

// A collection reading the archive written into Out.
std::unique_ptr<TVrFileCollection> Reopened(const TKsMemoryStream& out) {
  auto back = std::make_unique<TVrFileCollection>();
  back->Archive = std::make_unique<TKsMemoryStream>(out.Bytes());
  back->ReadDirectory(*back->Archive);
  return back;
}

TEST(VrArchive, WritesAndReadsTheEmptyArchive) {
  TVrFileCollection c;
  TKsMemoryStream out;
  EXPECT_TRUE(c.SaveToBigStream(out));
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(FromHex(kEmptyArchive)));
  TKsMemoryStream in(FromHex(kEmptyArchive));
  c.ReadDirectory(in);
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(Fields(c.GetEntry(0)->Name(), c.GetEntry(0)->Offset, c.Version), "\\EOF\\ 18 102 ");
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
    const TVrFile& f = *back.GetEntry(i);
    EXPECT_EQ(Fields(f.Name(), f.Offset, f.Size, f.Raw, f.Crc),
              i < 4 ? Fields(names[i], 112 + 8 * i, 8, false, 0x4D731CC0u) : Fields(names[i], 144, 0, f.Raw, f.Crc));
  }
}

TEST(VrArchive, RoundTripsMemoryEntries) {
  TVrFileCollection c;
  const std::vector<std::pair<std::string, std::string>> files = {{"mem:one", "first"},
                                                                  {"\x95\x5c\\\x95\x5c.txt", std::string(3000, 'z')},
                                                                  {"empty", ""},
                                                                  {"big.bin", std::string(kVrPackLimit, 'x')}};
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
    EXPECT_EQ(std::make_pair(f->Raw, f->CrcOfUnpacked),
              std::make_pair(data.size() >= static_cast<size_t>(kVrPackLimit), name == "mem:one"));
  }
  TKsMemoryStream one(test::Bytes("first"));
  EXPECT_EQ(back->Find("MEM:ONE")->Crc, StreamCrc32(one));
}

const char* const kFixtureArchives[] = {"plain_v0.vf", "plain_v100.vf", "plain_v101.vf", "plain_v102.vf",
                                        "prog_v0.exe", "prog_v100.exe", "prog_v101.exe", "prog_v102.exe",
                                        "prog_v102.scr", "side_v0.dat",  "side_v100.dat", "side_v101.dat",
                                        "side_v102.dat", "dup_v0.vf",    "dup_v102.vf",   "empty_v0.vf",
                                        "empty_v102.vf"};

// Every archive of the Python writer, every form and version.
class VrFixtureArchive : public testing::TestWithParam<const char*> {};

TEST_P(VrFixtureArchive, ReadsEveryFieldAndContent) {
  const TVfFixture& fx = VfFixture(false);
  const std::string file = GetParam();
  const auto entries = fx.Of("E", file);
  const auto archive = fx.Of("A", file).at(0);  // A FILE VERSION FORM EOF_OFFSET DIRECTORY_POSITION
  TVrFileCollection c;
  c.OpenPath(fx.Dir + "/" + file);
  EXPECT_EQ(std::to_string(c.Version), archive[2]);
  ASSERT_EQ(c.Count(), static_cast<int>(entries.size()) + 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];  // E FILE NAME_HEX OFFSET STORED_SIZE RAW CRC COU AGE DISK_PATH
    const TVrFile& f = *c.GetEntry(static_cast<int>(i));
    SCOPED_TRACE(e[9]);
    EXPECT_EQ(Fields(SjisHex(f.Name()), f.Offset, f.Size, f.Raw, f.Crc, f.CrcOfUnpacked, f.Age),
              Fields(SjisHex(SjisBytes(e[2])), e[3], e[4], e[5], e[6], e[7], e[8]));
    if (c.Find(f.Name()) == &f) {
      EXPECT_EQ(Entry(c, f.Name()), Text(test::ReadFileBytes(fx.Dir + "/" + e[9])));
      // The window holds the stored bytes; an empty entry's window is empty.
      std::unique_ptr<TRangeStream> window = c.OpenEntryRange(f.Name());
      ASSERT_TRUE(window);
      EXPECT_EQ(std::to_string(window->GetSize()), e[4]);
    }
  }
  const TVrFile& marker = *c.GetEntry(c.Count() - 1);
  EXPECT_EQ(Fields(marker.Name(), marker.Offset), Fields("\\EOF\\", archive[4]));
  for (const auto& l : fx.Of("L", file))  // L FILE NAME_HEX DISK_PATH
    EXPECT_EQ(Entry(c, SjisBytes(l[2])), Text(test::ReadFileBytes(fx.Dir + "/" + l[3]))) << l[3];
}

INSTANTIATE_TEST_SUITE_P(AllForms, VrFixtureArchive, testing::ValuesIn(kFixtureArchives),
                         [](const testing::TestParamInfo<const char*>& info) { return test::CaseName(info.param); });

// orbatool vf extract gives the source tree back, 5 MiB entries too (every
// form reads alike: VrFixtureArchive reads each entry of each form).
TEST(VrArchive, ExtractingGivesTheSourceTree) {
  const TVfFixture& fx = VfFixture(true);
  for (const char* file : {"plain_v0.vf", "plain_v102.vf"}) {
    test::TempDir out;
    ASSERT_EQ(test::RunOrbaTool({"vf", "extract", fx.Dir + "/" + file, out.path() + "/x"}).exit_code, 0) << file;
    EXPECT_EQ(test::RunCommand({"diff", "-r", out.path() + "/x", fx.Dir + "/src"}).exit_code, 0) << file;
  }
}

TEST(VrArchive, PacksByTheRulesAndThePythonReaderAgrees) {
  const TVfFixture& fx = VfFixture(true);
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
  size_t lines = 0;
  while (std::getline(py, a) && std::getline(cc, b)) {
    EXPECT_EQ(a.substr(0, a.find("\tsize=")) + a.substr(a.find("\tcrc="), 13), b);
    ++lines;
  }
  const auto tree = fx.Of("T");  // T NAME_HEX SIZE PACKED DISK_PATH
  EXPECT_EQ(lines, tree.size());
  EXPECT_EQ(test::RunOrbaTool({"vf", "verify", archive}).exit_code, 0);
  // The stored form of every file is the one the pack rules give.
  TVrFileCollection c;
  c.OpenPath(archive);
  for (const auto& t : tree) {
    const TVrFile* f = c.Find(SjisBytes(t[1]));
    ASSERT_NE(f, nullptr) << t[4];
    EXPECT_EQ(f->Raw ? "0" : "1", t[3]) << t[4];
  }
}

TEST(VrArchive, ShouldPackFollowsTheExtensionAndSizeRules) {
  struct Case {
    const char* name;
    int64_t size;
    bool pack;
  };
  const Case cases[] = {{"a.wav", 10, false},       {"a.Wa", 10, false},           {"a.MPEG", 10, false},
                        {"a.dat", 10, false},       {"noext", 10, true},           {"a.txt", kVrPackLimit - 1, true},
                        {"a.txt", kVrPackLimit, false}, {"dir.wav\\noext", 10, true}, {"a.png", 0, true}};
  TVrFileCollection c;
  for (const Case& k : cases) {
    TKsMemoryStream source;
    source.SetSize(k.size);
    EXPECT_EQ(c.AddItem(k.name)->ShouldPack(source), k.pack) << k.name;
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
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
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

// A damaged packed entry fails with zlib's words for the fault whether it is
// read into memory, streamed to another stream or checked by vf verify (all
// of which take libdeflate's one-call inflate for sound entries).
TEST(VrArchive, DamagedPackedEntriesGiveTheSameErrorOnEveryPath) {
  test::TempDir dir;
  std::string text;
  for (int line = 0; text.size() < 200000; ++line) text += "SetProp obj" + std::to_string(line % 97) + ", " + std::to_string(line) + "\n";
  std::filesystem::create_directories(dir / "src");
  test::WriteFileBytes(dir / "src/a.txt", test::Bytes(text));
  TVrFileCollection packer;
  packer.BasePath = dir.path() + "/src/";
  packer.AddItem("a.txt");
  TKsMemoryStream archive;
  ASSERT_TRUE(packer.SaveToBigStream(archive));
  test::WriteFileBytes(dir / "good.vf", archive.Bytes());
  TVrFileCollection good;
  good.OpenPath(dir / "good.vf");
  const TVrFile& entry = *good.Find("a.txt");
  ASSERT_FALSE(entry.Raw);
  struct Case {
    const char* what;
    int64_t at;            // offset in the entry's stored bytes
    uint8_t flip, set;     // bits of that byte flipped, then set
    std::string error;
  };
  // Byte 2 is the first block's header: bits 1 and 2 set make its type 3.
  const Case cases[] = {{"wrong checksum", entry.Size - 1, 0x01, 0, "zlib: incorrect data check"},
                        {"broken header", 0, 0x01, 0, "zlib: incorrect header check"},
                        {"block type 3", 2, 0, 0x06, "zlib: invalid block type"}};
  for (const Case& k : cases) {
    std::vector<uint8_t> bytes = archive.Bytes();
    uint8_t& b = bytes[static_cast<size_t>(entry.Offset + k.at)];
    b = static_cast<uint8_t>((b ^ k.flip) | k.set);
    test::WriteFileBytes(dir / "bad.vf", bytes);
    TVrFileCollection c;
    c.OpenPath(dir / "bad.vf");
    TKsMemoryStream memory;
    TCrc32Stream streamed;
    EXPECT_EQ(test::ErrorText<EOrbaError>([&] { c.ReadEntry(memory, "a.txt"); }), k.error) << k.what;
    EXPECT_EQ(test::ErrorText<EOrbaError>([&] { c.ReadEntry(streamed, "a.txt"); }), k.error) << k.what;
    const test::CommandResult verify = test::RunOrbaTool({"vf", "verify", dir / "bad.vf"});
    EXPECT_EQ(verify.exit_code, 1) << k.what;
    EXPECT_NE(verify.output.find("a.txt\tbad\t" + k.error), std::string::npos) << k.what << verify.output;
  }
  EXPECT_EQ(test::RunOrbaTool({"vf", "verify", dir / "good.vf"}).output, "a.txt\tok\n");
}

// An entry whose file is missing is reported and stored empty; the save
// fails, and a file is replaced only when every entry was written.
TEST(VrArchive, AFailedEntryIsReportedAndReplacesNoFile) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.txt", test::Bytes("alpha"));
  test::WriteFileBytes(dir / "c.txt", test::Bytes("gamma"));
  test::WriteFileBytes(dir / "game.dat", test::Bytes("old"));
  TVrFileCollection c;
  c.BasePath = dir.path() + "/";
  for (const char* name : {"a.txt", "missing.txt", "c.txt"}) c.AddItem(name);
  TKsMemoryStream out;
  EXPECT_FALSE(c.SaveToBigStream(out));
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].Text, "\x83G\x83\x89\x81[:missing.txt");  // エラー:missing.txt
  std::unique_ptr<TVrFileCollection> back = Reopened(out);
  EXPECT_EQ(Entry(*back, "a.txt") + "|" + Entry(*back, "missing.txt") + "|" + Entry(*back, "c.txt"), "alpha||gamma");

  EXPECT_FALSE(c.SaveToFileSafely(dir / "game.dat"));
  EXPECT_EQ(test::ReadFileBytes(dir / "game.dat"), test::Bytes("old"));
  EXPECT_FALSE(DiskFileExists(dir / "game~part.dat"));
  c.DeleteEntry("missing.txt");
  EXPECT_TRUE(c.SaveToFileSafely(dir / "game.dat"));
  SetMessageBoxService(previous);
  EXPECT_FALSE(DiskFileExists(dir / "game~part.dat"));
  TVrFileCollection saved;
  saved.Open(dir / "game.dat", true);
  EXPECT_EQ(Entry(saved, "a.txt") + "|" + Entry(saved, "c.txt"), "alpha|gamma");
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
  const TVfFixture& fx = VfFixture(false);
  TVrFileCollection c;
  c.OpenPath(fx.Dir + "/plain_v102.vf");
  EXPECT_EQ(Entry(c, "manifest.txt"), Text(test::ReadFileBytes(fx.Dir + "/manifest.txt")));
  // plain_v102.vf:ファイルがありません
  EXPECT_EQ(test::ErrorText<EOrbaError>([&] { Entry(c, "plain_v102.vf"); }),
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
    file = test::ReadFileBytes(dir / "game.exe");
  }
  std::string Found(const std::string& name, const std::string& type) {
    const auto at = FindPeResource(file, name, type);
    return at ? Text({file.begin() + static_cast<std::ptrdiff_t>(at->FileOffset),
                      file.begin() + static_cast<std::ptrdiff_t>(at->FileOffset + at->Size)})
              : "(none)";
  }
  test::TempDir dir;
  std::vector<uint8_t> file;
};

TEST_F(PeResource, FindsResourcesByNameOrId) {
  EXPECT_EQ(Found("dummy", "bintype"), Text(test::ReadFileBytes(dir / "small_v102.vf")));
  EXPECT_EQ((std::vector<std::string>{Found("#7", "#10"), Found("7", "10"), Found("OTHER", "Icon"),
                                      Found("DUMMY", "ICON"), Found("#8", "#10")}),
            (std::vector<std::string>{"hello", "hello", "hello", "(none)", "(none)"}));
}

TEST_F(PeResource, DamagedOrForeignFilesHaveNoResources) {
  for (size_t cut = 0; cut < file.size(); cut += 7) {
    const auto found = FindPeResource(std::span<const uint8_t>(file.data(), cut), "DUMMY", "BINTYPE");
    EXPECT_TRUE(!found || found->FileOffset + found->Size <= cut) << cut;
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
  std::string alpha;
  for (int i = 0; i < 20; ++i) alpha += "alpha ";
  EXPECT_EQ(Entry(c, "A.TXT"), alpha);
  // A raw entry's window shows its bytes straight from the resource.
  std::unique_ptr<TRangeStream> window = c.OpenEntryRange("se.wav");
  ASSERT_TRUE(window && window->GetSize() == 200);
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
  const std::string damaged = test::ErrorText<EVrDamagedError>([&] { c.OpenResource(dir / "game.exe", "OTHER", "ICON"); });
  EXPECT_EQ(damaged.rfind(dir / "game.exe:", 0), 0u) << damaged;
  EXPECT_EQ(c.Count(), 0);
  c.OpenResource(dir / "hello.txt", "DUMMY", "BINTYPE");  // not a program file: silently empty
  EXPECT_TRUE(c.Count() == 0 && c.Archive == nullptr);
}

}  // namespace
}  // namespace orba

namespace orba {
namespace {

// Sparse package files whose directories would cost more memory than a
// directory may take: refused as damaged, naming why, before any entry is
// built. Each is a version-0 directory at the file's start: the count, then
// for each entry a name length, and zeros for the rest (empty names, offsets
// 0), which the file holds as a hole.
struct TCostlyDirectoryCase {
  const char* Name;
  int32_t Count;
  int32_t FirstNameLength;  // of entry 0; the others are empty
  const char* Detail;
};

const TCostlyDirectoryCase kCostlyDirectories[] = {
    // 300 MiB / 288 bytes = 1,092,266 entries at most.
    {"one entry too many", 1092267, 0, "entry count 1092267: more than 1092266 entries"},
    {"millions", 5000000, 0, "entry count 5000000: more than 1092266 entries"},
    // 3 x (110,000,000 + 17) bytes of name beside one entry's 288: past 300 MiB.
    {"a name of 110 MB", 1, 110000000, "names up to entry 0: more than 314572800 bytes in memory"},
};

class VrCostlyDirectory : public ::testing::TestWithParam<TCostlyDirectoryCase> {};

TEST_P(VrCostlyDirectory, IsRefusedAsDamaged) {
  const TCostlyDirectoryCase& c = GetParam();
  const test::TempDir dir;
  const std::string path = dir / "game.dat";
  {
    std::ofstream out(path, std::ios::binary);
    const int32_t head[2] = {c.Count, c.FirstNameLength};  // little-endian hosts only
    out.write(reinterpret_cast<const char*>(head), sizeof head);
  }
  const int64_t size = 4 + int64_t{c.Count} * 4 + c.FirstNameLength + (int64_t{c.Count} + 1) * 4;
  ASSERT_EQ(::truncate(path.c_str(), size), 0);
  TVrFileCollection files;
  try {
    files.Open(path, true);
    FAIL() << "read a directory of " << c.Count << " entries";
  } catch (const EVrDamagedError& e) {
    EXPECT_EQ(e.Detail(), c.Detail);
  }
  EXPECT_EQ(files.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, VrCostlyDirectory, ::testing::ValuesIn(kCostlyDirectories),
                         [](const auto& info) {
                           std::string name = info.param.Name;
                           for (char& ch : name) if (ch == ' ') ch = '_';
                           return name;
                         });

// The largest directory the limit lets through is read whole.
TEST(VrArchive, ADirectoryAtTheEntryLimitIsRead) {
  const int32_t count = static_cast<int32_t>(kVrMaxDirectoryMemory / kVrEntryMemoryCost);
  std::vector<uint8_t> bytes(static_cast<size_t>(4 + int64_t{count} * 8 + 4), 0);
  std::memcpy(bytes.data(), &count, 4);
  TKsMemoryStream stream(bytes);
  TVrFileCollection files;
  files.ReadDirectory(stream);
  EXPECT_EQ(files.Count(), count + 1);  // with the end marker
}

}  // namespace
}  // namespace orba
