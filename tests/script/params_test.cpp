#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include "core/streams/stream_encoding.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

std::vector<uint8_t> Save(const TCustomParam& p) {
  TKsMemoryStream s;
  p.SaveToStream(s);
  return s.TakeBytes();
}

// Loads a hand-written value form into a new value of the code, checks it,
// and saves it back byte for byte.
struct FixtureCase {
  const char* label;
  uint8_t code;
  const char* hex;
  std::function<void(const TCustomParam&)> check;
};

class ValueFixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ValueFixtures, ReadAndResaveByteForByte) {
  const FixtureCase& c = GetParam();
  const std::vector<uint8_t> bytes = FromHex(c.hex);
  auto value = CreateParamByType(c.code);
  ASSERT_NE(value, nullptr);
  TKsMemoryStream in(bytes);
  value->LoadFromStream(in);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
  c.check(*value);
  EXPECT_EQ(ToHex(Save(*value)), ToHex(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueFixtures,
    ::testing::Values(
        FixtureCase{"IntScalar", PT_INT, "00000000 01000000 07000000",
                    [](const TCustomParam& p) { EXPECT_EQ(std::make_tuple(p.GetAsInt(), p.GetDimCount()), std::make_tuple(7, 1)); }},
        // 2 x 3 integers 1..6, last subscript fastest; -1 as the last one.
        FixtureCase{"IntArray2D", PT_INT,
                    "02000000 02000000 03000000 06000000"
                    "01000000 02000000 03000000 04000000 05000000 ffffffff",
                    [](const TCustomParam& p) {
                      EXPECT_EQ(std::make_tuple(p.GetDimCount(), p.GetDimSize(0), p.GetDimSize(1), p.GetIntItem(3), p.GetIntItem(5)),
                                std::make_tuple(2, 2, 3, 4, -1));
                    }},
        // 1.5: significand c000000000000000, exponent 3fff. -0.1: significand
        // cccccccccccccccd (rounded up), sign and exponent bffb.
        FixtureCase{"FloatArray", PT_FLOAT,
                    "01000000 02000000 02000000"
                    "00000000000000c0ff3f"
                    "cdccccccccccccccfbbf",
                    [](const TCustomParam& p) {
                      EXPECT_EQ(std::make_tuple(p.GetFloatItem(0), p.GetFloatItem(1), p.GetStrItem(1)),
                                std::make_tuple(1.5L, -0.1L, std::string("-0.1")));
                    }},
        // A flag byte of 2 reads as true and is kept as stored.
        FixtureCase{"FlagArray", PT_BOOL, "01000000 03000000 03000000 01 00 02",
                    [](const TCustomParam& p) {
                      EXPECT_EQ(std::make_tuple(p.GetFlagItem(0), p.GetFlagItem(1), p.GetStrItem(2)),
                                std::make_tuple(true, false, std::string("TRUE")));
                    }},
        // A 1 x 3 array of "ab", "" and the Shift-JIS text 変数 (95cf 9094).
        FixtureCase{"StrArray2D", PT_STR,
                    "02000000 01000000 03000000 03000000"
                    "02000000 6162 00000000 04000000 95cf9094",
                    [](const TCustomParam& p) {
                      EXPECT_EQ(p.GetStrItem(0) + "|" + p.GetStrItem(1) + "|" + p.GetStrItem(2), "ab||\x95\xcf\x90\x94");
                    }},
        // A reference: no dims, name "x", unbound, reserved 5, index 3.
        FixtureCase{"Reference", PT_NONE, "00000000 01000000 78 00000000 05 03000000",
                    [](const TCustomParam& p) {
                      const auto& r = dynamic_cast<const TParamVar&>(p);
                      EXPECT_EQ(std::make_tuple(r.Name, int(r.Reserved), r.Index, r.GetParamType(), r.GetAsInt(), r.GetAsStr()),
                                std::make_tuple(std::string("x"), 5, 3, PT_NONE, 0, std::string()));
                    }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Values, BadStoredFormsAreReadErrors) {
  const std::pair<uint8_t, const char*> cases[] = {
      {PT_INT, "00000000 02000000 07000000"},        // two elements, one present
      {PT_INT, "ffffffff"},                           // negative dimension count
      {PT_STR, "00000000 01000000 05000000 6162"},    // string cut short
      {PT_FLOAT, "00000000 01000000 0000"},           // float cut short
      {PT_BOOL, "00000000 ffffff7f 00"},              // huge element count
      {PT_INT, "ffffff7f 00000000"},                  // huge dimension count
      {PT_NONE, "00000000 01000000 78"},              // reference cut short
      {PT_BOOL, "00000000 01000001"},                 // more elements than an array may hold
  };
  for (const auto& [code, hex] : cases) {
    auto value = CreateParamByType(code);
    value->SetAsInt(9);
    const std::vector<uint8_t> before = Save(*value);
    TKsMemoryStream in(FromHex(hex));
    EXPECT_THROW(value->LoadFromStream(in), EReadError) << hex;
    EXPECT_EQ(Save(*value), before) << hex;  // unchanged
  }
  EXPECT_EQ(CreateParamByType(5), nullptr);
  EXPECT_NE(CreateParamByType(0x81), nullptr);  // only the low 7 bits count
}

TEST(Values, DimsAndElements) {
  TParamInt p;
  p.SetDims({2, 3});
  EXPECT_EQ(std::make_tuple(p.GetCount(), p.GetDimCount(), p.GetDimSize(1), p.GetDimSize(5)), std::make_tuple(6, 2, 3, 1));
  p.SetIntItem(5, 42);
  EXPECT_THROW(p.GetIntItem(-1), EScriptError);
  EXPECT_THROW(p.GetIntItem(6), EScriptError);
  try {
    p.SetDims({2, 0});
    FAIL();
  } catch (const EScriptError& e) {
    // 配列の要素数[2,0]が不正です
    EXPECT_STREQ(e.what(), "\x94z\x97\xf1\x82\xcc\x97v\x91" "f\x90\x94[2,0]\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7");
  }
  // A refused size leaves the value as it was.
  EXPECT_THROW(p.SetDims({65536, 65536}), EScriptError);
  EXPECT_THROW(p.SetDims({4097, 4097}), EScriptError);
  EXPECT_EQ(std::make_tuple(p.GetCount(), p.GetDimSize(0), p.GetIntItem(5)), std::make_tuple(6, 2, 42));
  p.SetDims({4096, 4096});
  EXPECT_EQ(p.GetCount(), 16777216);
  p.SetDims({3, 2});
  EXPECT_EQ(p.GetIntItem(5), 42);

  p.SetAsInt(8);  // a scalar write turns the array into a scalar
  EXPECT_EQ(std::make_tuple(p.GetCount(), p.GetDimCount(), p.GetDimSize(0), p.GetAsInt()), std::make_tuple(1, 1, 1, 8));

  p.SetCount(0);  // an emptied value reads as 0 and gets its element back
  EXPECT_EQ(p.GetAsInt(), 0);
  p.SetAsInt(3);
  EXPECT_EQ(p.GetCount(), 1);
  EXPECT_THROW(p.SetCount(-1), EScriptError);
}

TEST(Values, FillsCopiesAndSearch) {
  TParamStr s;
  s.SetDims({2});
  s.SetStrItem(0, "ABC");
  s.SetStrItem(1, "xyz");
  EXPECT_EQ((std::vector<int32_t>{s.IndexOfStr("b", false, true), s.IndexOfStr("b", true, true),
                                  s.IndexOfStr("abc", false, false), s.IndexOfStr("abc", true, false),
                                  s.IndexOfStr("", false, true)}),
            (std::vector<int32_t>{0, -1, 0, -1, -1}));
  s.FillInt(5);  // only the fill of the own type works
  EXPECT_EQ(s.GetStrItem(0), "ABC");
  s.FillStr("q");
  EXPECT_EQ(s.GetStrItem(1), "q");

  TParamStr copy;
  copy.CopyMem(s);
  EXPECT_EQ(std::make_tuple(copy.GetCount(), copy.Dims), std::make_tuple(2, std::vector<int32_t>{2}));
  TParamInt scalar;
  scalar.SetAsInt(4);
  TParamInt arr;
  arr.CopyMem(scalar);
  EXPECT_EQ(arr.Dims, std::vector<int32_t>{1});
  EXPECT_THROW(arr.CopyMem(s), EScriptError);

  TParamFloat conv;
  conv.AssignConverted(scalar);
  EXPECT_EQ(std::make_tuple(conv.Dims, conv.GetAsFloat()), std::make_tuple(std::vector<int32_t>{1}, 4.0L));
  TParamInt from_str;
  from_str.AssignConverted(s);
  EXPECT_EQ(from_str.GetCount(), 2);
}

TEST(References, SubscriptsAndForwarding) {
  TParamCollection store;
  TParamCollectionItem* arr = store.AddVar(PT_INT);
  arr->SetName("arr");
  arr->SetDims({2, 3});
  TParamCollectionItem* temp = store.AddVar(PT_NONE);
  temp->SetName("____d_1");

  temp->SetReference("arr", {1, 2});
  EXPECT_EQ(dynamic_cast<TParamVar&>(*temp->Value).Index, 5);
  temp->SetReference("arr", {0, 5});
  EXPECT_EQ(dynamic_cast<TParamVar&>(*temp->Value).Index, 5);
  try {
    temp->SetReference("arr", {2, 0});
    FAIL();
  } catch (const EScriptError& e) {
    // arr[2,0]\r\n要素数を超えています
    EXPECT_STREQ(e.what(), "arr[2,0]\r\n\x97v\x91" "f\x90\x94\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7");
  }
  EXPECT_THROW(temp->SetReference("arr", {1}), EScriptError);
  EXPECT_THROW(temp->SetReference("arr", {INT32_MAX, INT32_MAX}), EScriptError);
  temp->SetReference("arr", {1, -1});  // flat 2: passes
  temp->SetReference("arr", {0, -1});  // flat -1: passes, fails at the access
  EXPECT_THROW(temp->GetAsInt(), EScriptError);

  temp->SetReference("arr", {1, 0});
  temp->SetAsInt(5);  // writes one element; arr stays an array
  EXPECT_EQ(std::make_tuple(arr->GetCount(), arr->GetIntItem(3), temp->GetParamType()), std::make_tuple(6, 5, PT_INT));

  TParamCollectionItem* scalar = store.AddVar(PT_STR);
  scalar->SetName("s");
  temp->SetReference("s", {0});
  EXPECT_THROW(temp->SetReference("s", {0, 0}), EScriptError);

  // An operand naming the element temporary reaches the element.
  temp->SetReference("arr", {1, 0});
  TParamVar operand(&store);
  operand.Name = "____d_1";
  operand.Resolve();
  EXPECT_EQ(std::make_tuple(operand.Index, operand.GetAsInt()), std::make_tuple(3, 5));
  operand.Name = "missing";
  EXPECT_THROW(operand.Resolve(), EScriptError);

  // Freeing a variable unbinds every reference to it.
  TParamVar ref(&store);
  ref.Name = "arr";
  ref.Resolve();
  EXPECT_EQ(ref.GetCount(), 6);
  store.FreeVar(arr);
  EXPECT_EQ(ref.GetBound(), nullptr);
  EXPECT_EQ(std::make_tuple(ref.GetAsInt(), temp->GetParamType()), std::make_tuple(0, PT_NONE));

}

TEST(References, CyclesRaiseInsteadOfRecursing) {
  TParamCollection store;
  TParamCollectionItem* a = store.AddVar(PT_NONE);
  a->SetName("a");
  TParamCollectionItem* b = store.AddVar(PT_NONE);
  b->SetName("b");
  dynamic_cast<TParamVar&>(*a->Value).Bind(b);
  dynamic_cast<TParamVar&>(*b->Value).Bind(a);
  EXPECT_THROW(a->GetAsInt(), EScriptError);
  store.TempTargetName = "@Temp";
  EXPECT_EQ(store.Find("@Temp")->GetAsInt(), 0);
}

}  // namespace
}  // namespace orba
