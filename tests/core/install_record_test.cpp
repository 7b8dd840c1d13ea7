#include "core/files/install_record.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/errors.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

template <class T>
std::string Join(const std::vector<T>& list, std::string (*form)(const T&)) {
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) out += (i ? "," : "") + form(list[i]);
  return out;
}

std::string Unsigned(const int64_t& v) { return std::to_string(static_cast<uint64_t>(v)); }

// The record's fields in the line form of tests/fixtures/install_fixture.py.
std::string Dump(const TOrbaInstallSet& r) {
  std::ostringstream o;
  o << "disc=" << r.DiscNumber << "\ntitle=" << Hex(r.TitleId) << "\ntext2=" << Hex(r.Text2)
    << "\ntext3=" << Hex(r.Text3) << "\ntext4=" << Hex(r.Text4) << "\nflag1=" << int{r.Flag1}
    << "\ntext5=" << Hex(r.Text5) << "\nflag2=" << int{r.Flag2} << "\ntext6=" << Hex(r.Text6)
    << "\nnumber1=" << r.Number1 << "\nflag3=" << int{r.Flag3} << "\nflag4=" << int{r.Flag4}
    << "\ntext7=" << Hex(r.Text7) << "\ntext8=" << Hex(r.Text8) << "\nentries=";
  for (size_t i = 0; i < r.ArrayA.size(); ++i) {
    o << (i ? ";" : "") << Unsigned(r.ArrayA[i]) << "," << Unsigned(r.ArrayB[i]) << "," << Unsigned(r.ArrayC[i]) << ","
      << Unsigned(r.ArrayD[i]);
  }
  o << "\nvalues=" << Unsigned(r.ValueE) << "," << Unsigned(r.ValueF) << "," << Unsigned(r.ValueG) << ","
    << Unsigned(r.ValueH) << "\nflag5=" << int{r.Flag5} << "\nflag6=" << int{r.Flag6}
    << "\nregistered=" << Join<std::string>(r.Files, Hex) << "\ncomplete=" << int{r.CompleteInstall}
    << "\nflag7=" << int{r.Flag7} << "\nflag8=" << int{r.Flag8} << "\nnames=" << Join<std::string>(r.Names, Hex)
    << "\ntext9=" << Hex(r.Text9) << "\ntext10=" << Hex(r.Text10) << "\ntext11=" << Hex(r.Text11) << "\n";
  return o.str();
}

struct TInstallCase {
  std::string File;
  int Version = 0;
  bool Error = false;
  std::string Fields;
};

TEST(InstallRecord, ReadsEveryFixtureFieldByField) {
  test::TempDir dir;
  const test::CommandResult lines = test::RunPython("fixtures/install_fixture.py", {"make", dir.path()});
  ASSERT_EQ(lines.exit_code, 0);
  std::vector<TInstallCase> cases;
  std::istringstream in(lines.output);
  std::string line;
  while (std::getline(in, line)) {
    if (cases.empty() || line == ".") {
      if (line == ".") {
        if (!std::getline(in, line)) break;
      }
      TInstallCase c;
      std::istringstream head(line);
      int error = 0;
      std::getline(head, c.File, '\t');
      head >> c.Version >> error;
      c.Error = error != 0;
      cases.push_back(c);
    } else {
      cases.back().Fields += line + "\n";
    }
  }
  ASSERT_GE(cases.size(), 6u);
  for (const TInstallCase& c : cases) {
    SCOPED_TRACE(c.File);
    TOrbaInstallSet record;
    record.TitleId = "kept";
    if (c.Error) {
      EXPECT_THROW(record.LoadFromFile(dir / c.File), EReadError);
      EXPECT_EQ(record.TitleId, "kept");  // a failed read changes nothing
      continue;
    }
    record.LoadFromFile(dir / c.File);
    EXPECT_EQ(record.Version, c.Version);
    EXPECT_EQ(Dump(record), c.Fields);
    if (c.Version == 108) {
      TKsMemoryStream out;
      record.SaveToStream(out);
      EXPECT_EQ(ToHex(out.Bytes()), ToHex(test::ReadFileBytes(dir / c.File)));
    }
  }
}

TEST(InstallRecord, WritesVersion108AndReadsItBack) {
  // Construction values: the magic, every field empty or 0.
  TOrbaInstallSet empty;
  TKsMemoryStream out;
  empty.SaveToStream(out);
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
  EXPECT_EQ(back.IndexOfFile("Save\\One.Dat"), 0);
  EXPECT_EQ(back.IndexOfFile(""), 1);
}

TEST(InstallRecord, RefusesCountsBeyondTheBytes) {
  // Version 0, entry count 0x7FFFFFFF with nothing behind it.
  TKsMemoryStream s(FromHex("00000000 00000000 00000000 00000000 00000000 00 00000000 00 ffffff7f"
                            " 00000000 00000000 00 00 00000000 00000000"));
  TOrbaInstallSet r;
  EXPECT_THROW(r.LoadFromStream(s), EReadError);
}

TEST(FolderDiskList, FindsTheDiscOfTheDeepestFolder) {
  TFolderDiskList list;
  list.Add("c:\\game\\data", 2);
  list.Add("C:\\GAME\\DATA\\MOVIE\\", 3);
  EXPECT_EQ((std::vector<int32_t>{list.DiskOf("C:\\GAME\\DATA\\SUB\\A.BMP"), list.DiskOf("c:\\game\\data\\movie\\op.mpg"),
                                  list.DiskOf("D:\\OTHER\\A.BMP"), list.DiskOf("")}),
            (std::vector<int32_t>{2, 3, 0, 0}));
  EXPECT_EQ(list.IndexOfFolder("C:\\Game\\Data\\"), 0);

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
