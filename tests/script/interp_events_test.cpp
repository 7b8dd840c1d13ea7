// Event calls: nesting, holding events back, pages that are not available,
// calls inside nested handlers, and pages that cannot be read.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

// A main flow that waits for ever, so that only the handlers run.
void PutIdleMain(TInterp& t) {
  t.Start(TPageBuilder().Wait("0"));
}

TEST(InterpEvents, YieldedHandlerLetsANestedEventRunAndReturn) {
  TInterp t;
  PutIdleMain(t);
  t.Put("a.osb", TPageBuilder().Log("a1").DoEvent().Log("a2"));
  t.Put("b.osb", TPageBuilder().Calc("log = log ++ @Sender ++ @ParamStr[0]"));
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
  TPageBuilder main;
  main.Wait("60", "", "TRUE").Log("m").Wait("0");
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Start(main);
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
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Start(TPageBuilder().Wait("45").Log("m"));
  t.Ticks(2);  // not counted, 30 left
  t.Raise("btn", "h.osb:");
  // The handler runs; the Wait's state travels in the frame and comes back,
  // and the Wait takes its step of this tick: 15 left.
  t.Tick();
  EXPECT_EQ(t.Log(), "h");
  t.Tick();  // 0 left
  EXPECT_EQ(t.Log(), "hm");
}

// An event whose page is not available stays at the head and blocks the
// events behind it.
TEST(InterpEvents, UnavailablePageBlocksTheEventsBehindIt) {
  TInterp t;
  PutIdleMain(t);
  t.Put("x.osb", TPageBuilder().Log("x"));
  t.Put("y.osb", TPageBuilder().Log("y"));
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
// level-1 handler's step.
TEST(InterpEvents, CallInsideANestedHandler) {
  TInterp t;
  PutIdleMain(t);
  t.Put("a.osb", TPageBuilder().DoEvent().Log("a"));
  t.Put("b.osb", TPageBuilder().Call("sub.osb", 0, "", {}).Log("b"));
  t.Put("sub.osb", TPageBuilder().Log("s"));
  t.Raise("one", "a.osb:");
  t.Tick();
  t.Raise("two", "b.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("sba", RS_MAIN, 0, 0));
}

TEST(InterpEvents, AHandlerThatCallsAPageKeepsRunning) {
  TInterp t;
  PutIdleMain(t);
  t.Put("h.osb", TPageBuilder().Call("sub.osb", 0, "", {"@Sender"}).Log("h"));
  t.Put("sub.osb", TPageBuilder().Calc("log = log ++ @ParamStr[0]"));
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("btnh", RS_MAIN, 0, 0));
}

TEST(InterpEvents, FreedSenderReadsEmptyAndItsWaitingEventsGo) {
  TInterp t;
  PutIdleMain(t);
  TPageBuilder h;
  h.Calc("log = log ++ \"[\" ++ @Sender ++ \"]\"").DoEvent().Calc("log = log ++ \"[\" ++ @Sender ++ \"]\"");
  t.Put("h.osb", h);
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
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Pages.Files["bad.osb"] = {0x73, 0, 0, 0, 1};  // version 115, then the data ends
  t.Start(TPageBuilder().Log("m1", 0).Log("m2", 0));
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
  t.Put("sub.osb", TPageBuilder().Log("s"));
  t.Pages.Files["gone.osb"] = {0x73, 0, 0, 0};
  t.Cm.Start("sub.osb");
  TStack& frame = t.Cm.Frames.Push();
  frame.PageName = "gone.osb";
  frame.PC = 3;
  frame.Continue = 1;
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("s", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.CurrentPage, nullptr);
  EXPECT_EQ(t.Cm.Continue, 0);

  // Later ticks still take events.
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Log(), "sh");
}

}  // namespace
}  // namespace orba::test
