// A flow test game run by the player program without a window: its script
// trace, and the scripted events file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "interp_env.h"
#include "script/interp/run_loop_events.h"
#include "script/project/project_settings.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

void WriteGame(const TempDir& dir) {
  TProjectSetting settings;
  settings.Title = "flow";
  settings.Width = 320;
  settings.Height = 240;
  settings.StartPage = "main.osb";
  TKsMemoryStream opb;
  settings.SaveToStream(opb);
  WriteFileBytes(dir / "orba.opb", opb.Bytes());

  TPageBuilder main;
  main.VarNew("i", PT_INT, "0", 0)                              // 1
      .VarNew("r", PT_STR, "", 0)                               // 2
      .If("FALSE").Nest(1).Calc("i = 100").Nest(0)              // 3, 4
      .Elseif("i == 0").Nest(1)                                 // 5
      .Call("sub.osb", 0, "r", {"\"a\"", "\"b\""}).Nest(0)      // 6
      .Else().Nest(1).Calc("i = 200").Nest(0)                   // 7, 8
      .While("i < 5", 13).Nest(1)                               // 9
      .Calc("i = i + 1")                                        // 10
      .Continue("i == 1", 12)                                   // 11
      .Break("i == 2", 13).Nest(0)                              // 12
      .WhileLoop("", 8)                                         // 13
      .Jump("other.osb", 0, "r == \"ab\"")                      // 14
      .Calc("i = 300");                                         // 15
  WriteFileBytes(dir / "main.osb", main.Bytes());
  WriteFileBytes(dir / "sub.osb",
                 TPageBuilder(PT_STR).Calc("@Result = @ParamStr[0] ++ @ParamStr[1]").Exit().Calc("i = 400").Bytes());
  WriteFileBytes(dir / "other.osb", TPageBuilder().Wait("0").Bytes());
  WriteFileBytes(dir / "ev.osb", TPageBuilder().Calc("i = 500").Label("go").Calc("i = i + 10").Bytes());
  WriteFileBytes(dir / "events.txt", Bytes("# a click\ntick 2: event ev.xyz:go btn 36 x\n"));
}

TEST(InterpGame, HeadlessRunPrintsTheScriptTrace) {
  TempDir dir;
  WriteGame(dir);
  const CommandResult r = RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "3", "--trace", "-", "--events",
                                      dir / "events.txt", dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "start up\nwindow 320x240\nstart ticks\n"
            "tick 1 clock 15 frame 15\n"
            "0000000f : main.osb(1)\n0000000f : main.osb(2)\n0000000f : main.osb(3)\n"
            "0000000f : main.osb(6)\n0000000f : sub.osb(1)\n0000000f : sub.osb(2)\n"
            "0000000f : main.osb(7)\n0000000f : main.osb(9)\n0000000f : main.osb(10)\n"
            "0000000f : main.osb(11)\n0000000f : main.osb(13)\n0000000f : main.osb(9)\n"
            "0000000f : main.osb(10)\n0000000f : main.osb(11)\n0000000f : main.osb(12)\n"
            "0000000f : main.osb(14)\n0000000f : other.osb(1)\n"
            "tick 2 clock 30 frame 15\n"
            "0000001e : <Event>ev.osb(2)\n0000001e : ev.osb(2)\n0000001e : ev.osb(3)\n"
            "0000001e : other.osb(1)\n"
            "tick 3 clock 45 frame 15\n"
            "stop ticks\nshut down\nTextRead.Free\nTextHistoryFormats.Free\nBases.Free\nSelRectDIB.Free\n"
            "BrixMan.Free\nClipMan.Free\n");
}

TEST(InterpGame, EventLinesAreReadOrRefused) {
  const TScriptedEvents events =
      TScriptedEvents::Parse("tick 1: event a.osb:x\r\n\n  # note\ntick 3: event b.osb - 40\ntick 3: event c.osb s 72 1 2\n");
  ASSERT_EQ(events.Count(), 3u);
  TStandaloneObjects objects;
  events.QueueDue(3, objects);
  const TTimerList& q = *objects.EventQueue();
  ASSERT_EQ(q.Count(), 2);
  EXPECT_EQ(std::make_tuple(q.GetItem(0)->Label, bool(q.GetItem(0)->Sender), int(q.GetItem(0)->Code)),
            std::make_tuple(std::string("b.osb"), false, 40));
  EXPECT_EQ(objects.GetObjectName(q.GetItem(1)->Sender), "s");
  EXPECT_EQ(q.GetItem(1)->Args.Items(), (std::vector<std::string>{"1", "2"}));

  for (const char* bad : {"tick: event a", "tick 0: event a", "tick 1 event a", "tick 1: click a", "tick 1: event",
                          "tick 1: event a s 300", "tock 1: event a"}) {
    EXPECT_THROW(TScriptedEvents::Parse(std::string("\n") + bad), EEventScriptError) << bad;
  }
  try {
    TScriptedEvents::Parse("\ntick 1: event");
  } catch (const EEventScriptError& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, 7), "line 2:");
  }
}

TEST(InterpGame, EnvironmentVariableNamesTheTraceFile) {
  TempDir dir;
  ASSERT_EQ(setenv("ORBA_SCRIPT_LOG", (dir / "log.txt").c_str(), 1), 0);
  EXPECT_TRUE(InstallScriptLoggerFromEnvironment());
  ScriptLogWrite(FormatEventTrace(0x1234abcd, "p.osb", 7));
  SetScriptLogger(TScriptLogger());
  unsetenv("ORBA_SCRIPT_LOG");
  EXPECT_FALSE(InstallScriptLoggerFromEnvironment());
  EXPECT_FALSE(ScriptLoggerLoaded());
  const std::vector<uint8_t> text = ReadFileBytes(dir / "log.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()), "1234abcd : <Event>p.osb(7)\n");
}

}  // namespace
}  // namespace orba::test
