#include "text/font_pixels.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/errors.h"
#include "graphics/dib.h"

namespace orba {

namespace {

// A coverage layer of one cell, row by row.
struct TLayer {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Cover;

  TLayer(int32_t w, int32_t h) : Width(w), Height(h), Cover(static_cast<size_t>(w) * static_cast<size_t>(h)) {}
  uint8_t& At(int32_t x, int32_t y) { return Cover[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)]; }
  void FillRows(int32_t top, int32_t thickness, int32_t left, int32_t right) {
    for (int32_t y = std::max(top, 0); y < std::min(top + thickness, Height); ++y)
      for (int32_t x = std::max(left, 0); x < std::min(right, Width); ++x) At(x, y) = 255;
  }
};


// Out[x] := the greatest of In[x - Radius .. x + Radius] that lie inside
// the N values (Step apart in both), in time independent of the radius: a
// queue of candidate indexes whose values fall from front to back.
void SlidingMax(const uint8_t* in, uint8_t* out, int32_t n, size_t step, int32_t radius, std::vector<int32_t>& queue) {
  queue.clear();
  size_t head = 0;
  int32_t next = 0;
  for (int32_t x = 0; x < n; ++x) {
    for (; next < n && next <= x + radius; ++next) {
      while (queue.size() > head && in[static_cast<size_t>(queue.back()) * step] <= in[static_cast<size_t>(next) * step])
        queue.pop_back();
      queue.push_back(next);
    }
    while (queue[head] < x - radius) ++head;
    out[static_cast<size_t>(x) * step] = in[static_cast<size_t>(queue[head]) * step];
  }
}

// The greatest value over the square of side 2 x Radius + 1 around each
// pixel (rows first, then columns). Borders up to 255 pixels wide make the
// square large, so each pass slides its window in linear time.
TLayer Spread(TLayer& layer, int32_t radius) {
  TLayer rows(layer.Width, layer.Height), out(layer.Width, layer.Height);
  if (layer.Width == 0 || layer.Height == 0) return out;
  std::vector<int32_t> queue;
  const size_t width = static_cast<size_t>(layer.Width);
  for (int32_t y = 0; y < layer.Height; ++y)
    SlidingMax(&layer.At(0, y), &rows.At(0, y), layer.Width, 1, radius, queue);
  for (int32_t x = 0; x < layer.Width; ++x)
    SlidingMax(&rows.At(x, 0), &out.At(x, 0), layer.Height, width, radius, queue);
  return out;
}

// Blends two raw pixels channel by channel with weight W (0..255) for the
// first; palette depths take the one with the greater weight.
uint32_t BlendPixel(TCustomDIBX& surface, uint32_t pass, uint32_t old, uint32_t w) {
  if (surface.BitCount() <= 8) return w >= 128 ? pass : old;
  uint32_t out = 0;
  for (uint32_t mask : {surface.RedMask(), surface.GreenMask(), surface.BlueMask()}) {
    if (mask == 0) continue;
    const int shift = std::countr_zero(mask);
    const uint32_t p = (pass & mask) >> shift, o = (old & mask) >> shift;
    out |= (((p * w + o * (255 - w)) / 256) << shift) & mask;
  }
  return out;
}

// Lays passes over a cell of the two surfaces, pixel by pixel, and keeps
// the rectangle it changed.
class TCellPainter {
 public:
  TCellPainter(TCustomDIBX& colour, TCustomDIBX& coverage, const TRect& cell)
      : colour_(colour), coverage_(coverage), cell_(cell) {
    TRect a, b;
    IntersectRects(colour.GetClipRect(), TRect{0, 0, colour.Width(), colour.Height()}, a);
    IntersectRects(coverage.GetClipRect(), TRect{0, 0, coverage.Width(), coverage.Height()}, b);
    IntersectRects(a, b, a);
    IntersectRects(a, cell, clip_);
  }

  // Without border and shadow: the pass colour wherever the layer covers,
  // and the greater coverage.
  void Plain(TLayer& layer, int32_t color) {
    const uint32_t pixel = static_cast<uint32_t>(colour_.ColorToPixel(color));
    Each(layer, 0, [&](int32_t x, int32_t y, uint8_t c) {
      colour_.SetPixel(x, y, pixel);
      coverage_.SetPixel(x, y, std::max<uint32_t>(coverage_.GetPixel(x, y), c));
    });
  }

