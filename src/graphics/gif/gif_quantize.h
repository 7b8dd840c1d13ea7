// Colour reduction for GIF frames: fixed palettes, an octree quantizer,
// colour lookups and seven dithering engines that scan rows in
// alternating directions. Palettes are red, green, blue triples.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace orba {

using TGIFPalette = std::vector<uint8_t>;  // 3 bytes a colour

// Entry 36r + 6g + b with each level times 51.
TGIFPalette CubePalette216();
TGIFPalette GreyRampPalette();
TGIFPalette FourGreyPalette();
TGIFPalette BlackWhitePalette();
// The 20 static colours of the default system palette (10 low, 10 high).
TGIFPalette SystemDefaultPalette();
// The screen's halftone palette: the static colours framing a 6x6x6 cube
// and 20 greys (docs/gif-halftone-palette.md).
TGIFPalette HalftonePalette();

class TColorLookup {
 public:
  virtual ~TColorLookup() = default;
  // The index standing for the colour, and that entry's colour.
  virtual int Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) = 0;
  int Colors = 0;
};

// Nearest entry by the sum of absolute differences, cached per 15-bit cell.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const TGIFPalette& palette);
  int Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) override;

 private:
  TGIFPalette palette_;
  std::vector<uint16_t> cache_;
};

// The 6x6x6 cube: each channel (c + 3) div 51.
class TNetscapeColorLookup : public TColorLookup {
 public:
  TNetscapeColorLookup() { Colors = 216; }
  int Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) override;
};

class TGrayScaleLookup : public TColorLookup {
 public:
  TGrayScaleLookup() { Colors = 256; }
  int Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) override;
};

class TMonochromeLookup : public TColorLookup {
 public:
  TMonochromeLookup() { Colors = 2; }
  int Nearest(int r, int g, int b, int& out_r, int& out_g, int& out_b) override;
};

// Nearest colour without diffusion (mode 0); the base of every engine.
class TDitherEngine {
 public:
  TDitherEngine(int32_t width, TColorLookup& lookup) : Width(width), lookup_(lookup) {}
  virtual ~TDitherEngine() = default;
  virtual int MapPixel(int r, int g, int b, int& out_r, int& out_g, int& out_b);
  virtual void EndRow();
  int32_t Direction = 1;
  int32_t Column = 0;
  int32_t Width;

 protected:
  int Lookup(int r, int g, int b, int& out_r, int& out_g, int& out_b) {
    return lookup_.Nearest(r, g, b, out_r, out_g, out_b);
  }
  TColorLookup& lookup_;
};

// Mode 0 nearest, 1 Floyd-Steinberg, 2 Stucki, 3 Sierra, 4 Jarvis-Judice-
// Ninke, 5 Stevenson-Arce, 6 Burkes; null for other modes.
std::unique_ptr<TDitherEngine> MakeDitherEngine(int mode, int32_t width, TColorLookup& lookup);

// The octree palette of the pixels (red, green, blue triples): `colors`
// entries from 0, or with `system_colors` 236 quantized colours framed by
// the 20 static colours (256 entries). Entries the tree cannot fill are
// black.
TGIFPalette BuildOctreePalette(const uint8_t* rgb, int64_t pixels, int colors, int depth, bool system_colors);

struct TQuantizedPicture {
  bool Empty = true;
  bool TrueColor = false;     // method 0: Rgb holds the copy
  std::vector<uint8_t> Rgb;   // method 0
  std::vector<uint8_t> Index; // one byte a pixel, top row first
  TGIFPalette Palette;
};

// Reduces a 24-bit picture with palette method 0..9 and dither mode 0..6;
// `given` is the palette of method 9.
TQuantizedPicture QuantizeRgb(const uint8_t* rgb, int32_t width, int32_t height, int method, int dither,
                              const TGIFPalette* given, int bits);

}  // namespace orba
