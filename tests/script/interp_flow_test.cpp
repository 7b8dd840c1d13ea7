// Scripts whose results are known: blocks, loops, calls with arguments and
// results, returns, jumps, waits, variable commands, PCReset and Reset, the
// trace, commands that fail, and the page cache.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

// Pages ("main.osb" is started; "bad.osb" cannot be read) and the log after
// one tick, when every flow has ended.
struct OneTickCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> pages;
  const char* log;
};

class OneTick : public ::testing::TestWithParam<OneTickCase> {};

TEST_P(OneTick, Log) {
  TInterp t;
  for (const auto& [name, listing] : GetParam().pages) t.Put(name, listing);
  t.Pages.Files["bad.osb"] = {0x73};
  t.Cm.Start("main.osb");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus(GetParam().log, RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.Continue, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Interp, OneTick,
    ::testing::Values(
        // Only the first true branch runs; an If without a result is false.
        OneTickCase{"IfElseifElse",
                    {{"main.osb", "If Condition=FALSE\n  Log A\nElseif Condition=FALSE\n  Log B\n"
                                  "Elseif Condition=TRUE\n  Log C\n  Log c\nElse\n  Log D\n"
                                  "If Condition=TRUE\n  Log E\nElse\n  Log F\nIf\n  Log G\n"
                                  "If Condition={1 == 2}\n  Log H\nLog end"}},
                    "CcEend"},
        // Continue goes to the WhileLoop, Break after it; a Break to -1 ends
        // the page.
        OneTickCase{"WhileContinueBreak",
                    {{"main.osb", "VarNew Name=i Type=int\nWhileInit Init={i = 0}\nWhile Condition={i < 10}\n"
                                  "  Calc Expression={i = i + 1}\n  Continue Condition={i == 2}\n"
                                  "  Break Condition={i == 4}\n  Calc Expression={log = log ++ i}\nWhileLoop\n"
                                  "Log E\nBreak Target=-1\nLog never"}},
                    "13E"},
        // PCReset without ClearStack in the main flow is a Jump that keeps
        // the stack: the target page returns to the caller.
        OneTickCase{"PCResetKeepsTheStack",
                    {{"main.osb", "Call sub.osb:0\nLog M"},
                     {"sub.osb", "PCReset PageName=target.osb PC=0\nLog never"},
                     {"target.osb", "Log T"}},
                    "TM"},
        // Jump, Call and PCReset to a page that cannot be read stay behind.
        OneTickCase{"UnreadableTargets",
                    {{"main.osb", "Log a\nJump bad.osb:0\nCall bad.osb:0\nPCReset PageName=bad.osb PC=0\nLog b"}},
                    "ab"}),
    [](const auto& info) { return std::string(info.param.name); });

// A call with three arguments of which the second leaves no result, "@ParamStr"
// past the count, a result delivered into a new variable, Exit, a Jump to
// another page, and the trace lines of the whole run.
TEST(InterpFlow, CallExitJumpAndTrace) {
  TInterp t;
  t.Put("sub.osb", ".result str\nLog skipped\n"
                   "Calc Expression={log = log ++ @ParamStr[0] ++ @ParamStr[1] ++ @ParamCount ++ \"[\" ++ "
                   "@ParamStr[2] ++ @ParamStr[9] ++ \"]\" ++ GetArraySize(@ParamStr)}\n"
                   "Calc Expression={@Result = \"R\"}\nExit Condition=FALSE\nExit\nLog never");
  t.Put("other.osb", "Log no\nLog O");
  t.Start("Call sub.osb:1 ResultVar=r Arguments={\"x\"; ; 1 + 2}\nCalc Expression={log = log ++ r ++ @ParamCount}\n"
          "Jump other.osb:1\nLog never");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("x32[]2R0O", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Var("r"), "R");
  EXPECT_EQ(t.Trace, (std::vector<std::string>{"0000000f : main.osb(1)", "0000000f : sub.osb(3)",
                                               "0000000f : sub.osb(4)", "0000000f : sub.osb(5)",
                                               "0000000f : sub.osb(6)", "0000000f : main.osb(2)",
                                               "0000000f : main.osb(3)", "0000000f : other.osb(2)"}));
}

TEST(InterpFlow, ResultIsConvertedIntoAnExistingVariableAndTextIsKeptExactly) {
  TInterp t;
  t.Put("num.osb", ".result float\nCalc Expression={@Result = 7.9}");
  // A value that would break an assignment written as text.
  t.Put("text.osb", ".result str\nCalc Expression={@Result = \"a\" ++ @ParamCount ++ \" \\\" b\"}");
  // "s" does not exist: a string variable is made.
  t.Start("VarNew Name=n Type=int\nCall num.osb:0 ResultVar=n\nCall text.osb:0 ResultVar=s\nLog done");
  t.Tick();
  ASSERT_EQ(t.Log(), "done");
  const TParamCollectionItem* s = t.Store.Find("s");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::make_tuple(t.Var("n"), int(s->GetParamType()), s->GetAsStr()),
            std::make_tuple(std::string("7"), int(PT_STR), std::string("a0 \" b")));
}

