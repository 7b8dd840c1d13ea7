// The GIF picture (GIF87a and GIF89a) as an object tree: the logical screen
// with its global colour table, the frames with their descriptors, local
// tables, pixel indices and extension blocks. Reads and writes the file
// format; the pixel data codes are in gif_lzw.h, rendering and animation in
// gif_render.h, colour reduction in gif_quantize.h.
//
// No path of the player reads GIF: the player's picture loaders refuse it.
// The codec is reached through `orbatool img`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"
#include "graphics/graphic_errors.h"
#include "graphics/palette.h"
#include "platform/clipboard.h"

namespace orba {

// Every error of the codec.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// The codec's messages (errors and warnings).
namespace gif_text {
inline constexpr const char* kInvalidSignature = "Invalid GIF signature";
inline constexpr const char* kPrematureEnd = "Premature end of data";
inline constexpr const char* kUnknownBlock = "Unknown GIF block type";
inline constexpr const char* kExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* kTableOverflow = "Color table overflow";
inline constexpr const char* kInvalidColorIndex = "Invalid color index";
inline constexpr const char* kTableEmpty = "Color table is empty";
inline constexpr const char* kInvalidPixel = "Invalid pixel coordinates";
inline constexpr const char* kImageEmpty = "Image is empty";
inline constexpr const char* kHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* kWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* kInvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* kUnknownExtension = "Unknown extension type";
inline constexpr const char* kLabelMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* kAppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* kInvalidData = "Invalid GIF data";
inline constexpr const char* kCircular = "Circular decoder table entry";
inline constexpr const char* kUnderRun = "Decoder bit buffer under-run";
inline constexpr const char* kColorNotInTable = "Color not in color table";
inline constexpr const char* kUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* kInvalidReduction = "Invalid reduction method";
inline constexpr const char* kInvalidDimensions = "Invalid image dimensions";
inline constexpr const char* kNoColorTable = "No global or local color table defined";
inline constexpr const char* kClipboardStoreFailed = "Failed to store GIF on clipboard";
// "未対応のクリップボード データです"
inline constexpr const char* kUnsupportedClipboard =
    "\x96\xa2\x91\xce\x89\x9e\x82\xcc\x83N\x83\x8a\x83" "b\x83v\x83{\x81[\x83h \x83" "f\x81[\x83^\x82\xc5\x82\xb7";
}  // namespace gif_text

class TDIB;
class TDIBSurface;
class TGIFCanvas;
class TGIFImage;
struct TGIFPainterList;
class TGIFSpawnedPainter;
class TGIFTimer;
struct TGIFRenderedFrame;
class TGIFSubImage;

// A colour table: up to 256 red, green, blue triples. A frame's own table
// drops the frame's cached palette whenever its colours change.
class TGIFColorMap {
 public:
  explicit TGIFColorMap(TGIFImage* image = nullptr, TGIFSubImage* frame = nullptr) : image_(image), frame_(frame) {}

  int32_t Count() const { return static_cast<int32_t>(data_.size() / 3); }
  const uint8_t* Data() const { return data_.data(); }
  uint8_t* Entry(int32_t index) { return &data_[static_cast<size_t>(index) * 3]; }
  const uint8_t* Entry(int32_t index) const { return &data_[static_cast<size_t>(index) * 3]; }
  // Bits needed for Count: 0 colours 0, 1 or 2 colours 1, else ceil(log2).
  int32_t BitsPerPixel() const;
  static int32_t BitsFor(int32_t count);

  void Clear();
  void LoadFromStream(TKsBigStream& s, int32_t count);
  // The triples, then zero triples up to 2^BitsPerPixel entries.
  void SaveToStream(TKsBigStream& s) const;
  // TColor 0x00BBGGRR; sorted tables are searched from the first entry,
  // others from the last; -1 when absent.
  int32_t IndexOf(uint32_t color) const;
  int32_t Add(uint32_t color);
  int32_t FindOrAdd(uint32_t color);
  void Delete(int32_t index);
  uint32_t ColorAt(int32_t index) const;
  void Assign(const TGIFColorMap& other);
  // Replaces the entries by `rgb` (3 bytes a colour).
  void SetEntries(const uint8_t* rgb, int32_t count);