  // A pass over what is there: coverage a becomes a + (255 - a) x c / 255,
  // and each channel moves towards the pass colour by c x 255 / (new a).
  // Pixels the pass does not cover are left alone.
  void Over(TLayer& layer, int32_t shift, int32_t color) {
    const uint32_t pixel = static_cast<uint32_t>(colour_.ColorToPixel(color));
    Each(layer, shift, [&](int32_t x, int32_t y, uint8_t c) {
      if (c == 255) {
        coverage_.SetPixel(x, y, 255);
        colour_.SetPixel(x, y, pixel);
        return;
      }
      const uint32_t a = coverage_.GetPixel(x, y) & 0xFF;
      const uint32_t covered = a + (255 - a) * c / 255;
      const uint32_t w = std::min<uint32_t>(255, c * 255 / covered);
      coverage_.SetPixel(x, y, covered);
      colour_.SetPixel(x, y, BlendPixel(colour_, pixel, colour_.GetPixel(x, y), w));
    });
  }

  const TRect& Changed() const { return changed_; }

 private:
  template <typename Fn>
  void Each(TLayer& layer, int32_t shift, Fn fn) {
    for (int32_t ly = 0; ly < layer.Height; ++ly)
      for (int32_t lx = 0; lx < layer.Width; ++lx) {
        const uint8_t c = layer.At(lx, ly);
        const int32_t x = cell_.Left + lx + shift, y = cell_.Top + ly + shift;
        if (c == 0 || x < clip_.Left || x >= clip_.Right || y < clip_.Top || y >= clip_.Bottom) continue;
        fn(x, y, c);
        if (RectIsEmpty(changed_)) changed_ = TRect{x, y, x + 1, y + 1};
        changed_ = TRect{std::min(changed_.Left, x), std::min(changed_.Top, y), std::max(changed_.Right, x + 1),
                         std::max(changed_.Bottom, y + 1)};
      }
  }

  TCustomDIBX& colour_;
  TCustomDIBX& coverage_;
  TRect cell_, clip_, changed_;
};

}  // namespace

TRect TFontPixel::Draw(TCustomDIBX& colour, TCustomDIBX& coverage, const TGlyphPaint& paint, const TRect& cell) {
  const int32_t w = cell.Right - cell.Left, h = cell.Bottom - cell.Top;
  if (w <= 0 || h <= 0) return TRect{};
  // A cell larger than any screen (a SIZE tag of thousands of pixels) is
  // not drawn, as a label bitmap of that size is not made.
  if (int64_t{w} * h > kMaxScriptSurfacePixels) return TRect{};
  const int32_t border = std::max(0, paint.Border), shadow = std::max(0, paint.Shadow);
  // A cell wider than the glyph with its border and shadow shares the
  // slack by the A and C widths.
  const int32_t slack = w - (Advance() + 2 * border + shadow);
  int32_t share = 0;
  if (slack > 0) {
    const int32_t part = A + C == 0 ? slack / 2 : static_cast<int32_t>(std::lround(double{1} * slack * A / (A + C)));
    share = std::max(0, std::clamp(part, 0, slack) - XOffset);
  }

  TLayer glyph(w, h);
  const int32_t gx = XOffset + share + border, gy = YOffset + border;
  for (int32_t y = 0; y < GetHeight(); ++y) {
    const uint8_t* row = Coverage.Lock(0, y);
    for (int32_t x = 0; row != nullptr && x < GetWidth(); ++x)
      if (gx + x >= 0 && gx + x < w && gy + y >= 0 && gy + y < h) glyph.At(gx + x, gy + y) = row[x];
  }
  const int32_t bar_left = paint.RunStart ? border : 0, bar_right = paint.RunEnd ? w - border - shadow : w;
  glyph.FillRows(border + UnderlineY, UnderlineThickness, bar_left, bar_right);
  glyph.FillRows(border + StrikeY, StrikeThickness, bar_left, bar_right);

  TCellPainter painter(colour, coverage, cell);
  if (border == 0 && shadow == 0) {
    painter.Plain(glyph, paint.TextColor);
  } else {
    TLayer outline = border > 0 ? Spread(glyph, border) : glyph;
    if (shadow > 0) painter.Over(outline, shadow, paint.ShadowColor);
    if (border > 0) painter.Over(outline, 0, paint.BorderColor);
    painter.Over(glyph, 0, paint.TextColor);
  }
  return painter.Changed();
}

