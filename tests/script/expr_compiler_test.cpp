// The expression compiler (its operations, messages and stored records) and
// the stored form of compiled expressions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/page_dump.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/parser_record.h"
#include "script/expr_test_env.h"
#include "script/script_errors.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::DumpOps;
using test::FromHex;
using test::ToHex;

std::string Compiled(const std::string& text) {
  TBuildOrbaParser compiler;
  compiler.Compile(text);
  return DumpOps(compiler);
}

std::string CompileError(const std::string& text) {
  try {
    TBuildOrbaParser compiler;
    compiler.Compile(text);
    TKsMemoryStream out;
    compiler.SaveToStream(out);
  } catch (const EScriptError& e) {
    return e.what();
  }
  return "<none>";
}

struct ShapeCase {
  const char* text;
  const char* ops;
};

class CompiledShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(CompiledShape, OperationsInOrder) { EXPECT_EQ(Compiled(GetParam().text), GetParam().ops); }

INSTANTIATE_TEST_SUITE_P(
    Compiler, CompiledShape,
    ::testing::Values(
        ShapeCase{"x = (1 + 2) * 3", "____1=ocPlus(1,2);____2=ocMul(____1,3);x=ocTo(____2)"},
        ShapeCase{"x = 1 + 2 * 3", "____0=ocMul(2,3);____1=ocPlus(1,____0);x=ocTo(____1)"},
        ShapeCase{"x = 10 - 4 - 3", "____0=ocMinus(10,4);____1=ocMinus(____0,3);x=ocTo(____1)"},
        ShapeCase{"x = 2 * -3", "____0=ocMinus(0,3);____1=ocMul(2,____0);x=ocTo(____1)"},
        ShapeCase{"-2 + 5", "____0=ocMinus(0,2);____1=ocPlus(____0,5);____arg=ocTo(____1)"},
        ShapeCase{"x = +4", "x=ocTo(4)"},
        // The element temporary is named before its subscripts are compiled.
        ShapeCase{"arr[i + 1] = 5", "____2=ocPlus(i,1);____d_0=ocDimTo(arr,____2);____d_0=ocTo(5)"},
        ShapeCase{"x = a[b[1], 2]", "____d_0=ocDimTo(b,1);____d_1=ocDimTo(a,____d_0,2);x=ocTo(____d_1)"},
        ShapeCase{"x = f(1, (2 + 3))", "____2=ocPlus(2,3);____0=ocFunc(f,1,____2);x=ocTo(____0)"},
        // The literal is replaced before the arguments are split at commas.
        ShapeCase{"g(a[1, 2], \"x,y\")",
                  "____0=ocTo(\"x,y\");____d_3=ocDimTo(a,1,2);____2=ocTo(____d_3);____1=ocFunc(g,____2,____0);"
                  "____arg=ocTo(____1)"},
        ShapeCase{"x = PopVar()", "____0=ocFunc(PopVar);x=ocTo(____0)"},
        ShapeCase{"x = Copy(s, 1, )", "____0=ocFunc(Copy,s,1,);x=ocTo(____0)"},
        ShapeCase{"score > 10", "____0=ocBig(score,10);____arg=ocTo(____0)"},
        ShapeCase{"1 < 2 ++ 3", "____0=ocSmall(1,2);____1=ocComboStr(____0,3);____arg=ocTo(____1)"},
        ShapeCase{"x = 1e-5", "____0=ocMinus(1e,5);x=ocTo(____0)"},
        ShapeCase{"a <> b >= c", "____0=ocNEqual(a,b);____1=ocEBig(____0,c);____arg=ocTo(____1)"},
        ShapeCase{"x = 1 << 2 | 3 & 4 ^ 5",
                  "____0=ocShiftL(1,2);____1=ocAnd(3,4);____2=ocXor(____1,5);____3=ocOr(____0,____2);x=ocTo(____3)"},
        // Escapes inside literals: \" and \\ are taken literally, \n is CR LF.
        ShapeCase{"s = \"a\\\"b\"", "____0=ocTo(\"a\"b\");s=ocTo(____0)"},
        ShapeCase{"s = \"a\\nb\\\\c\\d\"", "____0=ocTo(\"a\r\nb\\c\\d\");s=ocTo(____0)"},
        // A trail byte 0x5C (the second byte of "ソ") is no escape.
        ShapeCase{"s = \"\x83\x5c\"", "____0=ocTo(\"\x83\x5c\");s=ocTo(____0)"},
        // The trail byte 0x41 of "ア" before "(" is no name: a group, not a call.
        ShapeCase{"x = \x83\x41(1)", "____0=ocTo(1);x=ocTo(\x83\x41____0)"},
        // A double-byte array name.
        ShapeCase{"\x94z[1] = 2", "____d_0=ocDimTo(\x94z,1);____d_0=ocTo(2)"},
        ShapeCase{"  ", "____arg=ocTo(  )"},
        // Groups go from the last "(" to the first, each inner text with the
        // groups inside it already replaced; nesting leaves one temporary.
        ShapeCase{"x = ((1) + (2)) * ((3))",
                  "____0=ocTo(3);____2=ocTo(2);____3=ocTo(1);____5=ocPlus(____3,____2);____6=ocMul(____5,____0);"
                  "x=ocTo(____6)"},
        ShapeCase{"((((x))))", "____0=ocTo(x);____arg=ocTo(____0)"},
        ShapeCase{"(a)(b)", "____0=ocTo(b);____1=ocTo(a);____arg=ocTo(____1____0)"},
        // After an element's temporary a "(" opens a call: left alone at the
        // top, compiled as one inside a group.
        ShapeCase{"x = a[1](2)", "____d_0=ocDimTo(a,1);x=ocTo(____d_0(2))"},
        ShapeCase{"x = (a[1](2))", "____d_0=ocDimTo(a,1);____2=ocFunc(____d_0,2);x=ocTo(____2)"},
        // Literals from the first; an unclosed one stays as text.
        ShapeCase{"x = \"a\" ++ \"b\" ++ \"c",
                  "____0=ocTo(\"a\");____1=ocTo(\"b\");____2=ocComboStr(____0,____1);____3=ocComboStr(____2,\"c);"
                  "x=ocTo(____3)"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.text); });

