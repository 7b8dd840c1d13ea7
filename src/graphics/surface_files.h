// Whole pictures between a drawing surface and a file or stream: BMP files
// in, BMP, PNG and Brix streams in (told apart by their first bytes), and
// 24-bit BMP files out. The surface keeps its own depth; the picture is
// converted into it pixel by pixel, as a block copy of the display system
// does.
#pragma once

#include <cstdint>
#include <string>

#include "core/streams/big_stream.h"
#include "graphics/custom_dibx.h"

namespace orba {

// Reads a ".bmp" file (the extension compared without regard to case);
// a missing file or any other extension leaves the surface as it was.
void LoadDIBXFromFile(TCustomDIBX& surface, const std::string& file_name);

// Reads a picture from the stream: "BM" at position 0 is BMP, "PNG" at
// position 1 is PNG, "Brix" at position 0 is the first frame of a Brix
// image read with IdentCode. A null or unrecognised stream, or an empty BMP
// or PNG picture, leaves the surface as it was; reader errors propagate.
void LoadDIBXFromStream(TCustomDIBX& surface, TKsBigStream* stream, int32_t ident_code);

// Writes the surface as a 24-bit BMP file when the name ends in ".bmp"
// (without regard to case); other names write nothing.
void SaveDIBXToFile(TCustomDIBX& surface, const std::string& file_name);

}  // namespace orba
