#include "core/ks_random.h"

#include "core/errors.h"

namespace orba {

uint32_t TKsRandom::Step() {
  state_ = state_ * 5u + seed_;
  return state_;
}

void TKsRandom::SetCount(int32_t n) {
  count_ = n < 0 ? 0 : n;
  remaining_ = count_;
  // Every value present: node k (1-based) covers k & -k values.
  tree_.assign(static_cast<size_t>(count_) + 1, 0);
  for (int64_t k = 1; k <= count_; ++k) tree_[static_cast<size_t>(k)] = static_cast<int32_t>(k & -k);
}

int32_t TKsRandom::Next() {
  if (remaining_ <= 0) throw EOrbaError("TKsRandom: no values left to draw");
  Step();
  // Find the value with exactly `index` remaining values before it.
  uint32_t index = state_ % static_cast<uint32_t>(remaining_);
  int64_t pos = 0;
  int64_t step = 1;
  while (step * 2 <= count_) step *= 2;
  for (; step > 0; step /= 2) {
    const int64_t next = pos + step;
    if (next <= count_ && static_cast<uint32_t>(tree_[static_cast<size_t>(next)]) <= index) {
      pos = next;
      index -= static_cast<uint32_t>(tree_[static_cast<size_t>(next)]);
    }
  }
  // pos is the 0-based value; remove it.
  for (int64_t k = pos + 1; k <= count_; k += k & -k) --tree_[static_cast<size_t>(k)];
  --remaining_;
  return static_cast<int32_t>(pos);
}

}  // namespace orba
