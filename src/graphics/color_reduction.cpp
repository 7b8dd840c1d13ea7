#include "graphics/color_reduction.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "graphics/pixel_format.h"
#include "graphics/pixel_view.h"

namespace orba {

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// The colour bits of a pixel of 16 bits or more (the fourth byte of a 32-bit
// pixel left out).
inline uint32_t RawAt(const TFastDIB& s, const uint8_t* row, int32_t x) {
  if (s.BitCount <= 8) return 0;
  const int bytes = s.BitCount / 8;
  return LoadPixelBytes(row + static_cast<std::ptrdiff_t>(x) * bytes, bytes) & 0xFFFFFFu;
}

// The 8-bit channels of a pixel; 16-bit pixels widened by the source's shifts
// without filling the low bits.
inline Rgb ColorAt(const TFastDIB& s, int32_t y, int32_t x) {
  const uint8_t* row = s.Row(y);
  switch (s.BitCount) {
    case 16: {
      const uint32_t p = LoadPixelBytes(row + static_cast<std::ptrdiff_t>(x) * 2, 2);
      return Rgb{static_cast<uint8_t>((p >> s.RedPos) << s.RedDrop), static_cast<uint8_t>((p >> s.GreenPos) << s.GreenDrop),
                 static_cast<uint8_t>((p & 0xFF) << s.BlueDrop)};
    }
    case 24: return Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    case 32: return Rgb{row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    default: {
      const TRGBQuad& q = s.Colors[s.IndexAt(y, x)];
      return Rgb{q.Red, q.Green, q.Blue};
    }
  }
}

inline TRGBQuad Quad(const Rgb& c) { return MakeQuad(c.r, c.g, c.b); }

inline void Put16(uint8_t* row, int32_t x, uint32_t p) {
  StorePixelBytes(row + static_cast<std::ptrdiff_t>(x) * 2, 2, p);
}

inline uint32_t Pack16(const TFastDIB& t, const Rgb& c) {
  return (c.b >> t.BlueDrop) | ((c.g >> t.GreenDrop) << t.GreenPos) | ((c.r >> t.RedDrop) << t.RedPos);
}

bool IsPaletted(const TFastDIB& s) { return s.BitCount <= 8; }

// Walks the pixels in serpentine order with Floyd-Steinberg error diffusion
// over `Channels` values scaled by 16. Load(y, x, out) gives a pixel's
// values; Quantise(y, x, clamped, chosen) writes the pixel and returns the
// values of what was written (the error is taken against them).
template <int Channels, typename Load, typename Quantise>
void Diffuse(int32_t width, int32_t height, Load load, Quantise quantise) {
  using Cell = std::array<int32_t, Channels>;
  std::vector<Cell> a(static_cast<size_t>(width) + 2), b(static_cast<size_t>(width) + 2);
  auto fill = [&](std::vector<Cell>& buf, int32_t y) {
    std::fill(buf.begin(), buf.end(), Cell{});
    for (int32_t x = 0; x < width; ++x) {
      int32_t v[Channels];
      load(y, x, v);
      for (int c = 0; c < Channels; ++c) buf[static_cast<size_t>(x) + 1][static_cast<size_t>(c)] = v[c] * 16;
    }
  };
  std::vector<Cell>* cur = &a;
  std::vector<Cell>* next = &b;
  fill(*cur, 0);
  for (int32_t y = 0; y < height; ++y) {
    if (y + 1 < height) fill(*next, y + 1);
    else std::fill(next->begin(), next->end(), Cell{});
    const bool forward = (y & 1) == 0;
    const int dir = forward ? 1 : -1;
    for (int32_t i = 0; i < width; ++i) {
      const int32_t x = forward ? i : width - 1 - i;
      const size_t k = static_cast<size_t>(x) + 1;
      int32_t clamped[Channels], chosen[Channels];
      for (int c = 0; c < Channels; ++c) clamped[c] = std::clamp((*cur)[k][static_cast<size_t>(c)] / 16, 0, 255);
      quantise(y, x, clamped, chosen);
      // The error of the whole value taken, in sixteenths of the buffers:
      // 7 to the next pixel, 3, 5 and 1 to the row below.
      for (int c = 0; c < Channels; ++c) {
        const int32_t e = clamped[c] - chosen[c];
        const auto cc = static_cast<size_t>(c);
        (*cur)[k + dir][cc] += 7 * e;
        (*next)[k - dir][cc] += 3 * e;
        (*next)[k][cc] += 5 * e;
        (*next)[k + dir][cc] += e;
      }
    }
    std::swap(cur, next);
  }
}

// A 16- or 4-bit source brought to a depth the quantiser reads.
const TFastDIB& QuantiserSource(const TFastDIB& source, TFastDIB& temp) {
  if (source.BitCount == 16) {
    temp.SetSize(source.Width, source.RowCount, 24, 0);
    MakeWide24(temp, source);
    return temp;
  }
  if (source.BitCount == 4 || source.BitCount == 1) {
    temp.SetSize(source.Width, source.RowCount, 8, 0);
    MakeExact8(temp, source);
    return temp;
  }
  return source;
}

}  // namespace

void MakeTwoColor(TFastDIB& t, const TFastDIB& s) {
  const int32_t w = s.Width, h = s.RowCount;
  if (s.BitCount == 1) {
    t.Colors[0] = s.Colors[0];
    t.Colors[1] = s.Colors[1];
    for (int32_t y = 0; y < h; ++y) std::memcpy(t.Row(y), s.Row(y), static_cast<size_t>(std::min(t.RowSize, s.RowSize)));
    return;
  }
  if (IsPaletted(s)) {
    // Indices in use: when there are at most two, they keep their colours.
    int32_t first = -1, second = -1;
    bool more = false;
    for (int32_t y = 0; y < h && !more; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const auto i = static_cast<int32_t>(s.IndexAt(y, x));
        if (first < 0) first = i;
        else if (i != first && second < 0) second = i;
        else if (i != first && i != second) {
          more = true;
          break;
        }
      }
    const bool keep = !more && first >= 0;
    t.Colors[0] = keep ? s.Colors[static_cast<size_t>(first)] : s.Colors[0];
    t.Colors[1] = keep ? s.Colors[static_cast<size_t>(second < 0 ? first : second)] : s.Colors[1];
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = t.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        const auto i = static_cast<int32_t>(s.IndexAt(y, x));
        StoreRowIndex(row, 1, x, keep ? (i == second ? 1 : 0) : (i != 0 ? 1 : 0));
      }
    }
    return;
  }
  const uint32_t c0 = RawAt(s, s.Row(0), 0);
  bool have_second = false;
  uint32_t c1 = 0;
  for (int32_t y = 0; y < h && !have_second; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = RawAt(s, s.Row(y), x);
      if (c != c0) {
        c1 = c;
        have_second = true;
        t.Colors[1] = Quad(ColorAt(s, y, x));
        break;
      }
    }
  const Rgb first = ColorAt(s, 0, 0);
  t.Colors[0] = Quad(first);
  // A picture of one colour: entry 1 is its inverse.
  if (!have_second) t.Colors[1] = MakeQuad(static_cast<uint8_t>(~first.r), static_cast<uint8_t>(~first.g), static_cast<uint8_t>(~first.b));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = t.Row(y);
    const uint8_t* src = s.Row(y);
    for (int32_t x = 0; x < w; ++x) StoreRowIndex(row, 1, x, have_second && RawAt(s, src, x) == c1 ? 1 : 0);
  }
}

