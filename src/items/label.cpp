#include "items/label.h"

#include <algorithm>
#include <climits>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_string.h"
#include "core/strings/text_utils.h"
#include "graphics/dib.h"
#include "graphics/dibx_rotate.h"
#include "items/base_list.h"
#include "items/image_item.h"
#include "items/surface_limits.h"
#include "script/functions/sys_func_file.h"
#include "text/font_pixels.h"
#include "text/label_list.h"

namespace orba {

int32_t ScaleBy256(int64_t a, int64_t b) { return SaturateInt32(a * b / 256); }
int32_t SaturatedProduct(int64_t a, int64_t b) { return SaturateInt32(a * b); }

TOrbaLabel::TOrbaLabel(TOrbaBaseList* manager) : TOrbaControl(manager), FontName(kDefaultLabelFont) {}

std::string TOrbaLabel::GetText() const { return JoinLines(Lines); }

void TOrbaLabel::SetText(std::string v) {
  if (v == GetText()) return;
  Lines = SplitTextLines(v);
  Render();
}

#define ORBA_LABEL_RENDERS(field)  \
  if (v == field) return;          \
  field = v;                       \
  Render();

void TOrbaLabel::SetFontName(std::string v) { ORBA_LABEL_RENDERS(FontName) }
void TOrbaLabel::SetFontHeight(int32_t v) { ORBA_LABEL_RENDERS(FontHeight) }
void TOrbaLabel::SetLineSpace(int32_t v) { ORBA_LABEL_RENDERS(LineSpace) }
void TOrbaLabel::SetHAlign(uint8_t v) { ORBA_LABEL_RENDERS(HAlign) }
void TOrbaLabel::SetAntiAlias(bool v) { ORBA_LABEL_RENDERS(AntiAlias) }
void TOrbaLabel::SetFontStyle(TFontStyle s) {
  const auto v = static_cast<uint8_t>(FontStyleToInt(s));
  ORBA_LABEL_RENDERS(FontStyle)
}
void TOrbaLabel::SetFontColor(int32_t v) {
  ORBA_LABEL_RENDERS(FontColor)
  Invalidate();
}
#undef ORBA_LABEL_RENDERS

#define ORBA_LABEL_REDRAWS(field) \
  if (v == field) return;         \
  Invalidate();                   \
  field = v;                      \
  Invalidate();

void TOrbaLabel::SetAlpha(int32_t v) { ORBA_LABEL_REDRAWS(Alpha) }
void TOrbaLabel::SetFlipH(bool v) { ORBA_LABEL_REDRAWS(FlipH) }
void TOrbaLabel::SetFlipV(bool v) { ORBA_LABEL_REDRAWS(FlipV) }
void TOrbaLabel::SetAngle(int32_t v) { ORBA_LABEL_REDRAWS(Angle) }
#undef ORBA_LABEL_REDRAWS

void TOrbaLabel::SetZoomX(int32_t v) {
  if (v == ZoomX) return;
  Invalidate();
  ZoomX = std::max(v, 1);
  Width = ScaleBy256(NaturalWidth, ZoomX);
  Invalidate();
}

void TOrbaLabel::SetZoomY(int32_t v) {
  if (v == ZoomY) return;
  Invalidate();
  ZoomY = std::max(v, 1);
  Height = ScaleBy256(NaturalHeight, ZoomY);
  Invalidate();
}


void TOrbaLabel::Render() {
  TFontPixelManager& glyphs = FontPixels();
  glyphs.SetLevel(AntiAlias ? 3 : 0);
  const std::string face = FontName.empty() ? std::string(kDefaultLabelFont) : FontName;
  // The text bitmap is as tall as the lines' pitch makes it: the font height
  // and line space size it only up to the screen-sized limit.
  const int32_t font_height = ClampItemSide(FontHeight, Manager);
  const int32_t line_space = ClampItemSide(LineSpace, Manager);
  // The advances of every line; a glyph is used at once, as the next
  // request may evict it.
  std::vector<std::vector<std::pair<uint16_t, int32_t>>> chars(Lines.size());
  std::vector<int64_t> line_widths(Lines.size(), 0);
  int64_t natural_width = 0;
  for (size_t l = 0; l < Lines.size(); ++l) {
    for (uint16_t code : SjisCharCodes(Lines[l])) {
      const int32_t advance = glyphs.GetGlyph(code, face, FontStyle, font_height).Advance();
      chars[l].emplace_back(code, advance);
      line_widths[l] += advance;
    }
    natural_width = std::max(natural_width, line_widths[l]);
  }
  const int64_t pitch = int64_t{font_height} + line_space;
  NaturalWidth = SaturateInt32(natural_width);
  NaturalHeight = SaturatedProduct(pitch, static_cast<int64_t>(Lines.size()));
  SetBounds(Left, Top, ScaleBy256(NaturalWidth, ZoomX), ScaleBy256(NaturalHeight, ZoomY));
  LineBoxes.clear();
  if (NaturalWidth <= 0 || NaturalHeight <= 0 ||
      int64_t{NaturalWidth} * NaturalHeight > kMaxScriptSurfacePixels) {
    TextBitmap.SetSize(0, 0, 8);
    MaskBitmap.SetSize(0, 0, 8);
    Invalidate();
    return;
  }
  TOrbaBase* screen = GetScreen();
  TCustomDIBX* screen_dib = screen != nullptr ? screen->GetDIB() : nullptr;
  const int32_t bits = screen_dib != nullptr && !screen_dib->IsEmpty() ? screen_dib->BitCount() : 32;
  if (TextBitmap.Width() != NaturalWidth || TextBitmap.Height() != NaturalHeight || TextBitmap.BitCount() != bits)
    TextBitmap.SetSize(NaturalWidth, NaturalHeight, bits);
  MaskBitmap.SetSize(NaturalWidth, NaturalHeight, 8);
  MaskBitmap.Fill(0);
  const TRect mask_bounds{0, 0, NaturalWidth, NaturalHeight};
  TGlyphPaint paint;
  paint.TextColor = FontColor;
  for (size_t l = 0; l < Lines.size(); ++l) {
    const int64_t top = pitch * static_cast<int64_t>(l);
    int64_t x = 0;
    if (HAlign == HA_CENTER) x = (natural_width - line_widths[l]) / 2;
    else if (HAlign >= HA_RIGHT) x = natural_width - line_widths[l];
    TRect united{};
    for (size_t i = 0; i < chars[l].size(); ++i) {
      const auto [code, advance] = chars[l][i];
      paint.RunStart = i == 0;
      paint.RunEnd = i + 1 == chars[l].size();
      TFontPixel& glyph = glyphs.GetGlyph(code, face, FontStyle, font_height);
      const TRect cell{SaturateInt32(x), SaturateInt32(top), SaturateInt32(x + advance), SaturateInt32(top + font_height)};
      const TRect drawn = glyph.Draw(TextBitmap, MaskBitmap, paint, cell);
      united = UniteRects(united, drawn);
      x += advance;
    }
    IntersectRects(united, mask_bounds, united);
    if (!RectIsEmpty(united)) LineBoxes.push_back(united);
  }
  Invalidate();
}

TRect TOrbaLabel::DrawBounds() const {
  if ((Angle & 255) == 0) return GetBoundsRect();
  const TPoint a = GetAnchorPos();
  TRect r;
  RotatedBounds(a.X, a.Y, OffsetX, OffsetY, Angle & 255, TRect{0, 0, NaturalWidth, NaturalHeight}, ZoomX, ZoomY,
                NaturalWidth, NaturalHeight, FlipH, FlipV, r);
  return r;
}

void TOrbaLabel::Invalidate() {
  if (Lines.empty() || !GetVisible()) return;
  TOrbaBase* screen = GetScreen();
  if (screen == nullptr) return;
  TRect r = DrawBounds();
  if (GetParent() != nullptr && !GetParent()->ClipToBounds(r)) return;
  if (ClipActive()) {
    IntersectRects(r, ClipWindow(), r);
    if (RectIsEmpty(r)) return;
  }
  InflateDirtyRect(r);
  screen->InvalidateRect(r);
}

void TOrbaLabel::Draw() {
  TCustomDIBX* d = GetSurface();
  if (d != nullptr && !Lines.empty() && Alpha != 0 && !TextBitmap.IsEmpty()) {
    const TRect src{0, 0, NaturalWidth, NaturalHeight};
    if ((Angle & 255) != 0) {
      const TPoint anchor = GetAnchorPos();
      const int32_t cx = FlipH ? NaturalWidth - 1 - OffsetX : OffsetX;
      const int32_t cy = FlipV ? NaturalHeight - 1 - OffsetY : OffsetY;
      d->DrawRotateMask(anchor.X, anchor.Y, ZoomX, ZoomY, TextBitmap, src, cx, cy, Angle & 255, FlipH, FlipV,
                        MaskBitmap, Alpha);
    } else if (Width == NaturalWidth && Height == NaturalHeight) {
      const int32_t x = GetScreenLeft(), y = GetScreenTop();
      const auto pixel = static_cast<uint32_t>(d->ColorToPixel(FontColor));
      for (const TRect& box : LineBoxes)
        d->DrawColorMask(SaturateInt32(int64_t{x} + box.Left), SaturateInt32(int64_t{y} + box.Top), MaskBitmap, box, false,
                         false, pixel, Alpha);
    } else if (Width > 0 && Height > 0) {
      const TRect dest = GetBoundsRect();
      if (Alpha > 255)
        d->StretchDrawAddMask(dest, TextBitmap, src, FlipH, FlipV, MaskBitmap, Alpha - 256);
      else
        d->StretchDrawAlphaMask(dest, TextBitmap, src, FlipH, FlipV, MaskBitmap, Alpha);
    }
  }
  TOrbaControl::Draw();
}

void TOrbaLabel::FreeSurface() {
  TextBitmap.SetSize(0, 0, TextBitmap.BitCount());
  MaskBitmap.SetSize(0, 0, 8);
  LineBoxes.clear();
}

TOrbaObject* TOrbaLabel::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible()) return nullptr;
  TPoint q = p;
  if ((Angle & 255) != 0 && !TurnPointBack(p, GetAnchorPos(), Angle, q)) return nullptr;
  if (!PointInRect(q, GetBoundsRect())) return nullptr;
  for (size_t i = GetChildren().size(); i-- > 0;) {
    TOrbaControl* child = GetChildren()[i];
    if (child->GetName().empty()) continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  const uint8_t im = GetIgnoreMouse();
  return im < 8 && ((mask >> im) & 1) != 0 ? this : nullptr;
}