const char kSyntax[] = "\x8d\x5c\x95\xb6\x83G\x83\x89\x81[";  // 構文エラー
const char kBadArgCount[] = " \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";  // 引数の数が不正です
const char kNoFunction[] = "\" \x8a\xd6\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // 関数名がありません

TEST(Compiler, ErrorMessages) {
  // Truncated expressions stop at the end of the token list.
  for (const char* text : {"a = b = 1", "x = * 5", "x = 5 +", "x = -", "x =", "x = ()", "x = (1", "x = 1)", "x = a[1",
                           "x = a]1[", "x = [1]", "x = f(a[1, 2)"}) {
    EXPECT_EQ(CompileError(text), kSyntax) << text;
  }
  const std::pair<const char*, std::string> cases[] = {
      {"1 2 = 3 4 5 * 6 7", "<none>"}, {"x = SetArray(a, 1, 2, 3, 4, 5, 6)", "<none>"},
      {"x = a[]", "\x94z\x97\xf1\x82\xcc\x93Y\x82\xa6\x8e\x9a\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7"},
      {"x = foo(1)", std::string("\"foo") + kNoFunction}, {"x = intToStr(1)", std::string("\"intToStr") + kNoFunction},
      {"x = IntToStr(1, 2, 3)", std::string("IntToStr") + kBadArgCount}, {"x = Length()", std::string("Length") + kBadArgCount}};
  for (const auto& [text, message] : cases) EXPECT_EQ(CompileError(text), message) << text;
}

