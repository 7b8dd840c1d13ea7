#include "core/files/install_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "core/errors.h"
#include "core/files/file_limits.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

// The record's fields in the line form of tests/fixtures/install_fixture.py:
// texts as hex, numbers as unsigned decimals, lists joined by "," and ";".
std::string Dump(const TOrbaInstallSet& r) {
  const auto hex = [](const std::string& s) {
    std::string h = ToHex(test::Bytes(s));
    std::erase(h, ' ');
    return h;
  };
  const auto hexes = [&hex](const std::vector<std::string>& list) {
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) out += (i ? "," : "") + hex(list[i]);
    return out;
  };
  const auto u = [](int64_t v) { return std::to_string(static_cast<uint64_t>(v)); };
  std::string entries;
  for (size_t i = 0; i < r.ArrayA.size(); ++i)
    entries += (i ? ";" : "") + u(r.ArrayA[i]) + "," + u(r.ArrayB[i]) + "," + u(r.ArrayC[i]) + "," + u(r.ArrayD[i]);
  const std::pair<const char*, std::string> fields[] = {
      {"disc", std::to_string(r.DiscNumber)}, {"title", hex(r.TitleId)}, {"text2", hex(r.Text2)}, {"text3", hex(r.Text3)},
      {"text4", hex(r.Text4)}, {"flag1", u(r.Flag1)}, {"text5", hex(r.Text5)}, {"flag2", u(r.Flag2)},
      {"text6", hex(r.Text6)}, {"number1", std::to_string(r.Number1)}, {"flag3", u(r.Flag3)}, {"flag4", u(r.Flag4)},
      {"text7", hex(r.Text7)}, {"text8", hex(r.Text8)}, {"entries", entries},
      {"values", u(r.ValueE) + "," + u(r.ValueF) + "," + u(r.ValueG) + "," + u(r.ValueH)}, {"flag5", u(r.Flag5)},
      {"flag6", u(r.Flag6)}, {"registered", hexes(r.Files)}, {"complete", u(r.CompleteInstall)}, {"flag7", u(r.Flag7)},
      {"flag8", u(r.Flag8)}, {"names", hexes(r.Names)}, {"text9", hex(r.Text9)}, {"text10", hex(r.Text10)},
      {"text11", hex(r.Text11)}};
  std::string out;
  for (const auto& [key, value] : fields) out += std::string(key) + "=" + value + "\n";
  return out;
}

TEST(InstallRecord, ReadsEveryFixtureFieldByField) {
  test::TempDir dir;
  const test::CommandResult lines = test::RunPython("fixtures/install_fixture.py", {"make", dir.path()});
  ASSERT_EQ(lines.exit_code, 0);
  std::istringstream in(lines.output);
  int records = 0;
  // Each record: "FILE TAB VERSION TAB ERROR", its field lines, then ".".
  for (std::string head, line; std::getline(in, head); ++records) {
    std::string file, fields;
    int version = 0, error = 0;
    std::istringstream(head) >> file >> version >> error;
    while (std::getline(in, line) && line != ".") fields += line + "\n";
    SCOPED_TRACE(file);
    TOrbaInstallSet record;
    record.TitleId = "kept";
    if (error) {
      EXPECT_THROW(record.LoadFromFile(dir / file), EReadError);
      EXPECT_EQ(record.TitleId, "kept");  // a failed read changes nothing
      continue;
    }
    record.LoadFromFile(dir / file);
    EXPECT_EQ(record.Version, version);
    EXPECT_EQ(Dump(record), fields);
    if (version == 108) {
      TKsMemoryStream out;
      record.SaveToStream(out);
      EXPECT_EQ(ToHex(out.Bytes()), ToHex(test::ReadFileBytes(dir / file)));
    }
  }
  EXPECT_GE(records, 6);
}