TEST(InterpFlow, WaitCountsFromTheSecondTickAndEndsWithItsCondition) {
  // 100 ms at 15 ms ticks: the first tick is not counted, then 85, 70, 55,
  // 40, 25, 10, -5: the command after it runs in tick 8.
  TInterp t;
  t.Start("Wait Time=100\nLog W");
  EXPECT_EQ(t.TicksUntil("W", 20), 8);

  TInterp u;
  u.Start("VarNew Name=go Type=bool Initial=TRUE\nWait Time=0 Condition={go}\nLog W");
  u.Ticks(5);
  EXPECT_EQ(u.Log(), "");
  u.Store.Find("go")->SetAsFlag(false);
  u.Tick();
  EXPECT_EQ(u.Log(), "W");
}

// A handler's Wait yields every tick, also in the tick in which it ends.
TEST(InterpFlow, WaitInAHandlerYieldsEveryTick) {
  TInterp t;
  t.Put("h.osb", "*go\nWait Time=30\nLog H");
  t.Start("Wait Time=0");
  t.Raise("btn", "h.obj:go");
  t.Tick();  // starts; the first tick is not counted
  EXPECT_EQ(t.Cm.State, RS_YIELDED);
  t.Ticks(2);  // 15 left, then 0 left: the wait is over, but it still yields
  EXPECT_EQ(t.Status(), TStatus("", RS_YIELDED, 1, 1));
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("H", RS_MAIN, 0, 0));
  // Events are taken before the main flow's step.
  ASSERT_GE(t.Trace.size(), 2u);
  EXPECT_EQ(t.Trace[0] + "|" + t.Trace[1], "0000000f : <Event>h.osb(1)|0000000f : h.osb(1)");
}

TEST(InterpFlow, SaveLoadAndTimerCommandsHandOverTheirRequests) {
  TInterp t;
  t.Start("GameSave Slot={1 + 2} OnLoadPage=after.osb OnLoadTarget=4 Caption={\"cap\"}\nGameLoad Slot=5\nTimer\nLog x");
  t.Ticks(3);  // GameSave and GameLoad end the tick
  EXPECT_EQ(t.Host.Requests, (std::vector<std::string>{"save 3 after.osb 4 cap", "load 5"}));
  EXPECT_EQ(std::make_tuple(t.Objects.Timers, t.Log()), std::make_tuple(1, std::string("x")));
}