void TOrbaLabel::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamString(stream, FontName);
  WriteStreamInt(stream, FontHeight);
  WriteStreamInt(stream, LineSpace);
  WriteStreamByte(stream, FontStyle);
  WriteStreamInt(stream, Alpha);
  WriteStreamInt(stream, FontColor);
  WriteStreamByte(stream, HAlign);
  for (bool b : {AntiAlias, FlipH, FlipV}) WriteStreamBool(stream, b);
  WriteStreamInt(stream, Angle);
  WriteStreamInt(stream, ZoomX);
  WriteStreamString(stream, GetText());
  WriteStreamString(stream, OnIdle);
  WriteStreamString(stream, Source);
  WriteStreamBool(stream, Repeat);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamString(stream, OnPlayEnd);
  WriteStreamBool(stream, Paused);
  WriteStreamInt(stream, ZoomY);
}

void TOrbaLabel::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  FontName = ReadStreamString(stream);
  FontHeight = ReadStreamInt(stream);
  LineSpace = ReadStreamInt(stream);
  FontStyle = ReadByteVal(stream);
  Alpha = ReadStreamInt(stream);
  FontColor = ReadStreamInt(stream);
  HAlign = ReadByteVal(stream);
  for (bool* b : {&AntiAlias, &FlipH, &FlipV}) *b = ReadStreamBool(stream);
  Angle = ReadStreamInt(stream);
  ZoomX = std::max(ReadStreamInt(stream), 1);
  const std::string text = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  const std::string source = ReadStreamString(stream);
  Repeat = ReadStreamBool(stream);
  AutoScrap = ReadStreamBool(stream);
  OnPlayEnd = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  ZoomY = std::max(ReadStreamInt(stream), 1);
  SetSource(source);
  Lines = SplitTextLines(text);
  Render();
}

}  // namespace orba