void TFontPixelManager::SetLevel(int32_t level) { level_ = std::clamp(level, 0, 3); }

TFontPixel* TFontPixelManager::Find(uint16_t code, const std::string& font_name, int32_t size, uint8_t style,
                                    int32_t level) {
  for (TFontPixel* glyph : buckets_[code & 0xFF])
    if (glyph->Code == code && glyph->Size == size && glyph->Style == style && glyph->Level == level &&
        glyph->FontName == font_name)
      return glyph;
  return nullptr;
}

void TFontPixelManager::CheckEngine() {
  if (engine_ != nullptr || face_generation_ == FontEngineGeneration()) return;
  // Another engine was installed: its fonts draw differently.
  Clear();
  face_generation_ = FontEngineGeneration();
}

TFontFace& TFontPixelManager::SelectFont(const std::string& font_name, int32_t size, uint8_t style) {
  CheckEngine();
  if (face_ != nullptr && face_name_ == font_name && face_size_ == size && face_style_ == style) return *face_;
  face_.reset();
  face_ = (engine_ != nullptr ? *engine_ : Fonts()).CreateFace(TFontRequest{font_name, size, style});
  if (face_ == nullptr) throw EOrbaError("Error:GetOutlineTextMetrics");
  face_name_ = font_name, face_size_ = size, face_style_ = style;
  return *face_;
}

TFontPixel& TFontPixelManager::GetGlyph(uint16_t code, const std::string& font_name, uint8_t style, int32_t size) {
  CheckEngine();
  if (TFontPixel* cached = Find(code, font_name, size, style, level_)) {
    recent_.splice(recent_.begin(), recent_, cached->place_);
    return *cached;
  }
  SelectFont(font_name, size, style);
  auto glyph = std::make_unique<TFontPixel>();
  glyph->Code = code, glyph->FontName = font_name, glyph->Size = size, glyph->Style = style, glyph->Level = level_;
  Render(*glyph);
  TFontPixel& made = *glyph;
  recent_.push_front(std::move(glyph));
  made.place_ = recent_.begin();
  buckets_[code & 0xFF].push_back(&made);
  if (recent_.size() > kCapacity) {
    TFontPixel* last = recent_.back().get();
    std::vector<TFontPixel*>& bucket = buckets_[last->Code & 0xFF];
    bucket.erase(std::find(bucket.begin(), bucket.end(), last));
    recent_.pop_back();
  }
  return made;
}

void TFontPixelManager::Render(TFontPixel& glyph) {
  TFontFace& face = *face_;
  TGlyphBitmap bitmap;
  bool ok = face.RenderGlyph(glyph.Code, level_, bitmap);
  if (!ok && level_ > 0) {
    level_ = 0;
    ok = face.RenderGlyph(glyph.Code, 0, bitmap);
  }
  const TAbcWidths abc = face.CharWidths(glyph.Code);
  const TFontMetrics& m = face.Metrics();
  glyph.A = abc.A, glyph.C = abc.C;
  if (ok && bitmap.Width > 0 && bitmap.Height > 0) {
    glyph.Coverage.SetSize(bitmap.Width, bitmap.Height, 8);
    for (int32_t y = 0; y < bitmap.Height; ++y)
      std::copy_n(bitmap.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * bitmap.Width, bitmap.Width,
                  glyph.Coverage.Lock(0, y));
    glyph.XOffset = std::max(0, bitmap.OriginX);
    glyph.YOffset = std::max(0, m.Ascent - bitmap.OriginY);
    glyph.RightRemainder = std::max(0, bitmap.Advance - (glyph.XOffset + bitmap.Width));
  } else {
    glyph.RightRemainder = abc.A + abc.B + abc.C;
  }
  if ((glyph.Style & kFontUnderline) != 0) {
    glyph.UnderlineY = m.Ascent - m.UnderscorePosition;
    glyph.UnderlineThickness = m.UnderscoreSize;
  }
  if ((glyph.Style & kFontStrikeOut) != 0) {
    glyph.StrikeY = m.Ascent - m.StrikeoutPosition;
    glyph.StrikeThickness = static_cast<int32_t>(m.StrikeoutSize);
  }
}

void TFontPixelManager::Clear() {
  for (auto& bucket : buckets_) bucket.clear();
  recent_.clear();
  face_.reset();
}

TFontPixelManager& FontPixels() {
  static TFontPixelManager manager;
  return manager;
}

}  // namespace orba