namespace {

// Entries in order of first appearance for a 16-, 24- or 32-bit source.
// `limit` entries at most; a colour met after that gets `overflow`.
void ExactFromDirect(TFastDIB& t, const TFastDIB& s, int32_t limit, uint32_t overflow) {
  const int32_t w = s.Width, h = s.RowCount;
  const size_t table_size = s.BitCount == 16 ? 65536 : size_t{1} << 24;
  std::vector<uint16_t> index(table_size, 0xFFFF);
  int32_t used = 0;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = s.Row(y);
    uint8_t* row = t.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = RawAt(s, src, x);
      uint16_t& slot = index[c];
      if (slot == 0xFFFF) {
        if (used < limit) {
          t.Colors[static_cast<size_t>(used)] = Quad(ColorAt(s, y, x));
          slot = static_cast<uint16_t>(used++);
        } else {
          slot = static_cast<uint16_t>(overflow);
        }
      }
      StoreRowIndex(row, t.BitCount, x, slot);
    }
  }
}

void CopyIndices(TFastDIB& t, const TFastDIB& s, uint32_t max_index) {
  const int entries = 1 << std::min(s.BitCount, t.BitCount);
  for (int i = 0; i < entries; ++i) t.Colors[static_cast<size_t>(i)] = s.Colors[static_cast<size_t>(i)];
  for (int32_t y = 0; y < s.RowCount; ++y) {
    uint8_t* row = t.Row(y);
    for (int32_t x = 0; x < s.Width; ++x) StoreRowIndex(row, t.BitCount, x, std::min(s.IndexAt(y, x), max_index));
  }
}

}  // namespace

