// Variable and run-state commands: VarNew scopes, VarDel, PCReset with and
// without ClearStack, Reset and Calc.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

TEST(InterpVars, VarNewScopes) {
  TInterp t;
  TPageBuilder main;
  main.VarNew("g", PT_INT, "1", 0)
      .VarNew("p", PT_STR, "\"first\"", 3)
      .VarNew("p", PT_STR, "\"second\"", 3)    // a status variable keeps its value
      .VarNew("g", PT_STR, "\"7\"", 0)        // existing: converted to its own type
      .VarNew("e", PT_FLOAT, "", 0)            // no initial value: neutral
      .Call("sub.osb", 0, "", {})
      .Calc("log = log ++ \"|\" ++ g ++ p ++ e ++ @ParamCount")
      .Calc("log = log ++ \"|\" ++ Exists(\"l\") ++ Exists(\"f\")");
  TPageBuilder sub;
  sub.VarNew("l", PT_INT, "5", 2)
      .VarNew("l", PT_INT, "l + 1", 2)   // found among the frame's locals: set again
      .VarNew("f", PT_INT, "9", 1)
      .Calc("log = log ++ l ++ f")
      .Call("inner.osb", 0, "", {});
  TPageBuilder inner;
  // The caller's local is not seen here; its frame variable is.
  inner.Calc("log = log ++ \"/\" ++ Exists(\"l\") ++ f");
  t.Put("main.osb", main);
  t.Put("sub.osb", sub);
  t.Put("inner.osb", inner);
  t.Cm.Start("main.osb");
  t.Tick();
  EXPECT_EQ(t.Log(), "69/FALSE9|7first00|FALSEFALSE");
  const TParamCollectionItem* p = t.Store.Find("p");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Persistent, 1);
  EXPECT_EQ(t.Store.Find("g")->GetParamType(), PT_INT);
}

TEST(InterpVars, VarDelAndCalc) {
  TInterp t;
  TPageBuilder main;
  main.VarNew("a", PT_INT, "2", 0).Calc("a = a * 21").Calc("log = log ++ a").VarDel("a").VarDel("missing").VarDel("@Result")
      .Calc("log = log ++ Exists(\"a\")");
  t.Put("main.osb", main);
  t.Cm.Start("main.osb");
  t.Tick();
  EXPECT_EQ(t.Log(), "42FALSE");
  EXPECT_NE(t.Store.Find("@Result"), nullptr);
}

// PCReset with ClearStack from two nested calls: both end, the interrupted
// commands are aborted, the target starts with an empty stack and queue.
TEST(InterpVars, PCResetClearStackFromNestedCalls) {
  TInterp t;
  TPageBuilder main;
  main.Call("a.osb", 0, "", {}).Log("never");
  TPageBuilder a;
  a.VarNew("fa", PT_INT, "1", 1).Call("b.osb", 0, "", {}).Log("never");
  TPageBuilder b;
  b.VarNew("fb", PT_INT, "1", 2).PCReset("target.osb", 1, true).Log("never");
  TPageBuilder target;
  target.Log("no").Calc("log = log ++ \"T\" ++ @StackCount ++ Exists(\"fa\") ++ Exists(\"fb\")");
  t.Put("main.osb", main);
  t.Put("a.osb", a);
  t.Put("b.osb", b);
  t.Put("target.osb", target);
  t.Cm.Start("main.osb");
  t.Raise("btn", "nothere.osb:");  // an event that would wait for ever
  t.Host.Unavailable.insert("nothere.osb");
  t.Tick();
  EXPECT_EQ(t.Log(), "T0FALSEFALSE");
  EXPECT_EQ(t.Cm.Frames.Count(), 0);
  EXPECT_EQ(t.Objects.Queue.Count(), 0);
}

// PCReset without ClearStack inside a handler: the handler finishes, then
// the interrupted main flow resumes at the new page and index.
TEST(InterpVars, PCResetInAHandlerRedirectsTheInterruptedFlow) {
  TInterp t;
  TPageBuilder main;
  main.Wait("0").Log("never");
  TPageBuilder h;
  h.PCReset("target.osb", 1, false).Log("h");
  TPageBuilder target;
  target.Log("no").Log("T").Wait("0");
  t.Put("main.osb", main);
  t.Put("h.osb", h);
  t.Put("target.osb", target);
  t.Cm.Start("main.osb");
  t.Tick();
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Log(), "hT");
  EXPECT_EQ(t.Cm.CurrentPage->Name, "target.osb");
  EXPECT_EQ(t.Cm.State, RS_MAIN);
}

