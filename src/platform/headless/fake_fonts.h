// A font service without fonts, for tests: every face has the same made-up
// shapes, so that what is drawn from them can be worked out exactly.
//
// For a size S (1 to 2048): height S, descent S / 8, ascent S - S / 8; the underline
// one pixel below the baseline and the strike-out at a third of the ascent,
// both max(1, S / 16) thick. A byte code advances S / 2, a double-byte code
// S (bold one more). Spaces (0x20, 0x8140) have an empty box. Any other
// box starts one pixel right of the pen and is the advance less 2 wide; a
// double-byte box reaches from one pixel below the cell top to one pixel
// above its bottom, a byte box from 3/4 of the ascent down to the baseline.
// Bold widens the box by one, italic by S / 5 (so C goes negative). The
// coverage is a pattern of the position and the code (FakeGray), with
// every fourth row empty.
#pragma once

#include <set>

#include "platform/fonts.h"

namespace orba {

class TFakeFonts : public TFontEngine {
 public:
  // Codes whose outline cannot be fetched at the gray levels (1 to 3), as
  // they are when a face is created.
  std::set<uint16_t> GrayFailCodes;
  // Makes every CreateFace fail, as when not even the default face exists.
  bool NoFaces = false;

  std::unique_ptr<TFontFace> CreateFace(const TFontRequest& request) override;
};

// The fake's gray value (0..64) at a pixel of a code's box.
int32_t FakeGray(uint16_t code, int32_t x, int32_t y);

}  // namespace orba
