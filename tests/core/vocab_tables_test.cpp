#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/vocab/vocab.h"

namespace orba {
namespace {

// Ids as the definition files list them: each must equal its position.
constexpr int kPropIds[] = {
#define ORBA_PROP(id, name, type, step) id,
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
};
constexpr int kFuncIds[] = {
#define ORBA_FUNC(id, name, mn, mx, result) id,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};
constexpr int kSysVarIds[] = {
#define ORBA_SYSVAR(index, ident, name, type) index,
#include "core/vocab/vocab_sysvars.def"
#undef ORBA_SYSVAR
};
constexpr int kOpcodeIds[] = {
#define ORBA_OPCODE(code, name) code,
#include "core/vocab/vocab_opcodes.def"
#undef ORBA_OPCODE
};
constexpr int kCompoIds[] = {
#define ORBA_COMPO(code, name) code,
#include "core/vocab/vocab_compotypes.def"
#undef ORBA_COMPO
};
constexpr int kWipeIds[] = {
#define ORBA_WIPE(code, name) code,
#include "core/vocab/vocab_wipes.def"
#undef ORBA_WIPE
};
constexpr int kOperIds[] = {
#define ORBA_OPER(code, name, text) code,
#include "core/vocab/vocab_operators.def"
#undef ORBA_OPER
};

// Each list of ids counts 0, 1, 2, ...
template <typename... Lists>
void ExpectContiguous(const Lists&... lists) {
  auto one = [](const auto& ids) {
    for (size_t i = 0; i < std::size(ids); ++i) EXPECT_EQ(ids[i], static_cast<int>(i));
  };
  (one(lists), ...);
}

// No list of names holds a name twice.
template <typename... Lists>
void ExpectUniqueNames(const Lists&... lists) {
  auto one = [](const auto& names) {
    std::set<std::string> seen;
    for (const char* n : names) EXPECT_TRUE(seen.insert(n).second) << n;
  };
  (one(lists), ...);
}

TEST(VocabTables, CountsIdsAndNames) {
  // Properties, functions, system variables, opcodes, component types, wipe
  // kinds, operators and key names.
  EXPECT_EQ((std::vector<int>{kPropCount, kFuncCount, kSysVarCount, kOpcodeCount, kCompoTypeCount, kWipeKindCount,
                              kOperatorCount, kKeyNameCount}),
            (std::vector<int>{165, 159, 51, 61, 28, 39, 21, 70}));
  ExpectContiguous(kPropIds, kFuncIds, kSysVarIds, kOpcodeIds, kCompoIds, kWipeIds, kOperIds);
  ExpectUniqueNames(PropNames, FuncNames, SysVarNames, OpcodeNames, CompoTypeNames, WipeKindNames, KeyNames);
}

TEST(VocabTables, PropertyTypesAndApplyOrder) {
  int counts[5] = {};
  for (uint8_t t : PropTypes) {
    ASSERT_LT(t, 5);
    ++counts[t];
  }
  EXPECT_EQ((std::vector<int>{counts[PT_NONE], counts[PT_INT], counts[PT_STR], counts[PT_BOOL], counts[PT_FLOAT]}),
            (std::vector<int>{0, 87, 53, 22, 3}));

  std::array<uint8_t, kPropCount> sorted = PropApplyOrder;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < kPropCount; ++i) EXPECT_EQ(sorted[i], i);

  int handlers = 0;
  for (int id = 0; id < kPropCount; ++id) {
    if (std::string(PropNames[id]).rfind("PR_ON", 0) == 0 && PropTypes[id] == PT_STR) ++handlers;
  }
  EXPECT_EQ(handlers, 28);
}

TEST(VocabTables, BuiltinFunctions) {
  uint8_t id = 0, id2 = 0;
  EXPECT_TRUE(FindBuiltinFunction("DBSort", id) && FindBuiltinFunction("CopyFile", id2));
  EXPECT_EQ(std::make_pair(id, id2), std::make_pair(uint8_t{121}, uint8_t{158}));
  EXPECT_FALSE(FindBuiltinFunction("dbsort", id));

  struct Case { uint8_t id; int32_t args; bool ok; };
  const Case cases[] = {
      {FN_IntToStr, 1, true}, {FN_IntToStr, 2, true}, {FN_IntToStr, 3, false}, {FN_IntToStr, 0, false},
      {FN_SetArray, 1, false}, {FN_SetArray, 2, true}, {FN_SetArray, 200, true},
      {FN_DBInsert, 0, true}, {FN_DBInsert, 9, true}, {FN_PushVar, 0, false}, {FN_PushVar, 40, true},
      {FN_DBDirectGetInt, 7, true}, {FN_DBDirectGetInt, 6, false},
  };
  for (const Case& c : cases) EXPECT_EQ(FuncArgCountValid(c.id, c.args), c.ok) << int(c.id) << " " << c.args;
  EXPECT_FALSE(FuncArgCountValid(159, 0));
  // "IntToStr 引数の数が不正です"
  EXPECT_EQ(FuncArgCountMessage(FN_IntToStr), "IntToStr \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7");
}

TEST(VocabTables, FontStyles) {
  EXPECT_EQ(IntToFontStyle(16), TFontStyle{});
  TFontStyle bold_underline;
  bold_underline.Bold = bold_underline.Underline = true;
  EXPECT_EQ(FontStyleToInt(bold_underline), 5);
  EXPECT_EQ(IntToFontStyle(5), bold_underline);
  for (int v = 0; v < 16; ++v) EXPECT_EQ(FontStyleToInt(IntToFontStyle(v)), v);
}

}  // namespace
}  // namespace orba