// A text of nesting far deeper than a script writes compiles in time linear
// in its length; one longer than kMaxExpressionText, or one whose nested
// calls would take the compiler past kMaxCompileWork, is refused with the
// syntax error and a trace line.
TEST(Compiler, DeepNestingCompilesAndOverlongOrCostlyTextsAreRefused) {
  std::vector<std::string> trace;
  SetTraceSink([&](const std::string& line) { trace.push_back(line); });
  const size_t depth = 100000;
  EXPECT_EQ(Compiled("x = " + std::string(depth, '(') + "1" + std::string(depth, ')')), "____0=ocTo(1);x=ocTo(____0)");
  EXPECT_TRUE(trace.empty());

  const std::string overlong = "x = " + std::string(kMaxExpressionText - 3, '1');
  EXPECT_EQ(CompileError(overlong), kSyntax);
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], "expression refused: 1048577 bytes, more than 1048576");
  // At the limit: compiled.
  EXPECT_EQ(Compiled("x = " + std::string(kMaxExpressionText - 4, '1')),
            "x=ocTo(" + std::string(kMaxExpressionText - 4, '1') + ")");

  std::string calls = "x = ";
  for (int i = 0; i < 20000; ++i) calls += "Abs(";
  EXPECT_EQ(CompileError(calls + "1" + std::string(20000, ')')), kSyntax);
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[1],
            "expression refused: more than 33554432 characters and tokens scanned to compile it (nested calls, "
            "elements or operators)");
  SetTraceSink(nullptr);
}

// Compiled record lists worked out by hand: count, then each record as op,
// dest, operand count, function id (ocFunc only) and the typed operands.
struct BytesCase {
  const char* text;
  const char* hex;
};

constexpr char kSumTimesThree[] =
    "03000000"
    "02 05000000 5f5f5f5f31 02000000 01 01000000 01 02000000"
    "04 05000000 5f5f5f5f32 02000000 00 05000000 5f5f5f5f31 01 03000000"
    "01 01000000 78 01000000 00 05000000 5f5f5f5f32";

class CompiledBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(CompiledBytes, RecordsAndResave) {
  TBuildOrbaParser compiler;
  compiler.Compile(GetParam().text);
  TKsMemoryStream out;
  compiler.SaveToStream(out);
  EXPECT_EQ(ToHex(out.Bytes()), ToHex(FromHex(GetParam().hex)));

  TOrbaParser loaded;
  TKsMemoryStream in(FromHex(GetParam().hex));
  loaded.LoadFromStream(in);
  TKsMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(ToHex(again.Bytes()), ToHex(FromHex(GetParam().hex)));
}

INSTANTIATE_TEST_SUITE_P(
    Compiler, CompiledBytes,
    ::testing::Values(
        BytesCase{"x = (1 + 2) * 3", kSumTimesThree},
        // Float, flag, string and hexadecimal constants; a function call.
        BytesCase{"x = Copy(\"ab\", $10) ++ 1.5 ++ TRUE",
                  "05000000"
                  "01 05000000 5f5f5f5f30 01000000 04 02000000 6162"
                  "0b 05000000 5f5f5f5f31 02000000 07 00 05000000 5f5f5f5f30 01 10000000"
                  "13 05000000 5f5f5f5f32 02000000 00 05000000 5f5f5f5f31 02 00000000000000c0ff3f"
                  "13 05000000 5f5f5f5f33 02000000 00 05000000 5f5f5f5f32 03 01"
                  "01 01000000 78 01000000 00 05000000 5f5f5f5f33"},
        BytesCase{"", "01000000 01 07000000 5f5f5f5f617267 01000000 00 00000000"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.text); });

