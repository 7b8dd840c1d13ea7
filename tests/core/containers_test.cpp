// The owning list, string lists, integer lists, rectangles and the clip
// list, and the hashed collection the variable store is built on.
#include "core/containers/containers.h"

#include <gtest/gtest.h>

#include <set>

#include "core/containers/clip_list.h"
#include "core/containers/hash_collection.h"
#include "core/containers/rect_utils.h"
#include "core/errors.h"
#include "core/sjis_test_helpers.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"

namespace orba {
namespace {

using test::FromHex;
using test::SjisBytes;
using test::ToHex;

struct TTracked {
  explicit TTracked(std::vector<int>& log, int id) : log_(log), id_(id) {}
  ~TTracked() { log_.push_back(id_); }
  std::vector<int>& log_;
  int id_;
};

TEST(ArrayString, StreamFormIsHandWorked) {
  TArrayString a;
  for (const std::string s : {"ab", "", "\x83\x5c"}) a.Add(s);  // ソ
  TKsMemoryStream s;
  a.SaveToStream(s);
  EXPECT_EQ(ToHex(s.Bytes()), "03 00 00 00 02 00 00 00 61 62 00 00 00 00 02 00 00 00 83 5c");
  s.SetPosition(0);
  TArrayString b;
  b.Add("old");
  b.LoadFromStream(s);
  EXPECT_EQ(b, a);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
  TArrayString c;
  c.Assign(a);
  EXPECT_EQ(c.Get(2), "\x83\x5c");
  EXPECT_THROW(c.Get(3), EListError);
  // A negative length reads as the empty string.
  TKsMemoryStream negative(FromHex("02 00 00 00 ff ff ff ff 01 00 00 00 7a"));
  c.LoadFromStream(negative);
  ASSERT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Get(0) + "|" + c.Get(1), "|z");
}

TEST(ArrayString, BadInputRaisesAndKeepsTheOldContent) {
  for (const char* hex : {"ff ff ff 7f",                 // count far beyond the data
                          "ff ff ff ff",                 // negative count
                          "02 00 00 00 01 00 00 00 61",  // second string missing
                          "01 00 00 00 05 00 00 00 61",  // string cut short
                          "01 00"}) {                    // count cut short
    TKsMemoryStream s(FromHex(hex));
    TArrayString a;
    a.Add("keep");
    EXPECT_THROW(a.LoadFromStream(s), EReadError) << hex;
    EXPECT_TRUE(a.Count() == 1 && a.Get(0) == "keep") << hex;
  }
}

TEST(TabStrings, FollowsTheTrailingTabRules) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> cases = {
      {"61 09 09 62", {"61", "-", "62"}},
      {"61 09 62 09", {"61", "62"}},
      {"-", {}},
      {"09", {"-"}},
      {"61 62", {"61 62"}},
      {"09 09", {"-", "-"}},
      {"81 09 61 09 62", {"81 09 61", "62"}},  // lead byte + 0x09 is one character
      {"61 09 81", {"61", "81"}}};             // lone lead byte at the end
  for (const auto& [text, items] : cases) {
    TTabStrings t;
    t.Add("stale");
    t.SetDelimitedText(SjisBytes(text));
    std::vector<std::string> got, fields, want;
    for (int32_t i = 0; i < t.Count(); ++i) got.push_back(t.Get(i));
    for (int32_t i = -1; i <= t.Count(); ++i) fields.push_back(t.GetField(i));
    for (const char* item : items) want.push_back(SjisBytes(item));
    EXPECT_EQ(got, want) << text;
    want.insert(want.begin(), "");
    want.push_back("");  // fields outside the list are empty
    EXPECT_EQ(fields, want) << text;
  }
  TTabStrings t;
  t.Delimiter = ',';
  t.SetDelimitedText("a,b\tc");
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t.Get(1), "b\tc");
}

TEST(RectUtils, EmptinessPointsOverlapAndIntersection) {
  EXPECT_EQ((std::vector<bool>{RectIsEmpty(TRect{0, 0, 0, 10}), RectIsEmpty(TRect{5, 5, 6, 4}), RectIsEmpty(TRect{0, 0, 1, 1}),
                               PointInRect(TPoint{10, 5}, TRect{0, 0, 10, 10}), PointInRect(TPoint{5, 10}, TRect{0, 0, 10, 10}),
                               PointInRect(TPoint{0, 0}, TRect{0, 0, 10, 10}), PointInRect(TPoint{9, 9}, TRect{0, 0, 10, 10})}),
            (std::vector<bool>{true, true, false, false, false, true, true}));  // right and bottom edges are outside
  TPoint p;
  MakePointRec(-3, 7, p);
  EXPECT_EQ(p, (TPoint{-3, 7}));
  struct Case {
    TRect a, b;
    bool overlap;
    TRect common;
  };
  for (const Case& c : std::vector<Case>{
           {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {}},  // touch at an edge
           {{0, 0, 10, 10}, {0, 10, 10, 20}, false, {}},
           {{0, 0, 10, 10}, {5, 5, 20, 20}, true, {5, 5, 10, 10}},
           {{0, 0, 10, 10}, {2, 3, 4, 5}, true, {2, 3, 4, 5}},  // inside
           {{-5, -5, 5, 5}, {-10, 0, 0, 10}, true, {-5, 0, 0, 5}},
           {{0, 0, 10, 10}, {20, 20, 30, 30}, false, {}}}) {
    EXPECT_EQ(std::make_pair(RectsOverlap(c.a, c.b), RectsOverlap(c.b, c.a)), std::make_pair(c.overlap, c.overlap));
    TRect r{1, 1, 1, 1};
    IntersectRects(c.a, c.b, r);
    EXPECT_EQ(r, c.common);
  }
}

