// Messages of very many characters: a glyph's place among the word's glyphs
// and among its row's children stays right through inserts and deletions;
// laying out and rendering grows in proportion to the text; a quit request
// or a heap past its ceiling cuts the work short, reading the markup
// included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"
#include "platform/headless/fake_fonts.h"
#include "text/ks_word.h"
#include "text/markup.h"
#include "text/wd_char.h"
#include "text/wd_operators.h"
#include "text/wd_page.h"

namespace orba {
namespace {

using TPages = std::vector<std::unique_ptr<TWdPage>>;

std::unique_ptr<TWdGlyph> Char(TKsWord& word, char c) {
  auto g = std::make_unique<TWdChar>(word);
  g->Code = static_cast<uint8_t>(c);
  return g;
}

// Every glyph of the word is found at its place.
void ExpectIndexesRight(const TKsWord& word) {
  for (int32_t i = 0; i < word.GetCount(); ++i) ASSERT_EQ(word.IndexOf(word.GetGlyph(i)), i) << "glyph " << i;
}

std::string TextOf(const TKsWord& word) {
  std::string s;
  for (int32_t i = 0; i < word.GetCount(); ++i) s += word.GetGlyph(i)->GetText();
  return s;
}

struct TEditCase {
  const char* Name;
  std::function<void(TKsWord&)> Edit;
  const char* Expected;
};

class WordIndexTest : public testing::TestWithParam<TEditCase> {};

TEST_P(WordIndexTest, EveryGlyphIsFoundAtItsPlaceAfterTheEdit) {
  TKsWord word;
  word.BuildGlyphs("abcdefgh");
  ExpectIndexesRight(word);  // the places are remembered before the edit
  GetParam().Edit(word);
  EXPECT_EQ(TextOf(word), GetParam().Expected);
  ExpectIndexesRight(word);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, WordIndexTest,
    testing::Values(TEditCase{"InsertFirst", [](TKsWord& w) { w.Insert(0, Char(w, 'x')); }, "xabcdefgh"},
                    TEditCase{"InsertMiddle", [](TKsWord& w) { w.Insert(4, Char(w, 'x')); }, "abcdxefgh"},
                    TEditCase{"InsertPastTheEnd", [](TKsWord& w) { w.Insert(99, Char(w, 'x')); }, "abcdefghx"},
                    TEditCase{"DeleteFirst", [](TKsWord& w) { w.Delete(0); }, "bcdefgh"},
                    TEditCase{"DeleteLast", [](TKsWord& w) { w.Delete(7); }, "abcdefg"},
                    TEditCase{"InsertRange",
                              [](TKsWord& w) {
                                std::vector<std::unique_ptr<TWdGlyph>> run;
                                for (char c : {'x', 'y', 'z'}) run.push_back(Char(w, c));
                                w.InsertRange(2, std::move(run));
                              },
                              "abxyzcdefgh"},
                    TEditCase{"DeleteRange", [](TKsWord& w) { w.DeleteRange(2, 3); }, "abfgh"},
                    TEditCase{"DeleteRangePastTheEnd", [](TKsWord& w) { w.DeleteRange(6, 50); }, "abcdef"},
                    TEditCase{"DeleteRangeNegativeCount", [](TKsWord& w) { w.DeleteRange(2, -1); }, "abcdefgh"}),
    [](const testing::TestParamInfo<TEditCase>& info) { return std::string(info.param.Name); });

TEST(WordIndex, GlyphsOutsideTheListAreNotFound) {
  TKsWord word, other;
  word.BuildGlyphs("abc");
  other.BuildGlyphs("abc");
  TWdSpace indent(word);  // of the word, but a row's own
  EXPECT_EQ(word.IndexOf(other.GetGlyph(1)), -1);
  EXPECT_EQ(word.IndexOf(&indent), -1);
  EXPECT_EQ(word.IndexOf(nullptr), -1);
  word.Delete(0);
  EXPECT_EQ(word.IndexOf(&indent), -1);
  EXPECT_EQ(word.IndexOf(word.GetGlyph(1)), 1);
}

// A variable's value goes in after it and out again as one run, however
// often, and the glyphs around it keep their places.
TEST(WordIndex, AVariablesValueExpandsAndCollapsesInPlace) {
  TKsWord word;
  word.BuildGlyphs("a<VAR NAME=v>b");
  word.VarValues = {"v=xyz"};
  auto* var = dynamic_cast<TWdOpeVar*>(word.GetGlyph(1));
  ASSERT_NE(var, nullptr);
  for (int round = 0; round < 3; ++round) {
    var->ExpandVar(true);
    EXPECT_EQ(word.GetCount(), 6);
    EXPECT_EQ(word.GetGlyph(2)->GetText() + word.GetGlyph(3)->GetText() + word.GetGlyph(4)->GetText(), "xyz");
    ExpectIndexesRight(word);
    var->CollapseVar();
    EXPECT_EQ(word.GetCount(), 3);
    ExpectIndexesRight(word);
  }
}

TEST(RowIndex, ChildrenAreFoundAtTheirPlacesAfterARemoval) {
  TKsWord word;
  word.BuildGlyphs("abcdef");
  TWdRow row(word), other(word);
  for (int32_t i = 0; i < word.GetCount(); ++i) row.Add(word.GetGlyph(i));
  row.RemoveChild(word.GetGlyph(1));
  const std::vector<TWdGlyph*> children = row.Children();
  for (size_t i = 0; i < children.size(); ++i) EXPECT_EQ(row.IndexOf(children[i]), static_cast<int32_t>(i));
  EXPECT_EQ(row.IndexOf(word.GetGlyph(1)), -1);
  EXPECT_EQ(other.IndexOf(word.GetGlyph(2)), -1);
  EXPECT_EQ(row.IndexOf(nullptr), -1);
}

// A glyph freed by its word leaves its row, from the end or the middle.
TEST(RowIndex, GlyphsFreedByTheWordLeaveTheirRow) {
  TKsWord word;
  word.BuildGlyphs("abcdef");
  TWdRow row(word);
  for (int32_t i = 0; i < word.GetCount(); ++i) row.Add(word.GetGlyph(i));
  word.Delete(5);
  word.Delete(1);
  std::string left;
  for (TWdGlyph* g : row.Children()) left += g->GetText();
  EXPECT_EQ(left, "acde");
  for (int32_t i = 0; i < row.GetCount(); ++i) EXPECT_EQ(row.IndexOf(row.GetItem(i)), i);
  word.Clear();
  EXPECT_EQ(row.GetCount(), 0);
}

// One word of Count letters (no place to break it) laid out into one row
// and rendered; answers the glyphs IndexOf looked at meanwhile.
int64_t LayOutAndRender(int32_t count) {
  TFakeFonts fonts;
  TFontPixelManager glyphs(&fonts);
  TKsWord word;
  word.Glyphs = &glyphs;
  word.FontSize = 8, word.Width = 64, word.MaxHeight = 48;
  const int64_t before = GlyphLookupSteps;
  word.BuildGlyphs(std::string(static_cast<size_t>(count), 'a'));
  TPages pages;
  word.Layout(pages, 0, -1);
  EXPECT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0]->Row(0)->GetCount(), count);
  pages[0]->Render(false);
  return GlyphLookupSteps - before;
}

