// Events: the script event queue and its stored form, event calls (nesting,
// holding events back, pages that are not available or cannot be read),
// scripted event lines and the trace file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/streams/stream_encoding.h"
#include "interp_env.h"
#include "script/interp/run_loop_events.h"
#include "support/test_support.h"

namespace orba::test {
namespace {

std::string Dump(const TTimerList& q, const TFakeObjects& objects) {
  std::string out;
  for (int32_t i = 0; i < q.Count(); ++i) {
    const TTimerData* e = q.GetItem(i);
    out += e->Label + "/" + objects.GetObjectName(e->Sender) + "/" + std::to_string(e->Code) + "/" +
           std::to_string(e->Level);
    for (const auto& a : e->Args.Items()) out += "/" + a;
    out += ";";
  }
  return out;
}

// Hand-worked stored forms: a freed sender is written as an empty name and
// read back by name; before version 114 the level is one byte. Damaged
// streams leave the queue as it was.
TEST(EventQueue, StoredFormRoundTripOldVersionAndDamage) {
  TFakeObjects o;
  TObjectHandle a = o.Add("a");
  TObjectHandle gone = o.Add("gone");
  TArrayString args;
  args.Add("12");
  o.Queue.QueueEvent(a, "p:x", &args, 36);
  o.Queue.QueueEvent(gone, "q", nullptr, 113);
  o.Queue.SetLevel(*o.Queue.GetItem(1), 3);
  o.Live.erase(gone.Id);  // freed without telling the queue
  TKsMemoryStream s;
  o.Queue.SaveToStream(s);
  EXPECT_EQ(ToHex(s.Bytes()), ToHex(FromHex("02 00 00 00"
                                            "03 00 00 00 70 3a 78  01 00 00 00 61  24  00 00 00 00  01 00 00 00 "
                                            "02 00 00 00 31 32"
                                            "01 00 00 00 71  00 00 00 00  71  03 00 00 00  00 00 00 00")));
  TFakeObjects o2;
  o2.Add("x");
  o2.Add("a");
  o2.Queue.QueueEvent(TObjectHandle{}, "old", nullptr, 1);
  s.SetPosition(0);
  o2.Queue.LoadFromStream(s, 140);
  EXPECT_EQ(Dump(o2.Queue, o2), "p:x/a/36/0/12;q//113/3;");
  EXPECT_EQ(std::make_tuple(o2.Queue.GetItem(0)->Sender, bool(o2.Queue.GetItem(1)->Sender)),
            std::make_tuple(o2.FindObject("a"), false));

  TKsMemoryStream old(FromHex("02 00 00 00  01 00 00 00 70  01 00 00 00 61  24  05  00 00 00 00"
                              "01 00 00 00 71  00 00 00 00  25  00  00 00 00 00"));
  o2.Queue.LoadFromStream(old, 113);
  EXPECT_EQ(Dump(o2.Queue, o2), "p/a/36/1;q//37/0;");

  for (const char* hex : {"", "ff ff ff ff", "ff ff ff 7f",                // no count, negative, beyond the data
                          "01 00 00 00 01 00 00 00 70 00 00 00 00 24",   // ends inside the entry
                          "01 00 00 00 05 00 00 00 70"}) {               // label longer than the data
    TKsMemoryStream bad(FromHex(hex));
    EXPECT_THROW(o2.Queue.LoadFromStream(bad, 140), EReadError) << hex;
    EXPECT_EQ(Dump(o2.Queue, o2), "p/a/36/1;q//37/0;") << hex;
  }
}

// A main flow that waits for ever, so that only the handlers run.
void PutIdleMain(TInterp& t) { t.Start("Wait Time=0"); }

TEST(InterpEvents, YieldedHandlerLetsANestedEventRunAndReturn) {
  TInterp t;
  PutIdleMain(t);
  t.Put("a.osb", "Log a1\nDoEvent\nLog a2");
  t.Put("b.osb", "Calc Expression={log = log ++ @Sender ++ @ParamStr[0]}");
  t.Raise("one", "a.xxx");  // no label: command 0
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("a1", RS_YIELDED, 1, 1));
  EXPECT_EQ(t.Objects.Queue.GetItem(0)->Level, 1u);
  t.Raise("two", "b.osb:nolabel", PR_ONLBTNDOWN, {"7"});
  t.Tick();
  // The nested handler runs and returns, then the yielded one goes on and
  // returns to the main flow, all in this tick.
  EXPECT_EQ(t.Status(), TStatus("a1two7a2", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.NextLevel, 2);
}

TEST(InterpEvents, HoldEventsKeepsHandlersBackUntilTheWaitIsLeft) {
  TInterp t;
  t.Put("h.osb", "Log h");
  t.Start("Wait Time=60 HoldEvents=TRUE\nLog m\nWait Time=0");
  t.Tick();  // the Wait starts and holds
  t.Raise("btn", "h.osb:");
  t.Ticks(3);  // 45, 30, 15 ms left
  EXPECT_EQ(t.Status(), TStatus("", RS_MAIN, 0, 1));
  // The Wait is left; before the main flow's next step the event is taken.
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("hm", RS_MAIN, 0, 0));
}

TEST(InterpEvents, WaitWithoutHoldLetsEventsRunAndResumesWithItsTime) {
  TInterp t;
  t.Put("h.osb", "Log h");
  t.Start("Wait Time=45\nLog m");
  t.Ticks(2);  // not counted, 30 left
  t.Raise("btn", "h.osb:");
  // The handler runs; the Wait's state travels in the frame and comes back,
  // and the Wait takes its step of this tick: 15 left, then 0.
  t.Tick();
  EXPECT_EQ(t.Log(), "h");
  t.Tick();
  EXPECT_EQ(t.Log(), "hm");
}

// An event whose page is not available stays at the head and blocks the
// events behind it.
TEST(InterpEvents, UnavailablePageBlocksTheEventsBehindIt) {
  TInterp t;
  PutIdleMain(t);
  t.Put("x.osb", "Log x");
  t.Put("y.osb", "Log y");
  t.Host.Unavailable.insert("x.osb");
  t.Raise("a", "x.osb:");
  t.Raise("b", "y.osb:");
  t.Ticks(3);
  EXPECT_EQ(t.Status(), TStatus("", RS_MAIN, 0, 2));
  t.Host.Unavailable.clear();
  t.Ticks(2);
  EXPECT_EQ(t.Status(), TStatus("xy", RS_MAIN, 0, 0));
}

// A call from inside a nested handler that returns counts as the nested
// handler's return: its entry is dropped and the rest of it runs as the
// level-1 handler's step. A handler that calls a page keeps running.
TEST(InterpEvents, CallsInsideHandlers) {
  TInterp t;
  PutIdleMain(t);
  t.Put("a.osb", "DoEvent\nLog a");
  t.Put("b.osb", "Call sub.osb:0 Arguments={@Sender}\nLog b");
  t.Put("sub.osb", "Calc Expression={log = log ++ \"s\" ++ @ParamStr[0]}");
  t.Raise("one", "a.osb:");
  t.Tick();
  t.Raise("two", "b.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("stwoba", RS_MAIN, 0, 0));
  t.Raise("three", "b.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("stwobasthreeb", RS_MAIN, 0, 0));
}

TEST(InterpEvents, FreedSenderReadsEmptyAndItsWaitingEventsGo) {
  TInterp t;
  PutIdleMain(t);
  t.Put("h.osb", "Calc Expression={log = log ++ \"[\" ++ @Sender ++ \"]\"}\nDoEvent\n"
                 "Calc Expression={log = log ++ \"[\" ++ @Sender ++ \"]\"}");
  TObjectHandle btn = t.Raise("btn", "h.osb:");
  t.Tick();
  t.Raise("btn", "h.osb:");  // waits behind the running one
  t.Objects.Free(btn);       // the running entry stays, the waiting one goes
  EXPECT_EQ(t.Objects.Queue.Count(), 1);
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("[btn][]", RS_MAIN, 0, 0));
}

// A handler page that exists but cannot be read: the event is dropped and
// the flow goes on.
TEST(InterpEvents, UnreadableHandlerPageDropsTheEvent) {
  TInterp t;
  t.Put("h.osb", "Log h");
  t.Pages.Files["bad.osb"] = {0x73, 0, 0, 0, 1};  // version 115, then the data ends
  t.Start("Log m1 Continue=0\nLog m2 Continue=0");
  t.Raise("a", "bad.osb:");
  t.Raise("b", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("m1", RS_MAIN, 0, 1));
  EXPECT_EQ(t.Cm.PC, 1);
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("m1hm2", RS_MAIN, 0, 0));
}

// Returning to a page that can no longer be read ends that flow instead of
// escaping the run loop; the handler's level is still left.
TEST(InterpEvents, UnreadablePageOnReturnEndsThatFlow) {
  TInterp t;
  t.Put("sub.osb", "Log s");
  t.Pages.Files["gone.osb"] = {0x73, 0, 0, 0};
  t.Cm.Start("sub.osb");
  TStack& frame = t.Cm.Frames.Push();
  frame.PageName = "gone.osb";
  frame.PC = 3;
  frame.Continue = 1;
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("s", RS_MAIN, 0, 0));
  EXPECT_EQ(std::make_tuple(t.Cm.CurrentPage, int(t.Cm.Continue)), std::make_tuple(nullptr, 0));
  // Later ticks still take events.
  t.Put("h.osb", "Log h");
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Log(), "sh");
}

