// Kinds that uncover the new page inside a growing shape: a circle, a
// spotlight with a soft edge, a clock hand sweeping round the middle and
// fans opening about the bottom edge.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_kinds.h"

namespace orba {
namespace {

// Integer X of the row whose pixel centres satisfy A x (X + 0.5) + B >= 0,
// as a span cut to 0 .. Width.
TSpan HalfPlane(double a, double b, int32_t width) {
  constexpr double kTiny = 1e-12;
  if (std::abs(a) < kTiny) return b >= 0 ? TSpan{0, width} : TSpan{0, 0};
  const double edge = -b / a - 0.5;  // X where the expression is 0
  const double w = width;
  if (a > 0) return TSpan{static_cast<int32_t>(std::clamp(std::ceil(edge), 0.0, w)), width};
  return TSpan{0, static_cast<int32_t>(std::clamp(std::floor(edge) + 1, 0.0, w))};
}

// The clockwise direction at Angle (radians) from straight up, with the
// screen's Y pointing down.
struct TDir {
  double X, Y;
};
TDir Direction(double angle) { return TDir{std::sin(angle), -std::cos(angle)}; }

// Pixels of row Y inside the sector that runs clockwise from angle A0 over
// at most half a turn to A1, about (Cx, Cy).
TSpan SectorSpan(double cx, double cy, double a0, double a1, int32_t y, int32_t width) {
  const TDir u = Direction(a0), v = Direction(a1);
  const double dy = y + 0.5 - cy;
  // cross(u, p) >= 0: p lies clockwise of u; cross(p, v) >= 0: v clockwise of p.
  const TSpan from = HalfPlane(-u.Y, u.X * dy + u.Y * cx, width);
  const TSpan to = HalfPlane(v.Y, -cx * v.Y - dy * v.X, width);
  return TSpan{std::max(from.X0, to.X0), std::min(from.X1, to.X1)};
}

class TWipeShape : public TWipe {
 public:
  using TWipe::TWipe;

 protected:
  void Render(const TWipeFrame& f) override {
    switch (Kind()) {
      case WP_CIRCLE: Circle(f); break;
      case WP_SPOT: Spot(f); break;
      default: Sectors(f); break;
    }
  }

 private:
  static double Radius(const TWipeFrame& f) { return std::hypot(f.Width / 2.0, f.Height / 2.0) + 1; }

  // Pixels of row Y within R of the middle.
  static TSpan Disc(const TWipeFrame& f, int32_t y, double r) {
    const double dy = y + 0.5 - f.Height / 2.0, cx = f.Width / 2.0;
    if (r <= 0 || dy * dy >= r * r) return TSpan{0, 0};
    const double half = std::sqrt(r * r - dy * dy);
    return TSpan{static_cast<int32_t>(std::clamp(std::ceil(cx - 0.5 - half), 0.0, double(f.Width))),
                 static_cast<int32_t>(std::clamp(std::floor(cx - 0.5 + half) + 1, 0.0, double(f.Width)))};
  }

  // The new page in a circle growing from the middle (reversed: outside a
  // circle of the old page shrinking into it).
  void Circle(const TWipeFrame& f) {
    const double t = Progress(), r = Radius(f) * (Reverse ? 1 - t : t);
    for (int32_t y = 0; y < f.Height; ++y) {
      const TSpan disc = Disc(f, y, r);
      spans_.clear();
      if (Reverse) {
        spans_.push_back({0, disc.X0});
        spans_.push_back({disc.X1, f.Width});
      } else {
        spans_.push_back(disc);
      }
      DrawRowSpans(f, y, spans_);
    }
  }

  // A circle of light with a soft edge of the first parameter's width
  // growing from the middle (reversed: the old page in a shrinking one).
  void Spot(const TWipeFrame& f) {
    const double edge = std::clamp(Params[0], 1, std::max(f.Width, f.Height));
    const double t = Reverse ? 1 - Progress() : Progress();
    const double outer = (Radius(f) + edge) * t, inner = outer - edge;
    const double cx = f.Width / 2.0, cy = f.Height / 2.0;
    for (int32_t y = 0; y < f.Height; ++y) {
      // The inside of the inner circle is one page, the outside of the outer
      // circle the other; the ring between blends.
      const TSpan in = Disc(f, y, inner), out = Disc(f, y, outer);
      const TPix *a = Reverse ? f.OldRow(y) : f.NewRow(y), *b = Reverse ? f.NewRow(y) : f.OldRow(y);
      TPix* d = f.DestRow(y);
      auto copy = [&](const TPix* page, int32_t x0, int32_t x1) {
        if (x1 > x0) std::memcpy(d + x0, page + x0, static_cast<size_t>(x1 - x0) * 4);
      };
      copy(b, 0, out.X0);
      copy(b, out.X1, f.Width);
      const float dy = static_cast<float>(y + 0.5 - cy), scale = static_cast<float>(256 / edge);
      const float fx = static_cast<float>(0.5 - cx), fo = static_cast<float>(outer);
      auto ring = [&](int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; ++x) {
          const float dx = static_cast<float>(x) + fx;
          const float w = std::clamp((fo - std::sqrt(dx * dx + dy * dy)) * scale, 0.0f, 256.0f);
          d[x] = MixPixel(a[x], b[x], static_cast<uint32_t>(w));
        }
      };
      if (in.X1 > in.X0) {
        ring(out.X0, in.X0);
        copy(a, in.X0, in.X1);
        ring(in.X1, out.X1);
      } else {
        ring(out.X0, out.X1);
      }
    }
  }

  // Clock hand: a sweep clockwise from twelve about the middle. Fan: about
  // the middle of the bottom edge, from the left to the right. Double fan:
  // about the same point, opening from straight up to both sides (reversed:
  // about the middle of the top edge, opening downwards).
  void Sectors(const TWipeFrame& f) {
    constexpr double kPi = std::numbers::pi;
    const double t = Progress();
    double cx = f.Width / 2.0, cy = f.Height / 2.0;
    double a0 = 0, a1 = 0;
    bool mirror = Reverse;
    if (Kind() == WP_FAN) {
      cy = f.Height;
      a0 = 1.5 * kPi;
      a1 = a0 + kPi * t;
    } else if (Kind() == WP_WFAN) {
      cy = Reverse ? 0 : f.Height;
      const double middle = Reverse ? kPi : 0;
      a0 = middle - kPi / 2 * t;
      a1 = middle + kPi / 2 * t;
      mirror = false;
    } else {
      a1 = 2 * kPi * t;
    }
    for (int32_t y = 0; y < f.Height; ++y) {
      spans_.clear();
      // Sectors of at most half a turn each.
      for (double from = a0; from < a1; from += kPi)
        spans_.push_back(SectorSpan(cx, cy, from, std::min(from + kPi, a1), y, f.Width));
      if (mirror) MirrorSpans(spans_, f.Width);
      DrawRowSpans(f, y, spans_);
    }
  }

  TSpans spans_;
};

}  // namespace

std::unique_ptr<TWipe> MakeShapeWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                     TCustomDIBX& old_page) {
  return std::make_unique<TWipeShape>(kind, dest, new_page, old_page);
}

}  // namespace orba
