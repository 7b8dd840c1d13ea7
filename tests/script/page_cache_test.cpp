// The interpreter's page cache: ten pages, least recently used out first,
// never the page being executed.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

std::string Order(const TCallMan& cm) {
  std::string out;
  for (int32_t i = 0; i < cm.GetCount(); ++i) out += cm.GetItem(i)->Name.substr(0, 1);
  return out;
}

class PageCache : public ::testing::Test {
 protected:
  void SetUp() override {
    TPageBuilder p;
    p.Log("x");
    for (char c = 'a'; c <= 'l'; ++c) t.Put(std::string(1, c) + ".osb", p);
  }
  TInterp t;
};

TEST_F(PageCache, ElevenPagesEvictTheLeastRecentlyUsed) {
  for (char c = 'a'; c <= 'j'; ++c) t.Cm.GetPage(std::string(1, c) + ".osb", true);
  EXPECT_EQ(Order(t.Cm), "jihgfedcba");
  t.Cm.GetPage("a.osb", true);  // a cached page moves to the front
  EXPECT_EQ(Order(t.Cm), "ajihgfedcb");
  EXPECT_EQ(t.Pages.Loads, 10);
  t.Cm.GetPage("k.osb", true);
  EXPECT_EQ(Order(t.Cm), "kajihgfedc");
  EXPECT_EQ(t.Pages.Loads, 11);
  t.Cm.GetPage("b.osb", true);  // loaded again
  EXPECT_EQ(t.Pages.Loads, 12);
}

TEST_F(PageCache, TheCurrentPageIsNeverEvicted) {
  t.Cm.Start("a.osb");
  for (char c = 'b'; c <= 'j'; ++c) t.Cm.GetPage(std::string(1, c) + ".osb", true);
  t.Cm.GetPage("k.osb", true);
  EXPECT_EQ(Order(t.Cm), "kjihgfedcba");  // eleven: the last one runs
  EXPECT_EQ(t.Cm.CurrentPage->Name, "a.osb");
  t.Cm.GetPage("l.osb", true);
  EXPECT_EQ(t.Cm.GetCount(), 12);
  t.Cm.CurrentPage = t.Cm.GetPage("k.osb", true);
  t.Cm.GetPage("c.osb", true);  // a cached page: no eviction
  EXPECT_EQ(t.Cm.GetCount(), 12);
  t.Cm.GetPage("a.osb", true);
  EXPECT_THROW(t.Cm.GetPage("m.osb", false), EOrbaError);  // missing: nothing changes
  EXPECT_EQ(t.Cm.GetCount(), 12);
}

TEST_F(PageCache, LookupWithoutMovingAppendsAndKeepsOrder) {
  t.Cm.GetPage("a.osb", true);
  t.Cm.GetPage("b.osb", true);
  t.Cm.PC = 5;
  t.Cm.GetPage("a.osb", false);
  t.Cm.GetPage("c.osb", false);
  EXPECT_EQ(Order(t.Cm), "bac");
  EXPECT_EQ(t.Cm.PC, 5);  // only a move to the front resets PC
  t.Cm.GetPage("c.osb", true);
  EXPECT_EQ(t.Cm.PC, 0);
  EXPECT_EQ(Order(t.Cm), "cba");
}

TEST_F(PageCache, NamesCompareExactlyAndFailedLoadsAreNotKept) {
  t.Cm.GetPage("a.osb", true);
  EXPECT_THROW(t.Cm.GetPage("A.osb", true), EOrbaError);
  t.Pages.Files["bad.osb"] = {0x73, 0, 0, 0};
  EXPECT_THROW(t.Cm.GetPage("bad.osb", true), EReadError);
  EXPECT_EQ(Order(t.Cm), "a");
}

}  // namespace
}  // namespace orba::test
