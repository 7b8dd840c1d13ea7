#include "core/containers/rect_utils.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(RectUtils, EmptinessAndPoints) {
  EXPECT_TRUE(RectIsEmpty(TRect{0, 0, 0, 10}));
  EXPECT_TRUE(RectIsEmpty(TRect{5, 5, 6, 4}));
  EXPECT_FALSE(RectIsEmpty(TRect{0, 0, 1, 1}));
  const TRect r{0, 0, 10, 10};
  EXPECT_FALSE(PointInRect(TPoint{10, 5}, r));  // right edge is outside
  EXPECT_FALSE(PointInRect(TPoint{5, 10}, r));
  EXPECT_TRUE(PointInRect(TPoint{0, 0}, r));
  EXPECT_TRUE(PointInRect(TPoint{9, 9}, r));
  TPoint p;
  MakePointRec(-3, 7, p);
  EXPECT_EQ(p, (TPoint{-3, 7}));
}

TEST(RectUtils, OverlapAndIntersection) {
  struct Case {
    TRect a, b;
    bool overlap;
    TRect common;
  };
  for (const Case& c : std::vector<Case>{
           {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {}},         // touch at an edge
           {{0, 0, 10, 10}, {0, 10, 10, 20}, false, {}},
           {{0, 0, 10, 10}, {5, 5, 20, 20}, true, {5, 5, 10, 10}},
           {{0, 0, 10, 10}, {2, 3, 4, 5}, true, {2, 3, 4, 5}},    // inside
           {{-5, -5, 5, 5}, {-10, 0, 0, 10}, true, {-5, 0, 0, 5}},
           {{0, 0, 10, 10}, {20, 20, 30, 30}, false, {}},
       }) {
    EXPECT_EQ(RectsOverlap(c.a, c.b), c.overlap);
    EXPECT_EQ(RectsOverlap(c.b, c.a), c.overlap);
    TRect r{1, 1, 1, 1};
    IntersectRects(c.a, c.b, r);
    EXPECT_EQ(r, c.common);
  }
}

}  // namespace
}  // namespace orba
