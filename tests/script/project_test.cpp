// Project settings files against hand-worked bytes and the independent
// Python writer, and the project in the test process: start-up over a game
// folder, initial variables, shut-down with a broken exit page, loads of
// missing and damaged slots.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/files/vr_file.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "dialog_env.h"
#include "interp_env.h"
#include "script/interp/run_loop_events.h"
#include "script/project/project.h"
#include "script/project/project_settings.h"
#include "script/values/system_var_host_impl.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

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
    const CommandResult r = RunPython("fixtures/opb_fixture.py", {"make", dir.path()});
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
// the defaults of the fields they lack (a variable type that carries no
// value is kept, and the next variable follows at once); the current
// version writes back byte for byte.
TEST(ProjectSettings, ReadsEveryFixtureVersionWithDefaults) {
  const Fixture& f = Files();
  ASSERT_EQ(f.expected.size(), 3u);
  for (const auto& [file, lines] : f.expected) {
    SCOPED_TRACE(file);
    const TProjectSetting p = LoadFile(f.dir / file);
    EXPECT_EQ(FieldLines(p), lines);
  }
  const std::vector<uint8_t> original = ReadFileBytes(f.dir / "opb_115.opb");
  TKsMemoryStream out;
  LoadFile(f.dir / "opb_115.opb").SaveToStream(out);
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(original));
}

TEST(ProjectSettings, RefusesLaterVersionsAndDamagedFilesKeepingTheObject) {
  const Fixture& f = Files();
  TProjectSetting p;
  p.Title = "kept";
  for (const std::string file : {"opb_116.opb", "opb_short.opb", "opb_badcount.opb"}) {
    TKsMemoryStream s;
    s.LoadFromFile(f.dir / file);
    try {
      p.LoadFromStream(s);
      ADD_FAILURE() << file;
    } catch (const EUnsupportedVersion& e) {
      // Nothing after the version was read.
      EXPECT_EQ(std::make_tuple(file, std::string(e.what()), s.GetPosition()),
                std::make_tuple(std::string("opb_116.opb"), std::string(kMsgUnsupportedVersion), int64_t{4}));
    } catch (const EReadError&) {
      EXPECT_NE(file, "opb_116.opb");
    }
    EXPECT_EQ(p.Title, "kept") << file;
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
  const CommandResult r = RunOrbaTool({"opb", "dump", f.dir / "opb_113.opb"});
  EXPECT_EQ(r.exit_code, 0);
  for (const char* line : {"version 113\n", "size 800 x 600\n", "exit page \"\xe7\xb5\x82\xe4\xba\x86.osb\"\n",
                           "pause when inactive 1\n", "reserved 0\n", "var rate type 2 = 1.5\n",
                           "var nothing type 0 = (no value)\n", "folder \"DATA\\movie\" disc 3\n"}) {
    EXPECT_NE(r.output.find(line), std::string::npos) << line << r.output;
  }
}

TInitialVar Initial(uint8_t type, const std::string& name, int32_t value = 0) {
  return TInitialVar{type, name, value, 0.0L, 0, ""};
}

void WriteSettings(const TempDir& dir, const TProjectSetting& settings) {
  TKsMemoryStream opb;
  settings.SaveToStream(opb);
  WriteFileBytes(dir / "orba.opb", opb.Bytes());
}

TProjectSetting CounterSettings() {
  TProjectSetting s;
  s.Title = "count";
  s.Width = 64;
  s.Height = 48;
  s.StartPage = "main.osb";
  s.WriteSaveData = 1;
  s.InitialVars = {Initial(0, "nothing"), Initial(PT_INT, "n", 4), Initial(9, "odd"), Initial(PT_INT, "bad name")};
  return s;
}

// A project over a game folder, with its own file layer and variable store.
struct TRunningProject {
  TVrFileManager files;
  TParamCollection store;
  TSysFuncMan funcs{store};
  TStandaloneObjects objects;
  TGameVarHost host{objects};
  std::vector<std::string> warnings;
  std::unique_ptr<TProject> project;

  explicit TRunningProject(const TempDir& dir) {
    files.AddCollection(std::make_unique<TVrFileCollection>());
    files.SetOverrideFolder(dir.path());
    store.SetHost(&host);
    TProjectEnvironment env;
    env.Files = &files;
    env.Vars = &store;
    env.Funcs = &funcs;
    env.Objects = &objects;
    env.Params = {dir.path()};
    env.Warn = [this](const std::string& text) { warnings.push_back(text); };
    project = std::make_unique<TProject>(std::move(env));
    host.SetProject(project.get());
  }
  ~TRunningProject() { Close(); }
  void Close() {
    project.reset();
    host.SetProject(nullptr);
    store.SetHost(nullptr);
  }
  std::string Var(const std::string& name) const {
    const TParamCollectionItem* item = store.Find(name);
    return item != nullptr ? item->GetAsStr() : "<none>";
  }
};

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPlayerGlobals(); }
  void TearDown() override { ResetPlayerGlobals(); }
  TBoxScope boxes_;
};

