#include "graphics/picture_budget.h"

#include <algorithm>
#include <string>

#include "core/system/heap_watch.h"

namespace orba {

int64_t MaxPictureBytes() {
  // A quarter of any 64-bit count fits a signed one.
  static_assert(kPictureShareOfCeiling >= 2);
  const auto share = static_cast<int64_t>(HeapCeiling() / kPictureShareOfCeiling);
  return std::max(kMinPictureBytes, share);
}

int64_t SurfaceBytes(int64_t width, int64_t height, int32_t bit_count) {
  const int64_t row = DibRowSize(width, bit_count == 15 ? 16 : bit_count);
  if (row < 0 || height < 0 || height > INT32_MAX) return -1;
  // A row of a width from a header times its height may pass 64 bits.
  if (height > 0 && row > INT64_MAX / height) return -1;
  return row * height;
}

void TPictureBudget::ChargeKept(int32_t width, int32_t height, int32_t bit_count) {
  int64_t bytes = SurfaceBytes(width, height, bit_count);
  const int32_t held = held_bit_count_;
  if (bytes >= 0 && held > 0 && held != bit_count) {
    const int64_t copy = SurfaceBytes(width, height, held);
    bytes = copy < 0 ? -1 : bytes + copy;
  }
  Add(bytes);
}

void TPictureBudget::ChargeAsRead(int32_t width, int32_t height, int32_t bit_count) {
  Add(SurfaceBytes(width, height, bit_count));
}

void TPictureBudget::ChargeWork(int64_t bytes) { Add(bytes); }

void TPictureBudget::ChargePlaneWork(int64_t bytes) {
  if (bytes <= plane_work_) return;
  Add(bytes - plane_work_);
  plane_work_ = bytes;
}

void TPictureBudget::Settle(int64_t held) {
  total_ = 0;
  plane_work_ = 0;
  Add(held);
}

void TPictureBudget::Add(int64_t bytes) {
  // Checked against what is left, so that no sum can overflow.
  if (bytes < 0 || bytes > limit_ - total_)
    throw EPictureTooLarge("picture refused: its surfaces need more than " + std::to_string(limit_) + " bytes");
  total_ += bytes;
}

}  // namespace orba
