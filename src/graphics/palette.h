// Shared palette handles: one handle per distinct colour table, counted by
// the images that use it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/pixel_format.h"

namespace orba {

using TPaletteHandle = uint32_t;  // 0 = none

struct TPaletteItem {
  int32_t Hash = 0;
  TPaletteHandle Palette = 0;
  int32_t RefCount = 0;
  TColorTable Table{};
  int32_t EntryCount = 0;
};

class TPaletteManager {
 public:
  // A handle for the first Count entries of Table, shared with every earlier
  // request for the same colours.
  TPaletteHandle SharePalette(const TRGBQuad* table, int32_t count);
  // Hands a palette back; the last reference frees the item. A handle no item
  // owns is left alone.
  void ReturnPalette(TPaletteHandle& palette);
  // The colours behind a handle (nullptr when no item owns it).
  const TPaletteItem* Find(TPaletteHandle palette) const;
  size_t ItemCount() const { return items_.size(); }

 private:
  std::vector<std::unique_ptr<TPaletteItem>> items_;
  TPaletteHandle next_handle_ = 1;
};

TPaletteManager& SharedPaletteManager();

// The index whose entry has the smallest sum of absolute channel differences
// (the first of equal ones); Color is 0x00BBGGRR.
int32_t ClosestEntry(const TRGBQuad* entries, uint32_t color, int32_t count);

}  // namespace orba
