// Regions: the edge rules worked by hand, the hit test against the painted
// mask for random shapes, polygon fills against a direct winding count,
// and the region file reader on hand-built and hostile bytes.
#include <gtest/gtest.h>

#include <random>

#include "core/streams/stream_encoding.h"
#include "graphics/dibx.h"
#include "graphics/region_file.h"

namespace orba {
namespace {

// The pixels of row Y inside the region, as spans.
std::vector<TRegionSpan> Row(const TRegion& r, int32_t y) {
  std::vector<TRegionSpan> spans;
  r.RowSpans(y, spans);
  return spans;
}

TEST(Region, EdgesOfRectanglesAndEllipsesWorkedByHand) {
  const TRegion r = TRegion::Rectangle(10, 10, 20, 20);
  for (auto [x, y, in] : std::vector<std::tuple<int, int, bool>>{
           {10, 10, true}, {19, 19, true}, {20, 19, false}, {19, 20, false}, {9, 10, false}, {10, 9, false}})
    EXPECT_EQ(r.Contains(x, y), in) << x << "," << y;
  EXPECT_EQ(TRegion::Rectangle(20, 20, 10, 10).Bounds(), (TRect{10, 10, 20, 20}));
  EXPECT_TRUE(RectIsEmpty(TRegion::Rectangle(5, 5, 5, 9).Bounds()));
  // In a 10 x 10 ellipse the top row holds the four pixels around the
  // centre line, the middle rows the whole width; the rows are symmetric.
  const TRegion e = TRegion::Ellipse(0, 0, 10, 10);
  EXPECT_EQ(Row(e, 0), (std::vector<TRegionSpan>{{3, 7}}));
  EXPECT_EQ(Row(e, 9), (std::vector<TRegionSpan>{{3, 7}}));
  EXPECT_EQ(Row(e, 4), (std::vector<TRegionSpan>{{0, 10}}));
  EXPECT_TRUE(Row(e, 10).empty());
  EXPECT_TRUE(Row(TRegion::Ellipse(0, 0, 0, 10), 3).empty());
}

// A five-pointed star drawn in one stroke crosses itself: winding fills the
// centre pentagon, alternate leaves it empty; both fill the points.
TEST(Region, SelfIntersectingStarFillsItsCentreOnlyByWinding) {
  const std::vector<TPoint> star{{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  const TRegion winding = TRegion::Polygon(star, TPolyFillMode::Winding);
  const TRegion alternate = TRegion::Polygon(star, TPolyFillMode::Alternate);
  EXPECT_TRUE(winding.Contains(50, 50));
  EXPECT_FALSE(alternate.Contains(50, 50));
  for (const TRegion* r : {&winding, &alternate}) {
    EXPECT_TRUE(r->Contains(50, 10));
    EXPECT_TRUE(r->Contains(10, 37));
    EXPECT_FALSE(r->Contains(50, 85));
  }
  // A square polygon covers what the same rectangle does.
  const TRegion square = TRegion::Polygon({{10, 10}, {20, 10}, {20, 20}, {10, 20}}, TPolyFillMode::Alternate);
  for (int32_t y = 8; y < 22; ++y) EXPECT_EQ(Row(square, y), Row(TRegion::Rectangle(10, 10, 20, 20), y)) << y;
}

// The winding number of the integer point (X, Y): each edge that crosses
// the row at or left of X counts its direction. Worked with cross products,
// without the crossing columns the region computes.
int32_t WindingAt(const std::vector<TPoint>& poly, int64_t x, int64_t y) {
  int32_t w = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    const TPoint p = poly[i], q = poly[(i + 1) % poly.size()];
    if (std::min(p.Y, q.Y) > y || std::max(p.Y, q.Y) <= y || p.Y == q.Y) continue;
    const int64_t d = int64_t{q.Y} - p.Y, lhs = (y - p.Y) * (int64_t{q.X} - p.X), rhs = (x - p.X) * d;
    if (d > 0 ? lhs <= rhs : lhs >= rhs) w += d > 0 ? 1 : -1;
  }
  return w;
}

// 500 seeded random ellipses and polygons: the hit test equals the painted
// mask at every point of the bounds widened by 2, painting outside gives the
// complement, and polygons agree with the direct winding count.
TEST(Region, HitTestMatchesPaintedMaskForRandomShapes) {
  std::mt19937 rng(31);
  auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int n = 0; n < 500; ++n) {
    std::vector<TPoint> poly;
    const TPolyFillMode mode = n % 4 == 1 ? TPolyFillMode::Alternate : TPolyFillMode::Winding;
    TRegion r;
    if (n % 2 == 0) {
      r = TRegion::Ellipse(coord(-5, 30), coord(-5, 30), coord(-5, 30), coord(-5, 30));
    } else {
      for (int k = coord(3, 9); k > 0; --k) poly.push_back(TPoint{coord(-5, 30), coord(-5, 30)});
      r = TRegion::Polygon(poly, mode);
    }
    TDIBX inside, outside;
    inside.SetSize(48, 48, 8);
    outside.SetSize(48, 48, 8);
    inside.Fill(0);
    outside.Fill(255);
    r.Paint(inside, 10, 10, 255);
    r.PaintOutside(outside, 10, 10, 0);
    const TRect b = r.Bounds();
    for (int32_t y = b.Top - 2; y < b.Bottom + 2; ++y)
      for (int32_t x = b.Left - 2; x < b.Right + 2; ++x) {
        const bool hit = r.Contains(x, y);
        ASSERT_EQ(hit, inside.GetPixel(x + 10, y + 10) == 255) << n << ": " << x << "," << y;
        ASSERT_EQ(hit, outside.GetPixel(x + 10, y + 10) == 255) << n << ": " << x << "," << y;
        if (poly.empty()) continue;
        const int32_t w = WindingAt(poly, x, y);
        ASSERT_EQ(hit, mode == TPolyFillMode::Winding ? w != 0 : (w & 1) != 0) << n << ": " << x << "," << y;
      }
  }
}

// ---- the region file -------------------------------------------------------------

std::string Int(int64_t v) {
  std::string out;
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>(static_cast<uint64_t>(v) >> shift & 255);
  return out;
}
std::string Str(const std::string& s) { return Int(static_cast<int64_t>(s.size())) + s; }
std::string RectRecord(const std::string& name, char shape, int l, int t, int r, int b) {
  return Str(name) + shape + Int(l) + Int(t) + Int(r) + Int(b);
}

struct TFileCase {
  const char* What;
  std::string Bytes;
  std::vector<std::string> Names;
  bool Fault;
};

TEST(RegionFile, ReadsRecordsAndKeepsThoseBeforeAFault) {
  const std::string a = RectRecord("a", 0, 10, 10, 19, 19), b = RectRecord("b", 1, 0, 0, 9, 9);
  const std::string tri = Str("t") + '\x07' + Int(3) + Int(0) + Int(0) + Int(8) + Int(0) + Int(0) + Int(8);
  const std::vector<TFileCase> cases{
      {"three records", Int(3) + a + b + tri, {"a", "b", "t"}, false},
      {"negative count", Int(-4) + a, {}, false},
      {"count past the bytes", Int(1000) + a + b, {}, true},
      {"third record cut short", Int(3) + a + b + tri.substr(0, 20), {"a", "b"}, true},
      {"point count past the bytes", Int(2) + a + Str("p") + '\x02' + Int(0x7FFFFFFF), {"a"}, true},
      {"negative point count", Int(2) + a + Str("p") + '\x02' + Int(-3), {"a", "p"}, false},
      {"empty file", "", {}, true},
  };
  for (const TFileCase& c : cases) {
    TKsMemoryStream s(std::vector<uint8_t>(c.Bytes.begin(), c.Bytes.end()));
    std::string fault;
    const std::vector<TNamedRegion> regions = ReadRegionFile(s, &fault);
    std::vector<std::string> names;
    for (const TNamedRegion& r : regions) names.push_back(r.Name);
    EXPECT_EQ(names, c.Names) << c.What;
    EXPECT_EQ(!fault.empty(), c.Fault) << c.What;
  }
  // The inclusive bounds 10..19 become the region's pixels 10 to 19.
  const std::string bytes = Int(2) + a + b;
  TKsMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  const std::vector<TNamedRegion> regions = ReadRegionFile(s);
  EXPECT_EQ(regions[0].Region.Bounds(), (TRect{10, 10, 20, 20}));
  EXPECT_TRUE(regions[0].Region.Contains(19, 19));
  EXPECT_FALSE(regions[0].Region.Contains(20, 19));
  EXPECT_EQ(Row(regions[1].Region, 4), (std::vector<TRegionSpan>{{0, 10}}));
  EXPECT_TRUE(Row(regions[1].Region, 0) == (std::vector<TRegionSpan>{{3, 7}}));
}

}  // namespace
}  // namespace orba
