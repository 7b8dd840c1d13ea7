// The run state in saved games: round trips in the middle of a Wait and of
// an event call, the stored bytes of a frame, older versions, damaged data.
#include <gtest/gtest.h>

#include <tuple>

#include "core/files/install_record.h"
#include "core/files/vr_file_manager.h"
#include "core/streams/stream_encoding.h"
#include "dialog_env.h"
#include "interp_env.h"
#include "script/script_errors.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

std::vector<uint8_t> SaveRunState(TInterp& t) {
  TKsMemoryStream s;
  t.Cm.SaveToStream(s);
  return s.Bytes();
}

void LoadRunState(TInterp& t, const std::vector<uint8_t>& bytes, int32_t version = 140) {
  TKsMemoryStream s(bytes);
  t.Cm.LoadFromStream(s, version);
  EXPECT_EQ(s.Remaining(), 0);
}

void PutWaitGame(TInterp& t) { t.Put("main.osb", "Log a\nWait Time=100\nLog W"); }

// Saved in the middle of a Wait and loaded into a fresh interpreter, the
// Wait resumes with its remaining time: the page ends in tick 8 as before.
TEST(CallMan, RunStateSavedDuringAWaitResumesWithTheRemainingTime) {
  std::vector<uint8_t> saved;
  {
    TInterp t;
    PutWaitGame(t);
    t.Cm.Start("main.osb");
    t.Ticks(3);  // not counted, 85, 70
    saved = SaveRunState(t);
  }
  TInterp t;
  PutWaitGame(t);
  t.Store.Find("log")->SetAsStr("a");
  LoadRunState(t, saved);
  const auto& wait = dynamic_cast<const TComWait&>(*t.Cm.CurrentCommand());
  EXPECT_EQ(std::make_tuple(t.Cm.CurrentPage->Name, t.Cm.PC, int(t.Cm.Started), wait.Remaining),
            std::make_tuple(std::string("main.osb"), 1, 1, 70));
  EXPECT_EQ(t.TicksUntil("aW", 10), 5);  // 55, 40, 25, 10, -5
}

TEST(CallMan, RunStateRoundTripInsideAnEventCall) {
  std::vector<uint8_t> saved;
  auto put = [](TInterp& t) {
    t.Put("main.osb", "Wait Time=60\nLog m");
    t.Put("h.osb", ".result str\nDoEvent\nCalc Expression={log = log ++ @Sender ++ @ParamStr[0]}");
  };
  {
    TInterp t;
    put(t);
    t.Cm.Start("main.osb");
    t.Ticks(2);  // 45 left
    t.Raise("btn", "h.osb:", PR_ONLBTNDOWN, {"arg"});
    t.Tick();    // the handler yields at DoEvent
    ASSERT_EQ(t.Cm.State, RS_YIELDED);
    ASSERT_EQ(t.Cm.Frames.Count(), 1);
    ASSERT_NE(t.Cm.Frames.GetItem(0).StateStream, nullptr);
    saved = SaveRunState(t);
  }
  TInterp t;
  put(t);
  t.Objects.Add("other");
  TObjectHandle btn = t.Objects.Add("btn");
  LoadRunState(t, saved);
  EXPECT_EQ(t.Cm.State, RS_YIELDED);
  EXPECT_EQ(t.Cm.Sender, btn);
  ASSERT_EQ(t.Cm.Frames.Count(), 1);
  const TStack& frame = t.Cm.Frames.GetItem(0);
  EXPECT_EQ(std::make_tuple(frame.PageName, int(frame.Started), t.Store.CurrentFrame), std::make_tuple(std::string("main.osb"), 1, 1));
  EXPECT_EQ(SaveRunState(t), saved);
  // The handler ends in the next tick; the Wait comes back with 45 ms and
  // counts that tick, then 15 left, then done.
  std::vector<std::string> logs;
  for (int i = 0; i < 3; ++i) {
    t.Tick();
    logs.push_back(t.Log());
  }
  EXPECT_EQ(logs, (std::vector<std::string>{"btnarg", "btnarg", "btnargm"}));
}