std::vector<TRect> Rects(const TClipList& c) {
  std::vector<TRect> out;
  for (int32_t i = 0; i < c.Count(); ++i) out.push_back(c.Get(i));
  return out;
}

TEST(ClipList, MergesNearbyRectangles) {
  const std::vector<std::pair<std::vector<TRect>, std::vector<TRect>>> cases = {
      // A gap of 15 pixels merges, one of 30 does not.
      {{{0, 0, 10, 10}, {25, 0, 35, 10}}, {{0, 0, 35, 10}}},
      {{{0, 0, 10, 10}, {40, 0, 50, 10}}, {{0, 0, 10, 10}, {40, 0, 50, 10}}},
      // Exactly 20 pixels away still merges; 21 does not.
      {{{0, 0, 10, 10}, {30, 30, 40, 40}}, {{0, 0, 40, 40}}},
      {{{0, 0, 10, 10}, {31, 0, 40, 10}}, {{0, 0, 10, 10}, {31, 0, 40, 10}}},
      // Empty rectangles are ignored.
      {{{5, 5, 5, 10}, {0, 0, 10, -1}}, {}},
      // The union restarts and swallows the rectangle on the other side.
      {{{0, 0, 10, 10}, {60, 0, 70, 10}, {28, 0, 42, 10}}, {{0, 0, 70, 10}}},
      // A union moves to the end of the list.
      {{{0, 0, 10, 10}, {100, 100, 110, 110}, {5, 5, 15, 15}}, {{100, 100, 110, 110}, {0, 0, 15, 15}}},
      // Far edges do not overflow.
      {{{INT32_MAX - 5, 0, INT32_MAX, 5}, {INT32_MIN, 0, INT32_MIN + 5, 5}},
       {{INT32_MAX - 5, 0, INT32_MAX, 5}, {INT32_MIN, 0, INT32_MIN + 5, 5}}}};
  for (size_t i = 0; i < cases.size(); ++i) {
    TClipList c;
    for (const TRect& r : cases[i].first) c.AddRect(r);
    EXPECT_EQ(Rects(c), cases[i].second) << "case " << i;
  }
}

TEST(ClipList, InsideRectangleChangesNothing) {
  TClipList c;
  c.AddRect({0, 0, 100, 100});
  EXPECT_TRUE(c.Changed);
  c.Changed = false;
  c.AddRect({10, 10, 20, 20});
  EXPECT_FALSE(c.Changed);
  EXPECT_EQ(c.Count(), 1);  // swallowed
  c.AddRect({90, 90, 130, 130});
  EXPECT_TRUE(c.Changed);
  EXPECT_EQ(Rects(c), std::vector<TRect>{(TRect{0, 0, 130, 130})});
  c.Changed = false;
  c.Delete(0);
  EXPECT_TRUE(c.Changed);
  EXPECT_THROW(c.Get(0), EListError);
  c.Changed = false;
  c.Clear();
  EXPECT_TRUE(c.Changed);
}

TEST(IntList, PutGrowsWithZerosAndBadIndexesChangeNothing) {
  TIntList l;
  l.Put(5, 7);
  l.Put(2, 3);
  auto all = [&l] {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < l.Count(); ++i) out.push_back(l.Get(i));
    return out;
  };
  EXPECT_EQ(all(), (std::vector<int32_t>{0, 0, 3, 0, 0, 7}));
  EXPECT_EQ((std::vector<int32_t>{l.IndexOf(3), l.IndexOf(99), l.Add(99)}), (std::vector<int32_t>{2, -1, 6}));
  l.Delete(0);
  EXPECT_EQ(l.IndexOf(99), 5);
  for (int32_t bad : {-1, TIntList::kMaxCount, INT32_MAX}) EXPECT_THROW(l.Put(bad, 5), EListError) << bad;
  EXPECT_THROW(l.Get(6), EListError);
  EXPECT_THROW(l.Get(-1), EListError);
  EXPECT_EQ(l.Count(), 6);
  EXPECT_EQ(test::ErrorText<EListError>([&] { l.Get(7); }), "List index out of bounds (7)");
  TIntArray a;
  a.Add(4);
  a.Add(-9);
  EXPECT_EQ(std::make_pair(a.Count(), a.Get(1)), std::make_pair(2, -9));
  EXPECT_THROW(a.Get(2), EListError);
  EXPECT_THROW(a.Get(-1), EListError);
}

// Every item is reached exactly once from the item its name finds through
// the older items of that name, and every cached index is the item's
// position.
void ExpectConsistent(const THashCollection& c) {
  std::set<const THashCollectionItem*> reached;
  for (int32_t i = 0; i < c.Count(); ++i) {
    EXPECT_EQ(c.GetItem(i).CachedIndex(), i);
    for (const THashCollectionItem* p = c.Find(c.GetItem(i).Name()); p != nullptr; p = p->OlderNamesake()) {
      EXPECT_TRUE(SjisSameText(p->Name(), c.GetItem(i).Name()));
      reached.insert(p);
    }
  }
  EXPECT_EQ(reached.size(), static_cast<size_t>(c.Count()));
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
  // The later of two equal names wins.
  c.AddNamed("SCORE");
  EXPECT_EQ(c.IndexOf("score"), 3);
  c.Delete(3);
  EXPECT_EQ(c.IndexOf("score"), 0);
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
  EXPECT_EQ(std::make_pair(c.IndexOf("abc"), c.IndexOf("LONGER NAME")), std::make_pair(-1, 0));
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

}  // namespace
}  // namespace orba
