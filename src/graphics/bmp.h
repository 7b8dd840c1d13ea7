// The Windows BMP form of a TDIB: the run-length decoders. The reader and
// writer are TDIB's stream operations (LoadFromStream, SaveToStream,
// ReadData, WriteData), defined in bmp.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orba {

// Expand BI_RLE8 / BI_RLE4 data into a zeroed bottom-up pixel block of
// Height rows of RowSize bytes. Codes that move outside the bitmap write
// nothing there; decoding stops at the end-of-bitmap code or at the end of
// the data.
void ExpandRle8(const uint8_t* data, size_t size, uint8_t* pixels, int32_t width, int32_t height, int32_t row_size);
void ExpandRle4(const uint8_t* data, size_t size, uint8_t* pixels, int32_t width, int32_t height, int32_t row_size);

}  // namespace orba
