// Helpers shared by the stretched, rotated, tiled, pattern and indexed draws
// of the drawing surface: per-channel blends, locking with guaranteed
// unlock, clip saving, and the nearest-pixel walk of a stretched draw.
//
// Depth rules follow the row kernels (draw_kernels.h): at 15, 16 and 32 bits
// the row-kernel results (32-bit blends treat all four bytes alike), at 8 and
// 24 bits the per-pixel results.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/custom_dibx.h"
#include "graphics/pixel_channels.h"
#include "graphics/pixel_view.h"

namespace orba::dibx_ops {

inline bool IsWholeBytePixels(int32_t bits) {
  return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// Floor division and the remainder in 0..d-1 (d > 0).
int64_t FloorDiv(int64_t n, int64_t d);
int64_t FloorMod(int64_t n, int64_t d);
// Clamps a 64-bit (or real) coordinate into int32.
int32_t ClampToInt32(int64_t v);
int32_t ClampToInt32(double v);

// A locked view of a surface, unlocked when it goes out of scope. Bits is
// null when the surface cannot be addressed (nothing was locked then).
class TLocked {
 public:
  explicit TLocked(TCustomDIBX& surface) : FSurface(surface), View(surface.LockView()) {}
  ~TLocked() {
    if (View.Bits != nullptr) FSurface.Unlock();
  }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;
  bool Ok() const { return !View.Empty(); }

 private:
  TCustomDIBX& FSurface;

 public:
  TPixelView View;
};

// A source that shares memory with the destination is read from a copy, so
// that what is drawn is the source as it was.
class TSourceSnapshot {
 public:
  TSourceSnapshot(const TPixelView& source, const TPixelView& dest);
  const TPixelView& View() const { return FView; }

 private:
  std::vector<uint8_t> FCopy;
  TPixelView FView;
};

// The destination's clip rectangle cut to the pixels its view reaches.
TRect ViewClip(TCustomDIBX& dest, const TPixelView& view);

// Saves a surface's clip rectangle (whether one is set, and which) and puts
// it back when destroyed, without involving any surface it forwards to.
class TClipSaver {
 public:
  explicit TClipSaver(TCustomDIBX& surface)
      : FSurface(surface), FHad(surface.HasClipRect()), FRect(surface.TCustomDIBX::GetClipRect()) {}
  ~TClipSaver() {
    if (FHad) FSurface.SetClipRect(FRect);
    else FSurface.TCustomDIBX::ResetClipRect();
  }
  TClipSaver(const TClipSaver&) = delete;
  TClipSaver& operator=(const TClipSaver&) = delete;

 private:
  TCustomDIBX& FSurface;
  bool FHad;
  TRect FRect;
};

// The nearest-pixel walk of a stretched draw. Source positions are 16.16
// fixed point; destination column k of the whole (unclipped) destination
// rectangle samples position Start + k x Step, so a clipped draw samples
// exactly what the unclipped draw samples at the same pixels. Columns and
// rows whose sample falls outside the source rectangle (or the source) are
// skipped.
struct TStretchPlan {
  TRect Dest;                    // the clipped destination rectangle
  std::vector<int32_t> Columns;  // source column per clipped column, -1 none
  int64_t RowStart = 0, RowStep = 0;
  int32_t RowLo = 0, RowHi = 0;  // valid source rows
  int32_t OriginTop = 0;         // top of the unclipped destination
  // The source row for destination row y, or -1.
  int32_t SourceRow(int32_t y) const;
};

// False when nothing is drawn (an empty source or destination, or nothing
// left after the clip).
bool PlanStretch(const TRect& dest_rect, const TRect& src_rect, bool flip_h, bool flip_v, const TRect& clip,
                 const TRect& source_bounds, TStretchPlan& plan);

}  // namespace orba::dibx_ops
