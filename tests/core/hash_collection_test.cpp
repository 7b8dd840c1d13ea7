#include "core/containers/hash_collection.h"

#include <gtest/gtest.h>

#include "core/sjis_test_helpers.h"
#include "core/strings/sjis_case.h"

#include <vector>

namespace orba {
namespace {

using test::SjisBytes;

// Every item sits in exactly the chain of its name's hash, the chains are
// well linked, and every cached index is the item's position.
void ExpectConsistent(const THashCollection& c) {
  int32_t linked = 0;
  for (int b = 0; b < 256; ++b) {
    const THashCollectionItem* prev = nullptr;
    for (const THashCollectionItem* p = c.Bucket(static_cast<uint8_t>(b)); p != nullptr; p = p->Next()) {
      EXPECT_EQ(p->Prev(), prev);
      EXPECT_EQ(p->HashBucket(), b);
      EXPECT_EQ(NameHash(p->Name()), b);
      prev = p;
      ++linked;
    }
  }
  EXPECT_EQ(linked, c.Count());
  for (int32_t i = 0; i < c.Count(); ++i) EXPECT_EQ(c.GetItem(i).CachedIndex(), i);
}

TEST(NameHash, HandWorkedValues) {
  // "abc": 48 + 'a' + 'b' = 243; "Name1": 80 + 'n' + 'e' = 291 -> 35.
  EXPECT_EQ((std::vector<int>{NameHash(""), NameHash("x"), NameHash("ab"), NameHash("AB"), NameHash("abc"),
                              NameHash("Name1")}),
            (std::vector<int>{0, 16, 226, 226, 243, 35}));
  // Full-width Ａ (82 60) and ａ (82 81) fold; the lead 0x82 is the first byte.
  EXPECT_EQ(NameHash(SjisBytes("82 60 31")), NameHash(SjisBytes("82 81 31")));
}

TEST(HashCollection, FindsCaseVariantsButNotTrailByteVariants) {
  THashCollection c;
  c.AddNamed("Score");
  c.AddNamed(SjisBytes("83 41"));        // ア
  c.AddNamed(SjisBytes("82 60 82 61"));  // ＡＢ
  // ア, then ヂ (another name), then ａｂ.
  EXPECT_EQ((std::vector<int32_t>{c.IndexOf("SCORE"), c.IndexOf("score"), c.IndexOf(SjisBytes("83 41")),
                                  c.IndexOf(SjisBytes("83 61")), c.IndexOf(SjisBytes("82 81 82 82")), c.IndexOf("scor")}),
            (std::vector<int32_t>{0, 0, 1, -1, 2, -1}));
  EXPECT_EQ(c.Find("nothing"), nullptr);
  EXPECT_EQ(c.Find("sCoRe"), &c.GetItem(0));
  ExpectConsistent(c);
}

TEST(HashCollection, LaterOfTwoEqualNamesWins) {
  THashCollection c;
  c.AddNamed("x");
  c.AddNamed("X");
  EXPECT_EQ(c.IndexOf("x"), 1);
  c.Delete(1);
  EXPECT_EQ(c.IndexOf("x"), 0);
  ExpectConsistent(c);
}

TEST(HashCollection, IndexesFollowDeletesAndMoves) {
  THashCollection c;
  for (const char* n : {"a", "b", "c", "d", "e"}) c.AddNamed(n);
  // Where the indexes say a, b, c, d and e are.
  auto indexes = [&c] {
    std::vector<int32_t> out;
    for (const char* n : {"a", "b", "c", "d", "e"}) out.push_back(c.IndexOf(n));
    return out;
  };
  c.Delete(0);
  EXPECT_EQ(indexes(), (std::vector<int32_t>{-1, 0, 1, 2, 3}));
  ExpectConsistent(c);
  c.GetItem(0).SetIndex(2);  // b c d e -> c d b e
  EXPECT_EQ(indexes(), (std::vector<int32_t>{-1, 2, 0, 1, 3}));
  c.GetItem(3).SetIndex(0);  // c d b e -> e c d b
  EXPECT_EQ(indexes(), (std::vector<int32_t>{-1, 3, 1, 2, 0}));
  ExpectConsistent(c);
  EXPECT_THROW(c.GetItem(0).SetIndex(4), EListError);
  EXPECT_THROW(c.GetItem(0).SetIndex(-1), EListError);
  EXPECT_THROW(c.Delete(4), EListError);
  EXPECT_EQ(c.Count(), 4);
  ExpectConsistent(c);
}

TEST(HashCollection, RenameRelinks) {
  THashCollection c;
  THashCollectionItem& item = c.AddNamed("abc");
  c.AddNamed("other");
  item.SetName("ABC");  // another letter case is a new name: relinked
  EXPECT_EQ(item.Name(), "ABC");
  item.SetName("ABC");  // identical: nothing happens
  item.SetName("longer name");
  EXPECT_EQ(c.IndexOf("abc"), -1);
  EXPECT_EQ(c.IndexOf("LONGER NAME"), 0);
  ExpectConsistent(c);
  THashCollectionItem& copy = c.Add();
  EXPECT_EQ(copy.GetDisplayName(), "THashCollectionItem");
  copy.Assign(item);
  EXPECT_EQ(copy.GetDisplayName(), "longer name");
  EXPECT_EQ(c.IndexOf("longer name"), 2);
  ExpectConsistent(c);
}

// A derived item and collection, as the variable store builds them.
int g_destroyed = 0;

class TCountedItem : public THashCollectionItem {
 public:
  ~TCountedItem() override { ++g_destroyed; }
  const char* ClassName() const override { return "TCountedItem"; }
  int Value = 0;
};

class TCountedCollection : public THashCollection {
 protected:
  std::unique_ptr<THashCollectionItem> NewItem() const override { return std::make_unique<TCountedItem>(); }
};

TEST(HashCollection, DerivedItemsAreCreatedAndDestroyed) {
  g_destroyed = 0;
  {
    TCountedCollection c;
    c.AddNamed("one");
    auto extra = std::make_unique<TCountedItem>();
    extra->Value = 7;
    c.AddItem(std::move(extra)).SetName("two");
    EXPECT_EQ(c.Item<TCountedItem>(1).Value, 7);
    EXPECT_EQ(c.GetItem(0).GetDisplayName(), "one");
    c.Remove(c.GetItem(0));
    EXPECT_EQ(g_destroyed, 1);
    EXPECT_EQ(c.IndexOf("two"), 0);
    c.AddNamed("three");
    c.Clear();
    EXPECT_EQ(g_destroyed, 3);
    EXPECT_EQ(c.IndexOf("two"), -1);
    c.AddNamed("four");
    ExpectConsistent(c);
  }
  EXPECT_EQ(g_destroyed, 4);
}

TEST(HashCollection, ManyItemsStayConsistent) {
  THashCollection c;
  for (int i = 0; i < 600; ++i) c.AddNamed("v" + std::to_string(i));
  for (int i = 0; i < 600; i += 7) c.Delete(c.IndexOf("v" + std::to_string(i)));
  for (int i = 0; i < 600; ++i) {
    const int32_t at = c.IndexOf("V" + std::to_string(i));
    if (i % 7 == 0) {
      EXPECT_EQ(at, -1);
    } else {
      ASSERT_GE(at, 0);
      EXPECT_EQ(c.GetItem(at).Name(), "v" + std::to_string(i));
    }
  }
  ExpectConsistent(c);
}

TEST(IntList, PutGrowsWithZeros) {
  TIntList l;
  l.Put(5, 7);
  ASSERT_EQ(l.Count(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(l.Get(i), 0);
  EXPECT_EQ(l.Get(5), 7);
  l.Put(2, 3);
  EXPECT_EQ(l.Count(), 6);
  EXPECT_EQ(l.IndexOf(3), 2);
  EXPECT_EQ(l.IndexOf(99), -1);
  EXPECT_EQ(l.Add(99), 6);
  l.Delete(0);
  EXPECT_EQ(l.IndexOf(99), 5);
}

TEST(IntList, BadIndexesRaiseAndChangeNothing) {
  TIntList l;
  l.Add(1);
  EXPECT_THROW(l.Put(-1, 5), EListError);
  EXPECT_THROW(l.Put(TIntList::kMaxCount, 5), EListError);
  EXPECT_THROW(l.Put(INT32_MAX, 5), EListError);
  EXPECT_THROW(l.Get(1), EListError);
  EXPECT_THROW(l.Get(-1), EListError);
  EXPECT_EQ(l.Count(), 1);
  EXPECT_EQ(test::ErrorText<EListError>([&] { l.Get(3); }), "List index out of bounds (3)");
  TIntArray a;
  a.Add(4);
  a.Add(-9);
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Get(1), -9);
  EXPECT_THROW(a.Get(2), EListError);
  EXPECT_THROW(a.Get(-1), EListError);
}

}  // namespace
}  // namespace orba
