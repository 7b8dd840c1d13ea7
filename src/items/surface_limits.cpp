#include "items/surface_limits.h"

#include <algorithm>

#include "items/base_list.h"

namespace orba {

int32_t ItemSideLimit(const TOrbaBaseList* manager) {
  if (manager == nullptr) return kMinItemSideLimit;
  return std::clamp(std::max(manager->Width, manager->Height), kMinItemSideLimit, TOrbaBaseList::kMaxScreenSide);
}

int32_t ClampItemSide(int64_t value, const TOrbaBaseList* manager) {
  const int32_t limit = ItemSideLimit(manager);
  return static_cast<int32_t>(std::clamp<int64_t>(value, -int64_t{limit}, limit));
}

}  // namespace orba
