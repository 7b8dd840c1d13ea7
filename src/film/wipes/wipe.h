// The common part of the screen transitions: length, position, direction,
// the two parameters and the mask name, and the frame a kind draws.
//
// A transition draws the picture of its position into the destination from
// the two pages and nothing else, so any frame can be computed alone. At
// position 0 the destination is an exact copy of the old page, at the
// length an exact copy of the new one; each kind draws the frames between.
// The kinds work on 32-bit pages (the screen roots' depth); with pages of
// another depth, or without addressable pixels, a transition shows the old
// page until its middle and the new one from there.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/custom_dibx.h"
#include "graphics/pixel_view.h"
#include "items/custom_wipe.h"

namespace orba {

// A 32-bit pixel read and written through byte buffers.
using TPix = uint32_t __attribute__((__may_alias__));

// The pages of one frame, all of Width x Height 32-bit pixels.
struct TWipeFrame {
  TPixelView Dest, New, Old;
  int32_t Width = 0, Height = 0;
  TPix* DestRow(int32_t y) const { return reinterpret_cast<TPix*>(Dest.Row(y)); }
  const TPix* NewRow(int32_t y) const { return reinterpret_cast<const TPix*>(New.Row(y)); }
  const TPix* OldRow(int32_t y) const { return reinterpret_cast<const TPix*>(Old.Row(y)); }
  // The row of the new page (true) or the old one.
  const TPix* PageRow(bool new_page, int32_t y) const { return new_page ? NewRow(y) : OldRow(y); }
  // Copies pixels [X0, X1) of row Y of a page into the destination.
  void CopySpan(bool new_page, int32_t y, int32_t x0, int32_t x1) const {
    if (x1 > x0)
      std::memcpy(DestRow(y) + x0, PageRow(new_page, y) + x0, static_cast<size_t>(x1 - x0) * 4);
  }
};

// A and B mixed with weight W of A, 0..256 (256 is A itself). The fourth
// byte of the result is 0.
inline uint32_t MixPixel(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t rb = (((a & 0xFF00FFu) * w + (b & 0xFF00FFu) * (256 - w)) >> 8) & 0xFF00FFu;
  const uint32_t g = (((a & 0x00FF00u) * w + (b & 0x00FF00u) * (256 - w)) >> 8) & 0x00FF00u;
  return rb | g;
}

// Rows of N pixels: D := A mixed with B at weight W of A (0..256).
void MixRow(TPix* d, const TPix* a, const TPix* b, int32_t n, uint32_t w);
// D := A mixed with the colour C at weight W of A.
void MixRowColor(TPix* d, const TPix* a, uint32_t c, int32_t n, uint32_t w);

// Pixels [X0, X1) of a row.
struct TSpan {
  int32_t X0 = 0, X1 = 0;
};
using TSpans = std::vector<TSpan>;

// Row Y shows the new page on Spans (in any order, overlapping or reaching
// past the row; they are sorted and merged here) and the old page elsewhere.
void DrawRowSpans(const TWipeFrame& f, int32_t y, TSpans& spans);
// Spans of a row of Width pixels mirrored left to right.
void MirrorSpans(TSpans& spans, int32_t width);
// Row Y: pixel X of the new page where Select[X] is all ones, of the old one
// where it is 0.
void DrawRowSelect(const TWipeFrame& f, int32_t y, const uint32_t* select);

// Position over length as a weight 0..256 (rounded down).
inline uint32_t WeightOf(int64_t position, int64_t length) {
  return length <= 0 ? 256u : static_cast<uint32_t>(position * 256 / length);
}

class TWipe : public TCustomWipe {
 public:
  TWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page, TCustomDIBX& old_page);

  void SetReverse(bool reverse) override { Reverse = reverse; }
  int32_t GetLength() const override { return Length; }
  // A length below 1 counts as 1.
  void SetLength(int32_t length) override;
  // Cut to 0 .. length.
  void SetPosition(int32_t position) override;
  // The part of the destination the next Step draws: the whole picture.
  TRect CurrentRect() const override;
  void Step() override;
  // Indexes other than 0 and 1 change nothing.
  void SetParam(int32_t index, int32_t value) override;
  void SetMaskName(const std::string& name) override { MaskName = name; }
  void Prepare() override {}

  int32_t Kind() const { return kind_; }
  int32_t Position() const { return Position_; }

 protected:
  // Draws the frame of Position (strictly between 0 and Length).
  virtual void Render(const TWipeFrame& frame) = 0;
  // Position over length as a fraction 0..1.
  double Progress() const { return static_cast<double>(Position_) / Length; }
  uint32_t Weight() const { return WeightOf(Position_, Length); }

  TCustomDIBX& Dest;
  TCustomDIBX& NewPage;
  TCustomDIBX& OldPage;
  bool Reverse = false;
  int32_t Length = 1;
  int32_t Position_ = 0;
  int32_t Params[2] = {0, 0};
  std::string MaskName;

 private:
  int32_t kind_;
};

}  // namespace orba
