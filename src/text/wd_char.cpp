#include "text/wd_char.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/errors.h"
#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"
#include "core/streams/stream_encoding.h"
#include "text/ks_word.h"
#include "text/wd_page.h"
#include "text/wd_row.h"

namespace orba {

namespace {

// The font attributes of a character: name, style bits, size.
struct TFontOf {
  std::string Name;
  uint8_t Style;
  int32_t Size;
};

// Whether two characters draw their outlines alike (a run of them shares
// underline and strike-out bars).
bool DrawnAlike(const TWdGlyph* a, const TWdGlyph* b) {
  if (a == nullptr || b == nullptr || a->GetGlyphType() != gtChar || b->GetGlyphType() != gtChar) return false;
  const TDecorate &x = *a->GetDecorate(), &y = *b->GetDecorate();
  return x.Border == y.Border && x.Shadow == y.Shadow && x.BorderColor == y.BorderColor &&
         x.ShadowColor == y.ShadowColor;
}

// The neighbour of a glyph in its row (Step -1 or +1), or nullptr.
TWdGlyph* Neighbour(TWdGlyph* glyph, int32_t step) {
  auto* row = dynamic_cast<TWdRow*>(glyph->Parent);
  if (row == nullptr) return nullptr;
  return row->GetItem(row->IndexOf(glyph) + step);
}

}  // namespace

TDecorate* StreamStyle(TKsWord& word, int32_t index) {
  TDecorate* style = index >= 0 && index < word.LoadStyleCount ? word.Styles.Get(word.StyleBase + index) : nullptr;
  if (style == nullptr) throw EReadError();
  return style;
}

void TWdReal::Render(bool reset) {
  if (reset) SetAlpha(0);
}

void TWdReal::Erase() {
  const TRect r = PageRect();
  Word.TextSurface.FillRect(r, 0);
  Word.Coverage.FillRect(r, 0);
}

void TWdReal::SaveState(TKsBigStream& stream, TWdPage& page) { WriteStreamInt(stream, page.GetSavedAlpha(this)); }

void TWdReal::LoadState(TKsBigStream& stream, int64_t end) {
  if (stream.GetPosition() + 4 <= end) SetAlpha(ReadStreamInt(stream));
}

void TWdReal::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  if (const auto* s = dynamic_cast<const TWdReal*>(&source)) {
    Link = s->Link, Highlight = s->Highlight, Wait = s->Wait, alpha_ = s->alpha_;
    FadeDuration = s->FadeDuration, FadeElapsed = s->FadeElapsed, FadeStart = s->FadeStart;
  }
}

void TWdReal::StartFade(int32_t duration) {
  FadeDuration = duration, FadeElapsed = 0, FadeStart = GetAlpha();
}

bool TWdReal::StepFade(int32_t dt) {
  FadeElapsed += dt;
  if (FadeElapsed >= FadeDuration) {
    SetAlpha(0);
    return true;
  }
  SetAlpha(FadeStart - static_cast<int32_t>(std::lround(double{1} * FadeElapsed / FadeDuration * FadeStart)));
  return false;
}

void TWdReal::SaveCommon(TKsBigStream& stream) const {
  WriteStreamString(stream, Link);
  WriteStreamInt(stream, Wait);
}

void TWdReal::LoadCommon(TKsBigStream& stream) {
  Link = ReadStreamString(stream);
  Wait = ReadStreamInt(stream);
}

TWdChar::TWdChar(TKsWord& word) : TWdReal(word) { style_ = Word.Styles.Intern(TDecorate{}); }

TWdChar::~TWdChar() { Word.Styles.Release(style_); }

void TWdChar::SetDecorate(const TDecorate& attrs) { Word.Styles.Change(style_, attrs); }

void TWdChar::UseStyle(TDecorate* style) { Word.Styles.Share(style_, style); }

void TWdChar::CalcSize() {
  const TCellSize cell = Word.Styles.CellSize(*style_);
  FWidth = cell.Width, FHeight = cell.Height;
}

int32_t TWdChar::TextColor() const {
  if (Highlight != 0) return Word.HoverColor;
  if (style_->Color != -1) return style_->Color;
  if (!Link.empty()) return Word.LinkColor;
  return Word.TextColor;
}

void TWdChar::Erase() {
  TWdReal::Erase();
  Word.TextSurface.FillRect(Painted, 0);
  Word.Coverage.FillRect(Painted, 0);
  Painted = TRect{};
}

