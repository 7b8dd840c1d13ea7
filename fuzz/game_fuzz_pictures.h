// Large pictures the whole-player fuzzer plants in the game folder, under
// the ".brx" names its image items read: only one of them fits the budget
// of one picture (256 MB of surfaces), so that a game holding them all at
// once still stays near one picture's cost; the others are refused from
// their headers.
#pragma once

#include <cstdint>
#include <filesystem>

namespace orba::fuzz {

// PNG pictures: "wide.brx", 8192 x 8192 colour of about 200 KB (the whole
// budget at 32 bits); "bits.brx", 8192 x 8192 at 1 bit (a few KB; its copy
// at 32 bits passes the budget); "over.brx", 8192 x 6554 with alpha (just
// over); "sparse.brx", an 8192 x 8192 header with alpha before 4 MB of
// nothing (a sparse file).
void PlantLargePngs(const std::filesystem::path& game);
// "progressive.brx", a progressive JPEG header naming 8192 x 8192 before
// 64 KB of data (its coefficients alone are 192 MiB), and "layers.brx", a
// Brix frame of 8192 x 8192 at 24 bits with three layers.
void PlantLargeJpegAndBrix(const std::filesystem::path& game);
// "grow.avi", a Motion JPEG movie whose headers say 64 x 48: a frame of that
// size, then three whose own headers say 8000 x 4000 (their data those of
// the small frame), then the small frame again.
void PlantOutgrowingMovie(const std::filesystem::path& game);
// "big.cur" and "big.bmp": 8-bit run-length bitmaps of 8192 x 8192, each
// row runs of 255 pixels (558 KB).
void PlantHugeCursors(const std::filesystem::path& game);

}  // namespace orba::fuzz
