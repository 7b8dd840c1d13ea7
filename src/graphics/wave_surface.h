// The wave surface: a drawing surface with no pixels of its own that stands
// in front of a target surface and shifts every row drawn through it
// sideways by that row's entry of an offset table. The wave item hands it to
// its children, so that what they draw reaches the screen bent.
//
// Coordinates given to it are the target's. Row R of the target uses
// Offsets[R - OriginY]; rows outside the table are not drawn. Drawing is
// forwarded in runs of rows with equal offsets (plain draws and fills), row
// by row under a one-row clip on the target (stretched, rotated and zoomed
// draws, whose rows cannot be cut apart otherwise), or destination row by
// destination row (indexed and reduced draws). A clip rectangle set on the
// wave surface itself narrows the target's clip for the forwarded calls, so
// tile loops that narrow their own clip work through it.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/custom_dibx.h"

namespace orba {

class TDIBXWave : public TCustomDIBX {
 public:
  // The surface that receives the drawing; not owned.
  TCustomDIBX* Target = nullptr;
  // Sideways shift of each row of the bent area (its height entries).
  std::vector<int32_t> Offsets;
  // Target column and row of the bent area's top-left corner.
  int32_t OriginX = 0;
  int32_t OriginY = 0;

  int32_t BitCount() override { return Target != nullptr ? Target->BitCount() : 0; }
  int32_t StorageBitCount() override { return Target != nullptr ? Target->StorageBitCount() : 0; }
  int32_t ColorToPixel(int32_t color) override {
    return Target != nullptr ? Target->ColorToPixel(color) : color;
  }
  TCustomDIBX* BaseSurface() override { return Target != nullptr ? Target : this; }
  // The inherited size, and one offset per row.
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;

  void ResetClipRect() override;
  void IncludeClipRect(const TRect& rect) override;
  // Its own clip rectangle when one is set, else the target's.
  TRect GetClipRect() override;
  // The target's clip is changed through this surface too: set it always.
  bool ClipHolds(const TRect&) override { return false; }

  void Fill(uint32_t pixel) override;
  void CopyFrom(TCustomDIBX& source) override;

  void FillRect(const TRect& rect, uint32_t pixel) override;
  void FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) override;
  void FillRectAdd(const TRect& rect, uint32_t pixel) override;
  void FillRectSub(const TRect& rect, uint32_t pixel) override;
  void DrawColorMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool flip_h, bool flip_v,
                     uint32_t pixel, int32_t alpha) override;
  void Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool flip_h,
            bool flip_v) override;
  void DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h, bool flip_v,
                TCustomDIBX& mask) override;
  void DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool flip_h,
                 bool flip_v, int32_t alpha) override;
  void DrawAlphaMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h, bool flip_v,
                     TCustomDIBX& mask, int32_t alpha) override;
  void DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool flip_h,
               bool flip_v, int32_t alpha) override;
  void DrawAddMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h, bool flip_v,
                   TCustomDIBX& mask, int32_t alpha) override;
  void PatternFill(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y, bool flip_h,
                   bool flip_v) override;

  void DrawRotate(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect,
                  int32_t center_x, int32_t center_y, int32_t angle, bool transparent, bool flip_h, bool flip_v,
                  int32_t alpha) override;
  void DrawRotateMask(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                      const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle, bool flip_h,
                      bool flip_v, TCustomDIBX& mask, int32_t alpha) override;
  void StretchDrawAlpha(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                        bool flip_h, bool flip_v, int32_t alpha) override;
  void StretchDrawAlphaMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                            bool flip_v, TCustomDIBX& mask, int32_t alpha) override;
  void StretchDrawAdd(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                      bool flip_h, bool flip_v, int32_t alpha) override;
  void StretchDrawAddMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                          bool flip_v, TCustomDIBX& mask, int32_t alpha) override;
  void DrawIndexedStretch(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect, int32_t min_index,
                          bool flip_h, bool flip_v, int32_t alpha, std::span<const uint32_t> table) override;
  void PatternFillZoom(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern, int32_t offset_x,
                       int32_t offset_y, bool transparent, bool flip_h, bool flip_v, int32_t alpha) override;
  void PatternFillZoomMask(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                           int32_t offset_x, int32_t offset_y, bool flip_h, bool flip_v, TCustomDIBX& mask,
                           int32_t alpha) override;
  void PatternFrameRect(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, int32_t offset_x,
                        int32_t offset_y) override;

  void DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                       bool flip_h, bool flip_v, int32_t alpha, int32_t factor) override;
  void DrawMonoReducedTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                            std::span<const uint32_t> table, bool flip_h, bool flip_v, int32_t alpha,
                            int32_t factor) override;
  void DrawIndexed(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h, bool flip_v,
                   int32_t alpha, std::span<const uint32_t> table) override;
  void DrawIndexedAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t min_index,
                      bool flip_h, bool flip_v, int32_t alpha, std::span<const uint32_t> table) override;

 private:
  template <typename F>
  void ForRuns(int64_t top, int64_t bottom, F issue);
  template <typename F>
  void ForRunsOfDraw(int32_t y, const TRect& src_rect, bool flip_v, F issue);
  template <typename F>
  void ForSingleRows(const TRect& dest, F issue);
  template <typename F>
  void ForBlockRows(int32_t y, const TRect& src_rect, int32_t factor, bool flip_v, F issue);
};

}  // namespace orba
