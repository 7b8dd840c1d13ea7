#include <gtest/gtest.h>

#include <sstream>
#include <tuple>


#include "core/streams/stream_encoding.h"
#include "script/expr_test_env.h"
#include "script/values/param_text.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::RunCase;
using test::ScriptRuns;
using test::TExprEnv;

// Each case runs its statements in a fresh store (assigned names are
// declared with the type of their first value) and compares the text of the
// last statement's result.
TEST_P(ScriptRuns, Result) {
  TExprEnv env;
  EXPECT_EQ(env.Run(GetParam().statements), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Exec, ScriptRuns,
    ::testing::Values(
        RunCase{{"x = 1 + 2 * 3", "x"}, "7"}, RunCase{{"x = 10 - 4 - 3", "x"}, "3"},
        RunCase{{"x = 2 * -3", "x"}, "-6"}, RunCase{{"x = -2 + 5", "x"}, "3"},
        RunCase{{"a = 5"}, "<nil>"}, RunCase{{"a = 5", "a > 3"}, "TRUE"},
        // The temporary's type follows operand 0; the arithmetic follows the destination.
        RunCase{{"a = \"7\"", "b = 1", "a + b"}, "8"}, RunCase{{"a = \"7\"", "b = 1", "b + a"}, "8"},
        RunCase{{"1 + 2.5"}, "3"}, RunCase{{"2.5 + 1"}, "3.5"},
        RunCase{{"7 / 2"}, "3"}, RunCase{{"-7 / 2"}, "-3"}, RunCase{{"-7 % 2"}, "-1"}, RunCase{{"7 % -2"}, "1"},
        RunCase{{"7.0 / 2"}, "3.5"}, RunCase{{"1 << 33"}, "2"}, RunCase{{"-8 >> 1"}, "2147483644"},
        RunCase{{"2147483647 + 1"}, "-2147483648"}, RunCase{{"65536 * 65536"}, "0"},
        RunCase{{"\"abc\" < \"abd\""}, "TRUE"}, RunCase{{"\"ab\" < \"abc\""}, "TRUE"},
        RunCase{{"\"\x82\xa0\" > \"z\""}, "TRUE"},  // bytes compare unsigned
        RunCase{{"i = 10", "s = \"9\"", "i > s"}, "TRUE"}, RunCase{{"i = 10", "s = \"9\"", "s > i"}, "TRUE"},
        RunCase{{"1 < 2 ++ 3"}, "TRUE3"}, RunCase{{"TRUE == 5"}, "TRUE"}, RunCase{{"1.5 == 1.5"}, "TRUE"},
        RunCase{{"1 <> 1"}, "FALSE"}, RunCase{{"(1 == 1) + 1"}, "2"},
        // Division errors end the run: no result.
        RunCase{{"1 / 0"}, "<nil>"}, RunCase{{"5 % 0"}, "<nil>"}, RunCase{{"1.5 / 0"}, "<nil>"},
        RunCase{{"$80000000 / -1"}, "<nil>"}, RunCase{{"$80000000 % -1"}, "<nil>"},
        RunCase{{"x = 1e5", "x"}, "100000"}, RunCase{{"x = 1.5", "x * 2"}, "3"},
        // Array elements through element temporaries.
        RunCase{{"a = 0", "SetArray(a, 2, 3)", "a[1, 2] = 7", "a[1, 2] + a[0, 0]"}, "7"},
        RunCase{{"a = 0", "SetArray(a, 3)", "a[1] = 5", "GetArraySize(a) ++ a[1]"}, "35"},
        RunCase{{"a = 0", "SetArray(a, 3)", "a[3] = 5", "a"}, "0"},
        // A variable that does not exist ends the run.
        RunCase{{"nothere + 1"}, "<nil>"}));

// Appends "dest := value".
void AddAssign(TOrbaParser& parser, const char* dest, int32_t value) {
  TOpeData* op = parser.AddOp();
  op->Op = ocTo;
  op->Dest = dest;
  op->AddInt(value);
}

// An error in the second of three operations keeps the first one's effect
// and skips the third; assigning to an undeclared name is such an error.
TEST(Exec, ErrorEndsTheRunSilently) {
  TExprEnv env;
  env.Declare("x", PT_INT);
  env.Declare("z", PT_INT);
  TOrbaParser parser;
  AddAssign(parser, "x", 1);
  AddAssign(parser, "undeclared", 2);
  AddAssign(parser, "z", 3);
  ExecuteParser(parser, env.funcs);
  EXPECT_EQ(env.Var("x") + "|" + env.Var("z") + "|" + env.Var("undeclared"), "1|0|<none>");
  // Temporaries are gone after the run.
  EXPECT_EQ(env.store.Count(), 53);
}

// Stored operations the compiler never writes: an unknown function id, a
// bad operator code, a property id outside the table, missing operands. Each
// is followed by "after = 1", which runs only when the first one did not end
// the run. "r" holds 5 before.
struct MalformedCase {
  uint8_t op;
  const char* dest;
  uint8_t func;
  std::vector<int32_t> ints;
  const char* after;
  const char* r;
};

class MalformedOps : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedOps, EndTheRunOrDoNothing) {
  const MalformedCase& c = GetParam();
  TExprEnv env;
  env.Declare("r", PT_INT)->SetAsInt(5);
  env.Declare("after", PT_INT);
  TOrbaParser parser;
  TOpeData* op = parser.AddOp();
  op->Op = c.op;
  op->Dest = c.dest;
  op->FuncId = c.func;
  for (int32_t v : c.ints) op->AddInt(v);
  AddAssign(parser, "after", 1);
  ExecuteParser(parser, env.funcs);
  EXPECT_EQ(std::make_tuple(env.Var("after"), env.Var("r"), env.store.Count()),
            std::make_tuple(std::string(c.after), std::string(c.r), 53));
}

