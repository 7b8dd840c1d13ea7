#include "core/containers/rect_utils.h"

#include <algorithm>
#include <climits>

namespace orba {

bool RectIsEmpty(const TRect& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

bool RectsOverlap(const TRect& a, const TRect& b) {
  return !(a.Left >= b.Right || a.Right <= b.Left || a.Top >= b.Bottom || a.Bottom <= b.Top);
}

bool PointInRect(const TPoint& p, const TRect& r) {
  return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}

void IntersectRects(const TRect& a, const TRect& b, TRect& r) {
  if (b.Left < a.Right && b.Right > a.Left && b.Top < a.Bottom && b.Bottom > a.Top) {
    r = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom)};
  } else {
    r = TRect{};
  }
}

void MakePointRec(int32_t x, int32_t y, TPoint& p) { p = TPoint{x, y}; }

int32_t SaturateInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

TRect UniteRects(const TRect& a, const TRect& b) {
  if (RectIsEmpty(a)) return b;
  if (RectIsEmpty(b)) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace orba
