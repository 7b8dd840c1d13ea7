#include "text/label_list.h"

#include <algorithm>
#include <map>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"
#include "graphics/dib.h"
#include "script/save/scene_versions.h"

namespace orba {

const char kDefaultLabelFont[] = "\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N";  // ＭＳ Ｐゴシック

namespace {

// Borders and shadows of stored settings are bounded where they are used,
// and so is the size of a label's surfaces.
constexpr int32_t kMaxDecoration = 255;

int32_t Decoration(int32_t v) { return std::clamp(v, 0, kMaxDecoration); }

}  // namespace

std::array<uint8_t, TKsLabelList::kMetricsSize> OutlineTextMetricsBytes(const TFontMetrics& m) {
  std::array<uint8_t, TKsLabelList::kMetricsSize> b{};
  size_t at = 0;
  const auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at++] = static_cast<uint8_t>(v >> (8 * i));
  };
  const auto puti = [&](int32_t v) { put(static_cast<uint32_t>(v)); };
  put(TKsLabelList::kMetricsSize);
  for (int32_t v : {m.Height, m.Ascent, m.Descent, m.InternalLeading, m.ExternalLeading, m.AveCharWidth,
                    m.MaxCharWidth, m.Weight, m.Overhang, 96, 96})
    puti(v);
  for (uint8_t v : {m.FirstChar, m.LastChar, m.DefaultChar, m.BreakChar, m.Italic, m.Underlined, m.StruckOut,
                    m.PitchAndFamily, m.CharSet})
    b[at++] = v;
  at = 61;  // after the padding and the filler byte
  std::copy(m.Panose.begin(), m.Panose.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  at = 72;
  put(m.Selection);
  put(m.EmbeddingType);
  for (int32_t v : {m.SlopeRise, m.SlopeRun, m.ItalicAngle}) puti(v);
  put(m.EmSquare);
  puti(m.TypoAscent);
  puti(m.TypoDescent);
  for (uint32_t v : {m.LineGap, m.CapHeight, m.XHeight}) put(v);
  for (int32_t v : {m.BoxLeft, m.BoxTop, m.BoxRight, m.BoxBottom, m.MacAscent, m.MacDescent}) puti(v);
  put(m.MacLineGap);
  put(m.MinimumPpem);
  for (int32_t v : {m.SubscriptSizeX, m.SubscriptSizeY, m.SubscriptOffsetX, m.SubscriptOffsetY, m.SuperscriptSizeX,
                    m.SuperscriptSizeY, m.SuperscriptOffsetX, m.SuperscriptOffsetY})
    puti(v);
  put(m.StrikeoutSize);
  for (int32_t v : {m.StrikeoutPosition, m.UnderscoreSize, m.UnderscorePosition}) puti(v);
  return b;  // the four name pointers stay 0
}

void TKsLabelDIB::SetText(const std::string& s) {
  if (s == Text) return;
  Text = s;
  Changed = true;
}

void TKsLabelDIB::Render() {
  const std::vector<uint16_t> codes = SjisCharCodes(Text);
  if (Advances.size() != codes.size()) Owner.CalcWidths();
  const int32_t bits = Owner.Target != nullptr ? Owner.Target->BitCount() : 32;
  const bool drawable = int64_t{Width} * Height <= kMaxScriptSurfacePixels;
  Colour.SetSize(drawable ? Width : 0, drawable ? Height : 0, bits);
  Cover.SetSize(drawable ? Width : 0, drawable ? Height : 0, 8);
  Cover.Fill(0);
  Changed = false;
  if (!drawable) return;
  TFontPixelManager& glyphs = Owner.Glyphs();
  glyphs.SetLevel(Owner.AntiAlias);
  TGlyphPaint paint{Owner.TextColor, Owner.BorderColor, Owner.ShadowColor, Decoration(Owner.Border),
                    Decoration(Owner.ShadowOffset)};
  int32_t x = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    // The glyph is drawn at once: the next request may evict it.
    TFontPixel& glyph = glyphs.GetGlyph(codes[i], Owner.FontName, Owner.Style, Owner.FontSize);
    paint.RunStart = i == 0;
    paint.RunEnd = i + 1 == codes.size();
    glyph.Draw(Colour, Cover, paint, TRect{x, 0, x + Advances[i], Height});
    x += Advances[i];
  }
}

