// The PNG codec: decodes a PNG stream into a TDIB (1, 4, 8 or 24 bits) plus
// an 8-bit alpha plane, and encodes a TDIB (with its alpha plane) as PNG.
//
// The alpha plane holds 255 minus the PNG alpha: 0 is opaque, 255 fully
// transparent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/streams/big_stream.h"
#include "graphics/dib.h"
#include "graphics/graphic_errors.h"

namespace orba {

class EZelPNG : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

struct TPngTime {
  int16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

class TZelPNG {
 public:
  TZelPNG();

  void LoadFromStream(TKsBigStream& stream);
  void SaveToStream(TKsBigStream& stream);

  // Copies every field; the bitmaps share the source's images.
  void Assign(const TZelPNG& source);
  // Resize the picture and the alpha plane together (new pixels are zero).
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);

  // Fills an outside bitmap instead of the own alpha plane; nullptr (or the
  // own plane) restores the own one.
  void UseAlphaTarget(TDIB* bitmap);
  TDIB& Alpha() { return *alpha_; }
  // -1 switches the picture's transparency off; any other value sets its
  // transparent colour (bit 24 set: a palette index in the low byte).
  void SetKeyColor(int32_t color);
  // Raises unless 256 <= Size <= 100000.
  void SetDataChunkSize(int32_t size);
  int32_t DataChunkSize() const { return data_chunk_size_; }

  TDIB Image;
  bool AlphaLoaded = false;
  // Loads fill the alpha plane with the PNG alpha itself (255 opaque)
  // instead of 255 minus it; saving always reads the inverted form.
  bool OpacityAlpha = false;
  int32_t DeflateLevel = -1;
  uint8_t RowFilterChoice = 1;
  uint8_t Interlace = 0;
  bool Grey = false;
  std::string Comment;
  int32_t BkgdColor = -1;
  int32_t KeyColor = -1;
  // The picture's transparent colour as loaded (-1: none).
  int32_t TransparentColor = -1;
  long double Gamma = 0.45455L;
  int32_t SbitBytes = 0;
  uint8_t PhysUnit = 0;
  int32_t PhysX = 0, PhysY = 0;
  bool StampCurrentTime = true;
  TPngTime Time;
  int32_t ChrmValues[8] = {};
  uint8_t GifgBytes[4] = {};
  bool SkipMacHeader = true;
  int32_t BitDepth = 0;
  // The depth a colour (RGB) picture is decoded at: 24, or 32 (blue, green,
  // red and a zero byte) for a caller that keeps its pictures at 32 bits and
  // would otherwise copy them.
  int32_t RgbBitCount = 24;
  // Told the size, depth and alpha plane of the picture once the header is
  // read and before anything of its size is allocated; may raise to refuse
  // the picture.
  std::function<void(int32_t width, int32_t height, int32_t bit_count, bool alpha)> OnPictureSize;

 private:
  TDIB own_alpha_;
  TDIB* alpha_;
  int32_t data_chunk_size_ = 32768;
};

}  // namespace orba
