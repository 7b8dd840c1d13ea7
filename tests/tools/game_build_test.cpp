#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "authoring/game_builder.h"
#include "authoring/page_asm.h"
#include "core/streams/big_stream.h"
#include "platform/text_convert.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ReadFileBytes;
using test::RunOrbaTool;
using test::TempDir;

void WriteText(const std::string& path, const std::string& utf8) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  test::WriteFileBytes(path, test::Bytes(utf8));
}

// "orbatool page dump" of a page holds each of the parts.
void ExpectDumpHas(const std::string& page, const std::vector<std::string>& parts) {
  const auto dump = RunOrbaTool({"page", "dump", page});
  ASSERT_EQ(dump.exit_code, 0) << page;
  for (const std::string& part : parts) EXPECT_NE(dump.output.find(part), std::string::npos) << part << dump.output;
}

// Every field of the settings in one UTF-8 line; each variable as
// name:type:int:float:flag:text (types int 1, float 2, bool 3, str 4), each
// folder as folder@disc.
std::string Summary(const TProjectSetting& s) {
  std::ostringstream o;
  o << s.Title << "|" << s.Width << "x" << s.Height << "|" << s.ScreenParam1 << "," << s.ScreenParam2 << "|"
    << s.StartPage << "|" << s.ExitPage << "|" << s.RegistryKey << "|" << s.ImageCode << "|" << int{s.WriteSaveData}
    << int{s.SleepBetweenTicks} << int{s.PauseWhenInactive} << int{s.Reserved} << "|" << s.StreamedExtensions << "|"
    << s.DiskPrompt << "|" << s.QuitText;
  for (const TInitialVar& v : s.InitialVars)
    o << "|" << v.Name << ":" << int{v.Type} << ":" << v.IntValue << ":" << static_cast<double>(v.FloatValue) << ":"
      << int{v.FlagValue} << ":" << v.StrValue;
  for (const auto& f : s.FolderDisks.Items) o << "|" << f.Folder << "@" << f.Disc;
  return SjisToUtf8(o.str());
}

// A small game: settings, two pages that name each other's labels (one in
// a subfolder), and two files that go in as they are.
void WriteSmallGame(const TempDir& dir) {
  WriteText(dir / "src/orba.opb.txt",
            "# settings\n"
            "Title = 小さなゲーム\nWidth = 800\nHeight = 600\nStartPage = main.osb\nRegistryKey = Orba\\Small\n"
            "WriteSaveData = 1\nQuitText = \"終了しますか？\"\nVar score int 10\nVar name str \"アリス\"\n"
            "Folder movies 2\n");
  WriteText(dir / "src/main.osb.txt",
            "*start\n"
            "MesNew Name=\"mes\" Left=10 Top=20 Width=600 Height=100\n"
            "TextIns Window=\"mes\" Text=\"こんにちは<BR>世界\" Wait=TRUE\n"
            "Call scenes\\sub.osb:entry ResultVar=r\n"
            "Jump start Condition={r == 0}\n");
  WriteText(dir / "src/scenes/sub.osb.txt", ".result int\nCalc Expression={a = 1}\n*entry\nJump main.osb:start Condition={a > 1}\n");
  WriteText(dir / "src/bg.png", "not really a picture");
  WriteText(dir / "src/data/table.txt", "a\tb\n");
  WriteText(dir / "src/.hidden", "left out");
}

