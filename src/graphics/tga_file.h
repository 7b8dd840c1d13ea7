// Truevision TGA files for the alpha bitmap: the reader takes colour-mapped,
// true-colour and grey images, plain or run-length encoded, in any origin,
// with the key colour of a TGA 2.0 extension area; the writer writes TGA 2.0
// with optional run-length packets, key colour and alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/dib_surface.h"

namespace orba {

// Thrown for damaged TGA data (the message "TGA:ファイルが壊れています").
extern const char* const kTgaDamagedText;

struct TTgaInfo {
  bool RunLength = false;   // the pixels were run-length encoded
  bool AlphaSplit = false;  // a 32-bit image gave its fourth bytes to the alpha plane
};

// Reads a TGA image from the stream's position into `surface` (cleared by the
// caller) and returns the key colour as a pixel value, -1 when the file has
// no extension area. Image types other than 1, 2, 3, 9, 10 and 11 load
// nothing and raise nothing. A 16-bit grey image (a grey and an alpha byte
// a pixel) reads as a 32-bit image with the alpha as its fourth bytes. With
// `split_alpha` a 32-bit image becomes 24-bit with its fourth bytes as the
// alpha plane. Damaged data raises
// EInvalidGraphic before anything is allocated where sizes can tell.
int64_t ReadTGA(TDIBSurface& surface, TKsBigStream& stream, TTgaInfo& info, bool split_alpha);

// Writes the surface as TGA 2.0, rows from the top; run-length packets
// never cross a row end. `transparent_color` (a pixel value, -1 none) goes
// to an extension area when no alpha plane is given; `alpha` (8 bits, 255
// opaque) is written as the fourth byte of 32-bit pixels, and a 32-bit
// surface without one is written opaque. 1- and 4-bit surfaces are written
// as 8-bit colour-mapped images.
void WriteTGA(TDIBSurface& surface, TKsBigStream& stream, int64_t transparent_color, bool run_length,
              TDIBSurface* alpha);

// Cursors over a row of packed pixels of 1, 2, 3 or 4 bytes: Pick answers
// the pixel at the cursor and moves on, Skip moves on by N pixels.
class TPickPx {
 public:
  explicit TPickPx(const uint8_t* at) : at_(at) {}
  virtual ~TPickPx() = default;
  virtual uint32_t Pick();
  virtual void Skip(int64_t n) { at_ += n; }

 protected:
  const uint8_t* at_;
};

class TPickPx16 : public TPickPx {
 public:
  using TPickPx::TPickPx;
  uint32_t Pick() override;
  void Skip(int64_t n) override { at_ += 2 * n; }
};

class TPickPx24 : public TPickPx {
 public:
  using TPickPx::TPickPx;
  uint32_t Pick() override;
  void Skip(int64_t n) override { at_ += 3 * n; }
};

class TPickPx32 : public TPickPx {
 public:
  using TPickPx::TPickPx;
  uint32_t Pick() override;
  void Skip(int64_t n) override { at_ += 4 * n; }
};

// Plans run-length packets: a list of runs of equal pixels, none longer
// than 128, read back as run packets (runs of 2 or more) and raw packets
// (up to 128 consecutive single pixels).
class TPxList {
 public:
  void Start(uint32_t value);
  void Extend();
  bool Matches(uint32_t value) const;
  void Reset() { read_ = 0; }
  bool NextPacket(bool& is_run, int32_t& count);

 private:
  std::vector<uint8_t> runs_;
  uint32_t value_ = 0;
  bool full_ = false;
  size_t read_ = 0;
};

// The ".tga" form of the surface's load and save by extension.
TSurfaceFileFormat TgaFileFormat();

}  // namespace orba
