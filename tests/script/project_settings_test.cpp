#include "script/project/project_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "core/streams/stream_encoding.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::TempDir;
using test::ToHex;

std::string Hex(const std::string& s) {
  std::string out;
  static const char digits[] = "0123456789abcdef";
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The fields of a settings object as the fixture writer prints them.
std::vector<std::string> FieldLines(const TProjectSetting& p) {
  std::vector<std::string> lines = {
      "version\t" + std::to_string(p.Version), "title\t" + Hex(p.Title),
      "width\t" + std::to_string(p.Width), "height\t" + std::to_string(p.Height),
      "sp1\t" + std::to_string(p.ScreenParam1), "sp2\t" + std::to_string(p.ScreenParam2),
      "start\t" + Hex(p.StartPage), "exit\t" + Hex(p.ExitPage), "regkey\t" + Hex(p.RegistryKey),
      "image_code\t" + std::to_string(p.ImageCode), "write_save\t" + std::to_string(p.WriteSaveData),
      "sleep\t" + std::to_string(p.SleepBetweenTicks), "exts\t" + Hex(p.StreamedExtensions),
      "pause\t" + std::to_string(p.PauseWhenInactive), "reserved\t" + std::to_string(p.Reserved),
      "prompt\t" + Hex(p.DiskPrompt), "quit\t" + Hex(p.QuitText)};
  for (const TInitialVar& v : p.InitialVars) {
    std::string value;
    switch (v.Type) {
      case 1: value = std::to_string(v.IntValue); break;
      case 2: {
        uint8_t b[10];
        FloatToBytes(v.FloatValue, b);
        value = Hex(std::string(reinterpret_cast<const char*>(b), 10));
        break;
      }
      case 3: value = std::to_string(v.FlagValue); break;
      case 4: value = Hex(v.StrValue); break;
      default: break;
    }
    lines.push_back("var\t" + std::to_string(v.Type) + " " + Hex(v.Name) + " " + value);
  }
  for (const auto& item : p.FolderDisks.Items) {
    lines.push_back("disc\t" + Hex(item.Folder) + " " + std::to_string(item.Disc));
  }
  return lines;
}

TProjectSetting LoadFile(const std::string& path) {
  TKsMemoryStream s;
  s.LoadFromFile(path);
  TProjectSetting p;
  p.LoadFromStream(s);
  EXPECT_EQ(s.GetPosition(), s.GetSize()) << path;
  return p;
}

struct Fixture {
  TempDir dir;
  std::map<std::string, std::vector<std::string>> expected;  // file -> field lines
  Fixture() {
    const test::CommandResult r = test::RunPython("fixtures/opb_fixture.py", {"make", dir.path()});
    EXPECT_EQ(r.exit_code, 0);
    std::stringstream in(r.output);
    std::string line;
    while (std::getline(in, line)) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      expected[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
  }
};

const Fixture& Files() {
  static Fixture f;
  return f;
}

// Files of versions 103, 113 and 115 from the independent writer read with
// the defaults of the fields they lack; the current version writes back byte
// for byte.
TEST(ProjectSettings, ReadsEveryFixtureVersionWithDefaults) {
  const Fixture& f = Files();
  ASSERT_EQ(f.expected.size(), 3u);
  for (const auto& [file, lines] : f.expected) {
    SCOPED_TRACE(file);
    const TProjectSetting p = LoadFile(f.dir / file);
    EXPECT_EQ(FieldLines(p), lines);
  }
  const TProjectSetting v103 = LoadFile(f.dir / "opb_103.opb");
  EXPECT_EQ(v103.ExitPage, "");
  EXPECT_EQ(v103.StreamedExtensions, ".wav.wma.ogg.mid");
  EXPECT_EQ(v103.WriteSaveData + v103.SleepBetweenTicks + v103.PauseWhenInactive + v103.Reserved, 0);
  const TProjectSetting v113 = LoadFile(f.dir / "opb_113.opb");
  EXPECT_EQ(v113.PauseWhenInactive, 1);
  EXPECT_EQ(v113.Reserved, 0);
  // A type that carries no value (0 and 9 here) is kept, and the next
  // variable follows at once.
  ASSERT_EQ(v113.InitialVars.size(), 7u);
  EXPECT_FALSE(v113.InitialVars[1].HasValue());
  EXPECT_EQ(v113.InitialVars[2].FloatValue, 1.5L);

  const std::vector<uint8_t> original = test::ReadFileBytes(f.dir / "opb_115.opb");
  TKsMemoryStream out;
  LoadFile(f.dir / "opb_115.opb").SaveToStream(out);
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(original));
}

TEST(ProjectSettings, RefusesLaterVersionsAndDamagedFilesKeepingTheObject) {
  const Fixture& f = Files();
  TProjectSetting p;
  p.Title = "kept";
  const struct {
    const char* file;
    bool version_error;
  } cases[] = {{"opb_116.opb", true}, {"opb_short.opb", false}, {"opb_badcount.opb", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TKsMemoryStream s;
    s.LoadFromFile(f.dir / c.file);
    if (c.version_error) {
      try {
        p.LoadFromStream(s);
        FAIL() << "no error";
      } catch (const EUnsupportedVersion& e) {
        EXPECT_STREQ(e.what(), kMsgUnsupportedVersion);
        // Nothing after the version was read.
        EXPECT_EQ(s.GetPosition(), 4);
      }
    } else {
      EXPECT_THROW(p.LoadFromStream(s), EReadError);
    }
    EXPECT_EQ(p.Title, "kept");
  }
  EXPECT_EQ(std::string(kMsgUnsupportedVersion),
            "\x82\xb1\x82\xcc\x83o\x81[\x83W\x83\x87\x83\x93\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5\x82\xc4\x82"
            "\xa2\x82\xdc\x82\xb9\x82\xf1");
}

// The writer's form worked out by hand: version 115, every field present.
TEST(ProjectSettings, WriterBytesByHand) {
  TProjectSetting p;
  p.Version = 103;  // the writer always writes the current version
  p.Title = "T";
  p.Width = 640;
  p.Height = 480;
  p.ScreenParam1 = 1;
  p.ScreenParam2 = -1;
  p.StartPage = "s";
  p.RegistryKey = "";
  p.ImageCode = 0x01020304;
  p.WriteSaveData = 1;
  p.StreamedExtensions = "";
  p.QuitText = "q";
  p.InitialVars = {TInitialVar{3, "f", 0, 0.0L, 1, ""}, TInitialVar{2, "x", 0, -2.0L, 0, ""}};
  p.FolderDisks.Add("d", 2);
  TKsMemoryStream s;
  p.SaveToStream(s);
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(FromHex(
                                  "73 00 00 00  01 00 00 00 54  80 02 00 00  e0 01 00 00  01 00 00 00  ff ff ff ff"
                                  "01 00 00 00 73  00 00 00 00  00 00 00 00  04 03 02 01  01 00  00 00 00 00  00 00"
                                  "00 00 00 00  01 00 00 00 71"
                                  "02 00 00 00  03 01 00 00 00 66 01"
                                  "02 01 00 00 00 78  00 00 00 00 00 00 00 80 00 c0"
                                  "01 00 00 00  01 00 00 00 64  02 00 00 00")));
  TKsMemoryStream in(s.Bytes());
  TProjectSetting back;
  back.LoadFromStream(in);
  EXPECT_EQ(back.InitialVars, p.InitialVars);
  EXPECT_EQ(back.Version, 115);
}

TEST(ProjectSettings, DumpTool) {
  const Fixture& f = Files();
  const test::CommandResult r = test::RunOrbaTool({"opb", "dump", f.dir / "opb_113.opb"});
  EXPECT_EQ(r.exit_code, 0);
  for (const char* line : {"version 113\n", "size 800 x 600\n", "exit page \"\xe7\xb5\x82\xe4\xba\x86.osb\"\n",
                           "pause when inactive 1\n", "reserved 0\n", "var rate type 2 = 1.5\n",
                           "var nothing type 0 = (no value)\n", "folder \"DATA\\movie\" disc 3\n"}) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line << r.output;
  }
}

}  // namespace
}  // namespace orba