// Finding each character's neighbours once searched the whole row: four
// times the text took sixteen times the work. Counted in glyphs looked at,
// not in time, it now takes four times the work, on any machine.
TEST(LongText, FourTimesTheCharactersTakeAboutFourTimesTheLookups) {
  const int64_t small = LayOutAndRender(10000), large = LayOutAndRender(40000);
  EXPECT_GE(small, 10000) << "every character finds its neighbours";
  EXPECT_LT(large, 5 * small) << small << " and " << large << " glyphs looked at";
}

int32_t GlyphsPlaced(TKsWord& word) {
  TPages pages;
  word.LayoutGlyphs(pages, 0, -1);
  int32_t placed = 0;
  for (const auto& page : pages)
    for (int32_t r = 0; r < page->GetCount(); ++r) placed += page->Row(r)->GetCount();
  return placed;
}

// In a child process: the quit request stays set. The markup is read only
// in part, and the layout stops both among many short words and inside one
// word of 90,000 letters that no row can break (one break unit, measured
// and placed in a single step).
TEST(LongText, AQuitRequestCutsTheMarkupTheBuildAndTheLayoutShort) {
  EXPECT_EXIT(
      {
        std::string words;
        while (words.size() < 90000) words += "ab ";
        TKsWord word;
        TKsWord cut;
        TKsWord unbroken;
        word.BuildGlyphs(words);
        unbroken.BuildGlyphs(std::string(90000, 'a'));
        RequestQuit();
        size_t tokenized = 0;
        for (const std::string& token : TokenizeMarkup(words)) tokenized += token.size();
        cut.BuildGlyphs(words);
        const bool markup_cut = tokenized < words.size();
        const bool build_cut = word.GetCount() == 90000 && cut.GetCount() < 90000;
        const bool layout_cut = GlyphsPlaced(word) < word.GetCount();
        const bool unit_cut = unbroken.GetCount() == 90000 && GlyphsPlaced(unbroken) < 90000;
        std::exit(markup_cut && build_cut && layout_cut && unit_cut ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(LongText, AHeapPastItsCeilingCutsTheBuildShort) {
  SetHeapCeiling(1);
  TKsWord word;
  word.BuildGlyphs(std::string(100000, 'a'));
  EXPECT_TRUE(HeapCeilingPassed());
  SetHeapCeiling(0);
  ResetHeapCeiling();
  EXPECT_LT(word.GetCount(), 100000);
  word.BuildGlyphs(std::string(100000, 'a'));
  EXPECT_EQ(word.GetCount(), 100000);
}

}  // namespace
}  // namespace orba