TEST(GameBuild, PackageListsItsFilesAndItsPagesDump) {
  TempDir dir;
  WriteSmallGame(dir);
  const auto built = RunOrbaTool({"game", "build", dir / "src", "-o", dir / "game.dat"});
  ASSERT_EQ(built.exit_code, 0) << built.output;
  const auto list = RunOrbaTool({"vf", "list", dir / "game.dat"});
  ASSERT_EQ(list.exit_code, 0);
  std::vector<std::string> names;
  std::istringstream lines(list.output);
  for (std::string line; std::getline(lines, line);) names.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(names, (std::vector<std::string>{"bg.png", "data\\table.txt", "main.osb", "orba.opb", "scenes\\sub.osb"}));

  ASSERT_EQ(RunOrbaTool({"vf", "extract", dir / "game.dat", dir / "out"}).exit_code, 0);
  ExpectDumpHas(dir / "out/main.osb", {"3: Call (opcode 5)", "PageName = \"scenes\\sub.osb\"\n    Target = 1\n",
                                        "PageName = \"main.osb\"\n    Target = 0\n"});
  ExpectDumpHas(dir / "out/scenes/sub.osb", {"PageName = \"main.osb\"\n    Target = 0\n"});
  EXPECT_EQ(ReadFileBytes(dir / "out/bg.png"), ReadFileBytes(dir / "src/bg.png"));
  TKsMemoryStream opb(ReadFileBytes(dir / "out/orba.opb"));
  TProjectSetting settings;
  settings.LoadFromStream(opb);
  EXPECT_EQ(Summary(settings), "小さなゲーム|800x600|0,0|main.osb||Orba\\Small|0|1000|.wav.wma.ogg.mid||終了しますか？"
                               "|score:1:10:0:0:|name:4:0:0:0:アリス|movies@2");

  // The same game written as a folder holds the same bytes.
  ASSERT_EQ(RunOrbaTool({"game", "build", "--folder", dir / "src", "-o", dir / "folder"}).exit_code, 0);
  for (const std::string name : {"main.osb", "scenes/sub.osb", "orba.opb", "bg.png", "data/table.txt"})
    EXPECT_EQ(ReadFileBytes(dir / ("folder/" + name)), ReadFileBytes(dir / ("out/" + name))) << name;
}

TEST(GameBuild, TheExampleGameBuilds) {
  TempDir dir;
  ASSERT_EQ(RunOrbaTool({"game", "build", test::TestsPath("../examples/hello"), "-o", dir / "game.dat"}).exit_code, 0);
  ASSERT_EQ(RunOrbaTool({"vf", "extract", dir / "game.dat", dir / "out"}).exit_code, 0);
  ExpectDumpHas(dir / "out/main.osb", {"8: Continue (opcode 35) depth 2", "PageName = \"farewell.osb\"\n    Target = 0\n"});
}

TEST(GameBuild, APackageWrittenIntoTheFolderIsNotPackedAgain) {
  TempDir dir;
  WriteSmallGame(dir);
  ASSERT_EQ(RunOrbaTool({"game", "build", dir / "src", "-o", dir / "src/game.dat"}).exit_code, 0);
  const auto again = RunOrbaTool({"game", "build", dir / "src/", "-o", dir / "src/../src/game.dat"});
  ASSERT_EQ(again.exit_code, 0);
  EXPECT_EQ(again.output.find("game.dat"), std::string::npos) << again.output;
}

TEST(GameBuild, FaultsNameTheSourceAndLeaveNoPackage) {
  TempDir dir;
  WriteSmallGame(dir);
  WriteText(dir / "src/scenes/sub.osb.txt", "Calc\n*entry\nJump main.osb:nowhere\n");
  try {
    BuildGame(Utf8ToSjis(dir / "src"));
    FAIL();
  } catch (const EAsmError& e) {
    EXPECT_EQ(e.Line, 3);
    EXPECT_NE(e.File.find("sub.osb.txt"), std::string::npos);
  }
  EXPECT_NE(RunOrbaTool({"game", "build", dir / "src", "-o", dir / "game.dat"}).exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "game.dat"));

  WriteText(dir / "src/scenes/sub.osb.txt", "*entry\n");
  // A package into a folder that does not exist says what it could not create.
  const auto nowhere = test::RunCommand(
      {"sh", "-c", "\"$0\" game build \"$1\" -o \"$2\" 2>&1", ORBA_TOOL_PATH, dir / "src", dir / "none/game.dat"});
  EXPECT_NE(nowhere.exit_code, 0);
  EXPECT_NE(nowhere.output.find("cannot open or create"), std::string::npos) << nowhere.output;
  WriteText(dir / "src/main.osb", "a built page beside its source");
  EXPECT_THROW(BuildGame(Utf8ToSjis(dir / "src")), EOrbaError);
  std::filesystem::remove(dir / "src/main.osb");
  std::filesystem::remove(dir / "src/main.osb.txt");
  EXPECT_THROW(BuildGame(Utf8ToSjis(dir / "src")), EOrbaError);  // the start page is gone
  std::filesystem::remove(dir / "src/orba.opb.txt");
  EXPECT_THROW(BuildGame(Utf8ToSjis(dir / "src")), EOrbaError);
}

