// What the script's values hold in sum: PushVar snapshots and array
// elements each have a budget, refused as a script error that changes
// nothing, and given back as values go.
#include <gtest/gtest.h>

#include "core/streams/stream_encoding.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"

namespace orba {
namespace {

TParamCollectionItem* AddText(TParamCollection& store, const std::string& name, size_t length) {
  TParamCollectionItem* item = store.AddVar(PT_STR);
  item->SetName(name);
  item->SetAsStr(std::string(length, 'x'));
  return item;
}

TEST(PushVarBudget, SnapshotsPastTheBudgetAreRefusedAndPoppingGivesTheirShareBack) {
  TParamCollection store;
  AddText(store, "big", 16u << 20);
  int32_t pushed = 0;
  try {
    for (; pushed < 100; ++pushed) store.PushVar({"big"});
  } catch (const EScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("PushVar"), std::string::npos) << e.what();
  }
  // Sixteen would take a few bytes more than the budget.
  EXPECT_EQ(pushed, 15);
  EXPECT_EQ(store.PushedFrameCount(), pushed);
  EXPECT_LE(store.PushedBytes(), kMaxPushedBytes);
  // A small snapshot still fits, and a popped one makes room for another.
  store.PushVar({"missing"});
  store.PopVar();
  store.PopVar();
  EXPECT_NO_THROW(store.PushVar({"big"}));
  while (store.PushedFrameCount() > 0) store.PopVar();
  EXPECT_EQ(store.PushedBytes(), 0);
}

TEST(PushVarBudget, LoadedSnapshotsAreCounted) {
  TParamCollection source, target;
  AddText(source, "t", 1000);
  for (int i = 0; i < 3; ++i) source.PushVar({"t"});
  TKsMemoryStream s;
  source.SaveGameVars(s);
  s.SetPosition(0);
  target.LoadGameVars(s, 139);
  EXPECT_EQ(target.PushedBytes(), source.PushedBytes());
}

// Each array may hold kMaxArrayElements; their sum is bounded by bytes.
// A budget lowered to what 4096 texts take.
class ArrayBudgetTest : public testing::Test {
 protected:
  void SetUp() override { SetArrayBudget(ArrayBytesInUse() + 4096 * static_cast<int64_t>(sizeof(std::string))); }
  void TearDown() override { SetArrayBudget(kMaxArrayBytes); }
};

TEST_F(ArrayBudgetTest, ArraysPastTheBudgetAreRefusedAndFreedArraysGiveTheirShareBack) {
  const int64_t before = ArrayBytesInUse();
  {
    TParamStr a, b;
    a.SetDims({64, 64});  // the whole budget
    EXPECT_EQ(ArrayBytesInUse() - before, 4096 * static_cast<int64_t>(sizeof(std::string)));
    EXPECT_THROW(b.SetDims({2}), EScriptError);
    EXPECT_EQ(b.GetCount(), 1);  // unchanged
    TParamStr c;
    EXPECT_THROW(c.Assign(a), EScriptError);
    EXPECT_THROW(c.CopyMem(a), EScriptError);
    a.SetDims({1024});  // shrinking gives the rest back
    EXPECT_THROW(b.SetDims({4096}), EScriptError);
    EXPECT_NO_THROW(b.SetDims({1024}));
    EXPECT_NO_THROW(c.Assign(a));
    c.MakeScalar();
  }
  EXPECT_EQ(ArrayBytesInUse(), before);
}

TEST(ArrayBudget, TheDefaultBudgetHoldsOneArrayOfTheMostTexts) {
  EXPECT_EQ(kMaxArrayBytes, kMaxArrayElements * static_cast<int64_t>(sizeof(std::string)));
}

TEST(ArrayBudget, ScalarsAreNotCounted) {
  const int64_t before = ArrayBytesInUse();
  TParamInt i;
  TParamStr s;
  s.SetAsStr("text");
  EXPECT_EQ(ArrayBytesInUse(), before);
  i.SetDims({4});
  EXPECT_EQ(ArrayBytesInUse() - before, 16);
}

}  // namespace
}  // namespace orba
