// Row kernels of the drawing operations.
//
// Each kernel works on one row of N pixels, walking destination, source and
// mask forward (callers mirror a row into a scratch buffer for a horizontal
// flip). The implementations give identical results: the portable one, pixel
// by pixel in plain integer code; the fast one with SSE2 vectors (always
// present on x86-64); and, where the processor has AVX2, the fast one with
// AVX2 forms of the busiest 32-bit kernels. Depths that have no vector form
// run the portable code in every table.
//
// Rules by destination depth (`Bits`: 8, 15, 16, 24, 32):
//  - 15, 16 and 32 bits follow the row-kernel rules of the drawing surface:
//    blends at 32 bits treat all four bytes alike, pixels that would not
//    change (equal to the source or fill colour) are left alone, and where a
//    mask byte of 255 meets a global opacity at 32 bits the weight is the
//    opacity itself.
//  - 8 and 24 bits follow the per-pixel rules: channels are the 8-8-8
//    fields (one byte at 8 bits), the weight is always (m x Alpha) shr 8,
//    and no pixel is skipped for being equal.
// Blends: channel = ((S x a) + (D x (255 - a))) shr 8, channel bits in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orba {

// A colour key reduced to the width of the pixels it is compared with.
struct TRowKey {
  bool Enabled = false;
  uint32_t Value = 0;
};

// The key of a copy (-1 = none): compared as the low 8 bits for 8-bit
// pixels, the low 16 bits for 15- and 16-bit pixels, the whole value for 24-
// and 32-bit pixels (a 24-bit key above 0xFFFFFF then matches nothing).
TRowKey MakeDrawKey(int64_t key, int32_t bits);
// The key of the bitmap blends: any negative value is none; 24 bits compare
// the key's low three bytes; other depths compare the whole value.
TRowKey MakeBitmapKey(int64_t key, int32_t bits);

// Samples along a line through a picture (the rotated draws): sample i is
// the `Bytes`-byte pixel at ((U0 + i DU) shr 16, (V0 + i DV) shr 16) of the
// rows at Bits, Pitch bytes apart, and with a Mask the byte at the same
// place of the 8-bit rows at Mask. The caller sees that each lies inside.
struct TSampleWalk {
  const uint8_t* Bits = nullptr;
  std::ptrdiff_t Pitch = 0;
  int32_t Bytes = 4;
  const uint8_t* Mask = nullptr;
  std::ptrdiff_t MaskPitch = 0;
  int64_t U0 = 0, V0 = 0, DU = 0, DV = 0;
};

enum class TMaskMode {
  Copy,   // coverage only: m = 255 copies, else blend with weight m
  Blend,  // coverage times a global opacity
  Add,    // additive light scaled by coverage and intensity
  // The sampled draws' own rules (stretched and rotated), none of which
  // leaves a pixel alone for being equal except where said:
  // Cover: the stretched coverage blend. The weight is m at alpha 255 (15,
  // 16, 32 bits), alpha where m = 255 at 32 bits, else (m x alpha) shr 8; a
  // weight of 255 copies at 15, 16 and 32 bits; at 15 and 16 bits below
  // alpha 255 pixels equal to the source stay.
  Cover,
  // Weighted / WeightedAdd: the rotated coverage draws. The weight is m at
  // alpha 255, else (m x alpha) shr 8; blended (a weight of 255 included)
  // or added with it.
  Weighted,
  WeightedAdd,
};

struct TRowKernels {
  // Plain copy and fill of whole pixels at 8, 15, 16, 24 and 32 bits.
  void (*Copy)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits);
  void (*Fill)(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
  // Copies every source pixel that differs from the key.
  void (*KeyedCopy)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, TRowKey key);

  // Constant colour over a row: blended (pixels equal to it stay),
  // added and subtracted with clamping per channel.
  void (*FillAlpha)(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel, int32_t alpha);
  void (*FillAdd)(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
  void (*FillSub)(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
  // Constant colour through an 8-bit coverage row, weighted by alpha.
  void (*ColorMask)(uint8_t* d, const uint8_t* m, int32_t n, int32_t bits, uint32_t pixel,
                    int32_t alpha);
  // Source blended at a constant opacity; keyed and equal pixels stay.
  void (*Blend)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha,
                TRowKey key);
  // Source added at intensity alpha (at 8 bits: raw bytes added); keyed stay.
  void (*Add)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha,
              TRowKey key);
  // Source pixels drawn by the sampled draws without a mask: keyed pixels
  // stay; the others are added at intensity alpha (`add`, every depth by
  // channels), copied (alpha 255) or blended, equal pixels included.
  void (*Sampled)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key,
                  bool add);
  // Source through an 8-bit coverage row (alpha unused by TMaskMode::Copy);
  // pixels whose coverage is 0 stay in every mode.
  void (*Mask)(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t bits,
               int32_t alpha, TMaskMode mode);

  // Bitmap blends (15, 16, 24, 32 bits): constant opacity dividing by 255
  // at 15, 16 and 24 bits and shifting by 8 at 32 (fourth byte cleared)...
  void (*BitmapBlend)(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t opacity,
                      TRowKey key);
  // ...and through the source's alpha row (opacity counts at 24 bits only).
  void (*BitmapAlpha)(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n, int32_t bits,
                      int32_t opacity);

  // 32 bits only: each 8-bit index of S picks a pixel of the 256-entry table
  // Add, whose four bytes are added to the destination's, clamped at 255.
  void (*IndexedAdd)(uint8_t* d, const uint8_t* s, int32_t n, const uint32_t* add);
  // 32 bits only: source pixels copied with their fourth (high) byte
  // cleared, as the window shows them (0x00RRGGBB).
  void (*ClearHigh)(uint8_t* d, const uint8_t* s, int32_t n);

  // The n samples of a walk into `out` (and the mask bytes into `mout`).
  void (*GatherWalk)(const TSampleWalk& walk, int32_t n, uint8_t* out, uint8_t* mout);
  // The n samples of a walk with a mask drawn through their mask bytes into
  // the row d by Mask's rules: the same pixels as GatherWalk into a piece
  // followed by Mask over it (the rotated coverage draws).
  void (*WalkMask)(uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode);

  // 8 bits only, the palette bitmap draws: source bytes copied where bit
  // (i and 3) of `cells` is set and the byte is not the key (the dither)...
  void (*CellCopy)(uint8_t* d, const uint8_t* s, int32_t n, TRowKey key, uint32_t cells);
  // ...and where the alpha byte is at least 128.
  void (*AlphaPick)(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n);

  // Copy over Rows rows, D and S stepping by their own pitches; the rows'
  // size is looked at once (small pictures are drawn as many short rows).
  void (*CopyRows)(uint8_t* d, std::ptrdiff_t d_pitch, const uint8_t* s, std::ptrdiff_t s_pitch,
                   int32_t rows, int32_t n, int32_t bits);
};

const TRowKernels& PortableRowKernels();
const TRowKernels& FastRowKernels();
// The fast set with AVX2 forms of the 32-bit blends, or null where the
// processor lacks AVX2.
const TRowKernels* Avx2RowKernels();
// The set the drawing operations use: the AVX2 one where the processor has
// it, else the fast one (always on x86-64), else the portable one.
const TRowKernels& RowKernels();

}  // namespace orba
