// Compiled statements run over a variable store: operators, errors that end
// a run, stored operations the compiler never writes, nested runs, scripts
// from an independent evaluator, and the built-in function library.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "core/streams/stream_encoding.h"
#include "script/expr_test_env.h"
#include "script/functions/script_random.h"
#include "script/values/param_text.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ScriptRuns;
using test::TExprEnv;
using FuncCase = test::RunCase;

// Each case runs its statements in a fresh store (assigned names are
// declared with the type of their first value) and compares the text of the
// last statement's result.
TEST_P(ScriptRuns, Result) {
  TExprEnv env;
  EXPECT_EQ(env.Run(GetParam().statements), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Exec, ScriptRuns,
    ::testing::ValuesIn(std::vector<FuncCase>{
        {{"x = 1 + 2 * 3", "x"}, "7"}, {{"x = 10 - 4 - 3", "x"}, "3"}, {{"x = 2 * -3", "x"}, "-6"},
        {{"x = -2 + 5", "x"}, "3"}, {{"a = 5"}, "<nil>"}, {{"a = 5", "a > 3"}, "TRUE"},
        // The temporary's type follows operand 0; the arithmetic follows the destination.
        {{"a = \"7\"", "b = 1", "a + b"}, "8"}, {{"a = \"7\"", "b = 1", "b + a"}, "8"}, {{"1 + 2.5"}, "3"},
        {{"2.5 + 1"}, "3.5"}, {{"7 / 2"}, "3"}, {{"-7 / 2"}, "-3"}, {{"-7 % 2"}, "-1"}, {{"7 % -2"}, "1"},
        {{"7.0 / 2"}, "3.5"}, {{"1 << 33"}, "2"}, {{"-8 >> 1"}, "2147483644"}, {{"2147483647 + 1"}, "-2147483648"},
        {{"65536 * 65536"}, "0"}, {{"\"abc\" < \"abd\""}, "TRUE"}, {{"\"ab\" < \"abc\""}, "TRUE"},
        {{"\"\x82\xa0\" > \"z\""}, "TRUE"},  // bytes compare unsigned
        {{"i = 10", "s = \"9\"", "i > s"}, "TRUE"}, {{"i = 10", "s = \"9\"", "s > i"}, "TRUE"},
        {{"1 < 2 ++ 3"}, "TRUE3"}, {{"TRUE == 5"}, "TRUE"}, {{"1.5 == 1.5"}, "TRUE"}, {{"1 <> 1"}, "FALSE"},
        {{"s = \"ab\"", "(s == \"ab\") ++ (s == \"aB\")"}, "TRUEFALSE"}, {{"(1 == 1) + 1"}, "2"},
        // Division errors end the run: no result.
        {{"1 / 0"}, "<nil>"}, {{"5 % 0"}, "<nil>"}, {{"1.5 / 0"}, "<nil>"}, {{"$80000000 / -1"}, "<nil>"},
        {{"$80000000 % -1"}, "<nil>"},
        // A string literal stays a string whatever it holds.
        {{"s = \"12\"", "GetVarType(s)"}, "4"}, {{"x = 1e5", "x"}, "100000"}, {{"x = 1.5", "x * 2"}, "3"},
        // Array elements through element temporaries.
        {{"a = 0", "SetArray(a, 2, 3)", "a[1, 2] = 7", "a[1, 2] + a[0, 0]"}, "7"},
        {{"a = 0", "SetArray(a, 3)", "a[1] = 5", "GetArraySize(a) ++ a[1]"}, "35"},
        {{"a = 0", "SetArray(a, 3)", "a[3] = 5", "a"}, "0"},
        // A variable that does not exist ends the run.
        {{"nothere + 1"}, "<nil>"}}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.statements.empty() ? std::string() : info.param.statements.front()); });

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
        MalformedCase{ocDimTo, "____d_0", 0, {1}, "0", "5"}, MalformedCase{ocTo, "____ x", 0, {1}, "0", "5"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.dest); });

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
  std::string line, ours;
  TExprEnv env;
  while (std::getline(lines, line)) {
    const std::string text = line.substr(0, line.find('\t'));
    ours += text + "\t" + env.Run({text}) + "\n";
  }
  EXPECT_EQ(std::count(ours.begin(), ours.end(), '\n'), 3000);
  EXPECT_EQ(ours, gen.output);
  EXPECT_EQ(env.store.Count(), 51);  // no temporaries are left
}