void TKsLabelDIB::Draw(int32_t x, int32_t y) {
  TCustomDIBX* target = Owner.Target;
  if (target == nullptr) return;
  if (Changed || Colour.BitCount() != target->BitCount()) Render();
  const TRect rect{0, 0, Width, Height};
  if (Decoration(Owner.Border) == 0 && Decoration(Owner.ShadowOffset) == 0) {
    target->DrawColorMask(x, y, Cover, rect, false, false, static_cast<uint32_t>(target->ColorToPixel(Owner.TextColor)),
                          Owner.Alpha);
  } else if (Owner.Alpha < 255) {
    target->DrawAlphaMask(x, y, Colour, rect, false, false, Cover, Owner.Alpha);
  } else {
    target->DrawMask(x, y, Colour, rect, false, false, Cover);
  }
}

TKsLabelList::TKsLabelList() : TKsLabelList(nullptr) {}

TKsLabelList::TKsLabelList(TFontPixelManager* glyphs) : FontName(kDefaultLabelFont), glyphs_(glyphs) {}

TKsLabelDIB& TKsLabelList::Add() {
  items_.push_back(std::make_unique<TKsLabelDIB>(*this));
  return *items_.back();
}

TKsLabelDIB* TKsLabelList::GetItem(int32_t index) {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int32_t TKsLabelList::GetMaxWidth() const {
  int32_t width = 0;
  for (const auto& label : items_) width = std::max(width, label->Width);
  return width;
}

void TKsLabelList::SetFontSize(int32_t size) {
  FontSize = size;
  Invalidate();
}

void TKsLabelList::Invalidate() {
  for (auto& label : items_) label->Changed = true;
}

void TKsLabelList::CalcWidths() {
  TFontFace& face = Glyphs().SelectFont(FontName, FontSize, Style);
  const TFontMetrics& m = face.Metrics();
  if (!metrics_loaded_) OutlineMetrics = OutlineTextMetricsBytes(m);
  const int32_t extra = m.Overhang + 2 * Decoration(Border) + Decoration(ShadowOffset);
  const int32_t height = m.Height + 2 * Decoration(Border) + Decoration(ShadowOffset);
  std::map<uint16_t, int32_t> measured;
  for (auto& label : items_) {
    label->Height = height;
    label->Advances.clear();
    int64_t width = 0;
    const std::vector<uint16_t> codes = SjisCharCodes(label->Text);
    for (size_t i = 0; i < codes.size(); ++i) {
      const bool last = i + 1 == codes.size();
      auto it = measured.find(codes[i]);
      int32_t advance;
      if (it != measured.end() && !last) {
        advance = it->second;
      } else {
        const TAbcWidths abc = face.CharWidths(codes[i]);
        advance = abc.A + abc.B + abc.C + extra;
        measured[codes[i]] = advance;
        // The last glyph keeps what it draws past its advance.
        if (last && abc.C < 0) advance -= abc.C;
      }
      label->Advances.push_back(advance);
      width += advance;
    }
    label->Width = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
  }
}

void TKsLabelList::SaveToStream(TKsBigStream& stream) {
  for (int32_t v : {AntiAlias, Border, Alpha, FontSize}) WriteStreamInt(stream, v);
  WriteStreamString(stream, FontName);
  WriteStreamInt(stream, TextColor);
  WriteStreamInt(stream, BorderColor);
  WriteStreamByte(stream, Style);
  stream.WriteBuffer(OutlineMetrics.data(), kMetricsSize);
  WriteStreamInt(stream, ShadowOffset);
  WriteStreamInt(stream, ShadowColor);
}

void TKsLabelList::LoadFromStream(TKsBigStream& stream, int32_t version) {
  int32_t anti_alias = ReadStreamInt(stream);
  if (version < kSceneAntiAliasLevelVersion) anti_alias = anti_alias < 2 ? 0 : 3;
  const int32_t border = ReadStreamInt(stream), alpha = ReadStreamInt(stream), size = ReadStreamInt(stream);
  std::string name = ReadStreamString(stream);
  const int32_t text_color = ReadStreamInt(stream), border_color = ReadStreamInt(stream);
  const uint8_t style = ReadByteVal(stream);
  std::array<uint8_t, kMetricsSize> metrics;
  stream.ReadBuffer(metrics.data(), kMetricsSize);
  int32_t shadow_offset = ShadowOffset, shadow_color = ShadowColor;
  if (version >= kSceneLabelShadowVersion) {
    shadow_offset = ReadStreamInt(stream);
    shadow_color = ReadStreamInt(stream);
  }
  AntiAlias = anti_alias, Border = border, Alpha = alpha, FontSize = size, FontName = std::move(name);
  TextColor = text_color, BorderColor = border_color, Style = style, OutlineMetrics = metrics;
  ShadowOffset = shadow_offset, ShadowColor = shadow_color;
  metrics_loaded_ = true;
  Invalidate();
}

}  // namespace orba
