// The device-independent bitmap: 1, 4, 8, 16, 24 or 32 bits per pixel,
// rows bottom-up in one block, pixels held in a reference-counted shared
// image so that Assign is cheap and a private copy is made before a write.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "core/streams/stream_encoding.h"
#include "graphics/palette.h"
#include "graphics/pixel_format.h"
#include "platform/clipboard.h"

namespace orba {

// The most pixels one picture may hold (8192 x 8192, more than any game
// shows); every reader refuses larger headers before anything is allocated.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 26;
// The most pixel bytes one picture may hold: the largest one at 32 bits
// (256 MiB).
inline constexpr int64_t kMaxImageBytes = kMaxImagePixels * 4;
// The most pixels a surface sized from script values may have (a fire, a
// caption's or a label's bitmap, a glyph cell): larger ones are not made
// and draw nothing.
inline constexpr int64_t kMaxScriptSurfacePixels = int64_t{1} << 24;

// Pixels a stored byte can describe at most: run-length codes (BMP), and
// rows packed with zlib (1032 bytes per byte at best, 8 pixels a byte at
// 1 bit).
inline constexpr int64_t kMaxPixelsPerRleByte = 4096;
inline constexpr int64_t kMaxPixelsPerPackedByte = 1032 * 8;
// Pictures of up to this many pixels (1024 x 1024) are read whatever the
// size of their data: a blank one may take a few bytes.
inline constexpr int64_t kAlwaysPlausiblePixels = int64_t{1} << 20;

// Whether `stored` bytes of data that describe at most `pixels_per_byte`
// pixels each can make a picture of `pixels` pixels. A header alone names
// the size; without this check a few bytes could have a picture of the
// largest size allocated and filled.
bool PlausiblePicture(int64_t pixels, int64_t stored, int64_t pixels_per_byte);

// Bytes per row, padded to 4 bytes; -1 when the size is out of range.
int64_t DibRowSize(int64_t width, int32_t bit_count);

class TDIBSharedImage {
 public:
  // The empty image: grey ramp, 8-8-8, no pixels.
  TDIBSharedImage();

  // A new image; raises the format and bit-count errors, and EOutOfResources
  // ("DIB を作成できません") when the size is out of range. The pixels are
  // zeroed. A compressed image gets its bytes from the BMP reader.
  // The checks of Allocate alone: raises its errors, allocates nothing.
  static void CheckNewImage(int64_t width, int64_t height, int32_t bit_count, const TDIBChannelLayout& layout);
  static std::shared_ptr<TDIBSharedImage> Allocate(int32_t width, int32_t height, int32_t bit_count,
                                                   const TDIBChannelLayout& layout, const TColorTable& table,
                                                   bool in_memory, bool compressed);
  static std::shared_ptr<TDIBSharedImage> CloneFrom(const TDIBSharedImage& source, bool in_memory);
  // A compressed source is expanded; any other is duplicated.
  static std::shared_ptr<TDIBSharedImage> CloneExpanded(const TDIBSharedImage& source, bool in_memory);
  // Reads the BMP form after the file header (bmp.cpp).
  static std::shared_ptr<TDIBSharedImage> ReadImage(TKsBigStream& stream, bool in_memory);

  ~TDIBSharedImage();

  void ApplyTable(const TColorTable& table);
  TPaletteHandle ObtainPalette();

  bool Empty() const { return Size == 0; }
  uint8_t* PixelBlock() { return Bits.data(); }
  uint8_t* TopRow() { return Size == 0 || Compressed ? Bits.data() : Bits.data() + int64_t{Height - 1} * RowSize; }

  int32_t BitCount = 0;
  std::vector<uint8_t> InfoBlock;  // header, masks, colour table
  int32_t InfoBlockSize = 0;
  bool PaletteChanged = true;
  TColorTable ColorTable{};
  int32_t TablePosition = 40;
  bool Compressed = false;
  int32_t Height = 0;
  bool InMemory = true;
  TPaletteHandle Palette = 0;
  int32_t EntryCount = 0;
  TDIBChannelLayout Layout;
  int32_t Size = 0;  // pixel bytes (compressed bytes for an RLE image)
  int32_t Width = 0;
  int32_t RowSize = 0;
  std::vector<uint8_t> Bits;

  // Writes the image size into the header (used by the RLE reader).
  void SetStoredImageSize(int32_t size);
  int32_t Compression() const;
};

enum class TProgressStage { Starting, Running, Ending };
using TProgressEvent =
    std::function<void(TProgressStage stage, int32_t percent, bool redraw, const TRect& rect, const std::string& name)>;

class TDIB {
 public:
  TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  virtual ~TDIB() = default;

  // Shares Source's image (nullptr clears).
  void Assign(const TDIB* source);
  virtual void Clear();
  bool Empty() const { return image_->Size == 0; }
  virtual void SetSize(int32_t width, int32_t height, int32_t bit_count);
  void SetBitCount(int32_t value);
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);

