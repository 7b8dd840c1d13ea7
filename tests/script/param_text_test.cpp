#include <gtest/gtest.h>

#include <cmath>
#include <tuple>


#include "script/script_errors.h"
#include "script/values/param_text.h"
#include "script/values/params.h"

namespace orba {
namespace {

struct IntCase {
  const char* text;
  int32_t expected;  // 0 when the rule fails
  bool ok;
};

TEST(ParamText, IntegerTextRule) {
  const IntCase cases[] = {
      {"12abc", 0, false}, {"  12", 12, true}, {"$1F", 31, true}, {"-$1F", 0, false},
      {"12 ", 0, false},   {"", 0, false},     {"   ", 0, false}, {"+7", 7, true},
      {"-7", -7, true},    {"x10", 16, true},  {"X10", 16, true}, {"0x1f", 31, true},
      {"0X1F", 31, true},  {"$80000000", INT32_MIN, true},      {"$FFFFFFFF", -1, true},
      {"$100000000", 0, false}, {"2147483647", INT32_MAX, true}, {"2147483648", 0, false},
      {"-2147483648", INT32_MIN, true}, {"-2147483649", 0, false}, {"$", 0, false},
      {"-", 0, false},     {"1.5", 0, false},  {"\t5", 5, true},  {"99999999999999999999", 0, false},
  };
  for (const IntCase& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(TryTextToInt(c.text, v), c.ok) << c.text;
    EXPECT_EQ(TextToIntOrZero(c.text), c.expected) << c.text;
  }
}

struct FloatCase {
  const char* text;
  long double expected;
  bool ok;
};

TEST(ParamText, FloatTextRule) {
  const FloatCase cases[] = {
      {"1.5", 1.5L, true},  {" -2.5 ", -2.5L, true}, {"1e3", 1000.0L, true}, {"1E-2", 0.01L, true},
      {".5", 0.5L, true},   {"5.", 5.0L, true},      {"12abc", 0, false},     {"", 0, false},
      {"1.2.3", 0, false},  {"1e", 0, false},        {"inf", 0, false},       {"nan", 0, false},
      {"0x10", 0, false},   {"1E99999", 0, false},   {"+3", 3.0L, true},      {".", 0, false},
  };
  for (const FloatCase& c : cases) {
    long double v = 0;
    EXPECT_EQ(TryTextToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(TextToFloatOrZero(c.text), c.expected) << c.text;
  }
}

TEST(ParamText, GeneralFloatText) {
  const std::pair<long double, const char*> cases[] = {
      {1E20L, "1E20"},     {1.5E-7L, "1.5E-7"},   {123456789012345678.0L, "1.23456789012346E17"},
      {0.5L, "0.5"},       {0.0001L, "0.0001"},   {0.00001L, "1E-5"},
      {0.0L, "0"},         {-2.75L, "-2.75"},     {100.0L, "100"},
      {1E15L, "1E15"},     {-1.5E-7L, "-1.5E-7"}, {999999999999999.0L, "999999999999999"},
      {1.0L / 3.0L, "0.333333333333333"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FloatToText(value), text);
}

TEST(ParamText, TruncationTowardZero) {
  EXPECT_EQ((std::vector<int32_t>{FloatToInt(-2.7L), FloatToInt(2.7L), FloatToInt(4294967297.5L),
                                  FloatToInt(-9223372036854775808.0L)}),
            (std::vector<int32_t>{-2, 2, 1, 0}));
  for (long double v : {9223372036854775808.0L, 1E30L, std::nanl(""), -HUGE_VALL}) {
    EXPECT_THROW(FloatToInt(v), EInvalidOpError) << static_cast<double>(v);
  }
}

// The conversions of every stored type, read back through each getter.
TEST(ParamText, ValueConversions) {
  TParamStr s;
  s.SetAsStr("12abc");
  EXPECT_EQ(std::make_tuple(s.GetAsInt(), s.GetAsFloat()), std::make_tuple(0, 0.0L));
  s.SetAsStr("TRUE");
  EXPECT_TRUE(s.GetAsFlag());
  for (const char* t : {"true", "1", "True", " TRUE"}) {
    s.SetAsStr(t);
    EXPECT_FALSE(s.GetAsFlag()) << t;
  }

  TParamFloat f;
  f.SetAsFloat(-2.7L);
  EXPECT_EQ(f.GetAsInt(), -2);
  f.SetAsFloat(1E20L);
  EXPECT_EQ(f.GetAsStr(), "1E20");
  f.SetAsFloat(1E30L);
  EXPECT_THROW(f.GetAsInt(), EInvalidOpError);
  f.SetAsStr("abc");
  EXPECT_EQ(f.GetAsFloat(), 0.0L);

  TParamFlag b;
  b.SetAsStr("True");
  EXPECT_FALSE(b.GetAsFlag());
  b.SetAsInt(5);
  EXPECT_EQ(std::make_tuple(b.GetAsStr(), b.GetAsInt()), std::make_tuple(std::string("TRUE"), 1));
  b.SetAsFloat(0.0L);
  EXPECT_EQ(b.GetAsStr(), "FALSE");

  TParamInt i;
  i.SetAsFloat(-2.7L);
  EXPECT_EQ(i.GetAsInt(), -2);
  i.SetAsStr("-2147483648");
  EXPECT_EQ(std::make_tuple(i.GetAsStr(), i.GetAsFloat()), std::make_tuple(std::string("-2147483648"), -2147483648.0L));
  i.SetAsFlag(true);
  EXPECT_EQ(i.GetAsInt(), 1);
}

}  // namespace
}  // namespace orba