TEST(InstallRecord, WritesVersion108AndReadsItBack) {
  // Construction values: the magic, every field empty or 0.
  TKsMemoryStream out;
  TOrbaInstallSet().SaveToStream(out);
  EXPECT_EQ(ToHex(out.Bytes()),
            ToHex(FromHex("69 73 31 30 38  00000000 00000000 00000000 00000000 00000000 00 00000000 00"
                          " 00000000 00000000 00000000 00 00 00000000 00000000" +
                          std::string(32 * 2, '0') + " 00 00 00000000 00 00 00 00000000 00000000 00000000 00000000")));
  TOrbaInstallSet r;
  r.DiscNumber = 3;
  r.TitleId = "\x83^\x83" "C\x83g\x83\x8b";  // タイトル
  r.ArrayA = {1, -1};
  r.ArrayB = {2, 3};
  r.ArrayC = {4, 5};
  r.ArrayD = {6, 7};
  r.AddFile("save\\one.dat");
  r.AddFile("");
  EXPECT_EQ(r.AddFile("SAVE\\ONE.DAT"), 0);
  r.Names = {"a", ""};
  r.Text11 = "end";
  TKsMemoryStream s;
  r.SaveToStream(s);
  s.SetPosition(0);
  TOrbaInstallSet back;
  back.LoadFromStream(s);
  EXPECT_EQ(Dump(back), Dump(r));
  EXPECT_EQ(std::make_pair(back.IndexOfFile("Save\\One.Dat"), back.IndexOfFile("")), std::make_pair(0, 1));
  // Version 0, entry count 0x7FFFFFFF with nothing behind it.
  TKsMemoryStream huge(FromHex("00000000 00000000 00000000 00000000 00000000 00 00000000 00 ffffff7f"
                               " 00000000 00000000 00 00 00000000 00000000"));
  EXPECT_THROW(back.LoadFromStream(huge), EReadError);
  EXPECT_EQ(Dump(back), Dump(r));
}

// A record larger than any a game writes is refused unread, from a file as
// from a stream: a sparse file of 1.5 GB costs nothing.
TEST(InstallRecord, RefusesARecordLargerThanTheCap) {
  const test::TempDir dir;
  const std::string path = dir / "install.dat";
  TKsMemoryStream record;
  TOrbaInstallSet().SaveToStream(record);
  record.SaveToFile(path);
  TOrbaInstallSet read;
  read.LoadFromFile(path);
  ASSERT_EQ(::truncate(path.c_str(), 1500000000), 0);
  read.TitleId = "kept";
  EXPECT_THROW(read.LoadFromFile(path), EFileTooLarge);
  record.SetSize(TOrbaInstallSet::kMaxFileBytes + 1);
  record.SetPosition(0);
  EXPECT_THROW(read.LoadFromStream(record), EFileTooLarge);
  EXPECT_EQ(read.TitleId, "kept");
}

TEST(FolderDiskList, FindsTheDiscOfTheDeepestFolder) {
  TFolderDiskList list;
  list.Add("c:\\game\\data", 2);
  list.Add("C:\\GAME\\DATA\\MOVIE\\", 3);
  EXPECT_EQ((std::vector<int32_t>{list.DiskOf("C:\\GAME\\DATA\\SUB\\A.BMP"), list.DiskOf("c:\\game\\data\\movie\\op.mpg"),
                                  list.DiskOf("D:\\OTHER\\A.BMP"), list.DiskOf(""), list.IndexOfFolder("C:\\Game\\Data\\")}),
            (std::vector<int32_t>{2, 3, 0, 0, 0}));
  TKsMemoryStream s;
  list.SaveToStream(s);
  EXPECT_EQ(ToHex(s.Bytes()).substr(0, 12 * 3 - 1), "02 00 00 00 0c 00 00 00 63 3a 5c 67");
  s.SetPosition(0);
  TFolderDiskList back;
  back.Add("old", 9);
  back.LoadFromStream(s);
  ASSERT_EQ(back.Items.size(), 2u);
  EXPECT_EQ(back.Items[1].Folder + " " + std::to_string(back.Items[1].Disc), "C:\\GAME\\DATA\\MOVIE\\ 3");
  TKsMemoryStream bad(FromHex("05 00 00 00 00 00 00 00"));
  EXPECT_THROW(back.LoadFromStream(bad), EReadError);
  EXPECT_EQ(back.Items.size(), 2u);
}

}  // namespace
}  // namespace orba