// Text functions.
INSTANTIATE_TEST_SUITE_P(
    Text, ScriptRuns,
    ::testing::ValuesIn(std::vector<FuncCase>{
        {{"IntToStr(-5, \"3\")"}, "-005"}, {{"IntToStr(12345, \"3\")"}, "12345"}, {{"IntToStr(7)"}, "7"},
        {{"IntToStr(7, \"x\")"}, "<nil>"}, {{"IntToStr(7, \"\")"}, "<nil>"},
        {{"IntToStr($80000000, \"12\")"}, "-002147483648"}, {{"Length(IntToStr(1, \"99999999999999\"))"}, "255"},
        {{"IntToHex(255, 4)"}, "00FF"}, {{"IntToHex(-1, 2)"}, "FFFFFFFF"}, {{"IntToHex(0, 0)"}, "0"},
        {{"Length(IntToHex(1, 100000))"}, "255"}, {{"Length(\"a\x82\xa0\")"}, "3"}, {{"JLength(\"a\x82\xa0\")"}, "2"},
        {{"Copy(\"abcdef\", 0, 2)"}, "ab"}, {{"Copy(\"abc\", 5)"}, ""}, {{"Copy(\"abcdef\", 3)"}, "cdef"},
        {{"Copy(\"abc\", 2, -1)"}, ""}, {{"Copy(\"abc\", 2, 2147483647)"}, "bc"},
        {{"JCopy(\"\x82\xa0\x82\xa2\x82\xa4\", 2)"}, "\x82\xa2\x82\xa4"},
        {{"s = \"abcdef\"", "Delete(s, 2) ++ \"|\" ++ s"}, "|a"},
        {{"s = \"abcdef\"", "Delete(s, 2, 2) ++ s"}, "adef"}, {{"s = \"abc\"", "Delete(s, 0, 2) ++ s"}, "abc"},
        {{"s = \"\x82\xa0\x82\xa2\x82\xa4\"", "JDelete(s, 2, 1) ++ s"}, "\x82\xa0\x82\xa4"},
        {{"s = \"ab\"", "Insert(\"X\", s, 1) ++ s"}, "Xab"}, {{"s = \"ab\"", "Insert(\"X\", s, 9) ++ s"}, "abX"},
        {{"Insert(\"X\", \"ab\", 1)"}, ""},
        {{"s = \"\x82\xa0\x82\xa2\"", "JInsert(\"X\", s, 2) ++ s"}, "\x82\xa0X\x82\xa2"},
        {{"CompareStr(\"abc\", \"abd\")"}, "-1"}, {{"CompareStr(\"ab\", \"abc\")"}, "-1"},
        {{"CompareStr(\"b\", \"\x82\xa0\")"}, "-32"}, {{"CompareText(\"ABC\", \"abc\")"}, "0"},
        {{"CompareText(\"b\", \"A\")"}, "1"}, {{"Pos(\"cd\", \"abcdcd\")"}, "3"}, {{"Pos(\"\", \"abc\")"}, "0"},
        {{"JPos(\"b\", \"\x82\xa0" "b\")"}, "2"}, {{"Trim(Chr(9) ++ \" a b \" ++ Chr(0))"}, "a b"},
        {{"JTrim(\"\x81\x40 a \x81\x40\")"}, "a"}, {{"FixStr(\"a\" ++ Chr(130))"}, "a"},
        {{"FixStr(\"\x82\xa0\")"}, "\x82\xa0"}, {{"FixStr(Chr(130))"}, "\x82"},
        {{"FixStr(\"\x82\xa0\" ++ Chr(130))"}, "\x82\xa0"}, {{"LowerCase(\"AbC\x82\x60\")"}, "abc\x82\x60"},
        {{"UpperCase(\"ab\x83\x61\")"}, "AB\x83\x61"}, {{"ExtractFilePath(\"c:\\\\d\\\\f.txt\")"}, "c:\\d\\"},
        {{"ExtractFilePath(\"f.txt\")"}, ""}, {{"ExtractFileName(\"c:\\\\d\\\\f.txt\")"}, "f.txt"},
        {{"ExtractFileName(\"c:f\")"}, "f"}, {{"ExtractFileName(\"\x83\\\")"}, "\x83\\"},  // trail byte 0x5C is no delimiter
        {{"ExtractFileExt(\"a.b\\\\c\")"}, ""}, {{"ExtractFileExt(\"a\\\\b.c.txt\")"}, ".txt"},
        {{"ChangeFileExt(\"a\\\\b.txt\", \".dat\")"}, "a\\b.dat"},
        {{"ChangeFileExt(\"a\\\\b\", \".dat\")"}, "a\\b.dat"}, {{"IsPathDelimiter(\"a\\\\\", 2)"}, "TRUE"},
        {{"IsPathDelimiter(\"\x83\\\", 2)"}, "FALSE"}, {{"IsPathDelimiter(\"a\", 5)"}, "FALSE"},
        {{"AddBackSlash(\"\")"}, "\\"}, {{"AddBackSlash(\"a\\\\\")"}, "a\\"},
        {{"AddBackSlash(\"\x83\\\")"}, "\x83\\\\"}, {{"IsDelimiter(\",;\", \"a;b\", 2)"}, "TRUE"},
        {{"IsDelimiter(\",;\", \"a;b\", 1)"}, "FALSE"}, {{"IsDelimiter(\"\\\\\", \"\x83\\\", 2)"}, "FALSE"},
        {{"IsDelimiter(\",\", \"a\", 0)"}, "FALSE"}, {{"StringOfChar(\"ab\", 3)"}, "ababab"},
        {{"StringOfChar(\"ab\", -1)"}, ""}, // Texts end at 16 MiB: a longer result fails the expression.
        {{"Length(StringOfChar(\"ab\", 8388608))"}, "16777216"}, {{"Length(StringOfChar(\"ab\", 8388609))"}, "<nil>"},
        {{"s = StringOfChar(\"a\", 16777216)", "Length(s ++ \"\")"}, "16777216"},
        {{"s = StringOfChar(\"a\", 16777216)", "Length(s ++ \"b\")"}, "<nil>"},
        {{"s = StringOfChar(\"a\", 16777215)", "Length(StringReplace(s, \"a\", \"bb\", TRUE))"}, "<nil>"},
        {{"StringReplace(\"aXbXc\", \"X\", \"--\")"}, "a--bXc"},
        {{"StringReplace(\"aXbXc\", \"X\", \"--\", TRUE)"}, "a--b--c"},
        {{"StringReplace(\"axbXc\", \"X\", \"X\", TRUE, TRUE)"}, "aXbXc"},
        {{"StringReplace(\"aaa\", \"a\", \"aa\", TRUE)"}, "aaaaaa"},
        {{"StringReplace(\"abc\", \"\", \"x\", TRUE)"}, "abc"}, {{"HanToZen(\"A\")"}, "\x82\x60"},
        {{"ZenToHan(\"\x82\x60\")"}, "A"}, {{"AddDelimiter(\",\", \"\")"}, ""},
        {{"AddDelimiter(\",\", \"a\")"}, "a,"}, {{"StrToIntDef(\"12x\", 5)"}, "5"},
        {{"StrToIntDef(\" $1F\", 5)"}, "31"}, {{"StrToFloatDef(\"1.5\", 0)"}, "1.5"},
        {{"StrToFloatDef(\"1.5.\", 2.5)"}, "2.5"}, {{"Chr(321)"}, "A"}, {{"Length(Chr(0))"}, "1"},
        {{"Ord(\"\")"}, "0"}, {{"Ord(\"\x82\xa0\")"}, "130"}}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.statements.empty() ? std::string() : info.param.statements.front()); });