TEST(InterpVars, PCResetWithoutClearStackInTheMainFlowIsAJump) {
  TInterp t;
  TPageBuilder main;
  main.Call("sub.osb", 0, "", {}).Log("M");
  TPageBuilder sub;
  sub.PCReset("target.osb", 0, false).Log("never");
  TPageBuilder target;
  target.Log("T");
  t.Put("main.osb", main);
  t.Put("sub.osb", sub);
  t.Put("target.osb", target);
  t.Cm.Start("main.osb");
  t.Tick();
  // The stack is kept: the target page returns to the caller.
  EXPECT_EQ(t.Log(), "TM");
}

// PCReset with ClearStack from inside a handler drops the handler and the
// interrupted flow; the target starts as the main flow.
TEST(InterpVars, PCResetClearStackFromAHandler) {
  TInterp t;
  TPageBuilder main;
  main.Wait("0").Log("never");
  TPageBuilder h;
  h.PCReset("target.osb", 0, true).Log("never");
  TPageBuilder target;
  target.Log("T").Wait("0");
  t.Put("main.osb", main);
  t.Put("h.osb", h);
  t.Put("target.osb", target);
  t.Cm.Start("main.osb");
  t.Tick();
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Log(), "T");
  EXPECT_EQ(t.Cm.State, RS_MAIN);
  EXPECT_EQ(t.Cm.Frames.Count(), 0);
  EXPECT_EQ(t.Objects.Queue.Count(), 0);
}

// A command that stays on its place for ever and counts its Abort calls.
class TStaying final : public TCommand {
 public:
  using TCommand::TCommand;
  int32_t Aborts = 0;
  uint8_t GetOpcode() const override { return OP_Wait; }
  void Execute(TCallMan* run_state, TPage*&, int32_t&) override { run_state->Continue = 0; }
  void Abort() override { ++Aborts; }
};

// The main flow's command that a handler interrupted is aborted when the
// handler clears the stack; the clock reads through the system variables.
TEST(InterpVars, PCResetClearStackAbortsTheInterruptedCommand) {
  TInterp t;
  TPageBuilder main;
  t.Put("main.osb", main);
  TPageBuilder h;
  h.Calc("log = log ++ @TickCount ++ \"/\" ++ @UpdateCount").PCReset("target.osb", 0, true);
  TPageBuilder target;
  target.Wait("0");
  t.Put("h.osb", h);
  t.Put("target.osb", target);
  t.Cm.Start("main.osb");
  TPage* page = t.Cm.CurrentPage;
  auto staying = std::make_unique<TStaying>(page);
  TStaying& command = *staying;
  page->Commands.Add(std::move(staying));
  t.Ticks(2);
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(command.Aborts, 1);
  EXPECT_EQ(t.Log(), "45/3");
  EXPECT_EQ(t.Cm.CurrentPage->Name, "target.osb");
  EXPECT_EQ(t.Cm.Frames.Count(), 0);
}

TEST(InterpVars, ResetKeepsPersistentVariablesAndStartsThePage) {
  TInterp t;
  TPageBuilder main;
  main.VarNew("keep", PT_INT, "3", 3).VarNew("lose", PT_INT, "4", 0).Reset("after.osb", 1);
  TPageBuilder after;
  after.Log("no").Calc("log = log ++ keep ++ Exists(\"lose\")");
  t.Put("main.osb", main);
  t.Put("after.osb", after);
  t.Store.Find("log")->Persistent = 1;
  t.Cm.Start("main.osb");
  t.Raise("btn", "nothere.osb:");
  t.Tick();
  EXPECT_EQ(t.Log(), "3FALSE");
  EXPECT_EQ(t.Objects.Queue.Count(), 0);
  EXPECT_EQ(t.Objects.Resets, 1);
  EXPECT_EQ(t.Host.Requests, (std::vector<std::string>{"tables", "backlog"}));
}

}  // namespace
}  // namespace orba::test
