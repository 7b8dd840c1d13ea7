// Kinds that work in blocks: a mosaic, blocks turning over in a coil or in
// a random order, and the old page breaking into chips that fall away.
#include <algorithm>

#include "core/ks_random.h"
#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

class TWipeBlocks : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    switch (Kind()) {
      case WP_MOSAIC: Mosaic(f); break;
      case WP_CRACK: Crack(f); break;
      default: Blocks(f); break;
    }
  }

 private:
  // The block size: the first parameter within 1 .. the screen.
  int32_t Size(const TWipeFrame& f) const { return std::clamp(Params[0], 1, std::max(f.Width, f.Height)); }

  // The old page coarsens into blocks of up to the first parameter's size
  // until the middle, then the new page sharpens from them.
  void Mosaic(const TWipeFrame& f) {
    const int64_t half = Length, twice = int64_t{2} * Position();
    const bool second = twice >= half;
    const int64_t ramp = second ? 2 * half - twice : twice;  // 0 .. Length
    const int32_t block = 1 + static_cast<int32_t>((Size(f) - 1) * ramp / half);
    for (int32_t y0 = 0; y0 < f.Height; y0 += block) {
      const int32_t y1 = std::min(y0 + block, f.Height);
      const TPix* s = f.PageRow(second, std::min(y0 + block / 2, y1 - 1));
      TPix* d = f.DestRow(y0);
      for (int32_t x0 = 0; x0 < f.Width; x0 += block) {
        const int32_t x1 = std::min(x0 + block, f.Width);
        std::fill(d + x0, d + x1, s[std::min(x0 + block / 2, x1 - 1)]);
      }
      for (int32_t y = y0 + 1; y < y1; ++y) std::memcpy(f.DestRow(y), d, static_cast<size_t>(f.Width) * 4);
    }
  }

  // Blocks turn to the new page one by one: in a coil from the top left
  // corner clockwise into the middle (reversed: out of the middle), or in
  // an order drawn from the second parameter as seed (reversed: that order
  // backwards).
  void Blocks(const TWipeFrame& f) {
    const int32_t size = Size(f);
    const int32_t columns = (f.Width + size - 1) / size, rows = (f.Height + size - 1) / size;
    if (columns != columns_ || rows != rows_ || Params[1] != seed_) MakeOrder(columns, rows);
    const int64_t count = int64_t{columns} * rows;
    const int64_t shown = count * Position() / Length;
    for (int32_t y = 0; y < f.Height; ++y) {
      const int64_t row_start = int64_t{y / size} * columns;
      spans_.clear();
      for (int32_t c = 0; c < columns; ++c) {
        const int64_t rank = rank_[static_cast<size_t>(row_start + c)];
        if ((Reverse ? count - 1 - rank : rank) < shown) spans_.push_back({c * size, c * size + size});
      }
      DrawRowSpans(f, y, spans_);
    }
  }

  // rank_: the turn of each block (row by row) in the order of the kind.
  void MakeOrder(int32_t columns, int32_t rows) {
    columns_ = columns;
    rows_ = rows;
    seed_ = Params[1];
    const int64_t count = int64_t{columns} * rows;
    rank_.assign(static_cast<size_t>(count), 0);
    int32_t turn = 0;
    if (Kind() == WP_BLOCKRANDOM) {
      TKsRandom random(static_cast<uint32_t>(seed_));
      random.SetCount(static_cast<int32_t>(count));
      for (int64_t i = 0; i < count; ++i) rank_[static_cast<size_t>(random.Next())] = turn++;
      return;
    }
    // Rings from the outside in, each clockwise from its top left corner.
    int32_t left = 0, top = 0, right = columns - 1, bottom = rows - 1;
    auto take = [&](int32_t c, int32_t r) { rank_[static_cast<size_t>(int64_t{r} * columns + c)] = turn++; };
    while (left <= right && top <= bottom) {
      for (int32_t c = left; c <= right; ++c) take(c, top);
      for (int32_t r = top + 1; r <= bottom; ++r) take(right, r);
      if (top < bottom)
        for (int32_t c = right - 1; c >= left; --c) take(c, bottom);
      if (left < right)
        for (int32_t r = bottom - 1; r > top; --r) take(left, r);
      ++left;
      ++top;
      --right;
      --bottom;
    }
  }

  // The old page breaks into chips of the first parameter's size that fall
  // off the bottom, the lowest first, showing the new page behind
  // (reversed: they fly off the top, the highest first).
  void Crack(const TWipeFrame& f) {
    const int32_t size = std::max(Size(f), 4);
    const int32_t columns = (f.Width + size - 1) / size, rows = (f.Height + size - 1) / size;
    for (int32_t y = 0; y < f.Height; ++y) f.CopySpan(true, y, 0, f.Width);
    const double t = Progress();
    for (int32_t r = 0; r < rows; ++r) {
      // Drawn from the row that falls first, so later chips lie on top.
      const int32_t row = Reverse ? r : rows - 1 - r;
      for (int32_t c = 0; c < columns; ++c) {
        // A chip waits up to half the time: the farther from the edge it
        // leaves by, the longer, with a little jitter.
        const uint32_t hash = (static_cast<uint32_t>(c) * 73856093u) ^ (static_cast<uint32_t>(row) * 19349663u);
        const double delay = 0.4 * r / rows + 0.1 * ((hash >> 4) % 1000) / 1000.0;
        const double s = std::clamp((t - delay) / (1 - delay), 0.0, 1.0);
        const int32_t drop = static_cast<int32_t>((f.Height + size) * s * s);
        const int32_t x0 = c * size, x1 = std::min(x0 + size, f.Width);
        for (int32_t y = row * size; y < std::min(row * size + size, f.Height); ++y) {
          const int32_t to = Reverse ? y - drop : y + drop;
          if (to < 0 || to >= f.Height) continue;
          std::memcpy(f.DestRow(to) + x0, f.OldRow(y) + x0, static_cast<size_t>(x1 - x0) * 4);
        }
      }
    }
  }

  int32_t columns_ = -1, rows_ = -1, seed_ = 0;
  std::vector<int32_t> rank_;
  TSpans spans_;
};

}  // namespace

std::unique_ptr<TWipe> MakeBlockWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                     TCustomDIBX& old_page) {
  return std::make_unique<TWipeBlocks>(kind, dest, new_page, old_page);
}

}  // namespace orba
