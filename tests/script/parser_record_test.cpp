#include <gtest/gtest.h>

#include <tuple>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "script/expr/parser_record.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

std::vector<uint8_t> Save(const TOrbaParser& e) {
  TKsMemoryStream s;
  e.SaveToStream(s);
  return s.TakeBytes();
}

void Load(TOrbaParser& e, const std::string& hex) {
  TKsMemoryStream in(FromHex(hex));
  e.LoadFromStream(in);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
}

// Record lists worked out by hand from the stored form: op, dest, operand
// count, the function id for ocFunc, then each operand as code and value.
struct RecordCase {
  const char* label;
  const char* hex;
  void (*check)(const TOrbaParser&);
};

class ExpressionRecords : public ::testing::TestWithParam<RecordCase> {};

TEST_P(ExpressionRecords, ReadAndResaveByteForByte) {
  const RecordCase& c = GetParam();
  TOrbaParser e;
  Load(e, c.hex);
  c.check(e);
  EXPECT_EQ(ToHex(Save(e)), ToHex(FromHex(c.hex)));
  TOrbaParser copy;
  copy.Assign(e);
  EXPECT_EQ(ToHex(Save(copy)), ToHex(FromHex(c.hex)));
}

INSTANTIATE_TEST_SUITE_P(
    Parser, ExpressionRecords,
    ::testing::Values(
        RecordCase{"Empty", "00000000", [](const TOrbaParser& e) { EXPECT_TRUE(e.Empty()); }},
        // ____0 := x > 3; ____arg := ____0
        RecordCase{"Compare",
                   "02000000"
                   "0d 05000000 5f5f5f5f30 02000000 00 01000000 78 01 03000000"
                   "01 07000000 5f5f5f5f617267 01000000 00 05000000 5f5f5f5f30",
                   [](const TOrbaParser& e) {
                     ASSERT_EQ(e.Count(), 2);
                     const TOpeData& a = *e.GetOp(0);
                     ASSERT_EQ(a.Operands.size(), 2u);
                     EXPECT_EQ(std::make_tuple(int(a.Op), a.Dest, dynamic_cast<TParamVar&>(*a.Operands[0]).Name,
                                               int(a.Operands[1]->GetParamType()), a.Operands[1]->GetAsInt(),
                                               int(e.GetOp(1)->Op), e.GetOp(1)->Dest),
                               std::make_tuple(int(ocBig), std::string("____0"), std::string("x"), int(PT_INT), 3,
                                               int(ocTo), std::string("____arg")));
                   }},
        // a := Random(6): the function id follows the operand count.
        RecordCase{"Function", "01000000 0b 01000000 61 01000000 1a 01 06000000",
                   [](const TOrbaParser& e) {
                     ASSERT_EQ(e.Count(), 1);
                     EXPECT_EQ(std::make_tuple(int(e.GetOp(0)->FuncId), e.GetOp(0)->Operands[0]->GetAsInt()),
                               std::make_tuple(int(FN_Random), 6));
                   }},
        // ____arg := combo of 2.5, TRUE and a full-width space text; no
        // function id for operators other than ocFunc.
        RecordCase{"Constants",
                   "01000000 13 07000000 5f5f5f5f617267 03000000"
                   "02 00000000000000a00040  03 01  04 02000000 8140",
                   [](const TOrbaParser& e) {
                     const TOpeData& a = *e.GetOp(0);
                     ASSERT_EQ(a.Operands.size(), 3u);
                     EXPECT_EQ(std::make_tuple(int(a.Op), int(a.FuncId), a.Operands[0]->GetAsFloat(), a.Operands[1]->GetAsFlag(),
                                               a.Operands[2]->GetAsStr(), int(a.OperandCode(0))),
                               std::make_tuple(int(ocComboStr), 0, 2.5L, true, std::string("\x81\x40"), int(OPD_FLOAT)));
                   }},
        // An empty destination and a function without arguments.
        RecordCase{"NoOperands", "01000000 0b 00000000 00000000 7b",
                   [](const TOrbaParser& e) {
                     EXPECT_EQ(std::make_tuple(e.GetOp(0)->Dest, int(e.GetOp(0)->FuncId), e.GetOp(0)->Operands.size()),
                               std::make_tuple(std::string(), 123, size_t{0}));
                   }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ExpressionRecord, UnusualOperandCodeReadsAsNameAndWritesAsReference) {
  TOrbaParser e;
  Load(e, "01000000 01 01000000 61 01000000 09 02000000 7878");
  const TOpeData& a = *e.GetOp(0);
  EXPECT_EQ(a.OperandCode(0), 9);
  EXPECT_EQ(dynamic_cast<TParamVar&>(*a.Operands[0]).Name, "xx");
  EXPECT_EQ(ToHex(Save(e)), ToHex(FromHex("01000000 01 01000000 61 01000000 00 02000000 7878")));
}

TEST(ExpressionRecord, AssignMakesIndependentCopies) {
  TOrbaParser e;
  TOpeData* op = e.AddOp();
  op->Op = ocPlus;
  op->Dest = "____0";
  op->AddVar("a");
  op->AddInt(1);
  TOrbaParser copy;
  copy.Assign(e);
  e.GetOp(0)->Operands[1]->SetAsInt(5);
  EXPECT_EQ(std::make_tuple(copy.GetOp(0)->Operands[1]->GetAsInt(), dynamic_cast<TParamVar&>(*copy.GetOp(0)->Operands[0]).Name,
                            int(copy.GetOp(0)->OperandCode(0))),
            std::make_tuple(1, std::string("a"), int(OPD_VAR)));
}

// Counts are checked against the bytes left before anything is allocated;
// a failed load leaves the list as it was.
class BadExpressionRecords : public ::testing::TestWithParam<const char*> {};

TEST_P(BadExpressionRecords, RaiseReadErrorAndKeepTheList) {
  TOrbaParser e;
  Load(e, "01000000 01 01000000 61 01000000 01 05000000");
  const auto before = Save(e);
  TKsMemoryStream in(FromHex(GetParam()));
  EXPECT_THROW(e.LoadFromStream(in), EReadError);
  EXPECT_EQ(Save(e), before);
}

INSTANTIATE_TEST_SUITE_P(Parser, BadExpressionRecords,
                         ::testing::Values("",                                   // no count
                                           "ffffffff",                           // negative count
                                           "ffffff7f 01",                        // count beyond the bytes
                                           "01000000 01 00000000 ffffffff",       // negative operands
                                           "01000000 01 00000000 ffffff7f 01",    // operands beyond
                                           "01000000 0b 00000000 00000000",       // function id missing
                                           "01000000 01 00000000 01000000 02 00", // float cut short
                                           "02000000 01 00000000 00000000"));     // second op missing

}  // namespace
}  // namespace orba
