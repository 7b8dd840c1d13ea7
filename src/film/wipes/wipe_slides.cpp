// Kinds that move or scale the pages: scrolls, the old page shrinking away,
// the new page growing, two pages stretched like rubber, and a zoom into a
// point.
#include <algorithm>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

// Source index of each of Count destination pixels scaling Size source
// pixels onto them (nearest pixel).
void ScaleMap(std::vector<int32_t>& map, int32_t count, int32_t size) {
  map.resize(static_cast<size_t>(std::max(count, 0)));
  for (int32_t i = 0; i < count; ++i)
    map[static_cast<size_t>(i)] = static_cast<int32_t>((int64_t{i} * 2 + 1) * size / (int64_t{count} * 2));
}

void GatherRow(TPix* d, const TPix* s, const int32_t* map, int32_t n) {
  for (int32_t x = 0; x < n; ++x) d[x] = s[map[x]];
}

class TWipeSlide : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    switch (Kind()) {
      case WP_SCROLLH: ScrollH(f); break;
      case WP_SCROLLV: ScrollV(f); break;
      case WP_SMALL:
      case WP_BIG: Scale(f); break;
      case WP_RUBBERH: RubberH(f); break;
      case WP_RUBBERV: RubberV(f); break;
      default: ZoomIn(f); break;
    }
  }

 private:
  int32_t Part(int32_t extent) const { return static_cast<int32_t>(int64_t{extent} * Position() / Length); }

  // The new page pushes the old one out to the left (reversed: to the right).
  void ScrollH(const TWipeFrame& f) {
    const int32_t off = Part(f.Width), rest = f.Width - off;
    for (int32_t y = 0; y < f.Height; ++y) {
      TPix* d = f.DestRow(y);
      const TPix *n = f.NewRow(y), *o = f.OldRow(y);
      if (Reverse) {
        std::memcpy(d, n + rest, static_cast<size_t>(off) * 4);
        std::memcpy(d + off, o, static_cast<size_t>(rest) * 4);
      } else {
        std::memcpy(d, o + off, static_cast<size_t>(rest) * 4);
        std::memcpy(d + rest, n, static_cast<size_t>(off) * 4);
      }
    }
  }

  // The new page pushes the old one out at the top (reversed: the bottom).
  void ScrollV(const TWipeFrame& f) {
    const int32_t off = Part(f.Height), rest = f.Height - off;
    for (int32_t y = 0; y < f.Height; ++y) {
      const bool fresh = Reverse ? y < off : y >= rest;
      const int32_t source = Reverse ? (fresh ? y + rest : y - off) : (fresh ? y - rest : y + off);
      std::memcpy(f.DestRow(y), f.PageRow(fresh, source), static_cast<size_t>(f.Width) * 4);
    }
  }

  // WP_SMALL: the old page shrinks into the middle over the new one.
  // WP_BIG: the new page grows from the middle over the old one.
  void Scale(const TWipeFrame& f) {
    const bool big = Kind() == WP_BIG;
    const int64_t scale = big ? Position() : Length - Position();  // over Length
    const int32_t sw = static_cast<int32_t>(f.Width * scale / Length);
    const int32_t sh = static_cast<int32_t>(f.Height * scale / Length);
    const int32_t x0 = (f.Width - sw) / 2, y0 = (f.Height - sh) / 2;
    ScaleMap(xmap_, sw, f.Width);
    ScaleMap(ymap_, sh, f.Height);
    for (int32_t y = 0; y < f.Height; ++y) {
      f.CopySpan(!big, y, 0, f.Width);
      if (y >= y0 && y < y0 + sh)
        GatherRow(f.DestRow(y) + x0, f.PageRow(big, ymap_[static_cast<size_t>(y - y0)]), xmap_.data(), sw);
    }
  }

  // The new page squeezed into a part growing from the left edge, the old
  // page squeezed into the rest (reversed: from the right edge).
  void RubberH(const TWipeFrame& f) {
    const int32_t b = Part(f.Width), rest = f.Width - b;
    ScaleMap(xmap_, b, f.Width);
    ScaleMap(ymap_, rest, f.Width);
    const int32_t new_x = Reverse ? rest : 0, old_x = Reverse ? 0 : b;
    for (int32_t y = 0; y < f.Height; ++y) {
      GatherRow(f.DestRow(y) + new_x, f.NewRow(y), xmap_.data(), b);
      GatherRow(f.DestRow(y) + old_x, f.OldRow(y), ymap_.data(), rest);
    }
  }

  // The same down the screen, from the top edge (reversed: the bottom).
  void RubberV(const TWipeFrame& f) {
    const int32_t b = Part(f.Height), rest = f.Height - b;
    ScaleMap(xmap_, b, f.Height);
    ScaleMap(ymap_, rest, f.Height);
    const int32_t new_y = Reverse ? rest : 0, old_y = Reverse ? 0 : b;
    for (int32_t y = 0; y < f.Height; ++y) {
      const bool fresh = y >= new_y && y < new_y + b;
      const int32_t source = fresh ? xmap_[static_cast<size_t>(y - new_y)] : ymap_[static_cast<size_t>(y - old_y)];
      std::memcpy(f.DestRow(y), f.PageRow(fresh, source), static_cast<size_t>(f.Width) * 4);
    }
  }

  // The old page enlarges about the point of the two parameters up to four
  // times while the new page fades in (reversed: the new page comes out of
  // a four-times enlargement over the fading old one).
  void ZoomIn(const TWipeFrame& f) {
    const int32_t px = std::clamp(Params[0], 0, f.Width - 1), py = std::clamp(Params[1], 0, f.Height - 1);
    const int64_t t = Reverse ? Length - Position() : Position();
    const int64_t zoom = 256 + 768 * t / Length;  // 256ths
    auto source = [&](int32_t i, int32_t p, int32_t extent) {
      return static_cast<int32_t>(std::clamp<int64_t>(p + (int64_t{i} - p) * 256 / zoom, 0, extent - 1));
    };
    xmap_.resize(static_cast<size_t>(f.Width));
    for (int32_t x = 0; x < f.Width; ++x) xmap_[static_cast<size_t>(x)] = source(x, px, f.Width);
    const uint32_t w = Weight();
    for (int32_t y = 0; y < f.Height; ++y) {
      TPix* d = f.DestRow(y);
      const TPix* zoomed = f.PageRow(Reverse, source(y, py, f.Height));
      const TPix* plain = f.PageRow(!Reverse, y);
      for (int32_t x = 0; x < f.Width; ++x) {
        const uint32_t z = zoomed[xmap_[static_cast<size_t>(x)]];
        d[x] = Reverse ? MixPixel(z, plain[x], w) : MixPixel(plain[x], z, w);
      }
    }
  }

  std::vector<int32_t> xmap_, ymap_;
};

}  // namespace

std::unique_ptr<TWipe> MakeSlideWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                     TCustomDIBX& old_page) {
  return std::make_unique<TWipeSlide>(kind, dest, new_page, old_page);
}

}  // namespace orba
