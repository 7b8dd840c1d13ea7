// Test games run in this process by the game client under the shell's loop,
// with a clock the test moves and a window kept in memory; and the game
// services the client attaches to the function library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/vocab/vocab.h"
#include "core/vocab/wipe_defaults.h"
#include "graphics/dibx.h"
#include "items/base_list.h"
#include "platform/dialogs.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/scripted_input.h"
#include "platform/host.h"
#include "script/functions/sys_func.h"
#include "script/project/project.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"
#include "shell/game_client.h"
#include "shell/game_services.h"
#include "shell/shell_runner.h"
#include "shell/test_games.h"
#include "support/fixed_host.h"
#include "support/test_support.h"

namespace orba {
namespace {

constexpr uint32_t kRed = 0xFF0000u, kGreen = 0x00FF00u;

class GameClientTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetPlayerGlobals(); }

  // Builds the game and starts it under the loop.
  void Start(const std::string& name) {
    test::BuildGame(name, dir / "game", true);
    client = std::make_unique<TGameClient>(dir / "game", TScriptedEvents());
    runner = std::make_unique<TShellRunner>(clock, video, input, *client);
    ASSERT_TRUE(runner->StartUp());
  }
  void Step(uint32_t ms) { RunSteps(*runner, clock, 1, ms); }
  // Variables of the running game, as ints (flags are 1 and 0) or as text.
  std::string Vars(const std::vector<std::string>& names, bool text = false) {
    std::string out;
    for (const std::string& name : names) {
      const TParamCollectionItem* v = client->Store()->Find(name);
      out += (v == nullptr ? "?" : text ? v->GetAsStr() : std::to_string(v->GetAsInt())) + "|";
    }
    return out;
  }
  // Ticks, game clock, frame length and the variable "loaded".
  std::string Clock() {
    return std::to_string(TickCount) + " " + std::to_string(GameClock) + " " + std::to_string(FrameTime) + " " +
           Vars({"loaded"});
  }
  std::vector<uint32_t> Pixels(const std::vector<std::pair<int32_t, int32_t>>& points) {
    std::vector<uint32_t> out;
    for (auto [x, y] : points) out.push_back(video.Pixel(x, y));
    return out;
  }

  test::TempDir dir;
  TFakeClock clock{1000};
  TMemoryVideo video;
  TScriptedInput input;
  std::unique_ptr<TGameClient> client;
  std::unique_ptr<TShellRunner> runner;
};

// The tick that loads a saved game paints nothing, the window keeps the
// picture it had; the next tick shows the loaded scene. A gap of 300 ms or
// more is no tick and adds nothing to the game clock.
TEST_F(GameClientTest, NoPaintingInTheTickOfALoadAndNoTickInAGap) {
  Start("loadpaint");
  Step(15);  // tick 1: a red box, saved
  EXPECT_EQ(TickCount, 1);
  EXPECT_EQ(Pixels({{0, 0}, {8, 8}}), (std::vector<uint32_t>{kRed, 0}));
  Step(15);  // tick 2: the box turns green
  EXPECT_EQ(video.Pixel(7, 7), kGreen);
  const int32_t presented = video.PresentCount();

  Step(300);  // a gap: no tick
  Step(1000);
  EXPECT_EQ(Clock(), "2 30 15 0|");

  Step(20);  // tick 3: the save is loaded; nothing is painted
  EXPECT_EQ(Clock(), "3 50 20 1|");
  EXPECT_EQ(std::make_pair(video.PresentCount(), runner->PaintedTicks()), std::make_pair(presented, 2));
  EXPECT_EQ(video.Pixel(7, 7), kGreen);

  Step(15);  // tick 4: the loaded scene, red again
  EXPECT_EQ(video.PresentCount(), presented + 1);
  EXPECT_EQ(Pixels({{7, 7}, {8, 8}}), (std::vector<uint32_t>{kRed, 0}));

  // What the inactive root painted is not painted again in every tick:
  // presenting empties both roots' dirty lists.
  Bases->GetBase(Bases->Active ^ 1)->InvalidateAll();
  Step(15);
  EXPECT_EQ(Bases->GetBase(0)->Dirty.Count() + Bases->GetBase(1)->Dirty.Count(), 0);
  runner->ShutDown();
}

// The window's input reaches the "@" variables through the object manager,
// and the script's full-screen switch and pointer moves reach the window.
TEST_F(GameClientTest, ScriptsSeeTheWindowsInputAndDriveTheWindow) {
  input = TScriptedInput::FromText(
      "tick 2: mouse move 10 20\n"
      "tick 2: lbutton down 10 20\n"
      "tick 2: key down 65\n"
      "tick 2: wheel down\n");
  Start("shellinput");
  EXPECT_EQ(std::to_string(video.Width()) + "x" + std::to_string(video.Height()) + " " + video.Title(),
            "100x80 shellinput");
  Step(15);
  // Focus only to a visible control that handles keys; the manager's
  // switches follow the variables.
  EXPECT_EQ(Vars({"focus0", "focus1", "focus2"}, true), "||k|");
  EXPECT_EQ(Vars({"sound", "sound2", "dither"}), "1|0|1|");
  EXPECT_TRUE(!Bases->SoundOn && Bases->GetCGDither() && video.FullScreen());
  Step(15);
  Step(15);
  // Tick 2 saw the input given before it; "@MouseX = 5" moved the system
  // pointer, keeping its Y. A tick later the click is gone and the key is
  // still held but no longer new.
  EXPECT_EQ(Vars({"full", "lclick", "lpush", "mx", "my", "key", "keyclick", "wheel", "lclick3", "key3", "keyclick3",
                  "full3"}),
            "1|1|1|10|20|1|1|1|0|1|0|0|");
  EXPECT_EQ(std::make_pair(video.MouseX(), video.MouseY()), std::make_pair(5, 20));
  EXPECT_FALSE(video.FullScreen());
  runner->ShutDown();
}

