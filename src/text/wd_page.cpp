#include "text/wd_page.h"

#include <algorithm>
#include <functional>

#include "core/streams/stream_encoding.h"
#include "graphics/dib.h"
#include "text/ks_word.h"
#include "text/wd_image.h"

namespace orba {

int32_t TWdPage::GetWidth() { return Word.Width; }
int32_t TWdPage::GetAbsLeft() { return Word.X; }
int32_t TWdPage::GetAbsTop() { return Word.Paging == 0 ? Word.Y - ScrollOffset : Word.Y; }

void TWdPage::Arrange() {
  FHeight = 0;
  for (TWdGlyph* child : children_) {
    auto* row = static_cast<TWdRow*>(child);
    row->Arrange();
    FHeight = std::max(FHeight, SaturateInt32(int64_t{row->Y} + row->GetHeight()));
    for (TWdGlyph* f : row->Floats())
      FHeight = std::max(FHeight, SaturateInt32(int64_t{row->Y} + f->Y + f->GetHeight()));
  }
}

void TWdPage::Render(bool reset) {
  TDIBX& text = Word.TextSurface;
  int32_t w = std::max(0, Word.Width), h = std::max(0, Word.MaxHeight);
  // A text box larger than any screen (sizes from script values) shows
  // nothing rather than failing the paint.
  if (int64_t{w} * h > kMaxScriptSurfacePixels) w = h = 0;
  if (text.Width() != w || text.Height() != h || text.BitCount() != Word.ScreenBitCount)
    text.SetSize(w, h, Word.ScreenBitCount);
  if (Word.Coverage.Width() != w || Word.Coverage.Height() != h || Word.Coverage.BitCount() != 8)
    Word.Coverage.SetSize(w, h, 8);
  if (w == 0 || h == 0) return;
  text.Fill(0);
  Word.Coverage.Fill(0);
  TWdComposite::Render(reset);
}

TWdGlyph* TWdPage::GlyphAt(int32_t x, int32_t y) {
  if (x < Word.X || y < Word.Y || x >= Word.X + Word.Width || y >= Word.Y + Word.MaxHeight) return nullptr;
  x -= Word.X;
  y = y - Word.Y + ScrollOffset;
  for (TWdGlyph* child : children_) {
    auto* row = static_cast<TWdRow*>(child);
    if (y < row->Y || y >= row->Y + row->GetHeight()) continue;
    if (TWdGlyph* g = row->GlyphAt(x - row->X, y - row->Y)) return g;
  }
  for (TWdGlyph* child : children_)
    for (TWdGlyph* g : static_cast<TWdRow*>(child)->Children())
      if (g->GetGlyphType() == gtImage && g->GetAlign() != 0 && PointInRect(TPoint{x, y}, g->PageRect())) return g;
  return nullptr;
}

std::vector<TWdGlyph*> TWdPage::HoverRun() {
  std::vector<TWdGlyph*> run;
  if (HoverGlyph == nullptr) return run;
  const std::string link = HoverGlyph->GetLink();
  for (int32_t i = Word.IndexOf(HoverGlyph); i >= 0 && i < Word.GetCount(); ++i) {
    TWdGlyph* g = Word.GetGlyph(i);
    if (g->GetGlyphType() == gtReturn || g->GetLink() != link) break;
    run.push_back(g);
  }
  return run;
}

void TWdPage::HoverAt(int32_t x, int32_t y) {
  TWdGlyph* g = x < 0 || y < 0 ? nullptr : GlyphAt(x, y);
  if (g != nullptr && g->GetLink().empty()) g = nullptr;
  if (g != nullptr) {
    for (int32_t i = Word.IndexOf(g) - 1; i >= 0; --i) {
      TWdGlyph* prev = Word.GetGlyph(i);
      if (prev->GetGlyphType() == gtReturn || prev->GetLink() != g->GetLink()) break;
      g = prev;
    }
  }
  if (g == HoverGlyph) return;
  HighlightRun(false);
  HoverGlyph = g;
  HighlightRun(true);
}

void TWdPage::HighlightRun(bool on) {
  const std::vector<TWdGlyph*> run = HoverRun();
  for (TWdGlyph* g : run) {
    g->SetHighlight(on ? 1 : 0);
    g->Erase();
    g->Render(false);
    g->Invalidate();
  }
  if (run.empty()) return;
  if (TWdGlyph* after = Word.GetGlyph(Word.IndexOf(run.back()) + 1)) {
    after->Erase();
    after->Render(false);
  }
}

std::string TWdPage::GetHoverText() {
  std::string s;
  for (TWdGlyph* g : HoverRun()) s += g->GetText();
  return s;
}

bool TWdPage::IsShowing() {
  if (Word.Paging != 0) return (RowsRemain() && Word.Paused == 0) || !Fading.empty();
  if (!Fading.empty()) return true;
  return RowsRemain() && Row(CurRow)->Y + Row(CurRow)->GetHeight() - ScrollOffset <= Word.MaxHeight;
}

bool TWdPage::IsComplete() { return !RowsRemain() && Fading.empty(); }

void TWdPage::ResetTiming() {
  WaitBudget = 0, FadeAccumulator = 0;
  SkipCounter = Word.FadeTime >= 1 ? 1 : 0;
}

void TWdPage::ResetDisplay() {
  CurRow = CurGlyph = 0;
  ResetTiming();
  Complete = 0;
  Fading.clear();
  Animated.clear();
}

void TWdPage::ClearPage() {
  Clear();
  ScrollOffset = 0;
  Word.Caret = TPoint{};
  Word.CaretHeight = 0;
  Complete = 0;
  HoverGlyph = nullptr;
  Fading.clear();
  Animated.clear();
}

int32_t TWdPage::GetSavedAlpha(TWdGlyph* glyph) {
  const bool fading = saving_ ? std::binary_search(fading_sorted_.begin(), fading_sorted_.end(), glyph, std::less<>())
                              : std::find(Fading.begin(), Fading.end(), glyph) != Fading.end();
  return fading ? 255 : glyph->GetAlpha();
}

void TWdPage::StoreVarValues() {
  std::vector<std::string> list;
  CollectVarValues(list);
  VarValues.clear();
  for (const std::string& line : list) VarValues += line + "\r\n";
}

void TWdPage::SaveState(TKsBigStream& stream) {
  WriteStreamInt(stream, ScrollOffset);
  WriteStreamInt(stream, CurRow);
  WriteStreamInt(stream, CurGlyph);
  WriteStreamByte(stream, Complete);
  WriteStreamString(stream, PendingEvents);
  // Every glyph asks whether it is fading: one sorted copy answers them
  // all, where a search of the list each would grow with the square of a
  // long message.
  fading_sorted_.assign(Fading.begin(), Fading.end());
  std::sort(fading_sorted_.begin(), fading_sorted_.end(), std::less<>());
  saving_ = true;
  struct TDone {
    TWdPage& page;
    ~TDone() {
      page.saving_ = false;
      page.fading_sorted_.clear();
    }
  } done{*this};
  for (TWdGlyph* row : children_)
    for (TWdGlyph* g : static_cast<TWdRow*>(row)->Children()) g->SaveState(stream, *this);
}

void TWdPage::LoadState(TKsBigStream& stream, int64_t end) {
  ScrollOffset = ReadStreamInt(stream);
  CurRow = std::clamp(ReadStreamInt(stream), 0, GetCount());
  const int32_t glyph = ReadStreamInt(stream);
  CurGlyph = RowsRemain() ? std::clamp(glyph, 0, std::max(0, Row(CurRow)->GetCount() - 1)) : 0;
  Complete = ReadByteVal(stream);
  PendingEvents = ReadStreamString(stream);
  Fading.clear();
  Animated.clear();
  for (TWdGlyph* row : children_) {
    for (TWdGlyph* g : static_cast<TWdRow*>(row)->Children()) {
      g->LoadState(stream, end);
      if (g->GetAlpha() > 0 && g->IsAnimated()) Animated.push_back(g);
    }
  }
}

}  // namespace orba
