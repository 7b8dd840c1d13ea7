#include "text/wd_page.h"

#include <gtest/gtest.h>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "platform/headless/fake_fonts.h"
#include "platform/text_convert.h"
#include "support/test_support.h"
#include "text/ks_word.h"
#include "text/markup.h"
#include "text/wd_image.h"

namespace orba {
namespace {

using TPages = std::vector<std::unique_ptr<TWdPage>>;

class TOneCell : public TWdImageCells {
 public:
  TOneCell() {
    dib.SetSize(6, 10, 32);
    dib.Fill(0x00336699);
  }
  TCustomDIBX* Surface() override { return &dib; }
  TDIBX dib;
};

class TFakeImages : public TWdImageSource {
 public:
  std::unique_ptr<TWdImageCells> Load(const std::string& name) override {
    return name == "pic" ? std::make_unique<TOneCell>() : nullptr;
  }
};

struct TWordFixture {
  TFakeFonts fonts;
  TFontPixelManager glyphs{&fonts};
  TFakeImages images;
  TWdImageSource* saved = SetWdImageSource(&images);
  TKsWord word;
  TPages pages;
  TDIBX target;

  TWordFixture(const char* utf8, int32_t width, int32_t max_height) {
    word.Glyphs = &glyphs;
    word.FontSize = 16, word.Width = width, word.MaxHeight = max_height, word.X = 5, word.Y = 7;
    word.TextColor = 0xFFFFFF, word.ShadowColor = 0x0000FF;
    word.BuildGlyphs(Utf8ToSjis(utf8));
    word.Layout(pages, 0, -1);
    target.SetSize(220, 80, 32);
    target.Fill(0x101010);
    word.Target = &target;
    word.PaintRect = TRect{0, 0, 220, 80};
  }
  ~TWordFixture() { SetWdImageSource(saved); }
};

TEST(PageRender, PageEqualsTheReferenceDrawnGlyphByGlyph) {
  TWordFixture f("<FONT BORDER=1>あ</FONT><FONT SHADOW=2>い</FONT><RUBY VALUE=ab>う</RUBY><U>e</U><IMG SRC=pic>", 200, 60);
  ASSERT_EQ(f.pages.size(), 1u);
  f.pages[0]->Render(false);
  f.pages[0]->Paint();

  // The reference: cells worked out by hand (one row 24 high on a common
  // bottom line), drawn through the glyph cache and painted as the page does.
  TDIBX colour, cover, expected;
  colour.SetSize(200, 60, 32), cover.SetSize(200, 60, 8), expected.SetSize(220, 80, 32);
  colour.Fill(0), cover.Fill(0), expected.Fill(0x101010);
  struct TRef {
    uint16_t Code;
    TRect Cell;
    int32_t Border, Shadow;
    uint8_t Style;
    bool Start, End;
  };
  const TRef cells[] = {{0x82A0, {0, 6, 18, 24}, 1, 0, 0, true, true}, {0x82A2, {18, 6, 36, 24}, 0, 2, 0, true, true},
                        {'a', {38, 0, 46, 8}, 0, 0, 0, true, true},     {'b', {46, 0, 54, 8}, 0, 0, 0, true, true},
                        {0x82A4, {36, 8, 52, 24}, 0, 0, 0, true, false}, {'e', {52, 8, 68, 24}, 0, 0, 4, false, true}};
  std::vector<TRect> painted;
  for (const TRef& c : cells) {
    TGlyphPaint paint{0xFFFFFF, 0x808080, 0x0000FF, c.Border, c.Shadow, c.Start, c.End};
    const int32_t size = c.Code < 256 && c.Cell.Bottom == 8 ? 8 : 16;
    TRect r = f.glyphs.GetGlyph(c.Code, kDefaultWordFont, c.Style, size).Draw(colour, cover, paint, c.Cell);
    if (c.Cell.Top == 0) {  // the ruby joins the painted area of its character
      painted.push_back(r);
      continue;
    }
    for (const TRect& ruby : painted)
      r = TRect{std::min(r.Left, ruby.Left), std::min(r.Top, ruby.Top), std::max(r.Right, ruby.Right), std::max(r.Bottom, ruby.Bottom)};
    painted.clear();
    if (c.Border + c.Shadow > 0) expected.DrawMask(5 + r.Left, 7 + r.Top, colour, r, false, false, cover);
    else expected.DrawColorMask(5 + r.Left, 7 + r.Top, cover, r, false, false, 0xFFFFFF, 255);
  }
  TOneCell pic;
  expected.Draw(5 + 68, 7 + 14, pic.dib, TRect{0, 0, 6, 10}, false, false, false);
  int32_t differing = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 220; ++x) differing += f.target.GetPixel(x, y) != expected.GetPixel(x, y);
  EXPECT_EQ(differing, 0);
}

TEST(PageRender, GlyphsOutsideTheSurfaceAreClippedToTheTextBox) {
  TWordFixture f("<DIV ALIGN=CENTER>あいう<BR>えお<BR>かきく<BR>け</DIV>", 0, 20);
  f.word.Paging = 0;
  TPages pages;
  f.word.Width = 0;
  f.word.Layout(pages, 0, -1);  // centred against width 0: negative x
  pages[0]->Render(false);
  pages[0]->Paint();
  int32_t outside = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 220; ++x)
      if (x < 5 || y < 7 || x >= 5 + f.word.Width || y >= 7 + 20) outside += f.target.GetPixel(x, y) != 0x101010;
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(TWdImg::Opacity(255, 384), 384);  // additive at strength 128 when fully shown
  EXPECT_EQ(TWdImg::Opacity(128, 128), 64);
}