// VarNew scopes: a status variable keeps its value, an existing variable
// converts to its own type, no initial value is neutral; a local is found
// again in its frame and unseen from a called page, a frame variable is seen
// there. VarDel of what is missing or of a system variable does nothing.
TEST(InterpVars, VarNewScopesAndVarDel) {
  TInterp t;
  t.Put("sub.osb", "VarNew Name=l Type=int Initial=5 Scope=2\nVarNew Name=l Type=int Initial={l + 1} Scope=2\n"
                   "VarNew Name=f Type=int Initial=9 Scope=1\nCalc Expression={log = log ++ l ++ f}\nCall inner.osb:0");
  t.Put("inner.osb", "Calc Expression={log = log ++ \"/\" ++ Exists(\"l\") ++ f}");
  t.Start("VarNew Name=g Type=int Initial=1\nVarNew Name=p Type=str Initial={\"first\"} Scope=3\n"
          "VarNew Name=p Type=str Initial={\"second\"} Scope=3\nVarNew Name=g Type=str Initial={\"7\"}\n"
          "VarNew Name=e Type=float\nCall sub.osb:0\nCalc Expression={log = log ++ \"|\" ++ g ++ p ++ e ++ @ParamCount}\n"
          "Calc Expression={log = log ++ \"|\" ++ Exists(\"l\") ++ Exists(\"f\")}\n"
          "VarNew Name=a Type=int Initial=2\nCalc Expression={a = a * 21}\nCalc Expression={log = log ++ a}\n"
          "VarDel Name=a\nVarDel Name=missing\nVarDel Name=@Result\nCalc Expression={log = log ++ Exists(\"a\")}");
  t.Tick();
  EXPECT_EQ(t.Log(), "69/FALSE9|7first00|FALSEFALSE42FALSE");
  ASSERT_TRUE(t.Store.Find("p") != nullptr && t.Store.Find("@Result") != nullptr);
  EXPECT_EQ(std::make_tuple(int(t.Store.Find("p")->Persistent), int(t.Store.Find("g")->GetParamType())),
            std::make_tuple(1, int(PT_INT)));
}

// PCReset with ClearStack from two nested calls: both end, the target
// starts with an empty stack and event queue.
TEST(InterpVars, PCResetClearStackFromNestedCalls) {
  TInterp t;
  t.Put("main.osb", "Call a.osb:0\nLog never");
  t.Put("a.osb", "VarNew Name=fa Type=int Initial=1 Scope=1\nCall b.osb:0\nLog never");
  t.Put("b.osb", "VarNew Name=fb Type=int Initial=1 Scope=2\nPCReset PageName=target.osb PC=1 ClearStack=1\nLog never");
  t.Put("target.osb", "Log no\nCalc Expression={log = log ++ \"T\" ++ @StackCount ++ Exists(\"fa\") ++ Exists(\"fb\")}");
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
  t.Put("h.osb", "PCReset PageName=target.osb PC=1\nLog h");
  t.Put("target.osb", "Log no\nLog T\nWait Time=0");
  t.Start("Wait Time=0\nLog never");
  t.Tick();
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("hT", RS_MAIN, 0, 0));
  EXPECT_EQ(t.Cm.CurrentPage->Name, "target.osb");
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

// PCReset with ClearStack from a handler drops the handler and the
// interrupted flow, whose command is aborted; the target starts as the main
// flow. The clock reads through the system variables.
TEST(InterpVars, PCResetClearStackFromAHandlerAbortsTheInterruptedCommand) {
  TInterp t;
  t.Put("h.osb", "Calc Expression={log = log ++ @TickCount ++ \"/\" ++ @UpdateCount}\n"
                 "PCReset PageName=target.osb PC=0 ClearStack=1");
  t.Put("target.osb", "Wait Time=0");
  t.Start("");
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
  t.Put("main.osb", "VarNew Name=keep Type=int Initial=3 Scope=3\nVarNew Name=lose Type=int Initial=4\n"
                    "Reset PageName=after.osb PC=1");
  t.Put("after.osb", "Log no\nCalc Expression={log = log ++ keep ++ Exists(\"lose\")}");
  t.Store.Find("log")->Persistent = 1;
  t.Cm.Start("main.osb");
  t.Raise("btn", "nothere.osb:");
  t.Tick();
  EXPECT_EQ(std::make_tuple(t.Log(), t.Objects.Queue.Count(), t.Objects.Resets), std::make_tuple(std::string("3FALSE"), 0, 1));
  EXPECT_EQ(t.Host.Requests, (std::vector<std::string>{"tables", "backlog"}));
}