// The stored form worked out by hand: an empty run state with one frame.
TEST(CallMan, StoredBytesOfTheRunState) {
  TInterp t;
  t.Objects.Add("btn");
  TStack& frame = t.Cm.Frames.Push();
  frame.PageName = "p";
  frame.PC = 2;
  frame.Started = 1;
  frame.Continue = 1;
  frame.ResultVar = "r";
  frame.Args.Add("x");
  frame.Sender = t.Objects.FindObject("btn");
  frame.StateStream = std::make_unique<TKsMemoryStream>(std::vector<uint8_t>{0xAA, 0xBB});
  frame.Result = CreateParamByType(PT_INT);
  frame.Result->SetAsInt(5);
  t.Cm.PC = 7;
  t.Cm.Continue = 1;
  t.Cm.State = RS_YIELDED;
  t.Cm.NextLevel = 3;
  const std::vector<uint8_t> expected = FromHex(
      "00000000"            // no current page
      "07000000 01 00"      // PC, Continue, Started
      "02000000"            // State
      "00000000"            // no sender
      "00000000"            // no arguments
      // the Popped frame, empty
      "00000000 00000000 00 00 00000000 00000000 00000000 00000000 00"
      "01000000"            // one frame
      "01000000 70 02000000 01 01 01000000 72"
      "01000000 01000000 78"        // arguments: "x"
      "03000000 62746e"             // sender "btn"
      "02000000 aabb"               // running state
      "01 00000000 01000000 05000000"  // a result: the integer 5
      "03000000");          // NextLevel
  EXPECT_EQ(ToHex(SaveRunState(t)), ToHex(expected));

  // Older game states have no NextLevel: it reads as 2.
  TInterp u;
  u.Objects.Add("btn");
  std::vector<uint8_t> old(expected.begin(), expected.end() - 4);
  LoadRunState(u, old, 115);
  EXPECT_EQ(std::make_tuple(int(u.Cm.NextLevel), int(u.Cm.State)), std::make_tuple(2, int(RS_YIELDED)));
  ASSERT_EQ(u.Cm.Frames.Count(), 1);
  EXPECT_EQ(u.Cm.Frames.GetItem(0).Sender, u.Objects.FindObject("btn"));
  EXPECT_EQ(std::make_tuple(u.Cm.Frames.GetItem(0).Result->GetAsInt(), u.Cm.GetFrameResult()->GetAsInt()), std::make_tuple(5, 5));
}

TEST(CallMan, DamagedRunStateChangesNothing) {
  TInterp t;
  PutWaitGame(t);
  t.Cm.Start("main.osb");
  t.Ticks(2);
  const std::vector<uint8_t> saved = SaveRunState(t);
  for (size_t cut : {size_t{0}, size_t{5}, size_t{20}, saved.size() - 1}) {
    TInterp u;
    PutWaitGame(u);
    u.Cm.Start("main.osb");
    u.Cm.PC = 2;
    TKsMemoryStream s(std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_THROW(u.Cm.LoadFromStream(s, 140), EReadError) << cut;
    EXPECT_EQ(u.Cm.PC, 2) << cut;
  }
  // A frame count far beyond the data is refused before anything is made.
  std::vector<uint8_t> huge = FromHex(
      "00000000 00000000 00 00 00000000 00000000 00000000"
      "00000000 00000000 00 00 00000000 00000000 00000000 00000000 00"
      "ffffff7f");
  TKsMemoryStream s(huge);
  EXPECT_THROW(t.Cm.LoadFromStream(s, 140), EReadError);
}

TEST(CallMan, PopOfAnEmptyStackRaises) {
  TInterp t;
  try {
    t.Cm.Frames.Pop();
    FAIL();
  } catch (const EScriptError& e) {
    EXPECT_STREQ(e.what(), kMsgStackError);
  }
  t.Cm.Frames.Push();
  t.Cm.Frames.Push().PageName = "top";
  EXPECT_EQ(t.Store.CurrentFrame, 2);
  const std::string popped = t.Cm.Frames.Pop().PageName;
  EXPECT_EQ(std::make_tuple(popped, t.Cm.Frames.Popped.PageName, t.Store.CurrentFrame), std::make_tuple("top", "top", 1));
  t.Cm.Frames.Clear();
  EXPECT_EQ(t.Store.CurrentFrame, 0);
}

// A missing streamed file on another disc is not asked for; a missing
// picture there is; a file the layer finds is available; "" never is.
TEST(FileAvailability, AsksForADiscOnlyForFilesThatAreNotStreamed) {
  TempDir dir;
  WriteFileBytes(dir / "here.png", {1});
  TVrFileManager files;
  files.SearchFolders.clear();
  files.SetOverrideFolder(dir.path());
  TFolderDiskList disks;
  disks.Add("cd2", 2);
  files.DiscSettings.DiskPrompt = "disc %d";
  files.DiscSettings.QuitText = "quit?";
  TBoxScope scope;
  TTestBoxes& boxes = *scope.Boxes;
  const std::string streamed = ".wav.WMA.ogg.mid";
  // "elsewhere" has no disc for its folder.
  for (const char* name : {"here.png", "", "elsewhere\\x.png", "cd2\\music.OGG", "cd2\\voice.wma"}) {
    EXPECT_EQ(IsFileAvailable(files, disks, streamed, name), std::string(name) == "here.png") << name;
  }
  EXPECT_TRUE(boxes.Shown.empty());

  boxes.Answers = {{TDialogAnswer::Cancel}, {TDialogAnswer::Ok}};  // give up
  EXPECT_FALSE(IsFileAvailable(files, disks, streamed, "cd2\\pic.png"));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"disc 2", "quit?"}));
}

}  // namespace
}  // namespace orba::test