TEST_F(ProjectTest, InitialVariablesAndABrokenExitPage) {
  TempDir dir;
  TProjectSetting settings = CounterSettings();
  settings.ExitPage = "gone.osb";  // cannot be loaded
  WriteSettings(dir, settings);
  WriteFileBytes(dir / "main.osb", PageBytes("Calc Expression={n = n + 1}\nCalc Expression={@MouseY = 20}\n"
                                             "VarNew Name=when Type=str Initial={@Week ++ \"/\" ++ @Hour ++ @KeyPush[257]}"));
  // 7 January 2024, a Sunday, at noon.
  SetDateTimeSource([] { return DaysSince1899(2024, 1, 7) + 0.5; });
  for (const char* expected : {"5", "6"}) {
    TRunningProject run(dir);
    ASSERT_EQ(QuitFlag, 0);
    // Types that hold no value and bad names create nothing.
    EXPECT_EQ(run.Var("nothing") + run.Var("odd") + run.Var("bad name"), "<none><none><none>");
    // Writing the pointer position moves the pointer and keeps the other
    // coordinate.
    std::vector<std::pair<int32_t, int32_t>> moves;
    run.host.MoveCursor = [&](int32_t x, int32_t y) { moves.emplace_back(x, y); };
    run.project->Run();
    EXPECT_EQ(run.Var("n"), expected);
    EXPECT_EQ(moves, (std::vector<std::pair<int32_t, int32_t>>{{0, 20}}));
    EXPECT_EQ(run.Var("when"), "1/12FALSE");
    run.Close();
    // The exit page failed; the status save was written all the same.
    ASSERT_FALSE(run.warnings.empty());
    EXPECT_NE(run.warnings.back().find("gone.osb"), std::string::npos);
  }
  EXPECT_TRUE(boxes_.Boxes->Shown.empty());
  SetDateTimeSource(nullptr);
}

TEST_F(ProjectTest, MissingStartPageOrProjectStopsTheStart) {
  TempDir dir;
  WriteSettings(dir, CounterSettings());
  {
    TRunningProject run(dir);
    EXPECT_EQ(QuitFlag, 1);
    ASSERT_EQ(boxes_.Boxes->Shown.size(), 1u);
    EXPECT_EQ(boxes_.Boxes->Shown[0].Title + "|" + boxes_.Boxes->Shown[0].Text, std::string(kMsgWarning) + "|" + kMsgNoStartPage);
  }
  WriteFileBytes(dir / "orba.opb", {});
  {
    TRunningProject run(dir);
    EXPECT_EQ(QuitFlag, 1);
    ASSERT_EQ(boxes_.Boxes->Shown.size(), 2u);
    EXPECT_EQ(boxes_.Boxes->Shown[1].Text, kMsgNoProject);
    EXPECT_EQ(run.project->CallMan(), nullptr);
  }
  // A later settings version is refused before anything runs.
  WriteFileBytes(dir / "orba.opb", FromHex("74 00 00 00"));
  EXPECT_THROW(TRunningProject run(dir), EUnsupportedVersion);
}

TEST_F(ProjectTest, LoadsOfMissingAndDamagedSlots) {
  TempDir dir;
  WriteSettings(dir, CounterSettings());
  WriteFileBytes(dir / "main.osb", PageBytes("Calc Expression={n = n + 1} Continue=0"));
  {
    TRunningProject run(dir);
    run.project->Run();
    ASSERT_TRUE(run.project->SaveGame(2, "", 0, "two"));
    // A slot that is not there loads nothing; the tick still counts as a load.
    run.project->RequestLoad(7);
    EXPECT_TRUE(run.project->ProcessSaveLoad());
    EXPECT_EQ(QuitFlag, 0);
    EXPECT_EQ(run.project->SaveData()->GetSaveCaption(2), "two");
  }
  // Cut slot 2 short inside save.dat.
  const std::string path = dir / "save.dat";
  TKsMemoryStream archive;
  {
    TVrFileCollection c;
    c.Open(path, true);
    TKsMemoryStream slot;
    c.ReadEntry(slot, "GAMESAVEDATA2");
    std::vector<uint8_t> bytes = slot.Bytes();
    bytes.resize(bytes.size() / 2);
    c.DeleteEntry("GAMESAVEDATA2");
    c.AddEntry("GAMESAVEDATA2")->Data->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    ASSERT_TRUE(c.SaveToBigStream(archive));
  }
  archive.SaveToFile(path);
  TRunningProject run(dir);
  ASSERT_EQ(QuitFlag, 0);
  run.project->RequestLoad(2);
  EXPECT_TRUE(run.project->ProcessSaveLoad());
  EXPECT_EQ(QuitFlag, 1);
  ASSERT_EQ(boxes_.Boxes->Shown.size(), 1u);
  EXPECT_EQ(boxes_.Boxes->Shown[0].Text, kMsgSaveDataUnusable);
}

}  // namespace
}  // namespace orba::test