// Steps that fail: each run must end within the tick (the tests carry a
// time limit through alarm() and a tick count), and the next command must be
// started.

// A command that raises in Execute without moving, counting its calls.
class TRaising final : public TCommand {
 public:
  using TCommand::TCommand;
  int32_t Calls = 0;
  uint8_t GetOpcode() const override { return OP_Calc; }
  void Execute(TCallMan*, TPage*&, int32_t&) override {
    ++Calls;
    throw EOrbaError("failed");
  }
};

// Puts a raising command at the end of a page that is loaded from memory.
TRaising& AddRaising(TCallMan& cm, const std::string& page_name) {
  TPage* page = cm.GetPage(page_name, false);
  auto command = std::make_unique<TRaising>(page);
  command->Continue = 1;
  TRaising& result = *command;
  page->Commands.Add(std::move(command));
  return result;
}

TEST(InterpFaults, CommandThatRaisesAfterMovingStillLetsTheNextStart) {
  // VarNew with an empty name moves on and then raises; the Wait after it
  // must be started, else it would wait for ever with no time set.
  TInterp t;
  t.Start("VarNew Name={} Type=int\nWait Time=30\nLog done");
  EXPECT_EQ(t.TicksUntil("done", 10), 3);
}

TEST(InterpFaults, CommandThatRaisesInPlaceEndsTheTickOfTheMainFlowOrAHandler) {
  TInterp t;
  t.Start("Log a");
  TRaising& bad = AddRaising(t.Cm, "main.osb");
  t.Tick();
  EXPECT_EQ(std::make_tuple(t.Log(), bad.Calls, int(t.Cm.Continue)), std::make_tuple(std::string("a"), 1, 0));
  t.Tick();  // tried again once per tick
  EXPECT_EQ(bad.Calls, 2);

  TInterp u;
  u.Put("h.osb", "Log h");
  u.Start("Wait Time=0");
  TRaising& in_handler = AddRaising(u.Cm, "h.osb");
  u.Raise("btn", "h.osb:");
  u.Tick();
  EXPECT_EQ(std::make_tuple(u.Log(), in_handler.Calls, u.Cm.State), std::make_tuple(std::string("h"), 1, int32_t{RS_HANDLER}));
  u.Tick();
  EXPECT_EQ(in_handler.Calls, 2);
}

TEST(InterpFaults, MissingCurrentPageEndsTheRun) {
  TInterp t;
  t.Cm.CurrentPage = nullptr;
  t.Cm.Continue = 1;
  t.Tick();
  EXPECT_EQ(t.Cm.Continue, 0);
  // Events still run over a main flow without a page.
  t.Put("h.osb", "Log h");
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("h", RS_MAIN, 0, 0));
}

TEST(InterpFaults, TerminateSetsTheQuitFlagAndStays) {
  TInterp t;
  t.Start("Log a\nTerminate\nLog never");
  t.Tick();
  EXPECT_EQ(std::make_tuple(int(QuitFlag), t.Host.Requests, t.Cm.PC), std::make_tuple(1, std::vector<std::string>{"close"}, 1));
  t.Tick();
  EXPECT_EQ(t.Log(), "a");
}

// The page cache: ten pages, least recently used out first, never the page
// being executed; a failed load is not kept.
std::string CacheOrder(TInterp& t, const std::string& load) {
  for (char c : load) t.Cm.GetPage(std::string(1, c) + ".osb", true);
  std::string out;
  for (int32_t i = 0; i < t.Cm.GetCount(); ++i) out += t.Cm.GetItem(i)->Name.substr(0, 1);
  return out;
}