void MakeExact4(TFastDIB& t, const TFastDIB& s) {
  if (IsPaletted(s)) CopyIndices(t, s, 15);
  else ExactFromDirect(t, s, 16, 15);
}

void MakeExact8(TFastDIB& t, const TFastDIB& s) {
  if (IsPaletted(s)) CopyIndices(t, s, 255);
  else if (s.BitCount == 16) ExactFromDirect(t, s, 256, 255);
  else ExactFromDirect(t, s, 256, 0);  // all 256 entries, so 256 colours stay exact
}

void MakePlain16(TFastDIB& t, const TFastDIB& s) {
  for (int32_t y = 0; y < s.RowCount; ++y) {
    uint8_t* row = t.Row(y);
    for (int32_t x = 0; x < s.Width; ++x) Put16(row, x, Pack16(t, ColorAt(s, y, x)));
  }
}

void MakeWide24(TFastDIB& t, const TFastDIB& s) {
  for (int32_t y = 0; y < s.RowCount; ++y) {
    uint8_t* row = t.Row(y);
    if (s.BitCount == 24) {
      std::memcpy(row, s.Row(y), static_cast<size_t>(s.Width) * 3);
      continue;
    }
    for (int32_t x = 0; x < s.Width; ++x) {
      const Rgb c = ColorAt(s, y, x);
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
}

void MakeWide32(TFastDIB& t, const TFastDIB& s) {
  for (int32_t y = 0; y < s.RowCount; ++y) {
    uint8_t* row = t.Row(y);
    if (s.BitCount == 32) {
      std::memcpy(row, s.Row(y), static_cast<size_t>(s.Width) * 4);
      continue;
    }
    for (int32_t x = 0; x < s.Width; ++x) {
      const Rgb c = ColorAt(s, y, x);
      row[4 * x] = c.b;
      row[4 * x + 1] = c.g;
      row[4 * x + 2] = c.r;
      if (IsPaletted(s)) row[4 * x + 3] = s.Colors[s.IndexAt(y, x)].Reserved;
    }
  }
}

void MakeDithered16(TFastDIB& t, const TFastDIB& s) {
  const int kb = t.LayoutCode % 10, kg = t.LayoutCode / 10 % 10, kr = t.LayoutCode / 100 % 10;
  const int bits[3] = {kr, kg, kb};
  Diffuse<3>(
      s.Width, s.RowCount,
      [&](int32_t y, int32_t x, int32_t* v) {
        const Rgb c = ColorAt(s, y, x);
        v[0] = c.r, v[1] = c.g, v[2] = c.b;
      },
      [&](int32_t y, int32_t x, const int32_t* v, int32_t* chosen) {
        uint32_t level[3];
        for (int c = 0; c < 3; ++c) {
          const int k = std::clamp(bits[c], 1, 8);
          uint32_t l = static_cast<uint32_t>(v[c]) >> (8 - k);
          const uint32_t low = static_cast<uint32_t>(v[c]) & ((1u << (8 - k)) - 1);
          if (k < 8 && low > (1u << (7 - k)) - 1 && l < (1u << k) - 1) ++l;
          level[c] = l;
          chosen[c] = static_cast<int32_t>(l << (8 - k));
        }
        Put16(t.Row(y), x, (level[1] << t.GreenPos) | level[2] | (level[0] << t.RedPos));
      });
}

void MakeGreyLevels(TFastDIB& t, const TFastDIB& s, int32_t levels, bool dither) {
  levels = std::clamp(levels, 1, 255);
  t.FillColorRamp(0, levels, 0x000000, 0xFFFFFF);
  auto grey_of = [&](int32_t y, int32_t x) {
    const Rgb c = ColorAt(s, y, x);
    return static_cast<int32_t>((c.r + c.g + c.b) / 3);
  };
  auto index_of = [&](int32_t grey) { return static_cast<uint32_t>(((grey + 1) * levels) >> 8); };
  if (!dither || levels == 255) {
    for (int32_t y = 0; y < s.RowCount; ++y) {
      uint8_t* row = t.Row(y);
      for (int32_t x = 0; x < s.Width; ++x) row[x] = static_cast<uint8_t>(index_of(grey_of(y, x)));
    }
    return;
  }
  Diffuse<1>(
      s.Width, s.RowCount, [&](int32_t y, int32_t x, int32_t* v) { v[0] = grey_of(y, x); },
      [&](int32_t y, int32_t x, const int32_t* v, int32_t* chosen) {
        const uint32_t i = index_of(v[0]);
        t.Row(y)[x] = static_cast<uint8_t>(i);
        chosen[0] = t.Colors[i].Red;
      });
}

void MakeBoxCut8(TFastDIB& t, const TFastDIB& s, int32_t colors, bool dither) {
  colors = std::clamp(colors, 1, 255);
  const int32_t w = s.Width, h = s.RowCount;
  auto cell_of = [](int r, int g, int b) { return static_cast<size_t>((r >> 3) * 2048 + (g >> 2) * 32 + (b >> 3)); };
  std::vector<uint8_t> grid(65536, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const Rgb c = ColorAt(s, y, x);
      grid[cell_of(c.r, c.g, c.b)] = 1;
    }
  struct Box {
    int lo[3], hi[3];
  };
  auto shrink = [&](Box& box) {
    int lo[3] = {99, 99, 99}, hi[3] = {-1, -1, -1};
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          if (!grid[static_cast<size_t>(r * 2048 + g * 32 + b)]) continue;
          const int v[3] = {r, g, b};
          for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], v[a]);
            hi[a] = std::max(hi[a], v[a]);
          }
        }
    if (hi[0] < 0) {  // nothing inside: a box of no extent
      for (int a = 0; a < 3; ++a) box.hi[a] = box.lo[a];
      return;
    }
    for (int a = 0; a < 3; ++a) box.lo[a] = lo[a], box.hi[a] = hi[a];
  };
  std::vector<Box> boxes(1, Box{{0, 0, 0}, {31, 63, 31}});
  shrink(boxes[0]);
  int n = 0;
  for (;;) {
    int best = 1, which = -1, axis = 0;
    for (int i = 0; i <= n; ++i)
      for (int a = 0; a < 3; ++a) {
        const int extent = boxes[static_cast<size_t>(i)].hi[a] - boxes[static_cast<size_t>(i)].lo[a];
        if (extent > best) best = extent, which = i, axis = a;
      }
    if (which < 0) break;
    ++n;
    Box copy = boxes[static_cast<size_t>(which)];
    Box& chosen = boxes[static_cast<size_t>(which)];
    const int mid = (chosen.lo[axis] + chosen.hi[axis]) >> 1;
    chosen.hi[axis] = mid;
    copy.lo[axis] = mid + 1;
    boxes.push_back(copy);
    shrink(boxes[static_cast<size_t>(which)]);
    shrink(boxes.back());
    if (n == colors) break;
  }
  for (int i = 0; i <= n; ++i) {
    const Box& b = boxes[static_cast<size_t>(i)];
    t.Colors[static_cast<size_t>(i)] = MakeQuad(static_cast<uint8_t>((b.lo[0] + b.hi[0]) * 4),
                                                static_cast<uint8_t>((b.lo[1] + b.hi[1]) * 2),
                                                static_cast<uint8_t>((b.lo[2] + b.hi[2]) * 4));
  }
  if (dither) std::fill(grid.begin(), grid.end(), 255);
  for (int i = 0; i <= n; ++i) {
    const Box& b = boxes[static_cast<size_t>(i)];
    for (int r = b.lo[0]; r <= b.hi[0]; ++r)
      for (int g = b.lo[1]; g <= b.hi[1]; ++g)
        for (int bl = b.lo[2]; bl <= b.hi[2]; ++bl) grid[static_cast<size_t>(r * 2048 + g * 32 + bl)] = static_cast<uint8_t>(i);
  }
  if (!dither) {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = t.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        const Rgb c = ColorAt(s, y, x);
        row[x] = grid[cell_of(c.r, c.g, c.b)];
      }
    }
    return;
  }
  Diffuse<3>(
      w, h,
      [&](int32_t y, int32_t x, int32_t* v) {
        const Rgb c = ColorAt(s, y, x);
        v[0] = c.r, v[1] = c.g, v[2] = c.b;
      },
      [&](int32_t y, int32_t x, const int32_t* v, int32_t* chosen) {
        uint8_t& cell = grid[cell_of(v[0], v[1], v[2])];
        if (cell == 255) {
          int best = n, best_d = 1 << 30;
          for (int i = n; i >= 0; --i) {
            const TRGBQuad& q = t.Colors[static_cast<size_t>(i)];
            const int dr = v[0] - q.Red, dg = v[1] - q.Green, db = v[2] - q.Blue;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best_d) best_d = d, best = i;
          }
          cell = static_cast<uint8_t>(best);
        }
        t.Row(y)[x] = cell;
        const TRGBQuad& q = t.Colors[cell];
        chosen[0] = q.Red, chosen[1] = q.Green, chosen[2] = q.Blue;
      });
}