TEST(ScriptedEvents, LinesAreReadOrRefused) {
  const TScriptedEvents events =
      TScriptedEvents::Parse("tick 1: event a.osb:x\r\n\n  # note\ntick 3: event b.osb - 40\ntick 3: event c.osb s 72 1 2\n");
  ASSERT_EQ(events.Count(), 3u);
  TStandaloneObjects objects;
  events.QueueDue(3, objects);
  const TTimerList& q = *objects.EventQueue();
  ASSERT_EQ(q.Count(), 2);
  EXPECT_EQ(std::make_tuple(q.GetItem(0)->Label, bool(q.GetItem(0)->Sender), int(q.GetItem(0)->Code),
                            objects.GetObjectName(q.GetItem(1)->Sender), q.GetItem(1)->Args.Items()),
            std::make_tuple(std::string("b.osb"), false, 40, std::string("s"), std::vector<std::string>{"1", "2"}));
  for (const char* bad : {"tick: event a", "tick 0: event a", "tick 1 event a", "tick 1: click a", "tick 1: event",
                          "tick 1: event a s 300", "tock 1: event a"}) {
    try {
      TScriptedEvents::Parse(std::string("\n") + bad);
      ADD_FAILURE() << bad;
    } catch (const EEventScriptError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, 7), "line 2:");
    }
  }
}

TEST(ScriptTrace, EnvironmentVariableNamesTheTraceFile) {
  TempDir dir;
  ASSERT_EQ(setenv("ORBA_SCRIPT_LOG", (dir / "log.txt").c_str(), 1), 0);
  EXPECT_TRUE(InstallScriptLoggerFromEnvironment());
  ScriptLogWrite(FormatEventTrace(0x1234abcd, "p.osb", 7));
  SetScriptLogger(TScriptLogger());
  unsetenv("ORBA_SCRIPT_LOG");
  EXPECT_FALSE(InstallScriptLoggerFromEnvironment());
  EXPECT_FALSE(ScriptLoggerLoaded());
  EXPECT_EQ(ReadFileBytes(dir / "log.txt"), Bytes("1234abcd : <Event>p.osb(7)\n"));
}

}  // namespace
}  // namespace orba::test
