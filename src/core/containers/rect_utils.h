// Rectangles and points of screen objects and drawing, and the small tests on
// them. The right and bottom edges of a rectangle are exclusive.
#pragma once

#include <cstdint>

namespace orba {

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TRect&) const = default;
};

struct TPoint {
  int32_t X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Left >= Right or Top >= Bottom.
bool RectIsEmpty(const TRect& r);
// False when the two only touch at an edge or lie apart.
bool RectsOverlap(const TRect& a, const TRect& b);
// Left <= X < Right and Top <= Y < Bottom.
bool PointInRect(const TPoint& p, const TRect& r);
// R := the common part of A and B, or (0, 0, 0, 0) when they do not overlap.
void IntersectRects(const TRect& a, const TRect& b, TRect& r);
// V saturated to the int32 range.
int32_t SaturateInt32(int64_t v);
// The smallest rectangle holding both; an empty one adds nothing.
TRect UniteRects(const TRect& a, const TRect& b);
void MakePointRec(int32_t x, int32_t y, TPoint& p);

}  // namespace orba