  int32_t Width() const { return image_->Width; }
  int32_t Height() const { return image_->Height; }
  int32_t BitCount() const { return image_->BitCount; }
  int32_t RowSize() const { return image_->RowSize; }
  int32_t RowStep() const { return -image_->RowSize; }
  int32_t Size() const { return image_->Size; }
  int32_t EntryCount() const { return image_->EntryCount; }
  bool Compressed() const { return image_->Compressed; }
  bool InMemory() const { return image_->InMemory; }
  const TDIBChannelLayout& CurrentLayout() const { return image_->Layout; }
  const TColorTable& ImageTable() const { return image_->ColorTable; }
  const std::vector<uint8_t>& InfoBlock() const { return image_->InfoBlock; }
  int32_t InfoBlockSize() const { return image_->InfoBlockSize; }
  long UseCount() const { return image_.use_count(); }
  bool SharesImageWith(const TDIB& other) const { return image_ == other.image_; }

  // Writers make the image private first; the Peek forms never copy (an RLE
  // image is expanded, which keeps its pixels).
  uint8_t* GetPixelBlock();
  uint8_t* GetTopRow();
  uint8_t* GetRow(int32_t y);
  const uint8_t* PeekPixelBlock();
  // Hands the pixel block (rows bottom-up, RowSize apart) over and leaves
  // the bitmap empty, when the bitmap holds its image alone and uncompressed;
  // otherwise returns an empty block and changes nothing. The block's
  // address is the one GetPixelBlock gave: nothing is copied.
  std::vector<uint8_t> GiveUpPixelBlock();
  const uint8_t* PeekTopRow();
  const uint8_t* PeekRow(int32_t y);

  uint32_t GetPixel(int32_t x, int32_t y);
  void SetPixel(int32_t x, int32_t y, uint32_t value);

  void CommitTable();
  TPaletteHandle GetPalette() { return image_->ObtainPalette(); }
  // Takes over the colours of a palette handle (0 ignored).
  void SetPalette(TPaletteHandle palette);

  // Drops the run-length form, keeping the pixels.
  void ExpandRunLength();
  // Memory images are the only kind here; kept for callers that release GDI.
  void ReleaseSection() {}

  // Reads one displayed row as red, green, blue bytes (3 x Width).
  void ReadRowRGB(int32_t y, uint8_t* rgb);
  // Writes red, green, blue bytes into a row; at 8 bits or fewer each pixel
  // gets the nearest colour-table entry.
  void WriteRowRGB(int32_t y, const uint8_t* rgb);
  // Copies the whole image into Rect of Target, stretching nearest-neighbour;
  // clipped to Target.
  void Draw(TDIB& target, const TRect& rect);

  // Depth conversion, blur, grey and inversion.
  void ChangeDepth(int32_t bit_count);
  void Blur(int32_t bit_count, int32_t radius);
  void Greyscale(int32_t bit_count);
  void InvertColors();

  void OpenProgress(const std::string& name);
  void StepProgress(int32_t row);
  void CloseProgress();

  // BMP form (bmp.cpp): LoadFromStream reads the 14-byte file header first.
  virtual void LoadFromStream(TKsBigStream& stream);
  virtual void SaveToStream(TKsBigStream& stream);
  void ReadData(TKsBigStream& stream);
  void WriteData(TKsBigStream& stream);
  virtual void LoadFromFile(const std::string& path);
  virtual void SaveToFile(const std::string& path);

  // The clipboard form (dib_clipboard.cpp): Format 8, Palette 0, and a new
  // data block holding WriteData's bytes (nothing for an empty bitmap still
  // gives a block, of 0 bytes). Raises EOutOfMemory when no block can be had.
  void SaveToClipboardFormat(TClipFormat& format, TDataBlock& data, TPaletteHandle& palette);
  // ReadData over the block's bytes (the BMP data without its file header);
  // Format and Palette are not looked at. A failed read keeps the image.
  void LoadFromClipboardFormat(TClipFormat format, TDataBlock data, TPaletteHandle palette);

  TColorTable ColorTable{};
  TDIBChannelLayout RequestedLayout;
  TProgressEvent OnProgress;
  bool PaletteModified = false;

 protected:
  void ReplaceImage(std::shared_ptr<TDIBSharedImage> image);
  void EnsurePrivate(bool for_writing);
  // The depth that SetSize must be given to make another image of the
  // current layout; SetWidth and SetHeight resize with it.
  virtual int32_t LayoutBitCount() const { return BitCount(); }

 private:
  std::shared_ptr<TDIBSharedImage> image_;
  std::string progress_name_;
  int32_t progress_redraw_row_ = 0;
  int64_t progress_time_ = 0;
  int32_t progress_percent_ = 0;
  int32_t progress_row_ = 0;
};

// The grey palette of Blur and Greyscale for a depth of 8 bits or fewer.
TColorTable BlurGreyTable(int32_t bits);

}  // namespace orba
