// Any picture we read (BMP, PNG) as 8-bit RGBA rows, top row first, and an
// RGBA picture written back as PNG. Used to compare our decodes with other
// decoders from outside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/dib.h"

namespace orba {

struct TRgbaPicture {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;  // 4 x Width x Height
};

// The picture as RGBA. `alpha_plane` (optional) holds 255 minus the alpha;
// `key` is a transparent colour (-1 none; bit 24 set: a palette index).
TRgbaPicture DibToRgba(TDIB& image, TDIB* alpha_plane, int32_t key);

// Decodes a BMP or PNG stream, chosen by its first bytes. `bitmap`
// (optional) is given the decoded bitmap as read, at its own depth and with
// its colour table.
TRgbaPicture DecodePictureRgba(TKsBigStream& stream, TDIB* bitmap = nullptr);

// Writes RGBA as a PNG (colour type 6, 8 bits) with our encoder.
void SaveRgbaAsPng(const TRgbaPicture& picture, TKsBigStream& stream);

}  // namespace orba