TEST(PageLayout, TextFlowsAroundALeftFloatingImage) {
  TWordFixture f("あいうえおかきくけこさしすせそ", 100, 200);
  auto img = std::make_unique<TWdImg>(f.word);
  img->Name = "pic", img->Align = waLeft;
  f.word.Insert(0, std::move(img));
  TPages pages;
  f.word.Layout(pages, 0, -1);
  ASSERT_EQ(pages.size(), 1u);
  std::vector<int32_t> counts;
  for (int32_t r = 0; r < pages[0]->GetCount(); ++r) counts.push_back(pages[0]->Row(r)->GetCount());
  EXPECT_EQ(counts, (std::vector<int32_t>{6, 6, 4}));
  EXPECT_EQ(f.word.GetGlyph(1)->X, 6);
  EXPECT_EQ(f.word.GetGlyph(6)->X, 0);
}

// Steps the page with ticks of Dt ms until it completes; answers the tick
// time at which each character was revealed.
std::vector<int32_t> RevealTimes(TWdPage& page, int32_t dt, std::vector<std::string>* log = nullptr) {
  std::vector<int32_t> times;
  page.ResetDisplay();
  bool completed = false;
  for (int32_t t = -dt, n = 0; !completed && n < 200; t += dt, ++n) {
    FrameTime = dt;
    std::string text;
    page.Step(completed, text);
    for (size_t i = 0; i < text.size(); i += static_cast<uint8_t>(text[i]) >= 0x80 ? 2 : 1) times.push_back(t);
    if (log != nullptr && !text.empty()) log->push_back("text@" + std::to_string(t));
  }
  return times;
}

struct TTimingCase {
  const char* Text;
  int32_t Delay;
  std::vector<int32_t> Times;
};

class PageTiming : public testing::TestWithParam<TTimingCase> {};

TEST_P(PageTiming, CharactersAppearAtTheirWaits) {
  TWordFixture f(GetParam().Text, 200, 60);
  f.word.TextDelay = GetParam().Delay;
  EXPECT_EQ(RevealTimes(*f.pages[0], 15), GetParam().Times);
}

INSTANTIATE_TEST_SUITE_P(Waits, PageTiming, testing::Values(
    TTimingCase{"あいう", 256, {0, 60, 105}}, TTimingCase{"あいう", 512, {0, 105, 210}},
    TTimingCase{"<WAIT VALUE=-40>あいう</WAIT>", 512, {0, 45, 90}}, TTimingCase{"あいう", -1, {0, 0, 0}},
    TTimingCase{"<WAIT VALUE=0>あいう</WAIT>", 256, {0, 0, 0}}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.Text); });

TEST(PageTiming, EventsFireInOrderOnlyAfterFadingEnds) {
  TWordFixture f("あ<EVENT VALUE=one><EVENT VALUE=two>い", 200, 60);
  f.word.FadeTime = 100;
  f.word.EventsEnabled = 1;
  std::vector<std::string> log;
  TWdGlyph* a = f.word.GetGlyph(0);
  f.word.OnEvent = [&](TKsWord&, const std::string& e) { log.push_back(e + (a->GetAlpha() == 255 ? "" : "!")); };
  const std::vector<int32_t> times = RevealTimes(*f.pages[0], 15, &log);
  EXPECT_EQ(log, (std::vector<std::string>{"text@0", "one", "two", "text@120"}));  // the step after the events waits nothing
  EXPECT_EQ(times, (std::vector<int32_t>{0, 120}));
}

TEST(PageState, SkipShowsThePageAndSavedStateComesBackClamped) {
  TWordFixture f("あい<BR>うえ", 200, 60);
  TWdPage& page = *f.pages[0];
  page.ResetDisplay();
  page.Skip();
  EXPECT_TRUE(page.IsComplete());
  EXPECT_EQ(f.word.GetGlyph(4)->GetAlpha(), 255);
  TKsMemoryStream saved;
  page.SaveState(saved);
  const std::vector<uint8_t> bytes = saved.TakeBytes();

  TKsMemoryStream hostile;  // indexes past the page and the alphas cut short
  WriteStreamInt(hostile, 0), WriteStreamInt(hostile, 99), WriteStreamInt(hostile, -5);
  WriteStreamByte(hostile, 1), WriteStreamString(hostile, ""), WriteStreamInt(hostile, 128);
  hostile.SetPosition(0);
  TPages again;
  f.word.Layout(again, 0, -1);
  again[0]->Render(true);
  again[0]->LoadState(hostile, hostile.GetSize());
  EXPECT_EQ(again[0]->CurRow, 2);
  EXPECT_EQ(again[0]->CurGlyph, 0);
  EXPECT_EQ(f.word.GetGlyph(0)->GetAlpha(), 128);
  EXPECT_EQ(f.word.GetGlyph(1)->GetAlpha(), 0);
  bool completed = true;
  std::string text;
  again[0]->Step(completed, text);
  again[0]->Step(completed, text);
  EXPECT_FALSE(completed);  // completion was saved as reported

  TKsSpanStream back(bytes.data(), static_cast<int64_t>(bytes.size()));
  again[0]->LoadState(back, back.GetSize());
  EXPECT_EQ(f.word.GetGlyph(1)->GetAlpha(), 255);
}

}  // namespace
}  // namespace orba