void TWdChar::Render(bool reset) {
  TWdReal::Render(reset);
  const TDecorate& s = *style_;
  const TDecorateList& styles = Word.Styles;
  TFontOf font{!s.FontName.empty() ? s.FontName : !Word.FontName.empty() ? Word.FontName : kDefaultWordFont,
               static_cast<uint8_t>(s.Style | (Link.empty() ? 0 : 4)), styles.SizeOf(s)};
  TFontPixelManager& glyphs = Word.GlyphCache();
  glyphs.SetLevel(Word.AntiAlias);
  TGlyphPaint paint;
  paint.TextColor = TextColor();
  paint.BorderColor = s.BorderColor != -1 ? s.BorderColor : Word.BorderColor;
  paint.ShadowColor = s.ShadowColor != -1 ? s.ShadowColor : Word.ShadowColor;
  paint.Border = styles.BorderOf(s);
  paint.Shadow = styles.ShadowOf(s);
  const int32_t x = GetPageLeft();
  int32_t y = GetPageTop(), h = GetHeight();
  Painted = TRect{};
  auto unite = [this](const TRect& r) {
    if (RectIsEmpty(r)) return;
    if (RectIsEmpty(Painted)) Painted = r;
    else Painted = TRect{std::min(Painted.Left, r.Left), std::min(Painted.Top, r.Top),
                         std::max(Painted.Right, r.Right), std::max(Painted.Bottom, r.Bottom)};
  };
  if (!s.Ruby.empty()) {
    const int32_t r = std::max(1, font.Size / 2);
    TWdGlyph* prev = Neighbour(this, -1);
    if (prev == nullptr || prev->GetGlyphType() == gtReturn || prev->GetRuby() != s.Ruby) {
      int32_t run = 0;
      for (TWdGlyph* g = this; g != nullptr && g->GetGlyphType() != gtReturn && g->GetRuby() == s.Ruby;
           g = Neighbour(g, 1))
        run += g->GetWidth();
      TGlyphPaint ruby = paint;
      ruby.Border = std::min(ruby.Border, 1), ruby.Shadow = std::min(ruby.Shadow, 1);
      const int32_t n = JLength(s.Ruby);
      const double step = double{1} * run / n / 2;
      for (int32_t k = 1; k <= n; ++k) {
        const auto code = static_cast<uint16_t>(JCharCode(s.Ruby, k));
        const int32_t cx = x + static_cast<int32_t>(std::lround((2 * k - 1) * step)) - (code > 0xFF ? r / 2 : r / 4);
        TFontPixel& g = glyphs.GetGlyph(code, font.Name, static_cast<uint8_t>(font.Style & 3), r);
        unite(g.Draw(Word.TextSurface, Word.Coverage, ruby, TRect{cx, y, cx + r, y + r}));
      }
    }
    y += r, h -= r;
  }
  paint.RunStart = !DrawnAlike(Neighbour(this, -1), this);
  paint.RunEnd = !DrawnAlike(this, Neighbour(this, 1));
  TFontPixel& g = glyphs.GetGlyph(Code, font.Name, font.Style, font.Size);
  unite(g.Draw(Word.TextSurface, Word.Coverage, paint, TRect{x, y, x + GetWidth(), y + h}));
}

void TWdChar::Paint() {
  TCustomDIBX* target = Word.Target;
  if (target == nullptr || GetAlpha() <= 0 || RectIsEmpty(Painted)) return;
  TWdPage* page = GetPage();
  const int32_t ox = page != nullptr ? page->GetAbsLeft() : Word.X, oy = page != nullptr ? page->GetAbsTop() : Word.Y;
  const TRect box{Word.X, Word.Y, Word.X + Word.Width, Word.Y + Word.MaxHeight};
  TRect dest{Painted.Left + ox, Painted.Top + oy, Painted.Right + ox, Painted.Bottom + oy};
  IntersectRects(dest, box, dest);
  if (RectIsEmpty(dest)) return;
  const TRect src{dest.Left - ox, dest.Top - oy, dest.Right - ox, dest.Bottom - oy};
  const bool plain = Word.Styles.BorderOf(*style_) <= 0 && Word.Styles.ShadowOf(*style_) <= 0;
  if (plain)
    target->DrawColorMask(dest.Left, dest.Top, Word.Coverage, src, false, false,
                          static_cast<uint32_t>(target->ColorToPixel(TextColor())), GetAlpha());
  else if (GetAlpha() >= 255)
    target->DrawMask(dest.Left, dest.Top, Word.TextSurface, src, false, false, Word.Coverage);
  else
    target->DrawAlphaMask(dest.Left, dest.Top, Word.TextSurface, src, false, false, Word.Coverage, GetAlpha());
}

void TWdChar::SaveToStream(TKsBigStream& stream) const {
  SaveCommon(stream);
  const uint8_t code[2] = {static_cast<uint8_t>(Code & 0xFF), static_cast<uint8_t>(Code >> 8)};
  stream.WriteBuffer(code, 2);
  WriteStreamInt(stream, Word.Styles.IndexOf(style_));
}

void TWdChar::LoadFromStream(TKsBigStream& stream, int32_t version) {
  LoadCommon(stream);
  uint8_t code[2];
  stream.ReadBuffer(code, 2);
  Code = static_cast<uint16_t>(code[0] | code[1] << 8);
  UseStyle(StreamStyle(Word, ReadStreamInt(stream)));
}

void TWdChar::Assign(const TWdGlyph& source) {
  TWdReal::Assign(source);
  if (const auto* s = dynamic_cast<const TWdChar*>(&source)) {
    Code = s->Code, Painted = s->Painted;
    if (&s->Word == &Word) UseStyle(s->style_);
    else SetDecorate(*s->style_);  // an equal style of this word's list
  }
}

}  // namespace orba