// Number, random and date functions.
INSTANTIATE_TEST_SUITE_P(
    Number, ScriptRuns,
    ::testing::ValuesIn(std::vector<FuncCase>{
        {{"Not(TRUE)"}, "FALSE"}, {{"Not(0)"}, "TRUE"}, {{"Int(-2.7)"}, "-2"}, {{"Int(\"3.7\")"}, "3"},
        {{"Abs(\"3.7\")"}, "0"}, {{"Int(4294967297.5)"}, "1"}, {{"Int(1e30)"}, "<nil>"}, {{"Float(3)"}, "3"},
        {{"Sin(0)"}, "0"}, {{"Cos(0)"}, "1"}, {{"Sin(1e19)"}, "0"}, {{"Int(Tan(0.5) * 1000)"}, "546"},
        {{"Int(ArcSin(1) * 1000)"}, "1570"}, {{"Int(ArcCos(0) * 1000)"}, "1570"}, {{"ArcSin(2)"}, "<nil>"},
        {{"ArcCos(1.5)"}, "<nil>"}, {{"Int(ArcTan(1) * 1000)"}, "785"}, {{"Int(ArcTan2(1, -1) * 1000)"}, "2356"},
        {{"ArcTan2(0, 0)"}, "0"}, {{"Hypot(3, 4)"}, "5"}, {{"Abs(-5)"}, "5"}, {{"Abs($80000000)"}, "-2147483648"},
        {{"Abs(-2147483648)"}, "-2147483648"}, {{"Fabs(0.0 - 1.5)"}, "1.5"}, {{"Min(3, -4)"}, "-4"},
        {{"Max(3, -4)"}, "3"}, {{"Fmin(1.5, 2)"}, "1.5"}, {{"Fmax(1.5, 2)"}, "2"}, {{"Random(1)"}, "0"},
        {{"Random(0)"}, "0"}, {{"EncodeDate(1899, 12, 30)"}, "0"}, {{"EncodeDate(2000, 2, 29)"}, "36585"},
        {{"EncodeDate(1900, 2, 29)"}, "<nil>"}, {{"EncodeDate(0, 1, 1)"}, "<nil>"},
        {{"EncodeDate(2000, 13, 1)"}, "<nil>"}, {{"EncodeDate(1, 1, 1)"}, "-693593"},
        {{"EncodeTime(12, 0, 0)"}, "0.5"}, {{"EncodeTime(24, 0, 0)"}, "<nil>"}, {{"EncodeTime(0, 60, 0)"}, "<nil>"},
        {{"EncodeTime(0, 0, -1)"}, "<nil>"},
        {{"y = 0", "m = 0", "d = 0", "DecodeDate(36526.75, y, m, d) ++ y ++ m ++ d"}, "0200011"},
        {{"h = 0", "m = 0", "s = 0", "DecodeTime(0.75 + 1.0 / 86400, h, m, s) ++ h ++ m ++ s"}, "01801"},
        {{"DecodeDate(0, 1, 2, 3)"}, "0"}, {{"GetYear(-693594.25)"}, "0"}, {{"GetWeek(0.0)"}, "7"},
        {{"GetWeekStr(0.0)"}, "Saturday"}, {{"GetWeekStr(1.5)"}, "Sunday"}, {{"GetWeekJStr(0.0)"}, "\x93y"},
        {{"GetWeekStr(-693595)"}, ""}, {{"GetHour(0.75)"}, "18"}, {{"GetMonth(36585)"}, "2"},
        {{"GetDay(36585)"}, "29"}, {{"GetMin(0.5 + 61.0 / 86400)"}, "1"}, {{"GetSec(0.5 + 61.0 / 86400)"}, "1"},
        {{"GetYear(1e300)"}, "<nil>"}}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.statements.empty() ? std::string() : info.param.statements.front()); });

