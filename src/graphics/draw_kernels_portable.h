// The portable row kernels, shared by the fast set for row tails and for the
// depths that have no vector form. See draw_kernels.h for the rules.
#pragma once

#include <cstdint>

#include "graphics/draw_kernels.h"

namespace orba::portable_kernels {

void Copy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits);
void Fill(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
void KeyedCopy(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, TRowKey key);
void FillAlpha(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel, int32_t alpha);
void FillAdd(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
void FillSub(uint8_t* d, int32_t n, int32_t bits, uint32_t pixel);
void ColorMask(uint8_t* d, const uint8_t* m, int32_t n, int32_t bits, uint32_t pixel,
               int32_t alpha);
void Blend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key);
void Add(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key);
void Sampled(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t alpha, TRowKey key, bool add);
void Mask(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t bits, int32_t alpha,
          TMaskMode mode);
void BitmapBlend(uint8_t* d, const uint8_t* s, int32_t n, int32_t bits, int32_t opacity,
                 TRowKey key);
void BitmapAlpha(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n, int32_t bits,
                 int32_t opacity);
void IndexedAdd(uint8_t* d, const uint8_t* s, int32_t n, const uint32_t* add);
void ClearHigh(uint8_t* d, const uint8_t* s, int32_t n);
void GatherWalk(const TSampleWalk& walk, int32_t n, uint8_t* out, uint8_t* mout);
void WalkMask(uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha, TMaskMode mode);
// WalkMask by the set k's own GatherWalk and Mask, a piece at a time.
void WalkMaskVia(const TRowKernels& k, uint8_t* d, const TSampleWalk& walk, int32_t n, int32_t bits, int32_t alpha,
                 TMaskMode mode);
void CellCopy(uint8_t* d, const uint8_t* s, int32_t n, TRowKey key, uint32_t cells);
void AlphaPick(uint8_t* d, const uint8_t* s, const uint8_t* a, int32_t n);
void CopyRows(uint8_t* d, std::ptrdiff_t d_pitch, const uint8_t* s, std::ptrdiff_t s_pitch, int32_t rows,
              int32_t n, int32_t bits);

}  // namespace orba::portable_kernels
