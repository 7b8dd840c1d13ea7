// Scripts of flow-control commands whose results are known: blocks, loops,
// calls with arguments and results, returns, jumps, waits and the trace.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

TEST(InterpFlow, IfElseifElseRunsOnlyTheFirstTrueBranch) {
  TInterp t;
  TPageBuilder p;
  p.If("FALSE").Nest(1).Log("A").Nest(0)
      .Elseif("FALSE").Nest(1).Log("B").Nest(0)
      .Elseif("TRUE").Nest(1).Log("C").Log("c").Nest(0)
      .Else().Nest(1).Log("D").Nest(0)
      .If("TRUE").Nest(1).Log("E").Nest(0)
      .Else().Nest(1).Log("F").Nest(0)
      .If("").Nest(1).Log("G").Nest(0)       // no result: false
      .If("1 == 2").Nest(1).Log("H").Nest(0)  // no Elseif or Else: goes on after the body
      .Log("end");
  t.Start(p);
  t.Tick();
  EXPECT_EQ(t.Log(), "CcEend");
}

TEST(InterpFlow, WhileWithContinueAndBreak) {
  TInterp t;
  TPageBuilder p;
  p.VarNew("i", PT_INT, "", 0)                       // 0
      .WhileInit("i = 0")                            // 1
      .While("i < 10", 8).Nest(1)                    // 2
      .Calc("i = i + 1")                             // 3
      .Continue("i == 2", 7)                         // 4: to the WhileLoop
      .Break("i == 4", 8)                            // 5
      .Calc("log = log ++ i")                        // 6
      .Nest(0).WhileLoop("", 2)                      // 7
      .Log("E")                                      // 8
      .Break("TRUE", -1)                             // 9: ends the page
      .Log("never");
  t.Start(p);
  t.Tick();
  EXPECT_EQ(t.Log(), "13E");
  EXPECT_EQ(t.Cm.Continue, 0);
}

// "@ParamStr" at and past the argument count reads as "" while its count
// stays the argument count.
TEST(InterpFlow, ParamStrPastTheCountIsEmpty) {
  TInterp t;
  TPageBuilder sub;
  sub.Log("skipped")  // the call lands after line 1
      .Calc("log = log ++ @ParamStr[1] ++ \"[\" ++ @ParamStr[2] ++ @ParamStr[9] ++ \"]\"")
      .Calc("log = log ++ GetArraySize(@ParamStr)");
  t.Put("sub.osb", sub);
  t.Start(TPageBuilder().Call("sub.osb", 1, "r", {"\"a\"", "\"b\""}));
  t.Tick();
  EXPECT_EQ(t.Log(), "b[]2");
}

// A call with three arguments of which the second leaves no result, a
// result delivered into a new variable, Exit, a Jump to another page, and
// the trace lines of the whole run.
TEST(InterpFlow, CallExitJumpAndTrace) {
  TInterp t;
  TPageBuilder main;
  main.Call("sub.osb", 1, "r", {"\"x\"", "", "1 + 2"})   // 1
      .Calc("log = log ++ r ++ @ParamCount")           // 2
      .Jump("other.osb", 1)                             // 3
      .Log("never");
  TPageBuilder sub(PT_STR);
  sub.Log("skipped")                                              // 1
      .Calc("log = log ++ @ParamStr[0] ++ @ParamStr[1] ++ @ParamCount")  // 2
      .Calc("@Result = \"R\"")                                    // 3
      .Exit("FALSE")                                              // 4
      .Exit()                                                     // 5
      .Log("never");
  t.Put("sub.osb", sub);
  t.Put("other.osb", TPageBuilder().Log("no").Log("O"));
  t.Start(main);
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("x32R0O", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Var("r"), "R");
  const std::vector<std::string> expected = {
      "0000000f : main.osb(1)", "0000000f : sub.osb(2)",   "0000000f : sub.osb(3)",
      "0000000f : sub.osb(4)",  "0000000f : sub.osb(5)",   "0000000f : main.osb(2)",
      "0000000f : main.osb(3)", "0000000f : other.osb(2)",
  };
  EXPECT_EQ(t.Trace, expected);
}