// Array, variable and evaluation functions; many cases fill "a" from a list
// and show the count "x" and the elements.
const std::string k123 = "StringToArray(\"1,2,3\", a, \",\")";
const std::string k12345 = "StringToArray(\"1,2,3,4,5\", a, \",\")";
const std::string kShow = "x ++ \"|\" ++ ArrayToString(a, \",\")";
INSTANTIATE_TEST_SUITE_P(
    Array, ScriptRuns,
    ::testing::ValuesIn(std::vector<FuncCase>{
        {{"a = 0", "SetArray(a, 3, 4)",
                  "GetArraySize(a) ++ \"|\" ++ GetArraySize(a, 0) ++ GetArraySize(a, 1) ++ GetArraySize(a, 2) ++ "
                  "GetArraySize(a, -2147483648)"},
                 "12|4311"},
        {{"GetArraySize(5)"}, "<nil>"}, {{"x = 9", "x = GetArraySize(5)", "x"}, "9"},
        {{"a = 0", "SetArray(a, 0)", "GetArraySize(a)"}, "1"}, {{"SetArray(3, 2)"}, "<nil>"},
        {{"FillMem(3, 2)"}, "<nil>"}, {{"a = 0", "CopyMem(a, 2)"}, "<nil>"},
        {{"a = 0", "SetArray(a, 3)", "FillMem(a, \"12\")", "ArrayToString(a, \",\")"}, "12,12,12"},
        {{"a = \"\"", "SetArray(a, 2)", "FillMem(a, 1.5)", "ArrayToString(a, \",\")"}, "1.5,1.5"},
        {{"a = 1.5", "SetArray(a, 2)", "FillMem(a, \"2.5\")", "ArrayToString(a, \",\")"}, "2.5,2.5"},
        {{"a = 0", "b = 0", "SetArray(b, 2, 2)", "b[1, 1] = 4", "CopyMem(a, b)",
                  "GetArraySize(a, 1) ++ a[1, 1]"},
                 "24"},
        {{"a = 0", "b = \"x\"", "x = 1", "x = CopyMem(a, b) + 5", "x"}, "1"},
        {{"a = \"\"", "b = 0", "SetArray(b, 3)", "b[2] = 7", "x = CopyArray(a, b)", "x ++ ArrayToString(a, \",\")"},
                 "TRUE0,0,7"},
        {{"a = 0", "SetArray(a, 2)", "AddArray(a, 7) ++ \"|\" ++ a[2]"}, "3|7"},
        {{"a = 0", "b = 0", "SetArray(a, 2)", "SetArray(b, 2, 2)", "AddArray(a, b)"}, "2"},
        {{"a = 0", "SetArray(a, 2)", "b = \"5\"", "x = InsertArray(a, 99, b)", kShow}, "3|0,0,5"},
        {{"a = 0", k123, "x = InsertArray(a, -4, 9)", kShow}, "4|9,1,2,3"},
        // A source that is the destination itself gives its old elements.
        {{"a = 0", k123, "x = AddArray(a, a)", kShow}, "6|1,2,3,1,2,3"},
        {{"a = 0", k123, "x = InsertArray(a, 1, a)", kShow}, "6|1,1,2,3,2,3"},
        {{"a = 0", k12345, "x = DeleteArray(a, 1, 10)", kShow}, "1|1"},
        {{"a = 0", k12345, "DeleteArray(a, 0, 5)"}, "<nil>"},
        {{"a = 0", k12345, "x = DeleteArray(a, 0, 5)", "GetArraySize(a)"}, "5"},
        {{"a = 0", k123, "x = DeleteArray(a, 1, -1)", kShow}, "3|1,2,3"},
        {{"a = 0", k123, "x = DeleteArray(a, 9, 1)", kShow}, "2|1,2"},
        {{"a = \"\"", "StringToArray(\"a,,b\", a, \",\")", "GetArraySize(a) ++ ArrayToString(a, \"|\")"},
                 "3a||b"},
        {{"a = \"\"", "StringToArray(\"a,b,\", a, \",\")", "GetArraySize(a)"}, "2"},
        {{"a = \"\"", "StringToArray(\"a;b,c\", a, \",;\")", "GetArraySize(a)"}, "3"},
        {{"a = \"\"", "StringToArray(\"a\\nb\" ++ Chr(13) ++ \"c\" ++ Chr(10) ++ Chr(10) ++ \"d\\n\", a)",
                  "ArrayToString(a, \"|\")"},
                 "a|b|c||d"},
        {{"a = \"\"", "StringToArray(\"a\" ++ Chr(0) ++ \"b\", a)", "ArrayToString(a, \"|\")"}, "a"},
        {{"a = 5", "SetArray(a, 3)", "StringToArray(\"\", a)", "GetArraySize(a) ++ a"}, "10"},
        {{"a = \"\"", "StringToArray(\"x,y,z\", a, \",\")", "ArrayToString(a)"}, "x\r\ny\r\nz"},
        {{"a = \"\"", "StringToArray(\"a,B,c\", a, \",\")", "IndexOfStr(a, \"b\")"}, "-1"},
        {{"a = \"\"", "StringToArray(\"a,B,c\", a, \",\")", "IndexOfStr(a, \"b\", FALSE)"}, "1"},
        {{"a = \"\"", "StringToArray(\"ax,Bxy,c\", a, \",\")", "IndexOfStr(a, \"xy\", TRUE, TRUE)"}, "1"},
        {{"a = \"\"", "StringToArray(\"b,A,a\", a, \",\")", "SortStr(a)", "a[2]"}, "b"},
        {{"a = 0", "StringToArray(\"9,10,1\", a, \",\")", "SortStr(a)", "ArrayToString(a, \",\")"}, "1,10,9"},
        {{"x = 1", "VarExists(\"X\") ++ VarExists(\"y\")"}, "TRUEFALSE"}, {{"GetVarType(1.5)"}, "2"},
        {{"s = \"\"", "GetVarType(s) ++ GetVarType(TRUE)"}, "43"},
        {{"x = 4", "AssignTemp(\"x\") ++ AssignTemp(\"nothere\") ++ AssignTemp(\"\") ++ @Temp"},
                 "TRUEFALSEFALSE4"},
        {{"x = 4", "PushVar(\"x\", \"nothere\")", "x = 8", "PopVar() ++ x"}, "TRUE4"}, {{"PopVar()"}, "TRUE"},
        {{"DeleteStack(0)"}, "FALSE"}, {{"x = 0", "Calc(\"x = 3\") ++ x"}, "TRUE3"}, {{"Calc(\"x = \")"}, ""},
        {{"Calc(\"  \")"}, ""}, {{"Calc(\"nothere = 1\")"}, "TRUE"}, {{"Calc(\"1 + 2\")"}, "TRUE"}}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.statements.empty() ? std::string() : info.param.statements.front()); });