TEST(PageAsmTool, AssemblesOneListingThatCallsItselfByItsFileName) {
  TempDir dir;
  WriteText(dir / "loop.osb.txt", "*again\nTextIns Window=\"mes\" Text=\"あ\"\nJump again\n");
  ASSERT_EQ(RunOrbaTool({"page", "asm", dir / "loop.osb.txt", "-o", dir / "loop.osb"}).exit_code, 0);
  ExpectDumpHas(dir / "loop.osb",
                {"2: Jump (opcode 4) depth 0 skip 0 continue 1 line 3\n    PageName = \"loop.osb\"\n    Target = 0\n"});
  WriteText(dir / "bad.osb.txt", "Jump nowhere\n");
  EXPECT_EQ(RunOrbaTool({"page", "asm", dir / "bad.osb.txt", "-o", dir / "bad.osb"}).exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.osb"));
  EXPECT_EQ(RunOrbaTool({"page", "asm", dir / "bad.osb.txt"}).exit_code, 2);
}

TEST(SettingsText, EveryKeyRoundTripsThroughTheSettingsFile) {
  const TProjectSetting s = ParseSettingsText(
      Utf8ToSjis("Title = \"  spaced  \"\n"
                 "width = 320\nHeight = 240\nScreenParam1 = -1\nScreenParam2 = 7\n"
                 "StartPage = a.osb\nExitPage = b.osb\nRegistryKey = K\nImageCode = 1234\n"
                 "WriteSaveData = TRUE\nSleepBetweenTicks = 1\nStreamedExtensions = .ogg\n"
                 "PauseWhenInactive = 1\nReserved = 0\nDiskPrompt = ディスク%dを入れてください\nQuitText = a\\nb\n"
                 "Var f float 2.5\nVar b bool TRUE\nVar s str\nFolder \"disc two\" 2\n"),
      "orba.opb.txt");
  // Only quoted values take escapes.
  EXPECT_EQ(Summary(s), "  spaced  |320x240|-1,7|a.osb|b.osb|K|1234|1110|.ogg|ディスク%dを入れてください|a\\nb"
                        "|f:2:0:2.5:0:|b:3:0:0:1:|s:4:0:0:0:|disc two@2");
  TKsMemoryStream stored;
  s.SaveToStream(stored);
  stored.SetPosition(0);
  TProjectSetting back;
  back.LoadFromStream(stored);
  EXPECT_EQ(Summary(back), Summary(s));
  EXPECT_EQ(back.InitialVars, s.InitialVars);
}

TEST(SettingsText, FaultsCarryTheLine) {
  for (const auto& [text, line] : std::vector<std::pair<const char*, int32_t>>{
           {"StartPage = a\nWidth = wide\n", 2}, {"StartPage = a\n\nColour = 3\n", 3}, {"Var x list 1\nStartPage = a\n", 1},
           {"StartPage = a\nWriteSaveData = 2\n", 2}, {"StartPage = a\njust words\n", 2}, {"Title = t\n", 0}}) {
    try {
      ParseSettingsText(text, "s.txt");
      ADD_FAILURE() << text;
    } catch (const EAsmError& e) {
      EXPECT_EQ(e.Line, line) << text;
      EXPECT_EQ(std::string(e.what()).rfind("s.txt:" + std::to_string(line) + ": ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace orba