TEST(GameServices, AttachPlacesTheTablesAndDetachUnregisters) {
  TParamCollection store;
  TSysFuncMan funcs(store);
  TVrFileManager files;
  TProjectEnvironment env;
  std::unique_ptr<TGameServices> services = AttachGameServices(funcs, files, env, nullptr);
  ASSERT_TRUE(env.PlaceSaveSections && env.ClearGameTables);
  // A game table "G" and a status table "S", both without fields.
  TParamStr name;
  TParamFlag status, result;
  TCustomParam* create[] = {&name, &status};
  for (const char* table : {"G", "S"}) {
    name.SetAsStr(table);
    status.SetAsFlag(*table == 'S');
    funcs.CallSysFunc(result, FN_DBCreateTable, create);
    EXPECT_TRUE(result.GetAsFlag()) << table;
  }
  // Saved and read back, the game tables of a slot hold "G" only, the
  // status tables "S" only.
  TSaveSections sections;
  env.PlaceSaveSections(sections);
  TDBManager copy;
  for (const auto& [section, category] :
       {std::pair{sections.GameTables, kDBGameCategory}, std::pair{sections.StatusTables, kDBStatusCategory}}) {
    ASSERT_NE(section, nullptr);
    TKsMemoryStream saved;
    section->SaveToStream(saved);
    saved.SetPosition(0);
    copy.LoadFromStream(saved, category);
  }
  auto categories = [](TDBManager& tables) {
    std::string out;
    for (int32_t i = 0; i < tables.Count(); ++i)
      out += tables.GetTable(i)->Name + std::to_string(tables.GetTable(i)->Category) + " ";
    return out;
  };
  EXPECT_EQ(categories(copy), "G0 S1 ");
  // A game reset takes the game table only.
  env.ClearGameTables();
  EXPECT_EQ(categories(services->Tables()), "S1 ");
  // Without a project's check, a name the file layer does not find is not
  // available.
  EXPECT_FALSE(services->FileAvailable("nothing.txt"));

  DetachGameServices(services);
  EXPECT_EQ(services, nullptr);
  TParamStr answer;
  answer.SetAsStr("unchanged");
  funcs.CallSysFunc(answer, FN_DBGetActive, {});
  EXPECT_EQ(answer.GetAsStr(), "unchanged");
}

// Closing the window asks in the user's language, with the game's title:
// refused, the game runs on; confirmed, it ends before the next tick. The
// game's QuitText ("入力を終えますか？", the question after a refused disc
// request) is never the question.
struct TCloseLanguage {
  const char* name;
  bool japanese;
  const char* question;
};

class CloseQuestion : public GameClientTest, public ::testing::WithParamInterface<TCloseLanguage> {};

TEST_P(CloseQuestion, IsTheUsersLanguagesNotTheGamesQuitText) {
  const auto boxes = std::make_shared<TScriptedMessageBoxes>();
  const std::shared_ptr<TMessageBoxService> previous = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::Cancel);
  boxes->Push(TDialogAnswer::Ok);
  input = TScriptedInput::FromText("tick 2: close\ntick 3: close\n");
  Start("shellinput");
  const auto host = std::make_shared<test::TFixedHost>();
  host->Japanese = GetParam().japanese;
  const std::shared_ptr<THostServices> previous_host = SetHostServices(host);
  Step(15);
  Step(15);
  EXPECT_TRUE(runner->Running());
  EXPECT_EQ(TickCount, 2);
  Step(15);
  EXPECT_FALSE(runner->Running());
  EXPECT_EQ(TickCount, 2);
  ASSERT_EQ(boxes->Shown().size(), 2u);
  for (const TDialogRequest& asked : boxes->Shown()) {
    EXPECT_EQ(asked.Title, "shellinput");
    EXPECT_EQ(asked.Text, GetParam().question);
    EXPECT_NE(asked.Text, client->Project()->QuitText);
    EXPECT_EQ(asked.Buttons, TDialogButtons::OkCancel);
  }
  // 入力を終えますか？: the game has its own QuitText.
  EXPECT_EQ(client->Project()->QuitText, "\x93\xfc\x97\xcd\x82\xf0\x8fI\x82\xa6\x82\xdc\x82\xb7\x82\xa9\x81H");
  SetHostServices(previous_host);
  runner->ShutDown();
  SetMessageBoxService(previous);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, CloseQuestion,
    ::testing::Values(TCloseLanguage{"English", false, "Do you want to quit?"},
                      // 終了しますか？
                      TCloseLanguage{"Japanese", true, "\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48"}),
    [](const ::testing::TestParamInfo<TCloseLanguage>& info) { return std::string(info.param.name); });

// Start-up aims zooming transitions at the middle of the game's screen and
// installs the transitions for the object manager; shut-down takes them away.
TEST_F(GameClientTest, StartUpInstallsTheTransitionsAndAimsTheZoomAtTheMiddle) {
  Start("shellinput");  // 100 x 80
  EXPECT_EQ(GetWipeDefaultParams(WP_ZOOMIN), (TWipeParams{50, 40}));
  TDIBX page;
  page.SetSize(8, 8, 32);
  EXPECT_NE(MakeTransition(WP_CIRCLE, page, page, page), nullptr);
  runner->ShutDown();
  EXPECT_EQ(MakeTransition(WP_CIRCLE, page, page, page), nullptr);
  ResetPlayerGlobals();
  EXPECT_EQ(GetWipeDefaultParams(WP_ZOOMIN), (TWipeParams{320, 240}));
}

}  // namespace
}  // namespace orba
