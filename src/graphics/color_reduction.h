// Converts one TFastDIB into another of a different depth: to 1, 4 or 8
// bits with a palette (exactly when the source has few enough colours, else
// by median cut with optional error diffusion), or to 16, 24 or 32 bits.
#pragma once

#include <cstdint>

#include "graphics/fast_dib.h"

namespace orba {

// Target already has Source's width and height and its own depth. Colors is
// the quantiser's box count less one (1..255); 0 means 255 (256 colours),
// with an exact 8-bit palette only for a picture of one colour.
void ConvertFastDIBDepth(TFastDIB& target, const TFastDIB& source, bool grey, bool dither, int32_t colors);

// The members, one per target kind.
void MakeTwoColor(TFastDIB& target, const TFastDIB& source);
void MakeExact4(TFastDIB& target, const TFastDIB& source);
void MakeExact8(TFastDIB& target, const TFastDIB& source);
void MakePlain16(TFastDIB& target, const TFastDIB& source);
void MakeWide24(TFastDIB& target, const TFastDIB& source);
void MakeWide32(TFastDIB& target, const TFastDIB& source);
void MakeDithered16(TFastDIB& target, const TFastDIB& source);
void MakeGreyLevels(TFastDIB& target, const TFastDIB& source, int32_t levels, bool dither);
void MakeBoxCut8(TFastDIB& target, const TFastDIB& source, int32_t colors, bool dither);

}  // namespace orba