  // Triples allocated: it only grows, 16 for up to 16 colours, above that
  // a multiple of 32, never above 256.
  int32_t Capacity() const { return capacity_; }
  // The colours of a shared palette (up to 256); an unknown handle or 0
  // empties the table.
  void LoadPaletteHandle(TPaletteHandle palette);
  // `count` entries in blue, green, red, reserved order.
  void LoadQuadTable(const TRGBQuad* quads, int32_t count);
  // The colour table of a bitmap of 1, 4 or 8 bits (2^bits entries); a
  // bitmap of more bits has none and empties the table.
  void LoadDIBColorTable(const TDIB& bitmap);
  // A shared palette of Count entries, each marked not to be collapsed
  // (TRGBQuad::Reserved = kPaletteNoCollapse); 0 for an empty table. The
  // caller hands it back to SharedPaletteManager().
  TPaletteHandle MakePaletteHandle() const;

  bool Sorted = false;

 private:
  void Reserve(int32_t count);
  void Changed();
  TGIFImage* image_;
  TGIFSubImage* frame_;
  std::vector<uint8_t> data_;
  int32_t capacity_ = 0;
};

// The flag a palette entry carries so that it is never merged with an
// equal system colour.
inline constexpr uint8_t kPaletteNoCollapse = 0x04;

// ---- Extension blocks ----

class TGIFExtension {
 public:
  explicit TGIFExtension(TGIFSubImage& frame) : frame_(&frame) {}
  virtual ~TGIFExtension() = default;
  virtual uint8_t Label() const = 0;
  // Reads the introducer, the label and the block.
  void LoadFromStream(TKsBigStream& s);
  void SaveToStream(TKsBigStream& s) const;
  TGIFSubImage& Frame() const { return *frame_; }

 protected:
  virtual void ReadBlock(TKsBigStream& s) = 0;
  virtual void WriteBlock(TKsBigStream& s) const = 0;

 private:
  TGIFSubImage* frame_;
};

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xF9;
  explicit TGIFGraphicControlExtension(TGIFSubImage& frame);
  ~TGIFGraphicControlExtension() override;
  uint8_t Label() const override { return kLabel; }

  bool Transparent() const { return (Packed & 1) != 0; }
  void SetTransparent(bool value);
  // Gives a warning and stores 0 for an index outside the active table.
  void SetTransparentIndex(uint8_t index);
  bool UserInput() const { return (Packed & 2) != 0; }
  void SetUserInput(bool value) { Packed = static_cast<uint8_t>(value ? Packed | 2 : Packed & ~2); }
  uint8_t Disposal() const { return static_cast<uint8_t>((Packed >> 2) & 7); }
  void SetDisposal(uint8_t value) { Packed = static_cast<uint8_t>((Packed & ~0x1C) | ((value & 7) << 2)); }

  uint8_t BlockSize = 4;
  uint8_t Packed = 0;
  uint16_t Delay = 0;  // hundredths of a second
  uint8_t TransparentIndex = 0;
  uint8_t Terminator = 0;

 protected:
  void ReadBlock(TKsBigStream& s) override;
  void WriteBlock(TKsBigStream& s) const override;
};

class TGIFTextExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0x01;
  using TGIFExtension::TGIFExtension;
  uint8_t Label() const override { return kLabel; }
  uint8_t BlockSize = 12;
  uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
  uint8_t CellWidth = 0, CellHeight = 0, Foreground = 0, Background = 0;
  std::vector<std::string> Text;  // one string a data sub-block

 protected:
  void ReadBlock(TKsBigStream& s) override;
  void WriteBlock(TKsBigStream& s) const override;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFE;
  using TGIFExtension::TGIFExtension;
  uint8_t Label() const override { return kLabel; }
  std::vector<std::string> Text;

 protected:
  void ReadBlock(TKsBigStream& s) override;
  void WriteBlock(TKsBigStream& s) const override;
};

// An application block: identifier (8 bytes) and authentication code (3).
// This class itself stands for blocks of an unexpected size: their data
// sub-blocks are skipped.
class TGIFApplicationExtension : public TGIFExtension {
 public:
  static constexpr uint8_t kLabel = 0xFF;
  using TGIFExtension::TGIFExtension;
  uint8_t Label() const override { return kLabel; }
  uint8_t Ident[11] = {};

 protected:
  void ReadBlock(TKsBigStream& s) override;
  void WriteBlock(TKsBigStream& s) const override;
  virtual void ReadBody(TKsBigStream& s);
  virtual void WriteBody(TKsBigStream& s) const;
};

