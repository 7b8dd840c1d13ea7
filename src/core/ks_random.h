// A small deterministic generator whose output depends only on its seed. The
// package directory is scrambled with its steps and images draw permutations
// from it, so the arithmetic is part of the stored formats.
#pragma once

#include <cstdint>
#include <vector>

namespace orba {

class TKsRandom {
 public:
  explicit TKsRandom(uint32_t seed) : seed_(seed) {}

  // State := State * 5 + Seed (mod 2^32); returns the new state. The first
  // values are therefore Seed, 6 * Seed, 31 * Seed, ...
  uint32_t Step();
  // Makes 0 .. N-1 (ascending) the values Next draws from; N below 0 counts
  // as 0. The state is not reset.
  void SetCount(int32_t n);
  // Advances the state as Step does, then removes and returns the remaining
  // value at index State mod (values remaining). N calls after SetCount(N)
  // give a permutation of 0 .. N-1. Raises EOrbaError when none is left.
  int32_t Next();

  uint32_t Seed() const { return seed_; }
  int32_t Count() const { return count_; }
  int32_t RemainingCount() const { return remaining_; }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  int32_t count_ = 0;
  int32_t remaining_ = 0;
  // A Fenwick tree over 0 .. N-1 holding 1 for every value not drawn yet, so
  // that the i-th remaining value is found and removed in O(log N).
  std::vector<int32_t> tree_;
};

}  // namespace orba
