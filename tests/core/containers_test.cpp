#include "core/containers/containers.h"

#include <gtest/gtest.h>

#include "core/containers/clip_list.h"
#include "core/errors.h"
#include "core/sjis_test_helpers.h"
#include "core/streams/stream_encoding.h"

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

TEST(ObjList, OwnsAndFreesItsObjects) {
  std::vector<int> freed;
  {
    TObjList<TTracked> list;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.Add(std::make_unique<TTracked>(freed, i)), i);
    list.Delete(1);
    EXPECT_EQ(freed, std::vector<int>{1});
    std::unique_ptr<TTracked> kept = list.Extract(0);
    EXPECT_EQ((std::vector<int32_t>{list.Count(), list.Get(0).id_, list.IndexOf(&list.Get(1)), list.IndexOf(kept.get())}),
              (std::vector<int32_t>{2, 2, 1, -1}));
    EXPECT_THROW(list.Get(2), EListError);
    EXPECT_THROW(list.Move(0, 2), EListError);
    EXPECT_EQ(list.Count(), 2);  // a bad move loses nothing
    list.Move(0, 1);
    EXPECT_EQ(list.Get(0).id_, 3);
    list.Insert(0, std::make_unique<TTracked>(freed, 9));
    list.Clear();
    EXPECT_EQ(freed, (std::vector<int>{1, 9, 3, 2}));  // from index 0 upwards
    list.Add(std::make_unique<TTracked>(freed, 5));
  }
  EXPECT_EQ(freed.back(), 5);
  EXPECT_EQ(freed.size(), 6u);  // the extracted one went with `kept`
}

TEST(ArrayString, StreamFormIsHandWorked) {
  TArrayString a;
  a.Add("ab");
  a.Add("");
  a.Add(SjisBytes("83 5c"));  // ソ
  TKsMemoryStream s;
  a.SaveToStream(s);
  EXPECT_EQ(ToHex(s.Bytes()),
            "03 00 00 00 02 00 00 00 61 62 00 00 00 00 02 00 00 00 83 5c");
  s.SetPosition(0);
  TArrayString b;
  b.Add("old");
  b.LoadFromStream(s);
  EXPECT_EQ(b, a);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
  TArrayString c;
  c.Assign(a);
  EXPECT_EQ(c.Get(2), SjisBytes("83 5c"));
  EXPECT_THROW(c.Get(3), EListError);
}

TEST(ArrayString, NegativeLengthReadsAsEmpty) {
  TKsMemoryStream s(FromHex("02 00 00 00 ff ff ff ff 01 00 00 00 7a"));
  TArrayString a;
  a.LoadFromStream(s);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Get(0) + "|" + a.Get(1), "|z");
}

class ArrayStringBadInput : public testing::TestWithParam<const char*> {};

TEST_P(ArrayStringBadInput, RaisesAndKeepsTheOldContent) {
  TKsMemoryStream s(FromHex(GetParam()));
  TArrayString a;
  a.Add("keep");
  EXPECT_THROW(a.LoadFromStream(s), EReadError);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Get(0), "keep");
}

INSTANTIATE_TEST_SUITE_P(Cases, ArrayStringBadInput,
                         testing::Values("ff ff ff 7f",                 // count far beyond the data
                                         "ff ff ff ff",                 // negative count
                                         "02 00 00 00 01 00 00 00 61",  // second string missing
                                         "01 00 00 00 05 00 00 00 61",  // string cut short
                                         "01 00"));                     // count cut short

struct TabCase {
  const char* text;
  std::vector<const char*> items;
};

class TabStringsSplit : public testing::TestWithParam<TabCase> {};