void ConvertFastDIBDepth(TFastDIB& target, const TFastDIB& source, bool grey, bool dither, int32_t colors) {
  // Colors is the low byte of a count. 0 (a count of 256) asks for the
  // quantiser's whole table of 256 boxes, and an exact 8-bit palette only
  // for a picture of at most Colors + 1 = 1 colour.
  colors &= 0xFF;
  const int32_t exact_up_to = colors + 1;
  if (colors == 0) colors = 255;
  const int32_t tb = target.BitCount, sb = source.BitCount;
  if (tb != 1 && tb != 4 && tb != 8 && tb != 16 && tb != 24 && tb != 32) return;
  if (source.Width != target.Width || source.RowCount != target.RowCount) return;
  const int32_t w = source.Width, h = source.RowCount;
  TFastDIB wide, temp;
  if (grey && tb < 16 && sb > 4) {
    const TFastDIB* src = &source;
    if (sb == 16) {
      wide.SetSize(w, h, 24, 0);
      MakeWide24(wide, source);
      src = &wide;
    }
    if (tb == 8) {
      MakeGreyLevels(target, *src, colors, dither);
    } else {
      temp.SetSize(w, h, 8, 0);
      MakeGreyLevels(temp, *src, tb == 1 ? 1 : std::min(colors, 15), dither);
      if (tb == 1) MakeTwoColor(target, temp);
      else MakeExact4(target, temp);
    }
    return;
  }
  switch (tb) {
    case 24: MakeWide24(target, source); return;
    case 32: MakeWide32(target, source); return;
    case 16:
      if (dither && (sb == 24 || sb == 32)) MakeDithered16(target, source);
      else MakePlain16(target, source);
      return;
    default: break;
  }
  const int32_t n = source.DistinctColors();
  if (tb == 8) {
    if (n <= exact_up_to) {
      MakeExact8(target, source);
      return;
    }
    MakeBoxCut8(target, QuantiserSource(source, wide), colors, dither);
    return;
  }
  if (tb == 4) {
    // A 4-bit table holds 16 colours whatever the caller asked for.
    colors = std::min(colors, 15);
    if (sb != 8 && n <= colors + 1) {
      MakeExact4(target, source);
      return;
    }
    temp.SetSize(w, h, 8, 0);
    MakeBoxCut8(temp, QuantiserSource(source, wide), colors, dither);
    MakeExact4(target, temp);
    return;
  }
  if (n < 3) {
    MakeTwoColor(target, source);
    return;
  }
  temp.SetSize(w, h, 8, 0);
  MakeBoxCut8(temp, QuantiserSource(source, wide), 2, dither);
  MakeTwoColor(target, temp);
}

}  // namespace orba