// An application block of no known kind: its data sub-blocks kept raw.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  using TGIFApplicationExtension::TGIFApplicationExtension;
  std::vector<std::vector<uint8_t>> Blocks;

 protected:
  void ReadBody(TKsBigStream& s) override;
  void WriteBody(TKsBigStream& s) const override;
};

// "NETSCAPE2.0" (or "ANIMEXTS1.0"): the animation's loop count.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  explicit TGIFAppExtNSLoop(TGIFSubImage& frame);
  uint16_t Loops = 0;       // 0: for ever
  uint32_t BufferSize = 0;  // 0: not written

 protected:
  void ReadBody(TKsBigStream& s) override;
  void WriteBody(TKsBigStream& s) const override;
};

// Sub-blocks: each string in blocks of at most 255 bytes, then a 0 byte.
void WriteTextBlocks(TKsBigStream& s, const std::vector<std::string>& strings);
// Reads sub-blocks until a 0 size or the end of the stream.
std::vector<std::string> ReadTextBlocks(TKsBigStream& s);

// ---- Frames ----

class TGIFSubImage {
 public:
  explicit TGIFSubImage(TGIFImage& image);
  ~TGIFSubImage();
  TGIFSubImage(const TGIFSubImage&) = delete;
  TGIFSubImage& operator=(const TGIFSubImage&) = delete;

  TGIFImage& Image() const { return *image_; }
  uint16_t Left() const { return left_; }
  uint16_t Top() const { return top_; }
  uint16_t Width() const { return width_; }
  uint16_t Height() const { return height_; }
  bool Interlaced() const { return (Packed & 0x40) != 0; }
  void SetInterlaced(bool value) { Packed = static_cast<uint8_t>(value ? Packed | 0x40 : Packed & ~0x40); }
  bool Empty() const { return Data.empty() || width_ == 0 || height_ == 0; }
  // The local table when it has colours, else the global one when it has
  // colours, else the (empty) local table.
  const TGIFColorMap& ActiveColorMap() const;
  int32_t RequiredVersion() const;
  int32_t TransparentIndex() const;  // -1 when opaque
  int32_t Disposal() const;          // 0 without graphic control
  uint16_t Delay() const;            // 0 without graphic control

  void Clear();
  // New bounds; a new size gives a zero-filled buffer. A frame larger than
  // the logical screen enlarges it and moves to 0,0 with a warning.
  void SetFrameRect(int32_t left, int32_t top, int32_t width, int32_t height);
  uint8_t* RowAt(int32_t row);
  uint8_t& PixelAt(int32_t x, int32_t y);

  void LoadFromStream(TKsBigStream& s);
  void SaveToStream(TKsBigStream& s) const;

  TGIFExtension* AddExtension(std::unique_ptr<TGIFExtension> extension);
  void DeleteExtension(TGIFExtension* extension);
  // The graphic control extension, created when missing.
  TGIFGraphicControlExtension& EnsureGraphicControl();

  // Copies another frame (pixels, descriptor, table and extensions).
  void Assign(const TGIFSubImage& source);
  // Builds the frame from 24-bit pixels (red, green, blue, top row first):
  // the colours become the local table, or the picture's colour reduction
  // runs when there are more than 256. `mask` (optional, one byte a pixel,
  // non-zero transparent) makes a transparent colour.
  void AssignRgb(const uint8_t* rgb, int32_t width, int32_t height, const uint8_t* mask);
  // Builds the frame from a bitmap (displayed rows, top row first). A 1-,
  // 4- or 8-bit bitmap keeps its colour table as the local table, entry for
  // entry, and its pixels as they are; any other depth is read as 24-bit
  // pixels (AssignRgb). `mask` as for AssignRgb (a mask sorts the table by
  // use to find a free entry for the transparent colour).
  void AssignBitmap(TDIB& bitmap, const uint8_t* mask);
  // Builds the frame from an icon image (gif_icon.cpp): its colours drawn
  // over black into 24-bit pixels, read as AssignRgb reads them, then the
  // icon's own mask (alpha plane 0: the AND mask, and alpha 0 of a 32-bit
  // image) imported as the transparent colour.
  void AssignIcon(TDIBSurface& icon);
  // The frame's pixels as red, green, blue with its mask, rendered when
  // first asked for (or right after decoding with RenderAfterDecode) and
  // kept until the frame's pixels are cleared or resized.
  const TGIFRenderedFrame& Bitmap();
  bool HasBitmap() const { return bitmap_ != nullptr; }
  void FreeBitmap() { bitmap_.reset(); }
  // The frame's palette (gif_palette.cpp): its cached one; else, with the
  // cube rendering, the 216-colour cube (cached); else, with an empty local
  // table, the picture's; else one made from the local table (cached).
  // The frame keeps it; 0 for none.
  TPaletteHandle GetPalette();
  // Hands the cached palette back (the local table changed).
  void DropPalette();
  // Crops the transparent border; an all-transparent frame becomes empty.
  void TrimTransparent();
  // Makes transparent the pixels that equal those of an earlier frame.
  void MaskRepeats(TGIFSubImage& earlier);

