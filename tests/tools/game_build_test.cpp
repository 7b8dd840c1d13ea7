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

// A small game: settings, two pages that name each other's labels (one in
// a subfolder), and two files that go in as they are.
void WriteSmallGame(const TempDir& dir) {
  WriteText(dir / "src/orba.opb.txt",
            "# settings\n"
            "Title = 小さなゲーム\n"
            "Width = 800\n"
            "Height = 600\n"
            "StartPage = main.osb\n"
            "RegistryKey = Orba\\Small\n"
            "WriteSaveData = 1\n"
            "QuitText = \"終了しますか？\"\n"
            "Var score int 10\n"
            "Var name str \"アリス\"\n"
            "Folder movies 2\n");
  WriteText(dir / "src/main.osb.txt",
            "*start\n"
            "MesNew Name=\"mes\" Left=10 Top=20 Width=600 Height=100\n"
            "TextIns Window=\"mes\" Text=\"こんにちは<BR>世界\" Wait=TRUE\n"
            "Call scenes\\sub.osb:entry ResultVar=r\n"
            "Jump start Condition={r == 0}\n");
  WriteText(dir / "src/scenes/sub.osb.txt",
            ".result int\n"
            "Calc Expression={a = 1}\n"
            "*entry\n"
            "Jump main.osb:start Condition={a > 1}\n");
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
  EXPECT_EQ(names, (std::vector<std::string>{"bg.png", "data\\table.txt", "main.osb", "orba.opb",
                                             "scenes\\sub.osb"}));

  ASSERT_EQ(RunOrbaTool({"vf", "extract", dir / "game.dat", dir / "out"}).exit_code, 0);
  ExpectDumpHas(dir / "out/main.osb", {"3: Call (opcode 5)", "PageName = \"scenes\\sub.osb\"\n    Target = 1\n",
                                        "PageName = \"main.osb\"\n    Target = 0\n"});
  ExpectDumpHas(dir / "out/scenes/sub.osb", {"PageName = \"main.osb\"\n    Target = 0\n"});
  EXPECT_EQ(ReadFileBytes(dir / "out/bg.png"), ReadFileBytes(dir / "src/bg.png"));

  TKsMemoryStream opb(ReadFileBytes(dir / "out/orba.opb"));
  TProjectSetting settings;
  settings.LoadFromStream(opb);
  EXPECT_EQ(SjisToUtf8(settings.Title + "|" + settings.StartPage + "|" + settings.RegistryKey + "|" + settings.QuitText),
            "小さなゲーム|main.osb|Orba\\Small|終了しますか？");
  EXPECT_EQ(settings.Width, 800);
  ASSERT_EQ(settings.InitialVars.size(), 2u);
  EXPECT_EQ(settings.InitialVars[0].IntValue, 10);
  EXPECT_EQ(SjisToUtf8(settings.InitialVars[1].StrValue), "アリス");
  ASSERT_EQ(settings.FolderDisks.Items.size(), 1u);
  EXPECT_EQ(settings.FolderDisks.Items[0].Disc, 2);

  // The same game written as a folder holds the same bytes.
  ASSERT_EQ(RunOrbaTool({"game", "build", "--folder", dir / "src", "-o", dir / "folder"}).exit_code, 0);
  for (const char* name : {"main.osb", "scenes/sub.osb", "orba.opb", "bg.png", "data/table.txt"}) {
    EXPECT_EQ(ReadFileBytes(dir / ("folder/" + std::string(name))), ReadFileBytes(dir / ("out/" + std::string(name))))
        << name;
  }
}

TEST(GameBuild, TheExampleGameBuilds) {
  TempDir dir;
  ASSERT_EQ(RunOrbaTool({"game", "build", test::TestsPath("../examples/hello"), "-o", dir / "game.dat"}).exit_code, 0);
  ASSERT_EQ(RunOrbaTool({"vf", "extract", dir / "game.dat", dir / "out"}).exit_code, 0);
  ExpectDumpHas(dir / "out/main.osb",
                {"8: Continue (opcode 35) depth 2", "PageName = \"farewell.osb\"\n    Target = 0\n"});
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
  ExpectDumpHas(dir / "loop.osb", {"2: Jump (opcode 4) depth 0 skip 0 continue 1 line 3\n"
                                   "    PageName = \"loop.osb\"\n    Target = 0\n"});

  WriteText(dir / "bad.osb.txt", "Jump nowhere\n");
  EXPECT_EQ(RunOrbaTool({"page", "asm", dir / "bad.osb.txt", "-o", dir / "bad.osb"}).exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.osb"));
  EXPECT_EQ(RunOrbaTool({"page", "asm", dir / "bad.osb.txt"}).exit_code, 2);
}

TEST(SettingsText, EveryKeyRoundTripsThroughTheSettingsFile) {
  const std::string text = Utf8ToSjis(
      "Title = \"  spaced  \"\n"
      "width = 320\nHeight = 240\nScreenParam1 = -1\nScreenParam2 = 7\n"
      "StartPage = a.osb\nExitPage = b.osb\nRegistryKey = K\nImageCode = 1234\n"
      "WriteSaveData = TRUE\nSleepBetweenTicks = 1\nStreamedExtensions = .ogg\n"
      "PauseWhenInactive = 1\nReserved = 0\nDiskPrompt = ディスク%dを入れてください\nQuitText = a\\nb\n"
      "Var f float 2.5\nVar b bool TRUE\nVar s str\nFolder \"disc two\" 2\n");
  const TProjectSetting s = ParseSettingsText(text, "orba.opb.txt");
  EXPECT_EQ(s.Title, "  spaced  ");
  EXPECT_EQ(s.Width, 320);
  EXPECT_EQ(s.ScreenParam1, -1);
  EXPECT_EQ(s.ImageCode, 1234);
  EXPECT_EQ(s.WriteSaveData, 1);
  EXPECT_EQ(s.StreamedExtensions, ".ogg");
  EXPECT_EQ(s.QuitText, "a\\nb");  // only quoted values take escapes
  EXPECT_EQ(s.FolderDisks.Items.at(0).Folder, "disc two");

  TKsMemoryStream stored;
  s.SaveToStream(stored);
  stored.SetPosition(0);
  TProjectSetting back;
  back.LoadFromStream(stored);
  EXPECT_EQ(back.Title, s.Title);
  EXPECT_EQ(back.ExitPage, "b.osb");
  EXPECT_EQ(back.DiskPrompt, s.DiskPrompt);
  EXPECT_EQ(back.PauseWhenInactive, 1);
  EXPECT_EQ(back.InitialVars, s.InitialVars);
  EXPECT_EQ(back.InitialVars.at(0).FloatValue, 2.5L);
  EXPECT_EQ(back.InitialVars.at(1).FlagValue, 1);
}

TEST(SettingsText, FaultsCarryTheLine) {
  struct Case {
    const char* text;
    int32_t line;
  };
  for (const Case& c : {Case{"StartPage = a\nWidth = wide\n", 2}, Case{"StartPage = a\n\nColour = 3\n", 3},
                        Case{"Var x list 1\nStartPage = a\n", 1}, Case{"StartPage = a\nWriteSaveData = 2\n", 2},
                        Case{"StartPage = a\njust words\n", 2}, Case{"Title = t\n", 0}}) {
    try {
      ParseSettingsText(c.text, "s.txt");
      ADD_FAILURE() << c.text;
    } catch (const EAsmError& e) {
      EXPECT_EQ(e.Line, c.line) << c.text;
      EXPECT_EQ(std::string(e.what()).rfind("s.txt:" + std::to_string(c.line) + ": ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace orba