// Functions of the other families answer their initial values without
// their subsystems.
INSTANTIATE_TEST_SUITE_P(
    Unserved, ScriptRuns,
    ::testing::Values(FuncCase{{"FileExists(\"a\")"}, "FALSE"}, FuncCase{{"DBRecordCount()"}, "0"},
                      FuncCase{{"GetSaveCaption(1)"}, ""}, FuncCase{{"GetProp(\"\", 3)"}, "0"},
                      FuncCase{{"GetProp(\"\", 0)"}, ""}, FuncCase{{"GetProp(\"\", -1)"}, "<nil>"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.statements.empty() ? std::string() : info.param.statements.front()); });

TEST(SysFunc, RandomSharesTheSeed) {
  TExprEnv env;
  RandSeed = 0;
  EXPECT_EQ(env.Run({"Random(100)"}), "0");
  EXPECT_EQ(RandSeed, 1u);
  EXPECT_EQ(env.Run({"Random(100)"}), IntToText(static_cast<int32_t>((uint64_t{134775814} * 100) >> 32)));
  EXPECT_EQ(SeedFromTimeOfDay(1, 2, 3, 4), 3723004u);
}

// A service registered for a family receives its calls.
TEST(SysFunc, ServicesReceiveTheirFamilies) {
  struct TCount : TSysFuncService {
    int calls = 0;
    void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) override {
      ++calls;
      result.SetAsInt(static_cast<int32_t>(id * 100 + args.size()));
    }
  } files, tables, objects;
  struct TStack : TCallStackService {
    int removed = -1;
    int32_t FrameCount() override { return 3; }
    void RemoveFrame(int32_t index) override { removed = index; }
  } stack;
  TExprEnv env;
  env.funcs.SetFileService(&files);
  env.funcs.SetTableService(&tables);
  env.funcs.SetObjectService(&objects);
  env.funcs.SetCallStack(&stack);
  EXPECT_EQ(env.Run({"CopyFile(\"a\", \"b\")"}), "TRUE");
  EXPECT_EQ(env.Run({"DBGetInt(\"f\")"}), "9301");
  EXPECT_EQ(env.Run({"ToClientX(\"o\", 1)"}), "3302");
  EXPECT_EQ(files.calls + tables.calls + objects.calls, 3);
  TParamCollectionItem* local = env.Declare("l", PT_INT);
  local->FrameId = 2;
  TParamCollectionItem* frame1 = env.Declare("m", PT_INT);
  frame1->FrameId = 1;
  EXPECT_EQ(env.Run({"DeleteStack(1)"}), "TRUE");
  EXPECT_EQ(stack.removed, 1);
  EXPECT_EQ(env.Var("m"), "<none>");
  EXPECT_EQ(env.store.Find("l")->FrameId, 1);
  EXPECT_EQ(env.Run({"DeleteStack(3)"}), "FALSE");
}

}  // namespace
}  // namespace orba