TEST_P(TabStringsSplit, FollowsTheTrailingTabRules) {
  TTabStrings t;
  t.Add("stale");
  t.SetDelimitedText(SjisBytes(GetParam().text));
  ASSERT_EQ(t.Count(), static_cast<int32_t>(GetParam().items.size()));
  for (size_t i = 0; i < GetParam().items.size(); ++i) {
    EXPECT_EQ(t.Get(static_cast<int32_t>(i)), SjisBytes(GetParam().items[i])) << i;
    EXPECT_EQ(t.GetField(static_cast<int32_t>(i)), SjisBytes(GetParam().items[i])) << i;
  }
  EXPECT_EQ(t.GetField(t.Count()), "");
  EXPECT_EQ(t.GetField(-1), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TabStringsSplit,
    testing::Values(TabCase{"61 09 09 62", {"61", "-", "62"}},
                    TabCase{"61 09 62 09", {"61", "62"}},
                    TabCase{"-", {}},
                    TabCase{"09", {"-"}},
                    TabCase{"61 62", {"61 62"}},
                    TabCase{"09 09", {"-", "-"}},
                    TabCase{"81 09 61 09 62", {"81 09 61", "62"}},  // lead byte + 0x09 is one character
                    TabCase{"61 09 81", {"61", "81"}}));            // lone lead byte at the end

TEST(TabStrings, OtherDelimiter) {
  TTabStrings t;
  t.Delimiter = ',';
  t.SetDelimitedText("a,b\tc");
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t.Get(1), "b\tc");
}

struct ClipCase {
  std::vector<TRect> added;
  std::vector<TRect> kept;
};

class ClipListMerge : public testing::TestWithParam<ClipCase> {};

TEST_P(ClipListMerge, KeepsTheExpectedRectangles) {
  TClipList c;
  for (const TRect& r : GetParam().added) c.AddRect(r);
  ASSERT_EQ(c.Count(), static_cast<int32_t>(GetParam().kept.size()));
  for (int32_t i = 0; i < c.Count(); ++i) EXPECT_EQ(c.Get(i), GetParam().kept[static_cast<size_t>(i)]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipListMerge,
    testing::Values(
        // A gap of 15 pixels merges, one of 30 does not.
        ClipCase{{{0, 0, 10, 10}, {25, 0, 35, 10}}, {{0, 0, 35, 10}}},
        ClipCase{{{0, 0, 10, 10}, {40, 0, 50, 10}}, {{0, 0, 10, 10}, {40, 0, 50, 10}}},
        // Exactly 20 pixels away still merges; 21 does not.
        ClipCase{{{0, 0, 10, 10}, {30, 30, 40, 40}}, {{0, 0, 40, 40}}},
        ClipCase{{{0, 0, 10, 10}, {31, 0, 40, 10}}, {{0, 0, 10, 10}, {31, 0, 40, 10}}},
        // Empty rectangles are ignored.
        ClipCase{{{5, 5, 5, 10}, {0, 0, 10, -1}}, {}},
        // The union restarts and swallows the rectangle on the other side.
        ClipCase{{{0, 0, 10, 10}, {60, 0, 70, 10}, {28, 0, 42, 10}}, {{0, 0, 70, 10}}},
        // A union moves to the end of the list.
        ClipCase{{{0, 0, 10, 10}, {100, 100, 110, 110}, {5, 5, 15, 15}}, {{100, 100, 110, 110}, {0, 0, 15, 15}}},
        // Far edges do not overflow.
        ClipCase{{{INT32_MAX - 5, 0, INT32_MAX, 5}, {INT32_MIN, 0, INT32_MIN + 5, 5}},
                 {{INT32_MAX - 5, 0, INT32_MAX, 5}, {INT32_MIN, 0, INT32_MIN + 5, 5}}}));

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
  EXPECT_EQ(c.Get(0), (TRect{0, 0, 130, 130}));
  c.Changed = false;
  c.Delete(0);
  EXPECT_TRUE(c.Changed);
  EXPECT_THROW(c.Get(0), EListError);
  c.Changed = false;
  c.Clear();
  EXPECT_TRUE(c.Changed);
}

}  // namespace
}  // namespace orba
