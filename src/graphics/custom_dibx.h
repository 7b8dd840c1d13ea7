// The drawing surface every visual part draws on.
//
// TCustomDIBX owns the size, the clip rectangle and the colour key, and
// implements the drawing algorithms (fills, frames, colour through a mask,
// copies, keyed, blended and additive blits, blits through a mask surface)
// on a few primitives a subclass supplies: the pixel-format queries, Lock
// and Unlock (the address of a pixel) and GetPixel/SetPixel. Two subclasses
// hold the pixels: TDIBX (dibx.h) in a bitmap in ordinary memory, and
// TDxDIBX (dx_dibx.h) in a DirectDraw surface, which items use while the
// screen runs accelerated; NewDrawingSurface (dx_dibx.h) chooses.
//
// Pixel values are raw values of the surface's format (15 bits 5-5-5, 16
// bits 5-6-5, 24 and 32 bits 8-8-8 with red high; palette indices at 8 bits
// and below); colours 0x00BBGGRR become pixels through ColorToPixel. Alpha is
// 0..255 and 0 draws nothing. No drawing operation raises: whatever cannot be
// drawn is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/pixel_view.h"
#include "platform/direct_draw.h"

namespace orba {

class TDIBSurface;

class TCustomDIBX {
 public:
  // No clip rectangle, no colour key.
  TCustomDIBX() = default;
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;
  virtual ~TCustomDIBX() = default;

  // ---- primitives a subclass supplies -----------------------------------
  virtual bool IsEmpty() { return FWidth == 0 || FHeight == 0; }
  virtual int32_t BitCount() { return 0; }
  virtual void SetBitCount(int32_t) {}
  virtual uint32_t RedMask() { return 0; }
  virtual uint32_t GreenMask() { return 0; }
  virtual uint32_t BlueMask() { return 0; }
  // Signed distance in bytes from one row to the next row down.
  virtual std::ptrdiff_t Pitch() { return 0; }
  virtual uint32_t GetPixel(int32_t, int32_t) { return 0; }
  virtual void SetPixel(int32_t, int32_t, uint32_t) {}
  virtual int32_t BlueShift() { return 0; }
  virtual int32_t GreenShift() { return 0; }
  virtual int32_t RedShift() { return 0; }
  virtual int32_t Height() { return FHeight; }
  virtual int32_t Width() { return FWidth; }
  // The surface that holds the pixels (a forwarding surface gives its target).
  virtual TCustomDIBX* BaseSurface() { return this; }
  virtual int32_t StorageBitCount() { return BitCount(); }
  virtual void SetSize(int32_t width, int32_t height, int32_t bit_count);
  // Address of pixel (x, y), or null when the pixels cannot be addressed.
  // Every non-null Lock is followed by one Unlock.
  virtual uint8_t* Lock(int32_t x, int32_t y) { return nullptr; }
  virtual void Unlock() {}
  // Whether the pixels are plain memory of this process (block copies
  // between two such surfaces of one geometry are allowed).
  virtual bool IsMemorySurface() { return false; }
  // A device context over the pixels, for GDI-style copies (graphics/
  // canvas.h); null when the surface has none. Each GetDC is followed by
  // one ReleaseDC.
  virtual HDC GetDC() { return nullptr; }
  virtual void ReleaseDC() {}
  // Takes a decoded picture's pixels over without copying them, taking its
  // size and depth, when this surface can hold them as they are; the caller
  // drops Source afterwards. False, with both unchanged, when it cannot:
  // the caller copies instead.
  virtual bool TakeOver(TDIBSurface& /*source*/) { return false; }

  // ---- clip rectangle ----------------------------------------------------
  // Virtual so that a forwarding surface can pass them on to its target.
  virtual void ResetClipRect() { FHasClip = false; FClipRect = TRect{}; }
  // Grows the clip rectangle by Rect (cut to the surface); an empty cut
  // changes nothing.
  virtual void IncludeClipRect(const TRect& rect);
  // Stores the clip rectangle as given; an empty one clips everything away.
  void SetClipRect(const TRect& rect) { FHasClip = true; FClipRect = rect; }
  // The clip rectangle when one is set, else the bounds.
  virtual TRect GetClipRect();
  // True when ResetClipRect then IncludeClipRect(Rect) would leave the clip
  // as it is, so that a painter setting one clip after another may skip
  // the setting; a forwarding surface always answers false.
  virtual bool ClipHolds(const TRect& rect);
  bool HasClipRect() const { return FHasClip; }
  TRect GetBoundsRect() { return TRect{0, 0, Width(), Height()}; }
  int32_t BytesPerPixel() { return (BitCount() + 7) / 8; }

