#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/vocab/vocab.h"

namespace orba {
namespace {

// Ids as the definition files list them: each must equal its position.
#define ORBA_ID(id, ...) id,
#define ORBA_PROP ORBA_ID
#define ORBA_FUNC ORBA_ID
#define ORBA_SYSVAR ORBA_ID
#define ORBA_OPCODE ORBA_ID
#define ORBA_COMPO ORBA_ID
#define ORBA_WIPE ORBA_ID
#define ORBA_OPER ORBA_ID
const std::vector<int> kIdLists[] = {
    {
#include "core/vocab/vocab_props.def"
    },
    {
#include "core/vocab/vocab_funcs.def"
    },
    {
#include "core/vocab/vocab_sysvars.def"
    },
    {
#include "core/vocab/vocab_opcodes.def"
    },
    {
#include "core/vocab/vocab_compotypes.def"
    },
    {
#include "core/vocab/vocab_wipes.def"
    },
    {
#include "core/vocab/vocab_operators.def"
    },
};

TEST(VocabTables, CountsIdsAndNames) {
  // Properties, functions, system variables, opcodes, component types, wipe
  // kinds, operators and key names.
  EXPECT_EQ((std::vector<int>{kPropCount, kFuncCount, kSysVarCount, kOpcodeCount, kCompoTypeCount, kWipeKindCount,
                              kOperatorCount, kKeyNameCount}),
            (std::vector<int>{165, 159, 51, 61, 28, 39, 21, 70}));
  for (const std::vector<int>& ids : kIdLists)
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], static_cast<int>(i));
  // No list of names holds a name twice.
  auto unique = [](const auto& names) { return std::set<std::string>(names.begin(), names.end()).size() == names.size(); };
  EXPECT_TRUE(unique(PropNames) && unique(FuncNames) && unique(SysVarNames) && unique(OpcodeNames) &&
              unique(CompoTypeNames) && unique(WipeKindNames) && unique(KeyNames));
}

TEST(VocabTables, PropertyTypesAndApplyOrder) {
  int counts[5] = {}, handlers = 0;
  for (int id = 0; id < kPropCount; ++id) {
    ASSERT_LT(PropTypes[id], 5);
    ++counts[PropTypes[id]];
    if (std::string(PropNames[id]).rfind("PR_ON", 0) == 0 && PropTypes[id] == PT_STR) ++handlers;
  }
  EXPECT_EQ((std::vector<int>{counts[PT_NONE], counts[PT_INT], counts[PT_STR], counts[PT_BOOL], counts[PT_FLOAT], handlers}),
            (std::vector<int>{0, 87, 53, 22, 3, 28}));
  std::array<uint8_t, kPropCount> sorted = PropApplyOrder;  // a permutation of the ids
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < kPropCount; ++i) EXPECT_EQ(sorted[i], i);
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
      {FN_DBDirectGetInt, 7, true}, {FN_DBDirectGetInt, 6, false}, {159, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(FuncArgCountValid(c.id, c.args), c.ok) << int(c.id) << " " << c.args;
  // "IntToStr 引数の数が不正です"
  EXPECT_EQ(FuncArgCountMessage(FN_IntToStr), "IntToStr \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7");
}

TEST(VocabTables, FontStyles) {
  TFontStyle bold_underline;
  bold_underline.Bold = bold_underline.Underline = true;
  EXPECT_EQ(std::make_pair(IntToFontStyle(16), IntToFontStyle(5)), std::make_pair(TFontStyle{}, bold_underline));
  for (int v = 0; v < 16; ++v) EXPECT_EQ(FontStyleToInt(IntToFontStyle(v)), v);
}

}  // namespace
}  // namespace orba
