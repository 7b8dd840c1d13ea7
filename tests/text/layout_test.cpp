#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/errors.h"
#include "platform/text_convert.h"
#include "support/test_support.h"
#include "text/ks_word.h"
#include "text/line_break.h"
#include "text/wd_char.h"
#include "text/wd_page.h"

namespace orba {
namespace {

using TPages = std::vector<std::unique_ptr<TWdPage>>;

// Rows joined with "/", pages with "|"; characters in UTF-8, a line break
// as "^".
std::string Describe(const TPages& pages) {
  std::string out;
  for (const auto& page : pages) {
    if (!out.empty()) out += "|";
    for (int32_t r = 0; r < page->GetCount(); ++r) {
      if (r > 0) out += "/";
      for (TWdGlyph* g : page->Row(r)->Children()) out += g->GetGlyphType() == gtReturn ? "^" : g->GetText();
    }
  }
  return SjisToUtf8(out);
}

TPages LayOut(TKsWord& word, const std::string& utf8, int32_t width, int32_t max_height) {
  word.FontSize = 10;
  word.Width = width, word.MaxHeight = max_height;
  word.BuildGlyphs(Utf8ToSjis(utf8));
  TPages pages;
  word.Layout(pages, 0, -1);
  return pages;
}

struct TLayoutCase {
  const char* Text;
  int32_t Width, MaxHeight;
  const char* Expected;
};

class LayoutTest : public testing::TestWithParam<TLayoutCase> {};

TEST_P(LayoutTest, RowsAndPages) {
  TKsWord word;
  EXPECT_EQ(Describe(LayOut(word, GetParam().Text, GetParam().Width, GetParam().MaxHeight)), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutTest, testing::Values(
    TLayoutCase{"あいうえお。", 50, 100, "あいうえ/お。"},  // the full stop takes the character before along
    TLayoutCase{"あいうえ「お", 50, 100, "あいうえ/「お"},
    TLayoutCase{"abc def", 50, 100, "abc /def"}, TLayoutCase{"a  b\rc", 0, 100, "a b c"},
    TLayoutCase{"あ<NOBR>いうえお</NOBR>か", 40, 100, "あ/いうえお/か"},
    TLayoutCase{"あ<RUBY VALUE=xy>いう</RUBY>えお", 25, 100, "あ/いう/えお"},
    TLayoutCase{"あいうえおかきくけこさしすせそ", 50, 25, "あいうえお/かきくけこ|さしすせそ"},
    TLayoutCase{"<FONT SIZE=30>あ</FONT>いう<BR>え", 100, 25, "あいう^|え"},
    TLayoutCase{"あ<BR CLEAR>い<CLEAR>う", 100, 100, "あ^|い^|う"},
    TLayoutCase{"あい<INDENT>うえおか<UNDENT>き", 40, 100, "あいうえ/おか/き"},
    TLayoutCase{"<B>あ</B><XYZ>い<!-- x -->う", 0, 100, "あいう"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.Text); });

TEST(Layout, WidthZeroTakesTheWidestRowAndLineBreakRowsTakeTheFontSize) {
  TKsWord word;
  const TPages pages = LayOut(word, "あいう<BR><BR>え", 0, 100);
  EXPECT_EQ(word.Width, 30);
  ASSERT_EQ(pages[0]->GetCount(), 3);
  EXPECT_EQ(pages[0]->Row(1)->GetHeight(), 10);
  EXPECT_EQ(pages[0]->Row(2)->Y, 20);
}

// Sizes from scripts or saved games far out of range saturate instead of
// overflowing (a character cell is kept within kMaxCellSide).
TEST(Layout, SizesFarOutOfRangeSaturate) {
  TKsWord word;
  word.DefaultBorder = INT32_MIN / 2;
  word.LineSpace = INT32_MAX;
  word.Paging = 0;
  TPages pages = LayOut(word, "<DIV ALIGN=RIGHT>AB<BR>CD", 0, 100);
  ASSERT_EQ(pages[0]->GetCount(), 2);
  EXPECT_EQ(pages[0]->Row(0)->GetItem(1)->GetWidth(), -kMaxCellSide);
  EXPECT_EQ(pages[0]->Row(1)->Y, INT32_MAX);
  EXPECT_EQ(pages[0]->GetHeight(), INT32_MAX);
}

TEST(Layout, AlignmentPlacesRowsAndAnOffsetPastTheEndMeansTheLastGlyph) {
  TKsWord word;
  const TPages pages = LayOut(word, "<DIV ALIGN=RIGHT>あ<BR></DIV><DIV ALIGN=CENTER>い</DIV>", 100, 100);
  EXPECT_EQ(pages[0]->Row(0)->GetFirstChar()->X, 90);
  EXPECT_EQ(pages[0]->Row(1)->GetFirstChar()->X, 45);
  EXPECT_EQ(word.IndexOfTextOffset(1000), -1);
  TPages again;
  word.Layout(again, 0, 1000);
  EXPECT_EQ(Describe(again), "あ^/い");
}

TEST(Layout, BuildingFailsOnALinkWithoutHrefAndKeepsWhatWasBuilt) {
  TKsWord word;
  EXPECT_THROW(word.BuildGlyphs("ab<A>c"), EOrbaError);
  EXPECT_EQ(word.GetCount(), 2);
}

// Random texts of kana, kanji, ASCII words, spaces, punctuation that may
// not begin or end a line, NOBR and RUBY runs, sizes and line breaks.
std::string RandomText(std::mt19937& rng) {
  static const char* kPieces[] = {"あ", "亜", "abc", "de", " ", "。", "、", "」", "「", "（", "）", "!", "(", "?",
                                  "<NOBR>いろは</NOBR>", "<RUBY VALUE=かん>漢字</RUBY>", "<BR>",
                                  "<FONT SIZE=24>大</FONT>", "ん"};
  std::string s;
  const int n = static_cast<int>(rng() % 60);
  for (int i = 0; i < n; ++i) s += kPieces[rng() % std::size(kPieces)];
  return s;
}

TEST(Layout, LineBreakInvariantsOverRandomTexts) {
  std::mt19937 rng(20240601);
  for (int t = 0; t < 10000; ++t) {
    const std::string text = RandomText(rng);
    const int32_t width = 30 + static_cast<int32_t>(rng() % 120), max_height = 20 + static_cast<int32_t>(rng() % 60);
    TKsWord word;
    const TPages pages = LayOut(word, text, width, max_height);
    SCOPED_TRACE(text + " width " + std::to_string(width) + " height " + std::to_string(max_height));
    int32_t next = 0;
    std::map<const TWdGlyph*, const TWdRow*> row_of;
    for (const auto& page : pages) {
      EXPECT_TRUE(page->GetHeight() <= max_height || page->GetCount() == 1);
      for (int32_t r = 0; r < page->GetCount(); ++r) {
        TWdRow& row = *page->Row(r);
        ASSERT_GT(row.GetCount(), 0);
        const int32_t first = next;
        for (TWdGlyph* g : row.Children()) {
          ASSERT_EQ(g, word.GetGlyph(next++));  // every glyph once and in order
          row_of[g] = &row;
        }
        const TWdGlyph* head = row.GetItem(0);
        const TWdGlyph* before = word.GetGlyph(first - 1);
        if (before != nullptr && before->GetGlyphType() != gtReturn) {
          EXPECT_FALSE(MayNotBeginLine(head->GetText()));
        }
        const TBreakUnit unit = MeasureBreakUnit(word, first, word.GetCount() - 1);
        int32_t drawn = row.GetCount();
        if (row.GetItem(drawn - 1)->GetGlyphType() == gtReturn && drawn > 1) --drawn;
        const bool one_unit = unit.Count >= drawn;
        EXPECT_TRUE(row.GetWidth() <= width || one_unit);
        const TWdGlyph* tail = row.GetItem(row.GetCount() - 1);
        const TWdGlyph* after = word.GetGlyph(next);
        if (after != nullptr && after->GetGlyphType() != gtReturn) {
          EXPECT_FALSE(MayNotEndLine(tail->GetText()) && !one_unit);
        }
      }
    }
    EXPECT_EQ(next, word.GetCount());
    for (int32_t i = 1; i < word.GetCount(); ++i) {  // no-break and same-ruby runs never split
      const TWdGlyph *a = word.GetGlyph(i - 1), *b = word.GetGlyph(i);
      if ((a->GetNoBreak() && b->GetNoBreak()) || (!a->GetRuby().empty() && a->GetRuby() == b->GetRuby())) {
        EXPECT_EQ(row_of[a], row_of[b]);
      }
    }
  }
}

}  // namespace
}  // namespace orba