// CacheOrder followed by a number read after the loads: the loads run
// first whatever order the compiler evaluates operands in.
std::string CacheOrderThen(TInterp& t, const std::string& load, const int32_t& after) {
  const std::string order = CacheOrder(t, load);
  return order + std::to_string(after);
}

class PageCache : public ::testing::Test {
 protected:
  void SetUp() override {
    for (char c = 'a'; c <= 'l'; ++c) t.Put(std::string(1, c) + ".osb", "Log x");
  }
  TInterp t;
};

TEST_F(PageCache, ElevenPagesEvictTheLeastRecentlyUsed) {
  EXPECT_EQ(CacheOrder(t, "abcdefghij"), "jihgfedcba");
  EXPECT_EQ(CacheOrderThen(t, "a", t.Pages.Loads), "ajihgfedcb10");  // a cached page moves to the front
  EXPECT_EQ(CacheOrder(t, "k"), "kajihgfedc");
  EXPECT_EQ(CacheOrderThen(t, "b", t.Pages.Loads), "bkajihgfed12");  // loaded again
}

TEST_F(PageCache, TheCurrentPageIsNeverEvicted) {
  t.Cm.Start("a.osb");
  EXPECT_EQ(CacheOrder(t, "bcdefghijk"), "kjihgfedcba");  // eleven: the last one runs
  EXPECT_EQ(t.Cm.CurrentPage->Name, "a.osb");
  EXPECT_EQ(CacheOrder(t, "l").size(), 12u);
  t.Cm.CurrentPage = t.Cm.GetPage("k.osb", true);
  EXPECT_EQ(CacheOrder(t, "ca").size(), 12u);  // cached pages: no eviction
  EXPECT_THROW(t.Cm.GetPage("m.osb", false), EOrbaError);  // missing: nothing changes
  EXPECT_EQ(t.Cm.GetCount(), 12);
}

TEST_F(PageCache, LookupWithoutMovingAppendsAndKeepsOrder) {
  CacheOrder(t, "ab");
  t.Cm.PC = 5;
  t.Cm.GetPage("a.osb", false);
  t.Cm.GetPage("c.osb", false);
  EXPECT_EQ(CacheOrderThen(t, "", t.Cm.PC), "bac5");  // only a move to the front resets PC
  EXPECT_EQ(CacheOrderThen(t, "c", t.Cm.PC), "cba0");
  // Names compare exactly; a page that cannot be read is not kept.
  EXPECT_THROW(t.Cm.GetPage("A.osb", true), EOrbaError);
  t.Pages.Files["bad.osb"] = {0x73, 0, 0, 0};
  EXPECT_THROW(t.Cm.GetPage("bad.osb", true), EReadError);
  EXPECT_EQ(CacheOrder(t, ""), "cba");
}

TEST(InterpFlow, AFlowThatNeverYieldsEndsItsTickAfterTheStepBudget) {
  // A pass is three steps (the label is one): a tick ends after a third of
  // the budget, and the next tick goes on where this one stopped. The time
  // budget is out of the way: a loaded machine must not end the tick first.
  struct TNoTimeBudget {
    TNoTimeBudget() { TCallMan::TimeBudgetMs = 3600 * 1000; }
    ~TNoTimeBudget() { TCallMan::TimeBudgetMs = TCallMan::kRunTimeBudgetMs; }
  } no_time_budget;
  TInterp t;
  t.Start("VarNew Name=n Type=int\n*top\nCalc Expression={n = n + 1}\nJump top");
  t.Tick();
  EXPECT_EQ(t.Var("n"), std::to_string(TCallMan::kRunStepBudget / 3));
  t.Tick();
  EXPECT_EQ(t.Var("n"), std::to_string(TCallMan::kRunStepBudget / 3 * 2));
}

}  // namespace
}  // namespace orba::test