  uint8_t Packed = 0;  // descriptor packed fields
  std::vector<uint8_t> Data;
  TGIFColorMap ColorMap;
  std::vector<std::unique_ptr<TGIFExtension>> Extensions;
  bool Transparent = false;
  TGIFGraphicControlExtension* GraphicControl = nullptr;

 private:
  void ImportMask(const uint8_t* mask);
  TGIFImage* image_;
  std::shared_ptr<TGIFRenderedFrame> bitmap_;
  TPaletteHandle palette_ = 0;
  uint16_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// ---- The picture ----

class TGIFImage {
 public:
  TGIFImage();
  ~TGIFImage();
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  void Clear();
  // Reads a GIF file. A failure keeps the frames read before it and leaves
  // the stream where the picture began.
  void LoadFromStream(TKsBigStream& s);
  void SaveToStream(TKsBigStream& s);
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path);
  // The picture's data as a container of pictures writes it: compacted
  // first (every option, palette method 0) with CompactBeforeWrite.
  void WriteData(TKsBigStream& s);

  // The clipboard (gif_clipboard.cpp). The format registered for GIF
  // pictures, "GIF Image" (0 when it cannot be registered).
  static TClipFormat ClipboardFormat();
  // Reads a GIF of the registered format, or a bitmap of the bitmap format
  // as one frame; `data` 0 takes the open clipboard's block of the format.
  // Any other format, or no data, fails with "未対応のクリップボード データです".
  void LoadFromClipboardFormat(TClipFormat format, TDataBlock data, TPaletteHandle palette);
  // Nothing for an empty picture. Otherwise hands back the first frame
  // composed on the logical screen in the bitmap's clipboard form, and sets
  // the GIF file itself on the open clipboard under the registered format;
  // when that cannot be stored, fails with "Failed to store GIF on
  // clipboard" and hands back nothing.
  void SaveToClipboardFormat(TClipFormat& format, TDataBlock& data, TPaletteHandle& palette);
  // Clears the picture and adds the bitmap as its one frame.
  void AssignBitmap(TDIB& bitmap);

  int32_t Width() const { return ScreenWidth; }
  int32_t Height() const { return ScreenHeight; }
  bool Empty() const { return Frames.empty(); }
  int32_t Count() const { return static_cast<int32_t>(Frames.size()); }
  TGIFSubImage& Frame(int32_t i) { return *Frames[static_cast<size_t>(i)]; }
  // 1 (87a) or 2 (89a); 0 with no frames.
  int32_t FileVersion() const;
  // The highest bits per pixel of the global and every local table.
  int32_t BitsPerPixel() const;
  // The header's packed fields byte as it is written.
  uint8_t BuildPackedFields() const;
  // The background colour as TColor, or -1 without a global table.
  int32_t BackgroundColor() const;
  // The looping extension's count (first frame); -1 when there is none.
  int32_t LoopCount() const;

  // Adds a frame as it is; a bitmap, an icon image or another GIF picture
  // (its first frame composed on its screen) is first made into a new frame.
  // Drops the composed bitmap. Returns the frame's index.
  int32_t Add(std::unique_ptr<TGIFSubImage> frame);
  int32_t Add(TDIB& bitmap);
  int32_t AddIcon(TDIBSurface& icon);
  int32_t Add(TGIFImage& picture);
  // Copies another picture: its logical screen and global table, painting
  // options (PainterPriority, BackdropColor, PaintFlags, PaletteMethod,
  // DitherKind) and every frame. Stops the painters first.
  void Assign(const TGIFImage& source);