TEST(InterpFlow, ResultIsConvertedIntoAnExistingVariableAndTextIsKeptExactly) {
  TInterp t;
  TPageBuilder main;
  main.VarNew("n", PT_INT, "", 0)
      .Call("num.osb", 0, "n", {})
      .Call("text.osb", 0, "s", {})  // "s" does not exist: a string variable is made
      .Log("done");
  TPageBuilder text(PT_STR);
  // A value that would break an assignment written as text.
  text.Calc("@Result = \"a\" ++ @ParamCount ++ \" \\\" b\"");
  t.Put("num.osb", TPageBuilder(PT_FLOAT).Calc("@Result = 7.9"));
  t.Put("text.osb", text);
  t.Start(main);
  t.Tick();
  ASSERT_EQ(t.Log(), "done");
  EXPECT_EQ(t.Var("n"), "7");
  const TParamCollectionItem* s = t.Store.Find("s");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::make_tuple(int(s->GetParamType()), s->GetAsStr()), std::make_tuple(int(PT_STR), std::string("a0 \" b")));
}

// Wait 100 at 15 ms ticks: the first tick is not counted, then 85, 70, 55,
// 40, 25, 10, -5: the command after it runs in tick 8.
TEST(InterpFlow, WaitCountsFromTheSecondTick) {
  TInterp t;
  t.Start(TPageBuilder().Wait("100").Log("W"));
  EXPECT_EQ(t.TicksUntil("W", 20), 8);
}

TEST(InterpFlow, WaitEndsWhenItsConditionTurnsFalse) {
  TInterp t;
  t.Start(TPageBuilder().VarNew("go", PT_BOOL, "TRUE", 0).Wait("0", "go").Log("W"));
  t.Ticks(5);
  EXPECT_EQ(t.Log(), "");
  t.Store.Find("go")->SetAsFlag(false);
  t.Tick();
  EXPECT_EQ(t.Log(), "W");
}

// A handler's Wait yields every tick, also in the tick in which it ends.
TEST(InterpFlow, WaitInAHandlerYieldsEveryTick) {
  TInterp t;
  TPageBuilder main;
  main.Wait("0");
  t.Put("h.osb", TPageBuilder().Label("go").Wait("30").Log("H"));
  t.Start(main);
  t.Raise("btn", "h.obj:go");
  t.Tick();  // starts; the first tick is not counted
  EXPECT_EQ(t.Cm.State, RS_YIELDED);
  t.Tick();  // 15 left
  t.Tick();  // 0 left: the wait is over, but it still yields
  EXPECT_EQ(t.Status(), TStatus("", RS_YIELDED, 1, 1));
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("H", RS_MAIN, 0, 0));
  // Events are taken before the main flow's step.
  ASSERT_GE(t.Trace.size(), 2u);
  EXPECT_EQ(t.Trace[0] + "|" + t.Trace[1], "0000000f : <Event>h.osb(1)|0000000f : h.osb(1)");
}

TEST(InterpFlow, SaveLoadAndTimerCommandsHandOverTheirRequests) {
  TInterp t;
  TPageBuilder p;
  auto& save = p.Add<TComGameSave>(OP_GameSave);
  Compile(save.Slot, "1 + 2");
  save.OnLoadPage = "after.osb";
  save.OnLoadTarget = 4;
  Compile(save.Caption, "\"cap\"");
  Compile(p.Add<TComGameLoad>(OP_GameLoad).Slot, "5");
  p.Add<TComTimer>(OP_Timer);
  p.Log("x");
  t.Start(p);
  t.Ticks(3);  // GameSave and GameLoad end the tick
  EXPECT_EQ(t.Host.Requests, (std::vector<std::string>{"save 3 after.osb 4 cap", "load 5"}));
  EXPECT_EQ(std::make_tuple(t.Objects.Timers, t.Log()), std::make_tuple(1, std::string("x")));

}

}  // namespace
}  // namespace orba::test
