// A plain top-down bitmap with its own colour table and row pointers: the
// working buffer of colour reduction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/pixel_format.h"

namespace orba {

class TFastDIB {
 public:
  TFastDIB() = default;
  TFastDIB(const TFastDIB&) = delete;
  TFastDIB& operator=(const TFastDIB&) = delete;
  TFastDIB(TFastDIB&&) = default;
  TFastDIB& operator=(TFastDIB&&) = default;

  // Sizes the bitmap; nothing happens when everything is unchanged. Raises
  // "Can not alloc memory" when the size is out of range. Rows are zeroed.
  void SetSize(int32_t width, int32_t height, int32_t bit_count, int32_t layout_code);
  // Fills the header fields: bit count 0 means the screen's depth, layout
  // code 0 the screen's 16-bit layout (565 here) or 888 at 32 bits.
  void FillHeader(int32_t width, int32_t layout_code, int32_t bit_count, int32_t height);

  uint8_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(RowSize); }
  const uint8_t* Row(int32_t y) const {
    return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(RowSize);
  }

  // Palette index of a pixel at 1, 4 and 8 bits; 0 at other depths.
  uint32_t IndexAt(int32_t y, int32_t x) const;
  // Number of distinct colours (16, 24, 32 bits) or indices (8, 4 bits); at
  // 1 bit 2 when the first two entries differ, else 0.
  int32_t DistinctColors() const;
  // Entries First..Last become a straight ramp between two 0x00RRGGBB colours.
  void FillColorRamp(int32_t first, int32_t last, uint32_t start_color, uint32_t end_color);

  int32_t Width = 0;
  int32_t RowCount = 0;
  int32_t BitCount = 0;
  int32_t RowSize = 0;
  // Bytes after the last pixel of a row (a partly used last byte counts as used).
  int32_t PadBytes = 0;
  int32_t LayoutCode = 0;
  uint8_t BlueDrop = 0, GreenDrop = 0, GreenPos = 0, RedDrop = 0, RedPos = 0;
  uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
  int32_t Compression = 0;
  TColorTable Colors{};
  std::vector<uint8_t> Pixels;
};

// The 16-bit layout of the screen: 565 for every display we drive.
int32_t ProbeScreen16Layout();

}  // namespace orba