  virtual int32_t ColorToPixel(int32_t color) { return color; }

  // ---- fills, frames, colour through a mask ------------------------------
  virtual void Fill(uint32_t pixel);
  virtual void FillRect(const TRect& rect, uint32_t pixel);
  virtual void FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha);
  virtual void FillRectAdd(const TRect& rect, uint32_t pixel);
  virtual void FillRectSub(const TRect& rect, uint32_t pixel);
  virtual void FrameRect(const TRect& rect, int32_t thickness, uint32_t pixel);
  virtual void FrameRectAlpha(const TRect& rect, int32_t thickness, uint32_t pixel, int32_t alpha);
  virtual void FrameRectAdd(const TRect& rect, int32_t thickness, uint32_t pixel);
  virtual void DrawColorMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect,
                             bool flip_h, bool flip_v, uint32_t pixel, int32_t alpha);

  // ---- copies and blits --------------------------------------------------
  virtual void CopyFrom(TCustomDIBX& source);
  virtual void Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                    bool transparent, bool flip_h, bool flip_v);
  virtual void DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                        bool flip_h, bool flip_v, TCustomDIBX& mask);
  virtual void DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                         bool transparent, bool flip_h, bool flip_v, int32_t alpha);
  virtual void DrawAlphaMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                             bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha);
  virtual void DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                       bool transparent, bool flip_h, bool flip_v, int32_t alpha);
  virtual void DrawAddMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                           bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha);

  // ---- rotated, stretched, tiled, pattern, indexed and reduced draws -----
  // (dibx_rotate.cpp, dibx_stretch.cpp, dibx_tile.cpp, dibx_indexed.cpp)
  // Zooms are 256ths (256 = 1:1), angles 256ths of a turn. Index tables hold
  // one destination pixel per index; indices past the table draw nothing.
  virtual void DrawRotate(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                          const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                          bool transparent, bool flip_h, bool flip_v, int32_t alpha);
  virtual void DrawRotateMask(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                              const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                              bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha);
  virtual void StretchDrawAlpha(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                bool transparent, bool flip_h, bool flip_v, int32_t alpha);
  virtual void StretchDrawAlphaMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                    bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha);
  virtual void StretchDrawAdd(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                              bool transparent, bool flip_h, bool flip_v, int32_t alpha);
  virtual void StretchDrawAddMask(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                  bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha);
  virtual void DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                               uint32_t color, bool flip_h, bool flip_v, int32_t alpha, int32_t factor);
  virtual void DrawMonoReducedTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                    std::span<const uint32_t> table, bool flip_h, bool flip_v,
                                    int32_t alpha, int32_t factor);
  virtual void DrawTile(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                        const TRect& src_rect, bool transparent, int32_t offset_x, int32_t offset_y);
  virtual void DrawTileAlpha(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                             const TRect& src_rect, bool transparent, int32_t alpha, int32_t offset_x,
                             int32_t offset_y);
  virtual void DrawTileAdd(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                           const TRect& src_rect, bool transparent, int32_t alpha, int32_t offset_x,
                           int32_t offset_y);
  virtual void DrawTileMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                            const TRect& src_rect, TCustomDIBX& mask, int32_t offset_x, int32_t offset_y);
  virtual void DrawTileAlphaMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                                 const TRect& src_rect, TCustomDIBX& mask, int32_t alpha, int32_t offset_x,
                                 int32_t offset_y);
  virtual void DrawTileAddMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                               const TRect& src_rect, TCustomDIBX& mask, int32_t alpha, int32_t offset_x,
                               int32_t offset_y);
  virtual void StretchDrawTile(const TRect& dest_rect, int32_t pitch_x, int32_t pitch_y, int32_t zoom_x,
                               int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                               bool flip_h, bool flip_v, int32_t alpha, int32_t offset_x, int32_t offset_y);
  virtual void StretchDrawTileMask(const TRect& dest_rect, int32_t pitch_x, int32_t pitch_y, int32_t zoom_x,
                                   int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect,
                                   TCustomDIBX& mask, bool flip_h, bool flip_v, int32_t alpha,
                                   int32_t offset_x, int32_t offset_y);
  virtual void PatternFrameRect(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, int32_t offset_x,
                                int32_t offset_y);
  virtual void DrawIndexed(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                           bool flip_v, int32_t alpha, std::span<const uint32_t> table);
  virtual void DrawIndexedAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                              int32_t min_index, bool flip_h, bool flip_v, int32_t alpha,
                              std::span<const uint32_t> table);
  virtual void DrawIndexedStretch(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                  int32_t min_index, bool flip_h, bool flip_v, int32_t alpha,
                                  std::span<const uint32_t> table);
  virtual void PatternFillZoom(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                               int32_t offset_x, int32_t offset_y, bool transparent, bool flip_h, bool flip_v,
                               int32_t alpha);
  virtual void PatternFillZoomMask(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                                   int32_t offset_x, int32_t offset_y, bool flip_h, bool flip_v,
                                   TCustomDIBX& mask, int32_t alpha);
  virtual void PatternFill(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                           bool flip_h, bool flip_v);

  // ---- life cycle and palette --------------------------------------------
  virtual void Clear() { FWidth = 0; FHeight = 0; }
  virtual void FreeSurface() {}
  // Palettes are 4-byte entries blue, green, red, reserved.
  virtual void GetPaletteEntries(uint8_t* entries) {}
  virtual void GetPaletteRange(uint8_t* entries, int32_t start, int32_t count) {}
  virtual void SetPaletteEntries(const uint8_t* entries) {}
  virtual void SetPaletteRange(const uint8_t* entries, int32_t start, int32_t count) {}
  virtual void FreeHandle() {}
  // Copies SrcRect stretched onto DstRect of a picture of any depth (its
  // palette given for palette depths), nearest pixel, converting each pixel:
  // the presenter's copy to the display.
  virtual void StretchToView(const TPixelView& target, const uint8_t* target_palette,
                             const TRect& dst_rect, const TRect& src_rect);

  // A view of the pixels from Lock(0, 0); Bits is null when the surface
  // cannot be addressed (then nothing was locked).
  virtual TPixelView LockView();

  // Colour key of this surface as a draw source (raw pixel, -1 none).
  int32_t TransparentColor = -1;
  // Rectangle lists of the picture frame that last filled the surface.
  std::vector<TRect> RectsA, RectsB;

 protected:
  int32_t FWidth = 0;
  int32_t FHeight = 0;

 private:
  enum class TBlit { Copy, Alpha, Add, Mask, AlphaMask, AddMask };
  void Blit(TBlit kind, int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
            bool transparent, bool flip_h, bool flip_v, TCustomDIBX* mask, int32_t alpha);
  enum class TFill { Plain, Alpha, Add, Sub };
  TRect DrawingClip(const TPixelView& view);
  void FillWith(TFill kind, const TRect& rect, uint32_t pixel, int32_t alpha);

  bool FHasClip = false;
  TRect FClipRect;
};

// The part of a draw left after the cut against a clip rectangle: the
// destination rectangle and the source rectangle of the same size.
struct TDrawCut {
  TRect Dest;
  TRect Src;
};

// Cuts a draw of SrcRect at (X, Y) against Clip: what is cut off the
// destination's left (top) comes off the source's left (top), or its right
// (bottom) side when mirrored. With `source_bounds` the source rectangle is
// first cut to the source, the destination point following the pixels.
// False when nothing is left to draw.
bool CutDraw(int32_t x, int32_t y, const TRect& src_rect, bool flip_h, bool flip_v,
             const TRect& clip, const TRect* source_bounds, TDrawCut& cut);

}  // namespace orba
