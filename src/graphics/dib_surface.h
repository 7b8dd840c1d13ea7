// The in-memory bitmap with an optional 8-bit alpha plane.
//
// A TDIB that knows 15-bit 5-5-5 as a depth of its own (a 16-bit bitmap
// whose green mask is 0x3E0), owns a second 8-bit TDIBSurface of its size as
// its alpha plane (0 transparent, 255 opaque), converts between pixels and
// colours, copies and blends surfaces of its own depth, and loads and saves
// picture files by extension.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/dib.h"
#include "graphics/jpeg_codec.h"
#include "graphics/pixel_view.h"

namespace orba {

class TDIBSurface : public TDIB {
 public:
  TDIBSurface() = default;
  ~TDIBSurface() override = default;

  // 15 makes a 16-bit 5-5-5 bitmap, 16 a 5-6-5 one, other depths 8-8-8.
  // The alpha plane follows the size and stays 8 bits.
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  // Drops the pixels and the alpha plane.
  void Clear() override;

  // The effective depth: 15 for a 16-bit bitmap in 5-5-5.
  int32_t GetBitCount() const;
  // Changes the depth in place. Between the direct-colour depths (15, 16,
  // 24, 32) the pixels go through the colour conversion, so 15 <-> 16 keeps
  // every 5-bit channel; other changes are the bitmap's own conversion.
  void ChangeBitCount(int32_t bit_count);

  // ---- the alpha plane ---------------------------------------------------
  TDIBSurface* Alpha() const { return FAlpha.get(); }
  // Makes the plane when missing and sizes it to the surface; its contents
  // are not set.
  void EnsureAlpha();
  void FreeAlpha() { FAlpha.reset(); }
  // Every alpha byte 255 (nothing without a plane).
  void FillAlpha();
  // The plane becomes a copy of an 8-bit surface of this size.
  void AssignAlpha(TDIBSurface& source8);
  // Rows Rect.Top..Rect.Bottom-1 of an 8-bit source, from byte Rect.Left,
  // into alpha rows 0.. of this surface (cut to both).
  void CopyAlphaRect(TDIBSurface& source_alpha, const TRect& rect);

  // ---- pixels and colours ------------------------------------------------
  // Native channel values: the colour-table entry at 8 bits and below, the
  // 5- and 6-bit fields at 15 and 16, the bytes at 24; nothing at 32.
  void PixelToChannels(uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b) const;
  uint32_t ChannelsToPixel(uint32_t r, uint32_t g, uint32_t b) const;
  // 8-bit channels; with FillLowBits a non-zero 5-bit channel gets "or 7"
  // and a non-zero 6-bit channel "or 3".
  void PixelToRGB(uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b, bool fill_low_bits) const;
  uint32_t RGBToPixel(uint32_t r, uint32_t g, uint32_t b) const;

  // ---- copies and geometry -----------------------------------------------
  void AssignSurface(TDIBSurface& source);
  void CopyPixels(TDIB& source);
  void CopyRect(TDIBSurface& source, const TRect& rect, bool with_alpha);
  void Crop(const TRect& rect);
  // The smallest rectangle holding every pixel whose raw value is not Key;
  // Key -1 gives the whole surface; nothing but Key gives (0, 0, 0, 0).
  TRect OpaqueBounds(int64_t key);
  TRect TrimToKey(int64_t key);
  void FlipHorizontal();
  void FlipVertical();
  TRect GetBounds() const { return TRect{0, 0, Width(), Height()}; }

  // ---- draws of a source of this depth ------------------------------------
  using TDIB::Draw;
  void Draw(int32_t x, int32_t y, TDIBSurface& source);
  void CopyArea(int32_t x, int32_t y, const TRect& src_rect, TDIBSurface& source);
  void DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& src_rect, TDIBSurface& source);
  void DrawAlpha(int32_t x, int32_t y, int32_t opacity, int64_t key, const TRect& src_rect,
                 TDIBSurface& source);
  void DrawAlphaMask(int32_t x, int32_t y, int32_t opacity, const TRect& src_rect, TDIBSurface& source);
  void FillRect(const TRect& rect, uint32_t pixel);

  // Stretches SrcRect onto DstRect of a picture of any depth (its palette
  // given for palette depths), nearest pixel, converting each pixel.
  void StretchToView(const TPixelView& target, const uint8_t* target_palette, const TRect& dst_rect,
                     const TRect& src_rect);

  // ---- colour statistics ---------------------------------------------------
  int32_t CountColors();
  // Distinct colours 0x00BBGGRR in first-seen order (none at 32 bits).
  std::vector<uint32_t> CollectColors();
  // The lowest palette index no pixel uses, or -1.
  int32_t FreeIndex();

  // ---- files -------------------------------------------------------------
  struct TLoadResult {
    int32_t TransparentColor = -1;
    bool HasAlpha = false;
    TPoint HotSpot;
  };
  // By extension (without regard to case): formats registered with
  // RegisterSurfaceFileFormat, anything else BMP. With SplitAlpha a 32-bit
  // BMP gives its fourth bytes to the alpha plane and becomes 24-bit.
  TLoadResult LoadFromFileEx(const std::string& path, bool split_alpha, bool allow_choice);
  void LoadFromFile(const std::string& path) override { LoadFromFileEx(path, false, false); }
  // BMP with an alpha plane given: a 32-bit copy carries it in the fourth bytes.
  void SaveToFileEx(const std::string& path, TDIBSurface* alpha);
  void SaveToFile(const std::string& path) override { SaveToFileEx(path, nullptr); }

  // A JPEG picture becomes the surface, decoded straight into its rows:
  // ColourBits (24, or 32 with the fourth bytes zero), or 8 bits with a grey
  // ramp for a grey image. The alpha plane is dropped. Plan, when given, is
  // told the size, the depth and libjpeg's own whole-picture bytes before
  // anything of the picture's size is allocated, and may raise to refuse it.
  // Raises EJpegError for data that is not a readable JPEG (the surface is
  // then partly written).
  using TJpegPlan = std::function<void(int32_t width, int32_t height, int32_t bit_count, int64_t work_bytes)>;
  void LoadJpeg(const uint8_t* data, size_t size, int32_t colour_bits = 24, const TJpegPlan& plan = {});
  // The surface as RGB for the JPEG encoder.
  TJpegImage ToJpegImage();

  // Views of the pixels, top row first: writing makes the pixels private
  // first, reading does not copy.
  TPixelView WriteView();
  TPixelView ReadView();

 protected:
  // 15 for 5-5-5, so that resizing keeps the layout.
  int32_t LayoutBitCount() const override { return GetBitCount(); }

 private:
  std::unique_ptr<TDIBSurface> FAlpha;
};

// A file form the surface loads and saves by extension (".tga", ".ico"...).
struct TSurfaceFileFormat {
  std::function<TDIBSurface::TLoadResult(TDIBSurface& surface, const std::string& path,
                                         bool split_alpha, bool allow_choice)>
      Load;
  std::function<void(TDIBSurface& surface, const std::string& path, TDIBSurface* alpha)> Save;
};
// Extension with its dot, compared without regard to case.
void RegisterSurfaceFileFormat(const std::string& extension, TSurfaceFileFormat format);

}  // namespace orba