TEST(Compiler, ToolPrintsBytesAndErrors) {
  auto r = test::RunOrbaTool({"calc", "--bytes", "x = (1 + 2) * 3"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, ToHex(FromHex(kSumTimesThree)) + "\n");
  r = test::RunOrbaTool({"calc", "x = 1 + 2 * 3", "y = 10 - 4 - 3", "z = 2 * -3", "w = -2 + 5", "--print", "x,y,z,w"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.output, "7\n3\n-6\n3\n");
  r = test::RunOrbaTool({"calc", "a = b = 1"});
  EXPECT_NE(r.exit_code, 0);
}

std::vector<uint8_t> Save(const TOrbaParser& e) {
  TKsMemoryStream s;
  e.SaveToStream(s);
  return s.TakeBytes();
}

// Record lists worked out by hand from the stored form (op, dest, operand
// count, the function id for ocFunc, then each operand as code and value),
// read, listed, and written back byte for byte, also from a copy. An
// unusual operand code reads as a name and is written as a reference.
struct RecordCase {
  const char* hex;
  const char* text;
  const char* resaved;  // when not the same bytes
};

class ExpressionRecords : public ::testing::TestWithParam<RecordCase> {};

TEST_P(ExpressionRecords, ReadListAndResave) {
  const RecordCase& c = GetParam();
  TOrbaParser e;
  TKsMemoryStream in(FromHex(c.hex));
  e.LoadFromStream(in);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(ExpressionToText(e), c.text);
  const std::string resaved = ToHex(FromHex(c.resaved != nullptr ? c.resaved : c.hex));
  EXPECT_EQ(ToHex(Save(e)), resaved);
  TOrbaParser copy;
  copy.Assign(e);
  EXPECT_EQ(ToHex(Save(copy)), resaved);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, ExpressionRecords,
    ::testing::Values(
        RecordCase{"00000000", "(empty)", nullptr},
        RecordCase{"02000000 0d 05000000 5f5f5f5f30 02000000 00 01000000 78 01 03000000"
                   "01 07000000 5f5f5f5f617267 01000000 00 05000000 5f5f5f5f30",
                   "____0 := x > 3; ____arg := ____0", nullptr},
        // The function id follows the operand count.
        RecordCase{"01000000 0b 01000000 61 01000000 1a 01 06000000", "a := Random(6)", nullptr},
        // Float, flag and a full-width space text; no function id for
        // operators other than ocFunc.
        RecordCase{"01000000 13 07000000 5f5f5f5f617267 03000000 02 00000000000000a00040  03 01  04 02000000 8140",
                   "____arg := ocComboStr(2.5, TRUE, \"\xe3\x80\x80\")", nullptr},
        // An empty destination and a function without arguments.
        RecordCase{"01000000 0b 00000000 00000000 7b", " := DBGetRecNo()", nullptr},
        RecordCase{"01000000 01 01000000 61 01000000 09 02000000 7878", "a := xx<code 9>",
                   "01000000 01 01000000 61 01000000 00 02000000 7878"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.text); });

TEST(ExpressionRecord, AssignMakesIndependentCopies) {
  TOrbaParser e;
  TOpeData* op = e.AddOp();
  std::tie(op->Op, op->Dest) = std::make_tuple(ocPlus, "____0");
  op->AddVar("a");
  op->AddInt(1);
  op->AddFloat(0.5L);
  op->AddFlag(true);
  op->AddStr("s");
  TOrbaParser copy;
  copy.Assign(e);
  e.GetOp(0)->Operands[1]->SetAsInt(5);
  dynamic_cast<TParamVar&>(*e.GetOp(0)->Operands[0]).Name = "b";
  EXPECT_EQ(ExpressionToText(copy), "____0 := ocPlus(a, 1, 0.5, TRUE, \"s\")");
}

// Counts are checked against the bytes left before anything is allocated;
// a failed load leaves the list as it was.
TEST(ExpressionRecord, BadRecordsRaiseReadErrorAndKeepTheList) {
  TOrbaParser e;
  TKsMemoryStream good(FromHex("01000000 01 01000000 61 01000000 01 05000000"));
  e.LoadFromStream(good);
  for (const char* hex : {"", "ffffffff", "ffffff7f 01",                       // no count, negative, beyond the bytes
                          "01000000 01 00000000 ffffffff",                     // negative operand count
                          "01000000 01 00000000 ffffff7f 01",                  // operands beyond the bytes
                          "01000000 0b 00000000 00000000",                     // function id missing
                          "01000000 01 00000000 01000000 02 00",               // float cut short
                          "02000000 01 00000000 00000000"}) {                  // second op missing
    TKsMemoryStream in(FromHex(hex));
    EXPECT_THROW(e.LoadFromStream(in), EReadError) << hex;
    EXPECT_EQ(ExpressionToText(e), "a := 5") << hex;
  }
}

}  // namespace
}  // namespace orba
