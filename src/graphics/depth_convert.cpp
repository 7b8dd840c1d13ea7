#include "graphics/depth_convert.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "graphics/color_convert.h"
#include "graphics/color_reduction.h"
#include "graphics/fast_dib.h"

namespace orba {

namespace {

const uint8_t* TableBytes(const TColorTable& table) { return reinterpret_cast<const uint8_t*>(table.data()); }

// Nearest palette index of the destination per colour, remembered.
class TNearestCache {
 public:
  explicit TNearestCache(TDIBSurface& dest) : dest_(dest) {}
  uint32_t operator()(uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t rgb = uint32_t{r} << 16 | uint32_t{g} << 8 | b;
    auto it = cache_.find(rgb);
    if (it != cache_.end()) return it->second;
    const uint32_t index = dest_.ChannelsToPixel(r, g, b);
    cache_.emplace(rgb, index);
    return index;
  }

 private:
  TDIBSurface& dest_;
  std::unordered_map<uint32_t, uint32_t> cache_;
};

// Visits every source pixel that lands inside the destination.
template <typename Visit>
void ForEachInside(TDIBSurface& dest, int32_t x, int32_t y, TPixelView& src, Visit visit) {
  const int64_t x0 = std::max<int64_t>(0, -int64_t{x}), y0 = std::max<int64_t>(0, -int64_t{y});
  const int64_t x1 = std::min<int64_t>(src.Width, int64_t{dest.Width()} - x);
  const int64_t y1 = std::min<int64_t>(src.Height, int64_t{dest.Height()} - y);
  for (int64_t sy = y0; sy < y1; ++sy)
    for (int64_t sx = x0; sx < x1; ++sx)
      visit(static_cast<int32_t>(sx), static_cast<int32_t>(sy), static_cast<int32_t>(sx + x),
            static_cast<int32_t>(sy + y));
}

// Fast-bitmap form of a depth: the bit count and the layout code.
void FastForm(int32_t bits, int32_t& fast_bits, int32_t& layout) {
  fast_bits = bits == 15 ? 16 : bits;
  layout = bits == 15 ? 555 : bits == 16 ? 565 : bits == 32 ? 888 : 0;
}

}  // namespace

void DrawConvert(TDIBSurface& dest, int32_t x, int32_t y, int64_t key, TDIBSurface& source) {
  TDIBSurface old;  // keeps the source's pixels when it is the destination
  old.Assign(&source);
  const int32_t db = dest.GetBitCount(), sb = source.GetBitCount();
  if (dest.Empty() || old.Empty()) return;
  TPixelView src = old.ReadView();
  if (db > 8) {
    ConvertCopy(dest.WriteView(), nullptr, x, y, src, TableBytes(old.ImageTable()), old.GetBounds());
    return;
  }
  if (sb == db &&
      std::memcmp(TableBytes(old.ImageTable()), TableBytes(dest.ImageTable()), size_t{4} << db) == 0) {
    if (key >= 0) dest.DrawKeyed(x, y, key, old.GetBounds(), old);
    else dest.Draw(x, y, old);
    return;
  }
  TPixelView to = dest.WriteView();
  TNearestCache nearest(dest);
  if (sb <= 8) {
    uint32_t map[256];
    for (int32_t i = 0; i < (1 << sb); ++i) {
      const TRGBQuad& q = old.ImageTable()[static_cast<size_t>(i)];
      map[i] = nearest(q.Red, q.Green, q.Blue);
    }
    ForEachInside(dest, x, y, src, [&](int32_t sx, int32_t sy, int32_t dx, int32_t dy) {
      const uint32_t p = ViewGetPixel(src, sx, sy);
      if (p != key) ViewSetPixel(to, dx, dy, map[p & 0xFF]);
    });
    return;
  }
  ForEachInside(dest, x, y, src, [&](int32_t sx, int32_t sy, int32_t dx, int32_t dy) {
    uint8_t r, g, b;
    old.PixelToRGB(ViewGetPixel(src, sx, sy), r, g, b, true);
    ViewSetPixel(to, dx, dy, nearest(r, g, b));
  });
}

void ConvertBitCount(TDIBSurface& surface, int32_t new_bits, int32_t max_colors, bool dither) {
  if (new_bits != 1 && new_bits != 4 && new_bits != 8 && new_bits != 15 && new_bits != 16 && new_bits != 24 &&
      new_bits != 32)
    return;
  const int32_t bits = surface.GetBitCount();
  if (surface.Empty()) {
    surface.ChangeBitCount(new_bits);
    return;
  }
  const int32_t w = surface.Width(), h = surface.Height();
  TDIBSurface copy;
  copy.Assign(&surface);

  // A palette that grows keeps its entries and indices; the new entries are black.
  if (bits <= 8 && new_bits <= 8 && new_bits >= bits && (int64_t{1} << bits) <= max_colors) {
    TColorTable table{};
    std::copy_n(copy.ImageTable().begin(), 1 << bits, table.begin());
    surface.ColorTable = table;
    surface.SetSize(w, h, new_bits);
    surface.CommitTable();
    TPixelView from = copy.ReadView(), to = surface.WriteView();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) ViewSetPixel(to, x, y, ViewGetPixel(from, x, y));
    return;
  }

