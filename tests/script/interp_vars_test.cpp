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
  t.Put("sub.osb", sub);
  t.Put("inner.osb", inner);
  t.Start(main);
  t.Tick();
  EXPECT_EQ(t.Log(), "69/FALSE9|7first00|FALSEFALSE");
  ASSERT_NE(t.Store.Find("p"), nullptr);
  EXPECT_EQ(std::make_tuple(int(t.Store.Find("p")->Persistent), int(t.Store.Find("g")->GetParamType())),
            std::make_tuple(1, int(PT_INT)));

}

TEST(InterpVars, VarDelAndCalc) {
  TInterp t;
  TPageBuilder main;
  main.VarNew("a", PT_INT, "2", 0).Calc("a = a * 21").Calc("log = log ++ a").VarDel("a").VarDel("missing").VarDel("@Result")
      .Calc("log = log ++ Exists(\"a\")");
  t.Start(main);
  t.Tick();
  EXPECT_EQ(t.Log(), "42FALSE");
  EXPECT_NE(t.Store.Find("@Result"), nullptr);
}

// PCReset with ClearStack from two nested calls: both end, the interrupted
// commands are aborted, the target starts with an empty stack and queue.
TEST(InterpVars, PCResetClearStackFromNestedCalls) {
  TInterp t;
  t.Put("main.osb", TPageBuilder().Call("a.osb", 0, "", {}).Log("never"));
  t.Put("a.osb", TPageBuilder().VarNew("fa", PT_INT, "1", 1).Call("b.osb", 0, "", {}).Log("never"));
  t.Put("b.osb", TPageBuilder().VarNew("fb", PT_INT, "1", 2).PCReset("target.osb", 1, true).Log("never"));
  t.Put("target.osb",
        TPageBuilder().Log("no").Calc("log = log ++ \"T\" ++ @StackCount ++ Exists(\"fa\") ++ Exists(\"fb\")"));
  t.Cm.Start("main.osb");
  t.Raise("btn", "nothere.osb:");  // an event that would wait for ever
  t.Host.Unavailable.insert("nothere.osb");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("T0FALSEFALSE", RS_MAIN, 0, 0));
}

// PCReset without ClearStack inside a handler: the handler finishes, then
// the interrupted main flow resumes at the new page and index.
TEST(InterpVars, PCResetInAHandlerRedirectsTheInterruptedFlow) {
  TInterp t;
  t.Put("h.osb", TPageBuilder().PCReset("target.osb", 1, false).Log("h"));
  t.Put("target.osb", TPageBuilder().Log("no").Log("T").Wait("0"));
  t.Start(TPageBuilder().Wait("0").Log("never"));
  t.Tick();
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("hT", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.CurrentPage->Name, "target.osb");
}

TEST(InterpVars, PCResetWithoutClearStackInTheMainFlowIsAJump) {
  TInterp t;
  t.Put("sub.osb", TPageBuilder().PCReset("target.osb", 0, false).Log("never"));
  t.Put("target.osb", TPageBuilder().Log("T"));
  t.Start(TPageBuilder().Call("sub.osb", 0, "", {}).Log("M"));
  t.Tick();
  // The stack is kept: the target page returns to the caller.
  EXPECT_EQ(t.Log(), "TM");
}

// PCReset with ClearStack from inside a handler drops the handler and the
// interrupted flow; the target starts as the main flow.
TEST(InterpVars, PCResetClearStackFromAHandler) {
  TInterp t;
  t.Put("h.osb", TPageBuilder().PCReset("target.osb", 0, true).Log("never"));
  t.Put("target.osb", TPageBuilder().Log("T").Wait("0"));
  t.Start(TPageBuilder().Wait("0").Log("never"));
  t.Tick();
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("T", RS_MAIN, 0, 0));
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
  t.Put("h.osb", TPageBuilder().Calc("log = log ++ @TickCount ++ \"/\" ++ @UpdateCount").PCReset("target.osb", 0, true));
  t.Put("target.osb", TPageBuilder().Wait("0"));
  t.Start(TPageBuilder());
  TPage* page = t.Cm.CurrentPage;
  auto staying = std::make_unique<TStaying>(page);
  TStaying& command = *staying;
  page->Commands.Add(std::move(staying));
  t.Ticks(2);
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(command.Aborts, 1);
  EXPECT_EQ(t.Status(), TStatus("45/3", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.CurrentPage->Name, "target.osb");
}

TEST(InterpVars, ResetKeepsPersistentVariablesAndStartsThePage) {
  TInterp t;
  t.Put("main.osb", TPageBuilder().VarNew("keep", PT_INT, "3", 3).VarNew("lose", PT_INT, "4", 0).Reset("after.osb", 1));
  t.Put("after.osb", TPageBuilder().Log("no").Calc("log = log ++ keep ++ Exists(\"lose\")"));
  t.Store.Find("log")->Persistent = 1;
  t.Cm.Start("main.osb");
  t.Raise("btn", "nothere.osb:");
  t.Tick();
  EXPECT_EQ(std::make_tuple(t.Log(), t.Objects.Queue.Count(), t.Objects.Resets), std::make_tuple(std::string("3FALSE"), 0, 1));
  EXPECT_EQ(t.Host.Requests, (std::vector<std::string>{"tables", "backlog"}));
}

}  // namespace
}  // namespace orba::test
