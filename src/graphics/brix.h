// Brix images: the player's own layered, multi-frame picture format (".brx").
//
// A TBrixFrameList is one image: a list of TBrixFrame, each a stack of
// TBrixLayer (a bitmap with an optional 8-bit alpha plane, visibility, colour
// key and opacity) and the composite of its visible layers. The reader
// composes every frame while it reads it; the writer stores every layer.
//
// Planes may be stored as whole rows or as tiles (inline, copied from an
// earlier tile of the same plane, or from the same place of an earlier
// layer), zlib-packed, plain or (colour planes) JPEG, and rows and tile
// tables may be permuted by TKsRandom seeded with the project's
// identification code.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"
#include "graphics/custom_dibx.h"
#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "graphics/graphic_errors.h"
#include "graphics/picture_budget.h"
#include "graphics/picture_rgba.h"

namespace orba {

// A Brix stream that cannot be read; the message says why.
class EBrixError : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// The 40-byte header record of versions 103 and later.
struct TBrixHeader {
  static constexpr int kSize = 40;
  std::array<uint8_t, kSize> Bytes{};

  int32_t Int(int offset) const;
  void SetInt(int offset, int32_t value);

  int32_t Version() const { return Int(0); }
  int32_t FrameCount() const { return Int(16); }
  uint8_t Scrambled() const { return Bytes[21]; }
  uint8_t Compression() const { return Bytes[22]; }  // 0 zlib, 1 none, 2 JPEG
  int32_t BackgroundColor() const { return Int(24); }
  int32_t TileWidth() const { return Int(28); }
  int32_t TileHeight() const { return Int(32); }
  uint8_t OpaqueBase() const { return Bytes[36]; }
  uint8_t JpegQuality() const { return Bytes[37]; }
};

class TBrixFrame;
class TBrixFrameList;

class TBrixLayer {
 public:
  explicit TBrixLayer(TBrixFrame* frame);

  TBrixFrame* Frame;
  std::string Name;
  std::unique_ptr<TDIBSurface> Surface;
  uint8_t Visible = 1;
  int32_t TransparentColor = -1;  // raw pixel value of the layer's depth
  int32_t Opacity = 255;
  uint8_t AlphaEnabled = 0;

  // Gives the layer an alpha plane (when it has none): 255, and 0 where the
  // pixel equals the layer's key, or FrameKey when the layer has none.
  void TransparentToAlpha(int32_t frame_key);

  void LoadFromStream(TKsBigStream& stream, const TBrixHeader& header);
  void SaveToStream(TKsBigStream& stream, const TBrixHeader& header, int32_t ident_code);
};

class TBrixFrame {
 public:
  explicit TBrixFrame(TBrixFrameList* owner);

  int32_t Delay = 100;
  TDIBSurface Surface;
  int32_t TransparentPixel = -1;
  int32_t TransparentColor = -1;  // 0x00BBGGRR shown by TransparentPixel
  TBrixFrameList* Owner;
  std::string Name;
  std::vector<TRect> RectsA, RectsB;

  int32_t LayerCount() const { return static_cast<int32_t>(layers_.size()); }
  // Raises EBrixError (the list index error) outside 0..LayerCount-1.
  TBrixLayer* GetLayer(int32_t index) const;
  TBrixLayer* AddLayer();
  void ClearLayers() { layers_.clear(); }

  bool HasAlpha() const { return Surface.Alpha() != nullptr; }
  // Of the first layer when there are layers, else of the frame surface.
  int32_t GetWidth() const;
  int32_t GetHeight() const;
  int32_t GetBitCount() const;

  void TransparentToAlpha(bool also_layers);
  // The same for one frame of the list (its own plane, not its layers').
  void FrameTransparentToAlpha(TBrixFrame& frame);
  // Crops the frame to its visible pixels; returns the bounds kept.
  TRect Trim();

  // The frame's pixels into a drawing surface of any depth (which keeps
  // its depth), with the rectangle lists.
  void CopyToDIBX(TCustomDIBX& target);
  void CopyAlphaToDIBX(TDIBX& target);
  // As the copies, for a frame about to be dropped: a plain surface of the
  // frame's depth and masks (24 or 32 bits) that can (TakeOver, in memory
  // or DirectDraw alike) takes over the frame's pixels, and a
  // mask its alpha plane, instead of a second copy; the frame keeps neither.
  void MoveToDIBX(TCustomDIBX& target);
  void MoveAlphaToDIBX(TDIBX& target);
  void CopyAlphaToDIB(TDIB& target);

  void LoadFromStream(TKsBigStream& stream, const TBrixHeader& header, bool keep_layers);
  void SaveToStream(TKsBigStream& stream, const TBrixHeader& header);

 private:
  void Compose(TBrixLayer& layer, int32_t index, bool& first);
  std::vector<std::unique_ptr<TBrixLayer>> layers_;
};

class TBrixFrameList {
 public:
  explicit TBrixFrameList(int32_t ident_code = 0) : IdentCode(ident_code) {}
  TBrixFrameList(const TBrixFrameList&) = delete;
  TBrixFrameList& operator=(const TBrixFrameList&) = delete;