  // Few enough colours for an exact palette of the new depth. A 32-bit
  // picture does not list its colours and goes to the reducer, which is
  // exact too when the colours fit.
  if (new_bits <= 8 && bits != 32) {
    const int32_t count = surface.CountColors();
    if (count <= max_colors && count <= (1 << new_bits)) {
      const std::vector<uint32_t> colours = surface.CollectColors();
      TColorTable table{};
      for (size_t i = 0; i < colours.size() && i < table.size(); ++i)
        table[i] = MakeQuad(static_cast<uint8_t>(colours[i]), static_cast<uint8_t>(colours[i] >> 8),
                            static_cast<uint8_t>(colours[i] >> 16));
      surface.ColorTable = table;
      surface.SetSize(w, h, new_bits);
      surface.CommitTable();
      DrawConvert(surface, 0, 0, -1, copy);
      return;
    }
  }

  // The colour reducer over fast bitmaps.
  int32_t fast_bits, layout;
  FastForm(bits, fast_bits, layout);
  TFastDIB source;
  source.SetSize(w, h, fast_bits, layout);
  source.Colors = copy.ImageTable();
  TPixelView from = copy.ReadView();
  const size_t row_bytes = static_cast<size_t>(std::min<int64_t>(source.RowSize, std::abs(from.Pitch)));
  for (int32_t y = 0; y < h; ++y) std::memcpy(source.Row(y), from.Row(y), row_bytes);
  TFastDIB reduced;
  const TFastDIB* input = &source;
  if (new_bits == 1 && bits >= 8) {
    reduced.SetSize(w, h, 4, 0);
    ConvertFastDIBDepth(reduced, source, false, dither, 15);
    input = &reduced;
  }
  FastForm(new_bits, fast_bits, layout);
  TFastDIB target;
  target.SetSize(w, h, fast_bits, layout);
  ConvertFastDIBDepth(target, *input, false, dither, max_colors & 0xFF);

  if (new_bits <= 8) surface.ColorTable = target.Colors;
  surface.SetSize(w, h, new_bits);
  surface.CommitTable();
  TPixelView to = surface.WriteView();
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(to.Row(y), target.Row(y), static_cast<size_t>(std::min<int64_t>(target.RowSize, std::abs(to.Pitch))));
    if (new_bits == 32)
      for (int32_t x = 0; x < w; ++x) to.Row(y)[4 * x + 3] = 0xFF;
  }
}

void SetSizeOf(TDIB& dib, int32_t width, int32_t height, int32_t bit_count) {
  if (auto* surface = dynamic_cast<TDIBSurface*>(&dib)) {
    surface->SetSize(width, height, bit_count);
    return;
  }
  dib.RequestedLayout = bit_count == 15 ? Layout555() : bit_count == 16 ? Layout565() : Layout888();
  dib.SetSize(width, height, bit_count == 15 ? 16 : bit_count);
}

}  // namespace orba