  // Drawing and animation (gif_draw.cpp). With one frame, or PaintFlags bit
  // 2 clear, the first frame is drawn. Otherwise a painter animates the
  // picture, on `canvas` itself with bit 6, else on the composed bitmap the
  // picture keeps, which each later Draw stretches into `rect`. A painter
  // without a thread (bit 0 clear) plays the whole animation before Draw
  // returns; a threaded one paints through GifSynchronizer(), which the
  // caller pumps.
  void Draw(TGIFCanvas& canvas, const TRect& rect);
  // Makes a painter of `canvas`/`rect`; null for an empty picture or
  // rectangle. A threaded one is listed and waits for Start; one without a
  // thread has run to its end (and been freed, raising what its body
  // raised) when this returns. `owner`, when given, names the painter
  // while it runs.
  TGIFSpawnedPainter* SpawnPainter(TGIFCanvas& canvas, const TRect& rect, uint16_t options,
                                   TGIFSpawnedPainter** owner);
  // Stops every painter and waits for the threaded ones (pumping the
  // synchronisation), then frees the composed bitmap. Raises the first
  // error a freed painter's body had raised.
  void HaltAllPainters();
  // Stops the painter of Draw and waits for it.
  void HaltDrawPainter();
  // The painters running now.
  int32_t PainterCount() const;
  // The composed bitmap of Draw (null when there is none).
  std::shared_ptr<TDIB> ComposedBitmap() const { return bitmap_; }
  // Palettes (gif_palette.cpp): the cached palette; else the cube's (with
  // the cube rendering); else one made from the global table; else the
  // first frame's. The picture keeps it; 0 for none. Fails with "No global
  // or local color table defined" when asked again while it runs.
  TPaletteHandle GetPalette();
  // The picture takes `palette` over in place of its cached one; a new
  // palette drops the composed bitmap.
  void SetPalette(TPaletteHandle palette);
  // Both stop the painters first: the screen they paint changes.
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);
  void ReportWarning(const std::string& message);

  // Compact option bits.
  static constexpr int kCompactCrop = 0x01, kCompactMerge = 0x02, kCompactCleanup = 0x04, kCompactSort = 0x08,
                       kCompactReduce = 0x10;
  void Compact(int options, int palette_method, int dither_kind, int quantize_bits);
  // Sorts a table by use: the global one (over the frames that use it) or
  // the local table of `owner`.
  void SortByUse(TGIFColorMap& map, TGIFSubImage* owner = nullptr);

  // The logical screen descriptor.
  uint16_t ScreenWidth = 0, ScreenHeight = 0;
  uint8_t HeaderPacked = 0;
  uint8_t BackgroundIndex = 0;
  uint8_t AspectRatio = 0;
  TGIFColorMap GlobalColorMap{this};
  std::vector<std::unique_ptr<TGIFSubImage>> Frames;

  uint16_t PaintFlags = 0x068B;
  uint8_t PaletteMethod = 6;
  int32_t QuantizeBits = 8;
  uint8_t DitherKind = 0;
  uint8_t Compression = 0;  // 0 LZW, 1 run-length
  int32_t SpeedPercent = 100;
  uint32_t BackdropColor = 0x1FFFFFFF;  // none
  // Each frame's bitmap is rendered as soon as the frame is decoded.
  bool RenderAfterDecode = false;
  // WriteData compacts the picture first.
  bool CompactBeforeWrite = false;
  // Warnings of reading and writing (severity, message).
  std::function<void(int, const std::string&)> OnDataWarning;
  // Painters: the thread priority asked for (3 normal; advisory here), the
  // timer that paces painters without a thread (null: the system's), and
  // the events each painter is given.
  uint8_t PainterPriority = 3;
  TGIFTimer* Timer = nullptr;
  std::function<void()> OnAnimationStart, OnBeforeFrame, OnAfterFrame, OnNewPass, OnAnimationEnd;

 private:
  friend class TGIFSpawnedPainter;
  void FreePalette();
  std::shared_ptr<TGIFPainterList> painters_;
  std::shared_ptr<TDIB> bitmap_;
  TGIFSpawnedPainter* draw_painter_ = nullptr;
  bool drawing_ = false;
  bool in_palette_ = false;
  TPaletteHandle palette_ = 0;
};

}  // namespace orba
