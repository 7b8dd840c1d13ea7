// The project in the test process: start-up over a game folder, initial
// variables, shut-down with a broken exit page, loads of missing and damaged
// slots, and the system variables that the game's host answers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/files/vr_file.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "expr_test_env.h"
#include "interp_env.h"
#include "platform/dialogs.h"
#include "script/interp/run_loop_events.h"
#include "script/project/project.h"
#include "script/project/project_settings.h"
#include "script/values/system_var_host_impl.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

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

// Records the boxes and answers each with its first button.
class TRecordedBoxes : public TMessageBoxService {
 public:
  TDialogResult Show(const TDialogRequest& request) override {
    shown_.push_back(request);
    return FirstButtonAnswer(request.Buttons);
  }
  const std::vector<TDialogRequest>& Shown() const { return shown_; }

 private:
  std::vector<TDialogRequest> shown_;
};

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPlayerGlobals();
    previous_boxes_ = SetMessageBoxService(boxes_);
  }
  void TearDown() override {
    SetMessageBoxService(previous_boxes_);
    ResetPlayerGlobals();
  }
  std::shared_ptr<TRecordedBoxes> boxes_ = std::make_shared<TRecordedBoxes>();
  std::shared_ptr<TMessageBoxService> previous_boxes_;
};

TEST_F(ProjectTest, InitialVariablesAndABrokenExitPage) {
  TempDir dir;
  TProjectSetting settings = CounterSettings();
  settings.ExitPage = "gone.osb";  // cannot be loaded
  WriteSettings(dir, settings);
  WriteFileBytes(dir / "main.osb", TPageBuilder().Calc("n = n + 1").Bytes());

  for (const char* expected : {"5", "6"}) {
    TRunningProject run(dir);
    ASSERT_EQ(QuitFlag, 0);
    // Types that hold no value and bad names create nothing.
    EXPECT_EQ(run.Var("nothing") + run.Var("odd") + run.Var("bad name"), "<none><none><none>");
    run.project->Run();
    EXPECT_EQ(run.Var("n"), expected);
    run.Close();
    // The exit page failed; the status save was written all the same.
    ASSERT_FALSE(run.warnings.empty());
    EXPECT_NE(run.warnings.back().find("gone.osb"), std::string::npos);
  }
  EXPECT_TRUE(boxes_->Shown().empty());
}

TEST_F(ProjectTest, MissingStartPageOrProjectStopsTheStart) {
  TempDir dir;
  WriteSettings(dir, CounterSettings());
  {
    TRunningProject run(dir);
    EXPECT_EQ(QuitFlag, 1);
    ASSERT_EQ(boxes_->Shown().size(), 1u);
    EXPECT_EQ(boxes_->Shown()[0].Title + "|" + boxes_->Shown()[0].Text, std::string(kMsgWarning) + "|" + kMsgNoStartPage);
  }
  WriteFileBytes(dir / "orba.opb", {});
  {
    TRunningProject run(dir);
    EXPECT_EQ(QuitFlag, 1);
    ASSERT_EQ(boxes_->Shown().size(), 2u);
    EXPECT_EQ(boxes_->Shown()[1].Text, kMsgNoProject);
    EXPECT_EQ(run.project->CallMan(), nullptr);
  }
  // A later settings version is refused before anything runs.
  WriteFileBytes(dir / "orba.opb", FromHex("74 00 00 00"));
  EXPECT_THROW(TRunningProject run(dir), EUnsupportedVersion);
}

TEST_F(ProjectTest, LoadsOfMissingAndDamagedSlots) {
  TempDir dir;
  WriteSettings(dir, CounterSettings());
  WriteFileBytes(dir / "main.osb", TPageBuilder().Calc("n = n + 1", 0).Bytes());
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
  ASSERT_EQ(boxes_->Shown().size(), 1u);
  EXPECT_EQ(boxes_->Shown()[0].Text, kMsgSaveDataUnusable);
}

// Input of a screen root with the wheel turned down and the pointer at (3, 4).
class TWheelObjects : public TObjectServices {
 public:
  bool GetWheelDown() const override { return true; }
  bool GetKeyPush(int32_t key) const override { return key == 65; }
  int32_t GetMouseX() const override { return 3; }
  int32_t GetMouseY() const override { return 4; }
};

// 7 January 2024, a Sunday, at noon.
double FixedSunday() { return DaysSince1899(2024, 1, 7) + 0.5; }

TEST(GameVarHost, InputDateAndPointerFromTheGame) {
  TExprEnv env;
  TWheelObjects objects;
  TGameVarHost host(objects);
  std::vector<std::pair<int32_t, int32_t>> moves;
  host.MoveCursor = [&](int32_t x, int32_t y) { moves.emplace_back(x, y); };
  env.store.SetHost(&host);
  SetDateTimeSource(FixedSunday);
  // @KeyPush[256] is the wheel-down flag, [257] wheel up.
  EXPECT_EQ(env.Run({"@KeyPush[256] ++ @KeyPush[257] ++ @KeyPush[65] ++ \"|\" ++ @Week ++ \"|\" ++ @Hour"}),
            "TRUEFALSETRUE|1|12");

  env.Run({"@MouseX = 10", "@MouseY = \"20\""});
  EXPECT_EQ(moves, (std::vector<std::pair<int32_t, int32_t>>{{10, 4}, {3, 20}}));
  SetDateTimeSource(nullptr);
  env.store.SetHost(nullptr);
}

}  // namespace
}  // namespace orba::test