  int32_t BackgroundColor = 0;
  int32_t Version = 0;
  int32_t BitCountOverride = 0;
  int32_t IdentCode;
  uint8_t OpaqueBase = 0;
  // The depth the caller keeps the frames' pictures at (0: as read): a
  // picture read at another depth is counted with its copy at this one, and
  // colour PNG and JPEG pictures are decoded straight at 32 bits when it is
  // 32.
  int32_t HeldBitCount = 0;

  // Called, when set, after each frame of a Brix stream read without
  // KeepLayers is read (and converted): the caller takes the frame's
  // pictures over (MoveToDIBX, MoveAlphaToDIBX) and answers the bytes it
  // keeps of them. The frame's surfaces, and its layers unless the tiles of
  // a later frame copy from them, are freed before the next frame is read,
  // so that the picture's peak is what its caller keeps plus one frame's
  // work, and the budget counts that. The frames stay in the list, empty.
  // One-frame PNG, BMP and JPEG pictures are not handed over by it.
  std::function<int64_t(TBrixFrame&)> OnFrameRead;

  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  // Raises EBrixError (the list index error) outside 0..Count-1.
  TBrixFrame* GetFrame(int32_t index) const;
  TBrixFrame* AddFrame();
  void Clear() { frames_.clear(); }

  // Raises EPictureTooLarge, changing nothing, when the planes it would
  // make pass the budget of the picture last read.
  void TransparentToAlpha(bool also_layers);
  // The same for one frame of the list (its own plane, not its layers').
  void FrameTransparentToAlpha(TBrixFrame& frame);

  // Reads one image from the stream's position. A PNG, BMP or JPEG stream
  // becomes a one-frame image; a GIF stream is refused. On failure the
  // list is left as it was.
  void LoadFromStream(TKsBigStream& stream, bool first_frame_only, bool convert, bool keep_layers);
  // By extension: ".brx", ".png", ".bmp" and ".dib"; others read nothing.
  void LoadFromFile(const std::string& file_name, bool first_frame_only, bool convert, bool keep_layers);
  void SaveToStream(TKsBigStream& stream, int32_t compression, int32_t jpeg_quality);
  void SaveToFile(const std::string& file_name);

  void LoadPNG(TKsBigStream& stream);
  void LoadBMP(TKsBigStream& stream);

 private:
  friend class TBrixFrame;
  friend class TBrixLayer;
  void ReadImage(TKsBigStream& stream, bool first_frame_only, bool convert, bool keep_layers);
  // The last frame whose tiles copy from each (frame, layer).
  using TTileSourceUses = std::map<std::pair<int32_t, int32_t>, int32_t>;
  // After frame Index was read: OnFrameRead takes it, and what is no longer
  // needed is freed and the budget settled (Uses null: every layer kept).
  void HandOver(int32_t index, const TTileSourceUses* uses);
  void ConvertFrame(TBrixFrame& frame, bool keep_layers);
  void LoadJPEG(TKsBigStream& stream);
  // Counts a surface about to be made against the picture budget (Kept: a
  // colour surface the caller keeps, else one held as read) and against
  // what the bytes being read can plausibly describe; raises before
  // anything is allocated.
  void Charge(int32_t width, int32_t height, int32_t bits, bool kept);
  // Counts the buffer a packed plane of Bytes is unpacked into (one at a
  // time); raises as Charge.
  void ChargePlaneWork(int64_t bytes) { budget_.ChargePlaneWork(bytes); }
  // The budget of a one-frame PNG or JPEG picture; raises as Charge.
  void ChargeSinglePicture(int32_t width, int32_t height, int32_t bits, bool alpha, int64_t work_bytes);
  // The budget of a BMP picture from its headers at the stream's position.
  void ChargeBmp(TKsBigStream& stream);

  std::vector<std::unique_ptr<TBrixFrame>> frames_;
  TPictureBudget budget_;
  int64_t load_pixels_ = 0;
  int64_t stored_bytes_ = 0;  // the bytes of the image being read
  // Of the frames handed over: what their caller keeps, the layers kept
  // for later tiles (by the last frame that copies from them) and their
  // bytes.
  int64_t handed_bytes_ = 0;
  std::map<int32_t, std::vector<std::pair<int32_t, int32_t>>> expiring_layers_;
  int64_t kept_layer_bytes_ = 0;
};

// The list index error of frames and layers ("...(%d)" with the index).
[[noreturn]] void RaiseBrixIndexError(int64_t index);

// The colour 0x00BBGGRR a raw pixel value shows on a surface.
int32_t SurfacePixelColor(TDIBSurface& surface, uint32_t pixel);

// A frame as 8-bit RGBA, top row first: the surface's colours (5- and 6-bit
// fields unpacked by the pixel format) and its alpha plane, 255 without one.
TRgbaPicture BrixFrameToRgba(TBrixFrame& frame);

}  // namespace orba
