#include "graphics/region.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "graphics/custom_dibx.h"

namespace orba {

namespace {

int64_t Limit(int64_t v) { return std::clamp(v, -TRegion::kCoordinateLimit, TRegion::kCoordinateLimit); }

// The smallest integer not below A / B (B not 0).
int64_t CeilDiv(int64_t a, int64_t b) {
  if (b < 0) {
    a = -a;
    b = -b;
  }
  const int64_t q = a / b;
  return q + ((a % b) > 0 ? 1 : 0);
}

struct TCrossing {
  int64_t X;  // the first pixel at or right of the crossing
  int32_t Direction;
};

}  // namespace

void TRegion::SetBounds(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (left >= right || top >= bottom) {
    shape_ = TShape::Empty;
    bounds_ = TRect{};
    return;
  }
  bounds_ = TRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                  static_cast<int32_t>(bottom)};
}

TRegion TRegion::Rectangle(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  TRegion r;
  r.shape_ = TShape::Rectangle;
  r.left_ = Limit(std::min(left, right));
  r.right_ = Limit(std::max(left, right));
  r.top_ = Limit(std::min(top, bottom));
  r.bottom_ = Limit(std::max(top, bottom));
  r.SetBounds(r.left_, r.top_, r.right_, r.bottom_);
  return r;
}

TRegion TRegion::Ellipse(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  TRegion r = Rectangle(left, top, right, bottom);
  if (r.shape_ != TShape::Empty) r.shape_ = TShape::Ellipse;
  return r;
}

TRegion TRegion::Polygon(const std::vector<TPoint>& points, TPolyFillMode mode) {
  TRegion r;
  if (points.size() < 3) return r;
  r.shape_ = TShape::Polygon;
  r.mode_ = mode;
  r.points_.reserve(points.size());
  int64_t l = INT64_MAX, t = INT64_MAX, rt = INT64_MIN, b = INT64_MIN;
  for (const TPoint& p : points) {
    const int64_t x = Limit(p.X), y = Limit(p.Y);
    r.points_.push_back(TPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)});
    l = std::min(l, x);
    rt = std::max(rt, x);
    t = std::min(t, y);
    b = std::max(b, y);
  }
  r.SetBounds(l, t, rt, b);
  return r;
}

void TRegion::RowSpans(int32_t y, std::vector<TRegionSpan>& out) const {
  out.clear();
  if (shape_ == TShape::Empty || y < bounds_.Top || y >= bounds_.Bottom) return;
  switch (shape_) {
    case TShape::Empty:
      return;
    case TShape::Rectangle:
      out.push_back({bounds_.Left, bounds_.Right});
      return;
    case TShape::Ellipse: {
      // In doubled units about the centre: the pixel centre X = 2x + 1 - (l + r)
      // is inside when (X / A)^2 + (Y / B)^2 <= 1.
      const long double a = static_cast<long double>(right_ - left_);
      const long double b = static_cast<long double>(bottom_ - top_);
      const long double yy = static_cast<long double>(2 * int64_t{y} + 1 - (top_ + bottom_)) / b;
      const long double rest = 1.0L - yy * yy;
      if (rest < 0) return;
      const long double h = a * std::sqrt(rest);
      const long double sum = static_cast<long double>(left_ + right_ - 1);
      const int64_t x0 = std::max<int64_t>(left_, static_cast<int64_t>(std::ceil((sum - h) / 2)));
      const int64_t x1 = std::min<int64_t>(right_, static_cast<int64_t>(std::floor((sum + h) / 2)) + 1);
      if (x0 < x1) out.push_back({static_cast<int32_t>(x0), static_cast<int32_t>(x1)});
      return;
    }
    case TShape::Polygon:
      break;
  }
  std::vector<TCrossing> crossings;
  const size_t n = points_.size();
  for (size_t i = 0; i < n; ++i) {
    const TPoint p = points_[i], q = points_[(i + 1) % n];
    if (p.Y == q.Y) continue;
    const int32_t low = std::min(p.Y, q.Y), high = std::max(p.Y, q.Y);
    if (y < low || y >= high) continue;
    const int64_t num = (int64_t{y} - p.Y) * (int64_t{q.X} - p.X);
    crossings.push_back({p.X + CeilDiv(num, int64_t{q.Y} - p.Y), q.Y > p.Y ? 1 : -1});
  }
  std::sort(crossings.begin(), crossings.end(),
            [](const TCrossing& a, const TCrossing& b) { return a.X < b.X; });
  int32_t winding = 0;
  for (size_t i = 0; i + 1 < crossings.size(); ++i) {
    winding += mode_ == TPolyFillMode::Winding ? crossings[i].Direction : 1;
    const bool inside = mode_ == TPolyFillMode::Winding ? winding != 0 : (winding & 1) != 0;
    const int64_t x0 = crossings[i].X, x1 = crossings[i + 1].X;
    if (!inside || x0 >= x1) continue;
    if (!out.empty() && out.back().Right >= x0)
      out.back().Right = static_cast<int32_t>(std::max<int64_t>(out.back().Right, x1));
    else
      out.push_back({static_cast<int32_t>(x0), static_cast<int32_t>(x1)});
  }
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  if (x < bounds_.Left || x >= bounds_.Right) return false;
  std::vector<TRegionSpan> spans;
  RowSpans(y, spans);
  for (const TRegionSpan& s : spans)
    if (x >= s.Left && x < s.Right) return true;
  return false;
}

void TRegion::Paint(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel) const {
  PaintRows(dest, dx, dy, pixel, false);
}

void TRegion::PaintOutside(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel) const {
  PaintRows(dest, dx, dy, pixel, true);
}

void TRegion::PaintRows(TCustomDIBX& dest, int32_t dx, int32_t dy, uint32_t pixel, bool outside) const {
  const int64_t width = dest.Width();
  auto fill = [&](int64_t row, int64_t l, int64_t r) {
    l = std::max<int64_t>(l, 0);
    r = std::min<int64_t>(r, width);
    if (l < r)
      dest.FillRect(TRect{static_cast<int32_t>(l), static_cast<int32_t>(row), static_cast<int32_t>(r),
                          static_cast<int32_t>(row + 1)},
                    pixel);
  };
  // Outside the region's rows a row is wholly inside or wholly outside.
  const int64_t top = outside ? 0 : std::max<int64_t>(int64_t{bounds_.Top} + dy, 0);
  const int64_t bottom = outside ? dest.Height() : std::min<int64_t>(int64_t{bounds_.Bottom} + dy, dest.Height());
  std::vector<TRegionSpan> spans;
  for (int64_t row = top; row < bottom; ++row) {
    const int64_t y = row - dy;
    if (y < INT32_MIN || y > INT32_MAX) {
      spans.clear();
    } else {
      RowSpans(static_cast<int32_t>(y), spans);
    }
    int64_t from = 0;
    for (const TRegionSpan& s : spans) {
      if (outside)
        fill(row, from, int64_t{s.Left} + dx);
      else
        fill(row, int64_t{s.Left} + dx, int64_t{s.Right} + dx);
      from = int64_t{s.Right} + dx;
    }
    if (outside) fill(row, from, width);
  }
}

}  // namespace orba
