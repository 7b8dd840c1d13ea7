// What the surfaces of one picture may cost while it is read and held.
//
// A picture is counted surface by surface as its reader is about to make
// each one, from the sizes its header gives: every frame, every layer, every
// alpha plane, the copy its holder makes at its own depth, and the whole-
// picture buffers of the decoder itself. A picture whose count would pass
// MaxPictureBytes is refused before that surface is allocated, as a picture
// that does not decode. A picture handed over frame by frame counts what its
// holder keeps of the frames handed over and the work of the frame being
// read (Settle), so that the budget bounds the peak of the whole load.
#pragma once

#include <cstdint>

#include "graphics/dib.h"
#include "core/system/trace.h"
#include "graphics/graphic_errors.h"

namespace orba {

// What one picture may take at least: one picture of the largest size at 32
// bits (256 MiB), whatever the heap ceiling.
inline constexpr int64_t kMinPictureBytes = kMaxImageBytes;
// One picture may take the heap ceiling divided by this, a quarter: a long
// full-screen animation (48 frames of 1920 x 1080 with alpha, about
// 475 MiB; 120 of 1280 x 720, about 530 MiB) fits in the quarter of a
// 3 GiB ceiling, and three such pictures leave room for the rest of the
// game.
inline constexpr int64_t kPictureShareOfCeiling = 4;

// The most bytes all surfaces of one picture may take together: a quarter
// of the heap ceiling in force (HeapCeiling), or kMinPictureBytes when that
// is more or no ceiling is set. Read when a picture starts, so that a
// ceiling set on the command line holds for every picture after.
int64_t MaxPictureBytes();

// A picture refused for what its surfaces would cost.
class EPictureTooLarge : public EInvalidGraphic, public TRefusalMark {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// Pixel bytes of a bitmap (rows padded to 4 bytes; 15 bits held as 16);
// -1 for a size out of range.
int64_t SurfaceBytes(int64_t width, int64_t height, int32_t bit_count);

class TPictureBudget {
 public:
  // HeldBitCount: the depth the picture's holder keeps colour surfaces at
  // (0: as read). A kept surface read at another depth costs its copy at
  // that depth as well.
  explicit TPictureBudget(int32_t held_bit_count = 0)
      : held_bit_count_(held_bit_count), limit_(MaxPictureBytes()) {}

  int32_t HeldBitCount() const { return held_bit_count_; }
  void SetHeldBitCount(int32_t bits) { held_bit_count_ = bits; }
  int64_t Total() const { return total_; }
  // The most Total may reach: MaxPictureBytes when the budget was made.
  int64_t Limit() const { return limit_; }
  void Reset() { total_ = 0, plane_work_ = 0; }

  // A colour surface that the holder keeps (a frame, a one-frame picture).
  void ChargeKept(int32_t width, int32_t height, int32_t bit_count);
  // A surface that lives only while the picture is read (a layer), or an
  // 8-bit alpha plane (bit_count 8), held as it is.
  void ChargeAsRead(int32_t width, int32_t height, int32_t bit_count);
  // The decoder's own buffers of the whole picture.
  void ChargeWork(int64_t bytes);
  // A decoder's buffer of one plane, which goes before the next plane's is
  // made: only the largest of them counts.
  void ChargePlaneWork(int64_t bytes);
  // After a frame was handed over: what is still held is Held bytes (what
  // the holder keeps, the planes later frames copy from); the frame's own
  // surfaces and buffers are gone.
  void Settle(int64_t held);

 private:
  void Add(int64_t bytes);
  int32_t held_bit_count_;
  int64_t limit_;
  int64_t total_ = 0;
  int64_t plane_work_ = 0;  // the largest plane buffer counted so far
};

}  // namespace orba
