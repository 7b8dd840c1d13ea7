#include "graphics/palette.h"

#include <cstdlib>
#include <cstring>

namespace orba {

TPaletteHandle TPaletteManager::SharePalette(const TRGBQuad* table, int32_t count) {
  if (count < 0) count = 0;
  if (count > 256) count = 256;
  int32_t hash = count;
  for (int32_t i = 0; i < count; ++i) hash += table[i].Blue + table[i].Green + table[i].Red;
  for (auto& item : items_) {
    if (item->Hash == hash && item->EntryCount == count &&
        std::memcmp(item->Table.data(), table, static_cast<size_t>(count) * 4) == 0) {
      ++item->RefCount;
      return item->Palette;
    }
  }
  auto item = std::make_unique<TPaletteItem>();
  item->Hash = hash;
  item->EntryCount = count;
  if (count > 0) std::memcpy(item->Table.data(), table, static_cast<size_t>(count) * 4);
  item->Palette = next_handle_++;
  if (next_handle_ == 0) next_handle_ = 1;
  item->RefCount = 1;
  items_.push_back(std::move(item));
  return items_.back()->Palette;
}

void TPaletteManager::ReturnPalette(TPaletteHandle& palette) {
  if (palette == 0) return;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Palette != palette) continue;
    palette = 0;
    if (--items_[i]->RefCount < 1) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

const TPaletteItem* TPaletteManager::Find(TPaletteHandle palette) const {
  for (const auto& item : items_)
    if (item->Palette == palette) return item.get();
  return nullptr;
}

TPaletteManager& SharedPaletteManager() {
  static TPaletteManager manager;
  return manager;
}

int32_t ClosestEntry(const TRGBQuad* entries, uint32_t color, int32_t count) {
  const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  int32_t best = 0;
  int best_d = 1 << 30;
  for (int32_t i = 0; i < count; ++i) {
    const int d = std::abs(entries[i].Red - r) + std::abs(entries[i].Green - g) + std::abs(entries[i].Blue - b);
    if (d < best_d) {
      best_d = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

}  // namespace orba
