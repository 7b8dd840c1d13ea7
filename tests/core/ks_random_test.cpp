#include "core/ks_random.h"

#include <gtest/gtest.h>

#include "core/errors.h"

namespace orba {
namespace {

std::vector<int32_t> Draw(TKsRandom& r, int n) {
  std::vector<int32_t> out;
  for (int i = 0; i < n; ++i) out.push_back(r.Next());
  return out;
}

TEST(KsRandom, StepsAndDrawsFollowTheSeed) {
  TKsRandom r(1);
  std::vector<uint32_t> steps;
  for (int i = 0; i < 5; ++i) steps.push_back(r.Step());
  EXPECT_EQ(steps, (std::vector<uint32_t>{1, 6, 31, 156, 781}));
  TKsRandom big(0x80000001u);  // wraps modulo 2^32
  big.Step();
  EXPECT_EQ(big.Step(), 6u * 0x80000001u);
  // Next draws by state modulo the count remaining; SetCount refills without
  // resetting the state.
  TKsRandom one(1), zero(0), empty(7);
  one.SetCount(3);
  zero.SetCount(5);
  EXPECT_EQ(Draw(one, 3), (std::vector<int32_t>{1, 0, 2}));
  EXPECT_EQ(Draw(zero, 5), (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_THROW(one.Next(), EOrbaError);  // nothing left
  EXPECT_THROW(empty.Next(), EOrbaError);
  one.SetCount(2);
  EXPECT_EQ(one.Next(), 0);  // state 156, 156 mod 2 = 0
  one.SetCount(-4);
  EXPECT_EQ(one.Count(), 0);
  EXPECT_THROW(one.Next(), EOrbaError);
  // Large permutations, compared with the plain list the generator
  // describes: remove the value at index State mod remaining.
  for (uint32_t seed : {3u, 0x9E3779B9u, 12345u}) {
    const int n = 5000;
    TKsRandom g(seed);
    g.Step();  // SetCount keeps the state
    g.SetCount(n);
    std::vector<int32_t> list(n), expected;
    for (int i = 0; i < n; ++i) list[i] = i;
    for (uint32_t i = 0, state = seed; i < static_cast<uint32_t>(n); ++i) {
      state = state * 5u + seed;
      const size_t at = state % static_cast<uint32_t>(list.size());
      expected.push_back(list[at]);
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    }
    EXPECT_EQ(Draw(g, n), expected) << seed;
    EXPECT_EQ(g.RemainingCount(), 0);
  }
}

}  // namespace
}  // namespace orba
