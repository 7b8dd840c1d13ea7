// Kinds that uncover the new page in stripes and cells: blinds, curtains,
// grids, an ordered dither and bamboo blinds.
#include <algorithm>
#include <array>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

// The 8 x 8 ordered-dither thresholds 0..63.
constexpr std::array<std::array<uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

class TWipeStripes : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    switch (Kind()) {
      case WP_BLINDH: Blinds(f, false); break;
      case WP_BLINDV: Blinds(f, true); break;
      case WP_CURTAINH: Curtain(f, true); break;
      case WP_CURTAINV: Curtain(f, false); break;
      case WP_GRID: Grid(f); break;
      case WP_GRIDH: GridLines(f, true); break;
      case WP_GRIDV: GridLines(f, false); break;
      case WP_DITHER: Dither(f); break;
      case WP_SUDAREH: Sudare(f, false); break;
      default: Sudare(f, true); break;
    }
  }

 private:
  // The stripe or cell size: the first parameter within 1 .. the screen.
  int32_t Size(const TWipeFrame& f) const { return std::clamp(Params[0], 1, std::max(f.Width, f.Height)); }
  // Pixels of Size that the new page covers at this position.
  int32_t Covered(int32_t size) const { return static_cast<int32_t>(int64_t{size} * Position() / Length); }

  // Slats of Size across the screen (vertical: side by side), each filled
  // from its top or left edge (reversed: bottom or right).
  void Blinds(const TWipeFrame& f, bool vertical) {
    const int32_t size = Size(f), k = Covered(size);
    if (!vertical) {
      for (int32_t y = 0; y < f.Height; ++y) {
        const int32_t i = y % size;
        f.CopySpan(Reverse ? i >= size - k : i < k, y, 0, f.Width);
      }
      return;
    }
    spans_.clear();
    for (int32_t x = 0; x < f.Width; x += size)
      spans_.push_back(Reverse ? TSpan{x + size - k, x + size} : TSpan{x, x + k});
    DrawAll(f);
  }

  // Opens from the middle outwards (reversed: closes from both edges in);
  // across the screen (horizontal) or down it.
  void Curtain(const TWipeFrame& f, bool horizontal) {
    const int32_t extent = horizontal ? f.Width : f.Height, centre = extent / 2;
    const int32_t a = static_cast<int32_t>(int64_t{extent - centre} * Position() / Length);
    auto shown = [&](int32_t i) {
      return Reverse ? (i < a || i >= extent - a) : (i >= centre - a && i < centre + a);
    };
    if (!horizontal) {
      for (int32_t y = 0; y < f.Height; ++y) f.CopySpan(shown(y), y, 0, f.Width);
      return;
    }
    spans_.clear();
    if (Reverse) {
      spans_.push_back({0, a});
      spans_.push_back({extent - a, extent});
    } else {
      spans_.push_back({centre - a, centre + a});
    }
    DrawAll(f);
  }

  // In every cell a square of the new page grows from the cell's middle
  // (reversed: a square of the old page shrinks into it).
  void Grid(const TWipeFrame& f) {
    const int32_t size = Size(f), k = Covered(size);
    const int32_t side = Reverse ? size - k : k, lo = (size - side) / 2, hi = lo + side;
    for (int32_t y = 0; y < f.Height; ++y) {
      const int32_t i = y % size;
      const bool in_square = i >= lo && i < hi;
      spans_.clear();
      if (Reverse && !in_square) {
        spans_.push_back({0, f.Width});
      } else if (Reverse || in_square) {
        for (int32_t x = 0; x < f.Width; x += size) {
          if (Reverse) {
            spans_.push_back({x, x + lo});
            spans_.push_back({x + hi, x + size});
          } else {
            spans_.push_back({x + lo, x + hi});
          }
        }
      }
      DrawRowSpans(f, y, spans_);
    }
  }

  // Every cell fills in one direction, neighbouring cell rows (GRIDH, filling
  // across) or columns (GRIDV, filling down) from opposite sides.
  void GridLines(const TWipeFrame& f, bool across) {
    const int32_t size = Size(f), k = Covered(size);
    for (int32_t y = 0; y < f.Height; ++y) {
      spans_.clear();
      const int32_t band = y / size, i = y % size;
      for (int32_t x = 0, column = 0; x < f.Width; x += size, ++column) {
        if (across) {
          const bool from_right = ((band & 1) != 0) != Reverse;
          spans_.push_back(from_right ? TSpan{x + size - k, x + size} : TSpan{x, x + k});
        } else {
          const bool from_bottom = ((column & 1) != 0) != Reverse;
          if (from_bottom ? i >= size - k : i < k) spans_.push_back({x, x + size});
        }
      }
      DrawRowSpans(f, y, spans_);
    }
  }

  // The new page through an ordered 8 x 8 dither whose share grows.
  void Dither(const TWipeFrame& f) {
    const int32_t level = static_cast<int32_t>(int64_t{64} * Position() / Length);
    select_.resize(static_cast<size_t>(f.Width));
    for (int32_t y = 0; y < f.Height; ++y) {
      const auto& pattern = kBayer[static_cast<size_t>(y & 7)];
      for (int32_t x = 0; x < f.Width; ++x) {
        const int32_t t = pattern[static_cast<size_t>(x & 7)];
        select_[static_cast<size_t>(x)] = (Reverse ? 63 - t : t) < level ? 0xFFFFFFFFu : 0u;
      }
      DrawRowSelect(f, y, select_.data());
    }
  }

  // Slats of Size that unroll one after the other, from the top (SUDAREH)
  // or the left (SUDAREV); reversed from the bottom or right.
  void Sudare(const TWipeFrame& f, bool vertical) {
    const int32_t size = Size(f), extent = vertical ? f.Width : f.Height;
    const int32_t count = (extent + size - 1) / size;
    // Slat J starts at J / Count of the first half and takes half the time.
    auto covered = [&](int32_t slat) {
      const int32_t j = Reverse ? count - 1 - slat : slat;
      const int64_t progress = int64_t{2} * 65536 * Position() / Length - int64_t{65536} * j / count;
      return static_cast<int32_t>(std::clamp<int64_t>(progress, 0, 65536) * size / 65536);
    };
    auto shown = [&](int32_t i) {
      const int32_t k = covered(i / size), r = i % size;
      return Reverse ? r >= size - k : r < k;
    };
    if (!vertical) {
      for (int32_t y = 0; y < f.Height; ++y) f.CopySpan(shown(y), y, 0, f.Width);
      return;
    }
    spans_.clear();
    for (int32_t x = 0; x < f.Width; x += size) {
      const int32_t k = covered(x / size);
      spans_.push_back(Reverse ? TSpan{x + size - k, x + size} : TSpan{x, x + k});
    }
    DrawAll(f);
  }

  // Every row with the spans in spans_.
  void DrawAll(const TWipeFrame& f) {
    for (int32_t y = 0; y < f.Height; ++y) {
      row_ = spans_;
      DrawRowSpans(f, y, row_);
    }
  }

  TSpans spans_, row_;
  std::vector<uint32_t> select_;
};

}  // namespace

std::unique_ptr<TWipe> MakeStripeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                      TCustomDIBX& old_page) {
  return std::make_unique<TWipeStripes>(kind, dest, new_page, old_page);
}

}  // namespace orba