INSTANTIATE_TEST_SUITE_P(
    Exec, MalformedOps,
    ::testing::Values(
        // Function 200 into an existing variable does nothing at all ...
        MalformedCase{ocFunc, "r", 200, {}, "1", "5"},
        // ... into a temporary it has no result type: the run ends.
        MalformedCase{ocFunc, "____0", 200, {}, "0", "5"}, MalformedCase{ocFunc, "____0", 255, {}, "0", "5"},
        MalformedCase{ocFunc, "____0", FN_GetProp, {0, -1}, "0", "5"},
        MalformedCase{ocFunc, "____0", FN_GetProp, {0, 165}, "0", "5"},
        MalformedCase{ocFunc, "____0", FN_GetProp, {0}, "0", "5"}, MalformedCase{ocNone, "____0", 0, {}, "0", "5"},
        MalformedCase{21, "____0", 0, {}, "0", "5"}, MalformedCase{ocNone, "r", 0, {}, "1", "5"},
        MalformedCase{ocPlus, "____0", 0, {1}, "0", "5"}, MalformedCase{ocPlus, "r", 0, {}, "0", "5"},
        MalformedCase{ocTo, "r", 0, {}, "0", "5"}, MalformedCase{ocFunc, "____0", FN_Copy, {}, "0", "5"},
        MalformedCase{ocFunc, "r", FN_Abs, {-7, 1, 2}, "1", "7"},
        MalformedCase{ocDimTo, "____d_0", 0, {1}, "0", "5"}, MalformedCase{ocTo, "____ x", 0, {1}, "0", "5"}));

// A run inside a run (Calc) has its own temporaries: the inner "____0" is a
// float however the outer "____0" was typed.
TEST(Exec, NestedRunHasItsOwnTemporaries) {
  TExprEnv env;
  env.Declare("y", PT_FLOAT);
  env.Declare("s", PT_STR)->SetAsStr("y = 1.5 * 2");
  env.Declare("r", PT_STR);
  env.Run({"r = Calc(s) ++ Length(s)"});
  EXPECT_EQ(env.Var("y") + "|" + env.Var("r"), "3|TRUE11");
  EXPECT_EQ(env.store.Count(), 54);
}

// A text that evaluates itself stops at the nesting bound.
TEST(Exec, NestedCalcIsBounded) {
  TExprEnv env;
  env.Declare("n", PT_INT);
  env.Declare("t", PT_STR)->SetAsStr("n = n + 1");
  env.Declare("s", PT_STR)->SetAsStr("Calc(t) ++ Calc(s)");
  EXPECT_EQ(env.Run({"Calc(s)"}), "TRUE");
  EXPECT_EQ(env.Var("n"), IntToText(kMaxCalcDepth - 2));
}

// A function that frees the variable holding its own result (PopVar of a
// snapshot that retypes it) leaves the run sound.
TEST(Exec, ResultVariableFreedByItsFunction) {
  TExprEnv env;
  TParamCollectionItem* pushed = env.Declare("____0", PT_INT);
  pushed->SetAsInt(5);
  env.store.PushVar({"____0"});
  env.store.FreeVar(pushed);
  // PopVar's result temporary "____0" is a flag; the pop replaces it by the
  // integer of the snapshot, which the next operation then reads.
  EXPECT_EQ(env.Run({"x = PopVar()"}), "<nil>");
  EXPECT_EQ(env.Var("x"), "5");
}

// Scripts from an independent evaluator written from the precedence table
// with 32-bit wrapping.
TEST(Exec, AgreesWithReferenceEvaluator) {
  const auto gen = test::RunPython("fixtures/expr_reference.py", {"gen", "6", "3000"});
  ASSERT_EQ(gen.exit_code, 0);
  std::istringstream lines(gen.output);
  std::string line;
  int count = 0, failures = 0;
  TExprEnv env;
  while (std::getline(lines, line)) {
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos);
    const std::string text = line.substr(0, tab), want = line.substr(tab + 1);
    const std::string got = env.Run({text});
    if (got != want && ++failures <= 5) ADD_FAILURE() << text << ": got " << got << ", want " << want;
    ++count;
  }
  EXPECT_EQ(count, 3000);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(env.store.Count(), 51);
}

}  // namespace
}  // namespace orba
