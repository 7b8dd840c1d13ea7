#include <gtest/gtest.h>

#include <map>

#include "script/expr_test_env.h"
#include "script/functions/script_random.h"
#include "script/values/param_text.h"

namespace orba {
namespace {

using test::ScriptRuns;
using test::TExprEnv;
using FuncCase = test::RunCase;

// Text functions.
INSTANTIATE_TEST_SUITE_P(
    Text, ScriptRuns,
    ::testing::Values(
        FuncCase{{"IntToStr(-5, \"3\")"}, "-005"}, FuncCase{{"IntToStr(12345, \"3\")"}, "12345"},
        FuncCase{{"IntToStr(7)"}, "7"}, FuncCase{{"IntToStr(7, \"x\")"}, "<nil>"},
        FuncCase{{"IntToStr(7, \"\")"}, "<nil>"}, FuncCase{{"IntToStr($80000000, \"12\")"}, "-002147483648"},
        FuncCase{{"Length(IntToStr(1, \"99999999999999\"))"}, "255"},
        FuncCase{{"IntToHex(255, 4)"}, "00FF"}, FuncCase{{"IntToHex(-1, 2)"}, "FFFFFFFF"},
        FuncCase{{"IntToHex(0, 0)"}, "0"}, FuncCase{{"Length(IntToHex(1, 100000))"}, "255"},
        FuncCase{{"Length(\"a\x82\xa0\")"}, "3"}, FuncCase{{"JLength(\"a\x82\xa0\")"}, "2"},
        FuncCase{{"Copy(\"abcdef\", 0, 2)"}, "ab"}, FuncCase{{"Copy(\"abc\", 5)"}, ""},
        FuncCase{{"Copy(\"abcdef\", 3)"}, "cdef"}, FuncCase{{"Copy(\"abc\", 2, -1)"}, ""},
        FuncCase{{"Copy(\"abc\", 2, 2147483647)"}, "bc"},
        FuncCase{{"JCopy(\"\x82\xa0\x82\xa2\x82\xa4\", 2)"}, "\x82\xa2\x82\xa4"},
        FuncCase{{"s = \"abcdef\"", "Delete(s, 2) ++ \"|\" ++ s"}, "|a"},
        FuncCase{{"s = \"abcdef\"", "Delete(s, 2, 2) ++ s"}, "adef"},
        FuncCase{{"s = \"abc\"", "Delete(s, 0, 2) ++ s"}, "abc"},
        FuncCase{{"s = \"\x82\xa0\x82\xa2\x82\xa4\"", "JDelete(s, 2, 1) ++ s"}, "\x82\xa0\x82\xa4"},
        FuncCase{{"s = \"ab\"", "Insert(\"X\", s, 1) ++ s"}, "Xab"},
        FuncCase{{"s = \"ab\"", "Insert(\"X\", s, 9) ++ s"}, "abX"},
        FuncCase{{"Insert(\"X\", \"ab\", 1)"}, ""},
        FuncCase{{"s = \"\x82\xa0\x82\xa2\"", "JInsert(\"X\", s, 2) ++ s"}, "\x82\xa0X\x82\xa2"},
        FuncCase{{"CompareStr(\"abc\", \"abd\")"}, "-1"}, FuncCase{{"CompareStr(\"ab\", \"abc\")"}, "-1"},
        FuncCase{{"CompareStr(\"b\", \"\x82\xa0\")"}, "-32"}, FuncCase{{"CompareText(\"ABC\", \"abc\")"}, "0"},
        FuncCase{{"CompareText(\"b\", \"A\")"}, "1"}, FuncCase{{"Pos(\"cd\", \"abcdcd\")"}, "3"},
        FuncCase{{"Pos(\"\", \"abc\")"}, "0"}, FuncCase{{"JPos(\"b\", \"\x82\xa0" "b\")"}, "2"},
        FuncCase{{"Trim(Chr(9) ++ \" a b \" ++ Chr(0))"}, "a b"},
        FuncCase{{"JTrim(\"\x81\x40 a \x81\x40\")"}, "a"},
        FuncCase{{"FixStr(\"a\" ++ Chr(130))"}, "a"}, FuncCase{{"FixStr(\"\x82\xa0\")"}, "\x82\xa0"},
        FuncCase{{"FixStr(Chr(130))"}, "\x82"}, FuncCase{{"FixStr(\"\x82\xa0\" ++ Chr(130))"}, "\x82\xa0"},
        FuncCase{{"LowerCase(\"AbC\x82\x60\")"}, "abc\x82\x60"}, FuncCase{{"UpperCase(\"ab\x83\x61\")"}, "AB\x83\x61"},
        FuncCase{{"ExtractFilePath(\"c:\\\\d\\\\f.txt\")"}, "c:\\d\\"}, FuncCase{{"ExtractFilePath(\"f.txt\")"}, ""},
        FuncCase{{"ExtractFileName(\"c:\\\\d\\\\f.txt\")"}, "f.txt"}, FuncCase{{"ExtractFileName(\"c:f\")"}, "f"},
        FuncCase{{"ExtractFileName(\"\x83\\\")"}, "\x83\\"},  // trail byte 0x5C is no delimiter
        FuncCase{{"ExtractFileExt(\"a.b\\\\c\")"}, ""}, FuncCase{{"ExtractFileExt(\"a\\\\b.c.txt\")"}, ".txt"},
        FuncCase{{"ChangeFileExt(\"a\\\\b.txt\", \".dat\")"}, "a\\b.dat"},
        FuncCase{{"ChangeFileExt(\"a\\\\b\", \".dat\")"}, "a\\b.dat"},
        FuncCase{{"IsPathDelimiter(\"a\\\\\", 2)"}, "TRUE"}, FuncCase{{"IsPathDelimiter(\"\x83\\\", 2)"}, "FALSE"},
        FuncCase{{"IsPathDelimiter(\"a\", 5)"}, "FALSE"}, FuncCase{{"AddBackSlash(\"\")"}, "\\"},
        FuncCase{{"AddBackSlash(\"a\\\\\")"}, "a\\"}, FuncCase{{"AddBackSlash(\"\x83\\\")"}, "\x83\\\\"},
        FuncCase{{"IsDelimiter(\",;\", \"a;b\", 2)"}, "TRUE"}, FuncCase{{"IsDelimiter(\",;\", \"a;b\", 1)"}, "FALSE"},
        FuncCase{{"IsDelimiter(\"\\\\\", \"\x83\\\", 2)"}, "FALSE"}, FuncCase{{"IsDelimiter(\",\", \"a\", 0)"}, "FALSE"},
        FuncCase{{"StringOfChar(\"ab\", 3)"}, "ababab"}, FuncCase{{"StringOfChar(\"ab\", -1)"}, ""},
        // Texts end at 16 MiB: a longer result fails the expression.
        FuncCase{{"Length(StringOfChar(\"ab\", 8388608))"}, "16777216"},
        FuncCase{{"Length(StringOfChar(\"ab\", 8388609))"}, "<nil>"},
        FuncCase{{"s = StringOfChar(\"a\", 16777216)", "Length(s ++ \"\")"}, "16777216"},
        FuncCase{{"s = StringOfChar(\"a\", 16777216)", "Length(s ++ \"b\")"}, "<nil>"},
        FuncCase{{"s = StringOfChar(\"a\", 16777215)", "Length(StringReplace(s, \"a\", \"bb\", TRUE))"}, "<nil>"},
        FuncCase{{"StringReplace(\"aXbXc\", \"X\", \"--\")"}, "a--bXc"},
        FuncCase{{"StringReplace(\"aXbXc\", \"X\", \"--\", TRUE)"}, "a--b--c"},
        FuncCase{{"StringReplace(\"axbXc\", \"X\", \"X\", TRUE, TRUE)"}, "aXbXc"},
        FuncCase{{"StringReplace(\"aaa\", \"a\", \"aa\", TRUE)"}, "aaaaaa"},
        FuncCase{{"StringReplace(\"abc\", \"\", \"x\", TRUE)"}, "abc"},
        FuncCase{{"HanToZen(\"A\")"}, "\x82\x60"}, FuncCase{{"ZenToHan(\"\x82\x60\")"}, "A"},
        FuncCase{{"AddDelimiter(\",\", \"\")"}, ""}, FuncCase{{"AddDelimiter(\",\", \"a\")"}, "a,"},
        FuncCase{{"StrToIntDef(\"12x\", 5)"}, "5"}, FuncCase{{"StrToIntDef(\" $1F\", 5)"}, "31"},
        FuncCase{{"StrToFloatDef(\"1.5\", 0)"}, "1.5"}, FuncCase{{"StrToFloatDef(\"1.5.\", 2.5)"}, "2.5"},
        FuncCase{{"Chr(321)"}, "A"}, FuncCase{{"Length(Chr(0))"}, "1"}, FuncCase{{"Ord(\"\")"}, "0"},
        FuncCase{{"Ord(\"\x82\xa0\")"}, "130"}));

// Number, random and date functions.
INSTANTIATE_TEST_SUITE_P(
    Number, ScriptRuns,
    ::testing::Values(
        FuncCase{{"Not(TRUE)"}, "FALSE"}, FuncCase{{"Not(0)"}, "TRUE"},
        FuncCase{{"Int(-2.7)"}, "-2"}, FuncCase{{"Int(\"3.7\")"}, "3"}, FuncCase{{"Abs(\"3.7\")"}, "0"},
        FuncCase{{"Int(4294967297.5)"}, "1"}, FuncCase{{"Int(1e30)"}, "<nil>"},
        FuncCase{{"Float(3)"}, "3"}, FuncCase{{"Sin(0)"}, "0"}, FuncCase{{"Cos(0)"}, "1"},
        FuncCase{{"Sin(1e19)"}, "0"}, FuncCase{{"Int(Tan(0.5) * 1000)"}, "546"},
        FuncCase{{"Int(ArcSin(1) * 1000)"}, "1570"}, FuncCase{{"Int(ArcCos(0) * 1000)"}, "1570"},
        FuncCase{{"ArcSin(2)"}, "<nil>"}, FuncCase{{"ArcCos(1.5)"}, "<nil>"},
        FuncCase{{"Int(ArcTan(1) * 1000)"}, "785"}, FuncCase{{"Int(ArcTan2(1, -1) * 1000)"}, "2356"},
        FuncCase{{"ArcTan2(0, 0)"}, "0"}, FuncCase{{"Hypot(3, 4)"}, "5"},
        FuncCase{{"Abs(-5)"}, "5"}, FuncCase{{"Abs($80000000)"}, "-2147483648"},
        FuncCase{{"Abs(-2147483648)"}, "-2147483648"}, FuncCase{{"Fabs(0.0 - 1.5)"}, "1.5"},
        FuncCase{{"Min(3, -4)"}, "-4"}, FuncCase{{"Max(3, -4)"}, "3"}, FuncCase{{"Fmin(1.5, 2)"}, "1.5"},
        FuncCase{{"Fmax(1.5, 2)"}, "2"}, FuncCase{{"Random(1)"}, "0"}, FuncCase{{"Random(0)"}, "0"},
        FuncCase{{"EncodeDate(1899, 12, 30)"}, "0"}, FuncCase{{"EncodeDate(2000, 2, 29)"}, "36585"},
        FuncCase{{"EncodeDate(1900, 2, 29)"}, "<nil>"}, FuncCase{{"EncodeDate(0, 1, 1)"}, "<nil>"},
        FuncCase{{"EncodeDate(2000, 13, 1)"}, "<nil>"}, FuncCase{{"EncodeDate(1, 1, 1)"}, "-693593"},
        FuncCase{{"EncodeTime(12, 0, 0)"}, "0.5"}, FuncCase{{"EncodeTime(24, 0, 0)"}, "<nil>"},
        FuncCase{{"EncodeTime(0, 60, 0)"}, "<nil>"}, FuncCase{{"EncodeTime(0, 0, -1)"}, "<nil>"},
        FuncCase{{"y = 0", "m = 0", "d = 0", "DecodeDate(36526.75, y, m, d) ++ y ++ m ++ d"}, "0200011"},
        FuncCase{{"h = 0", "m = 0", "s = 0", "DecodeTime(0.75 + 1.0 / 86400, h, m, s) ++ h ++ m ++ s"}, "01801"},
        FuncCase{{"DecodeDate(0, 1, 2, 3)"}, "0"}, FuncCase{{"GetYear(-693594.25)"}, "0"},
        FuncCase{{"GetWeek(0.0)"}, "7"}, FuncCase{{"GetWeekStr(0.0)"}, "Saturday"},
        FuncCase{{"GetWeekStr(1.5)"}, "Sunday"}, FuncCase{{"GetWeekJStr(0.0)"}, "\x93y"},
        FuncCase{{"GetWeekStr(-693595)"}, ""}, FuncCase{{"GetHour(0.75)"}, "18"},
        FuncCase{{"GetMonth(36585)"}, "2"}, FuncCase{{"GetDay(36585)"}, "29"},
        FuncCase{{"GetMin(0.5 + 61.0 / 86400)"}, "1"}, FuncCase{{"GetSec(0.5 + 61.0 / 86400)"}, "1"},
        FuncCase{{"GetYear(1e300)"}, "<nil>"}));

// Array, variable and evaluation functions; many cases fill "a" from a list
// and show the count "x" and the elements.
const std::string k123 = "StringToArray(\"1,2,3\", a, \",\")";
const std::string k12345 = "StringToArray(\"1,2,3,4,5\", a, \",\")";
const std::string kShow = "x ++ \"|\" ++ ArrayToString(a, \",\")";
INSTANTIATE_TEST_SUITE_P(
    Array, ScriptRuns,
    ::testing::Values(
        FuncCase{{"a = 0", "SetArray(a, 3, 4)",
                  "GetArraySize(a) ++ \"|\" ++ GetArraySize(a, 0) ++ GetArraySize(a, 1) ++ GetArraySize(a, 2) ++ "
                  "GetArraySize(a, -2147483648)"},
                 "12|4311"},
        FuncCase{{"GetArraySize(5)"}, "<nil>"}, FuncCase{{"x = 9", "x = GetArraySize(5)", "x"}, "9"},
        FuncCase{{"a = 0", "SetArray(a, 0)", "GetArraySize(a)"}, "1"},
        FuncCase{{"SetArray(3, 2)"}, "<nil>"}, FuncCase{{"FillMem(3, 2)"}, "<nil>"},
        FuncCase{{"a = 0", "CopyMem(a, 2)"}, "<nil>"},
        FuncCase{{"a = 0", "SetArray(a, 3)", "FillMem(a, \"12\")", "ArrayToString(a, \",\")"}, "12,12,12"},
        FuncCase{{"a = \"\"", "SetArray(a, 2)", "FillMem(a, 1.5)", "ArrayToString(a, \",\")"}, "1.5,1.5"},
        FuncCase{{"a = 1.5", "SetArray(a, 2)", "FillMem(a, \"2.5\")", "ArrayToString(a, \",\")"}, "2.5,2.5"},
        FuncCase{{"a = 0", "b = 0", "SetArray(b, 2, 2)", "b[1, 1] = 4", "CopyMem(a, b)",
                  "GetArraySize(a, 1) ++ a[1, 1]"},
                 "24"},
        FuncCase{{"a = 0", "b = \"x\"", "x = 1", "x = CopyMem(a, b) + 5", "x"}, "1"},
        FuncCase{{"a = \"\"", "b = 0", "SetArray(b, 3)", "b[2] = 7", "x = CopyArray(a, b)", "x ++ ArrayToString(a, \",\")"},
                 "TRUE0,0,7"},
        FuncCase{{"a = 0", "SetArray(a, 2)", "AddArray(a, 7) ++ \"|\" ++ a[2]"}, "3|7"},
        FuncCase{{"a = 0", "b = 0", "SetArray(a, 2)", "SetArray(b, 2, 2)", "AddArray(a, b)"}, "2"},
        FuncCase{{"a = 0", "SetArray(a, 2)", "b = \"5\"", "x = InsertArray(a, 99, b)", kShow}, "3|0,0,5"},
        FuncCase{{"a = 0", k123, "x = InsertArray(a, -4, 9)", kShow}, "4|9,1,2,3"},
        // A source that is the destination itself gives its old elements.
        FuncCase{{"a = 0", k123, "x = AddArray(a, a)", kShow}, "6|1,2,3,1,2,3"},
        FuncCase{{"a = 0", k123, "x = InsertArray(a, 1, a)", kShow}, "6|1,1,2,3,2,3"},
        FuncCase{{"a = 0", k12345, "x = DeleteArray(a, 1, 10)", kShow}, "1|1"},
        FuncCase{{"a = 0", k12345, "DeleteArray(a, 0, 5)"}, "<nil>"},
        FuncCase{{"a = 0", k12345, "x = DeleteArray(a, 0, 5)", "GetArraySize(a)"}, "5"},
        FuncCase{{"a = 0", k123, "x = DeleteArray(a, 1, -1)", kShow}, "3|1,2,3"},
        FuncCase{{"a = 0", k123, "x = DeleteArray(a, 9, 1)", kShow}, "2|1,2"},
        FuncCase{{"a = \"\"", "StringToArray(\"a,,b\", a, \",\")", "GetArraySize(a) ++ ArrayToString(a, \"|\")"},
                 "3a||b"},
        FuncCase{{"a = \"\"", "StringToArray(\"a,b,\", a, \",\")", "GetArraySize(a)"}, "2"},
        FuncCase{{"a = \"\"", "StringToArray(\"a;b,c\", a, \",;\")", "GetArraySize(a)"}, "3"},
        FuncCase{{"a = \"\"", "StringToArray(\"a\\nb\" ++ Chr(13) ++ \"c\" ++ Chr(10) ++ Chr(10) ++ \"d\\n\", a)",
                  "ArrayToString(a, \"|\")"},
                 "a|b|c||d"},
        FuncCase{{"a = \"\"", "StringToArray(\"a\" ++ Chr(0) ++ \"b\", a)", "ArrayToString(a, \"|\")"}, "a"},
        FuncCase{{"a = 5", "SetArray(a, 3)", "StringToArray(\"\", a)", "GetArraySize(a) ++ a"}, "10"},
        FuncCase{{"a = \"\"", "StringToArray(\"x,y,z\", a, \",\")", "ArrayToString(a)"}, "x\r\ny\r\nz"},
        FuncCase{{"a = \"\"", "StringToArray(\"a,B,c\", a, \",\")", "IndexOfStr(a, \"b\")"}, "-1"},
        FuncCase{{"a = \"\"", "StringToArray(\"a,B,c\", a, \",\")", "IndexOfStr(a, \"b\", FALSE)"}, "1"},
        FuncCase{{"a = \"\"", "StringToArray(\"ax,Bxy,c\", a, \",\")", "IndexOfStr(a, \"xy\", TRUE, TRUE)"}, "1"},
        FuncCase{{"a = \"\"", "StringToArray(\"b,A,a\", a, \",\")", "SortStr(a)", "a[2]"}, "b"},
        FuncCase{{"a = 0", "StringToArray(\"9,10,1\", a, \",\")", "SortStr(a)", "ArrayToString(a, \",\")"}, "1,10,9"},
        FuncCase{{"x = 1", "VarExists(\"X\") ++ VarExists(\"y\")"}, "TRUEFALSE"},
        FuncCase{{"GetVarType(1.5)"}, "2"}, FuncCase{{"s = \"\"", "GetVarType(s) ++ GetVarType(TRUE)"}, "43"},
        FuncCase{{"x = 4", "AssignTemp(\"x\") ++ AssignTemp(\"nothere\") ++ AssignTemp(\"\") ++ @Temp"},
                 "TRUEFALSEFALSE4"},
        FuncCase{{"x = 4", "PushVar(\"x\", \"nothere\")", "x = 8", "PopVar() ++ x"}, "TRUE4"},
        FuncCase{{"PopVar()"}, "TRUE"}, FuncCase{{"DeleteStack(0)"}, "FALSE"},
        FuncCase{{"x = 0", "Calc(\"x = 3\") ++ x"}, "TRUE3"}, FuncCase{{"Calc(\"x = \")"}, ""},
        FuncCase{{"Calc(\"  \")"}, ""}, FuncCase{{"Calc(\"nothere = 1\")"}, "TRUE"},
        FuncCase{{"Calc(\"1 + 2\")"}, "TRUE"}));

// Functions of the other families answer their initial values without
// their subsystems.
INSTANTIATE_TEST_SUITE_P(
    Unserved, ScriptRuns,
    ::testing::Values(FuncCase{{"FileExists(\"a\")"}, "FALSE"}, FuncCase{{"DBRecordCount()"}, "0"},
                      FuncCase{{"GetSaveCaption(1)"}, ""}, FuncCase{{"GetProp(\"\", 3)"}, "0"},
                      FuncCase{{"GetProp(\"\", 0)"}, ""}, FuncCase{{"GetProp(\"\", -1)"}, "<nil>"}));

// Every id belongs to one family; the library itself carries out 85.
TEST(SysFunc, EveryIdHasItsFamily) {
  std::map<TFuncFamily, int> counts;
  for (int id = 0; id < kFuncCount; ++id) ++counts[FuncFamily(static_cast<uint8_t>(id))];
  using F = TFuncFamily;
  EXPECT_EQ(counts, (std::map<TFuncFamily, int>{
                        {F::Text, 35}, {F::Number, 31}, {F::Array, 19}, {F::File, 13}, {F::Table, 38}, {F::Object, 23}}));
  EXPECT_EQ(FuncFamily(159), TFuncFamily::None);
}

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
