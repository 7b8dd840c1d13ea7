#include "graphics/gif/gif_image.h"

#include <algorithm>
#include <cstring>

#include "core/system/trace.h"
#include "graphics/dib.h"
#include "graphics/gif/gif_lzw.h"
#include "graphics/gif/gif_painter.h"

namespace orba {

namespace {

// Pixels one byte of LZW data can stand for at most: a code of w bits
// names a string of at most 2^w pixels, which is most per bit at 12 bits
// (4096 pixels in 12 bits: 2731 a byte).
constexpr int64_t kMaxPixelsPerLzwByte = 2731;

void ReadExact(TKsBigStream& s, void* buffer, int64_t count) {
  if (s.Read(buffer, count) != count) throw GIFException(gif_text::kPrematureEnd);
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The next byte that is not 0; false at the end of the stream.
bool NextBlockByte(TKsBigStream& s, uint8_t& b) {
  do {
    if (s.Read(&b, 1) != 1) return false;
  } while (b == 0);
  return true;
}

// The class of the extension whose label follows the introducer just read;
// null when there is none. The stream position is kept.
std::unique_ptr<TGIFExtension> CreateExtension(TGIFSubImage& frame, TKsBigStream& s) {
  const int64_t at = s.GetPosition();
  std::unique_ptr<TGIFExtension> made;
  uint8_t label = 0;
  if (s.Read(&label, 1) == 1) {
    switch (label) {
      case TGIFTextExtension::kLabel: made = std::make_unique<TGIFTextExtension>(frame); break;
      case TGIFGraphicControlExtension::kLabel: made = std::make_unique<TGIFGraphicControlExtension>(frame); break;
      case TGIFCommentExtension::kLabel: made = std::make_unique<TGIFCommentExtension>(frame); break;
      case TGIFApplicationExtension::kLabel: {
        uint8_t size = 0, ident[11] = {};
        if (s.Read(&size, 1) != 1) {
          made = std::make_unique<TGIFApplicationExtension>(frame);
        } else if (size == 11) {
          if (s.Read(ident, 11) == 11 &&
              (std::memcmp(ident, "NETSCAPE2.0", 11) == 0 || std::memcmp(ident, "ANIMEXTS1.0", 11) == 0))
            made = std::make_unique<TGIFAppExtNSLoop>(frame);
          else
            made = std::make_unique<TGIFUnknownAppExtension>(frame);
        } else if (size == 10) {
          if (s.Read(ident, 10) == 10) made = std::make_unique<TGIFUnknownAppExtension>(frame);
        } else {
          made = std::make_unique<TGIFApplicationExtension>(frame);
        }
        break;
      }
      default: break;
    }
  }
  s.SetPosition(at);
  return made;
}

}  // namespace

// ---- Colour tables ----

int32_t TGIFColorMap::BitsFor(int32_t count) {
  if (count <= 0) return 0;
  int32_t bits = 1;
  while ((1 << bits) < count) ++bits;
  return bits;
}

int32_t TGIFColorMap::BitsPerPixel() const { return BitsFor(Count()); }

void TGIFColorMap::Reserve(int32_t count) {
  if (count <= capacity_) return;
  capacity_ = count <= 16 ? 16 : std::min((count + 31) / 32 * 32, 256);
  data_.reserve(static_cast<size_t>(capacity_) * 3);
}

void TGIFColorMap::Changed() {
  if (frame_ != nullptr) frame_->DropPalette();
}

void TGIFColorMap::Clear() {
  data_.clear();
  Sorted = false;
  Changed();
}

void TGIFColorMap::Assign(const TGIFColorMap& other) {
  Reserve(other.Count());
  data_ = other.data_;
  Sorted = other.Sorted;
  Changed();
}

void TGIFColorMap::LoadFromStream(TKsBigStream& s, int32_t count) {
  std::vector<uint8_t> data(static_cast<size_t>(count) * 3);
  ReadExact(s, data.data(), static_cast<int64_t>(data.size()));
  Reserve(count);
  data_.assign(data.begin(), data.end());
  Changed();
}

void TGIFColorMap::SaveToStream(TKsBigStream& s) const {
  if (data_.empty()) return;
  s.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
  const int32_t pad = (1 << BitsPerPixel()) - Count();
  const std::vector<uint8_t> zeros(static_cast<size_t>(pad) * 3, 0);
  if (pad > 0) s.WriteBuffer(zeros.data(), static_cast<int64_t>(zeros.size()));
}

int32_t TGIFColorMap::IndexOf(uint32_t color) const {
  const uint8_t r = static_cast<uint8_t>(color), g = static_cast<uint8_t>(color >> 8),
                b = static_cast<uint8_t>(color >> 16);
  auto match = [&](int32_t i) {
    const uint8_t* e = Entry(i);
    return e[0] == r && e[1] == g && e[2] == b;
  };
  if (Sorted) {
    for (int32_t i = 0; i < Count(); ++i)
      if (match(i)) return i;
  } else {
    for (int32_t i = Count() - 1; i >= 0; --i)
      if (match(i)) return i;
  }
  return -1;
}

int32_t TGIFColorMap::Add(uint32_t color) {
  if (Count() >= 256) throw GIFException(gif_text::kTableOverflow);
  Reserve(Count() + 1);
  data_.push_back(static_cast<uint8_t>(color));
  data_.push_back(static_cast<uint8_t>(color >> 8));
  data_.push_back(static_cast<uint8_t>(color >> 16));
  Sorted = false;
  Changed();
  return Count() - 1;
}

int32_t TGIFColorMap::FindOrAdd(uint32_t color) {
  const int32_t at = IndexOf(color);
  return at >= 0 ? at : Add(color);
}

void TGIFColorMap::Delete(int32_t index) {
  if (index < 0 || index >= Count()) throw GIFException(gif_text::kInvalidColorIndex);
  data_.erase(data_.begin() + index * 3, data_.begin() + index * 3 + 3);
  Sorted = false;
  Changed();
}

uint32_t TGIFColorMap::ColorAt(int32_t index) const {
  if (index < 0 || index >= Count()) {
    if (image_ != nullptr) image_->ReportWarning(gif_text::kInvalidColorIndex);
    if (Count() == 0) throw GIFException(gif_text::kTableEmpty);
    index = 0;
  }
  const uint8_t* e = Entry(index);
  return static_cast<uint32_t>(e[0] | (e[1] << 8) | (e[2] << 16));
}

void TGIFColorMap::SetEntries(const uint8_t* rgb, int32_t count) {
  Reserve(count);
  data_.assign(rgb, rgb + static_cast<size_t>(count) * 3);
  Sorted = false;
  Changed();
}

// ---- Frames ----

TGIFSubImage::TGIFSubImage(TGIFImage& image) : ColorMap(&image, this), image_(&image) {}

TGIFSubImage::~TGIFSubImage() {
  Extensions.clear();
  DropPalette();
}

const TGIFColorMap& TGIFSubImage::ActiveColorMap() const {
  if (ColorMap.Count() > 0) return ColorMap;
  if (image_->GlobalColorMap.Count() > 0) return image_->GlobalColorMap;
  return ColorMap;
}

int32_t TGIFSubImage::RequiredVersion() const { return ColorMap.Sorted || !Extensions.empty() ? 2 : 1; }

int32_t TGIFSubImage::TransparentIndex() const {
  return Transparent && GraphicControl != nullptr ? GraphicControl->TransparentIndex : -1;
}

int32_t TGIFSubImage::Disposal() const { return GraphicControl != nullptr ? GraphicControl->Disposal() : 0; }
uint16_t TGIFSubImage::Delay() const { return GraphicControl != nullptr ? GraphicControl->Delay : 0; }

void TGIFSubImage::Clear() {
  Extensions.clear();
  GraphicControl = nullptr;
  Transparent = false;
  Data.clear();
  ColorMap.Clear();
  bitmap_.reset();
  left_ = top_ = width_ = height_ = 0;
  Packed = 0;
}

void TGIFSubImage::SetFrameRect(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (width < 0 || height < 0 || width > 0xFFFF || height > 0xFFFF ||
      int64_t{width} * height > kMaxImagePixels)
    throw GIFException(gif_text::kInvalidDimensions);
  TGIFImage& image = *image_;
  const bool larger = width > image.ScreenWidth || height > image.ScreenHeight;
  if (larger && int64_t{std::max<int32_t>(width, image.ScreenWidth)} *
                        std::max<int32_t>(height, image.ScreenHeight) > kMaxImagePixels)
    throw GIFException(gif_text::kInvalidDimensions);
  if (width != width_ || height != height_ || Data.size() != static_cast<size_t>(width) * height) {
    Data.assign(static_cast<size_t>(width) * height, 0);
    bitmap_.reset();
  }
  left_ = static_cast<uint16_t>(left);
  top_ = static_cast<uint16_t>(top);
  width_ = static_cast<uint16_t>(width);
  height_ = static_cast<uint16_t>(height);
  if (larger) {
    image.ScreenWidth = static_cast<uint16_t>(std::max<int32_t>(width, image.ScreenWidth));
    image.ScreenHeight = static_cast<uint16_t>(std::max<int32_t>(height, image.ScreenHeight));
    left_ = top_ = 0;
    image.ReportWarning(gif_text::kExceedsScreen);
  }
}

uint8_t* TGIFSubImage::RowAt(int32_t row) {
  if (row < 0 || row >= height_) throw GIFException(gif_text::kInvalidPixel);
  if (Data.size() != static_cast<size_t>(width_) * height_) Data.assign(static_cast<size_t>(width_) * height_, 0);
  if (Data.empty()) throw GIFException(gif_text::kImageEmpty);
  return Data.data() + static_cast<size_t>(row) * width_;
}

uint8_t& TGIFSubImage::PixelAt(int32_t x, int32_t y) {
  if (x < 0 || x >= width_) throw GIFException(gif_text::kInvalidPixel);
  return RowAt(y)[x];
}

TGIFExtension* TGIFSubImage::AddExtension(std::unique_ptr<TGIFExtension> extension) {
  Extensions.push_back(std::move(extension));
  return Extensions.back().get();
}

void TGIFSubImage::DeleteExtension(TGIFExtension* extension) {
  for (auto it = Extensions.begin(); it != Extensions.end(); ++it)
    if (it->get() == extension) {
      Extensions.erase(it);
      break;
    }
}

TGIFGraphicControlExtension& TGIFSubImage::EnsureGraphicControl() {
  if (GraphicControl == nullptr) AddExtension(std::make_unique<TGIFGraphicControlExtension>(*this));
  return *GraphicControl;
}

void TGIFSubImage::LoadFromStream(TKsBigStream& s) {
  Clear();
  uint8_t b = 0;
  if (s.Read(&b, 1) != 1) return;
  while (b != ',' && b != ';') {
    if (b != '!') {
      image_->ReportWarning(gif_text::kInvalidIntroducer);
      break;
    }
    std::unique_ptr<TGIFExtension> extension = CreateExtension(*this, s);
    if (!extension) throw GIFException(gif_text::kUnknownExtension);
    s.Seek(-1, SeekOrigin::Current);
    extension->LoadFromStream(s);
    AddExtension(std::move(extension));
    if (s.Read(&b, 1) != 1) return;
  }
  // Anything but an image separator stays for the picture's block loop.
  if (b != ',') {
    s.Seek(-1, SeekOrigin::Current);
    return;
  }
  uint8_t d[9];
  ReadExact(s, d, 9);
  int32_t width = Le16(d + 4), height = Le16(d + 6);
  if (width == 0 || height == 0) {
    width = image_->ScreenWidth;
    height = image_->ScreenHeight;
    image_->ReportWarning(gif_text::kExceedsScreen);
  }
  Packed = d[8];
  // A header names the size; the data left must be able to describe it.
  const int64_t pixels = int64_t{width} * height;
  if (pixels <= kMaxImagePixels && !PlausiblePicture(pixels, s.Remaining(), kMaxPixelsPerLzwByte))
    throw GIFException(gif_text::kInvalidDimensions);
  SetFrameRect(Le16(d), Le16(d + 2), width, height);
  if (Packed & 0x80) {
    ColorMap.LoadFromStream(s, 2 << (Packed & 7));
    ColorMap.Sorted = (Packed & 0x20) != 0;
  }
  ReadPixelData(*this, s);
  if (image_->RenderAfterDecode) Bitmap();
}

void TGIFSubImage::SaveToStream(TKsBigStream& s) const {
  for (const auto& extension : Extensions) extension->SaveToStream(s);
  if (Empty()) return;
  uint8_t d[10];
  d[0] = ',';
  PutLe16(d + 1, left_);
  PutLe16(d + 3, top_);
  PutLe16(d + 5, width_);
  PutLe16(d + 7, height_);
  const bool local = ColorMap.Count() > 0;
  if (local)
    d[9] = static_cast<uint8_t>(0x80 | (Packed & 0x40) | (ColorMap.Sorted ? 0x20 : 0) |
                                ((ColorMap.BitsPerPixel() - 1) & 7));
  else
    d[9] = static_cast<uint8_t>(Packed & (0x40 | 0x10 | 0x08));
  s.WriteBuffer(d, 10);
  if (local) ColorMap.SaveToStream(s);
  int32_t bits, colors;
  if (local) {
    bits = ColorMap.BitsPerPixel();
    colors = ColorMap.Count();
  } else {
    bits = image_->BitsPerPixel();
    colors = 1 << bits;
  }
  EncodeGifData(s, bits, colors, Data.data(), Interlaced(), height_, width_,
                static_cast<TGIFCompression>(image_->Compression == 1 ? 1 : 0));
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
  if (&source == this) return;
  Clear();
  if (!source.Empty()) {
    left_ = source.left_;
    top_ = source.top_;
    width_ = source.width_;
    height_ = source.height_;
    Packed = source.Packed;
    Data = source.Data;
    ColorMap.Assign(source.ColorMap);
  }
  if (!source.Extensions.empty()) {
    TKsMemoryStream copy;
    for (const auto& extension : source.Extensions) extension->SaveToStream(copy);
    const uint8_t separator = ',';
    copy.WriteBuffer(&separator, 1);
    copy.SetPosition(0);
    uint8_t b = 0;
    while (copy.Read(&b, 1) == 1 && b == '!') {
      std::unique_ptr<TGIFExtension> extension = CreateExtension(*this, copy);
      if (!extension) break;
      copy.Seek(-1, SeekOrigin::Current);
      extension->LoadFromStream(copy);
      AddExtension(std::move(extension));
    }
  }
}

// ---- The picture ----

TGIFImage::TGIFImage() : painters_(std::make_shared<TGIFPainterList>()) {}

TGIFImage::~TGIFImage() {
  try {
    HaltAllPainters();
  } catch (...) {  // a destructor cannot raise: the painter's error is traced
    TraceCaught("GIF painter");
  }
  Frames.clear();
  FreePalette();
}

void TGIFImage::Clear() {
  HaltAllPainters();
  bitmap_.reset();
  Frames.clear();
  GlobalColorMap.Clear();
  ScreenWidth = ScreenHeight = 0;
  BackgroundIndex = AspectRatio = 0;
  HeaderPacked = BuildPackedFields();
}

int32_t TGIFImage::FileVersion() const {
  int32_t version = 0;
  for (const auto& frame : Frames) version = std::max(version, frame->RequiredVersion());
  if (version > 0 && (GlobalColorMap.Sorted || AspectRatio != 0)) version = 2;
  return version;
}

int32_t TGIFImage::BitsPerPixel() const {
  int32_t bits = GlobalColorMap.BitsPerPixel();
  for (const auto& frame : Frames) bits = std::max(bits, frame->ColorMap.BitsPerPixel());
  return bits;
}

uint8_t TGIFImage::BuildPackedFields() const {
  const int32_t highest = std::max(BitsPerPixel() - 1, 0) & 7;
  uint8_t packed = static_cast<uint8_t>(highest << 4);
  if (GlobalColorMap.Count() > 0) {
    packed |= 0x80;
    if (GlobalColorMap.Sorted) packed |= 0x08;
    packed |= static_cast<uint8_t>((GlobalColorMap.BitsPerPixel() - 1) & 7);
  } else {
    packed |= static_cast<uint8_t>(highest);
  }
  return packed;
}

int32_t TGIFImage::BackgroundColor() const {
  if (GlobalColorMap.Count() == 0) return -1;
  return static_cast<int32_t>(GlobalColorMap.ColorAt(BackgroundIndex));
}

int32_t TGIFImage::LoopCount() const {
  if (Frames.empty()) return -1;
  for (const auto& extension : Frames.front()->Extensions)
    if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension.get())) return loop->Loops;
  return -1;
}

void TGIFImage::ReportWarning(const std::string& message) {
  if (OnDataWarning) OnDataWarning(1, message);
}

int32_t TGIFImage::Add(std::unique_ptr<TGIFSubImage> frame) {
  Frames.push_back(std::move(frame));
  bitmap_.reset();
  return Count() - 1;
}

void TGIFImage::SetWidth(int32_t value) {
  HaltAllPainters();
  for (const auto& frame : Frames)
    if (frame->Left() + frame->Width() > value) throw GIFException(gif_text::kWidthTooSmall);
  ScreenWidth = static_cast<uint16_t>(value);
}

void TGIFImage::SetHeight(int32_t value) {
  HaltAllPainters();
  for (const auto& frame : Frames)
    if (frame->Top() + frame->Height() > value) throw GIFException(gif_text::kHeightTooSmall);
  ScreenHeight = static_cast<uint16_t>(value);
}

void TGIFImage::LoadFromStream(TKsBigStream& s) {
  Clear();
  const int64_t start = s.GetPosition();
  try {
    uint8_t sig[6];
    auto is_gif = [&] {
      return (sig[0] & 0xDF) == 'G' && (sig[1] & 0xDF) == 'I' && (sig[2] & 0xDF) == 'F';
    };
    ReadExact(s, sig, 6);
    if (!is_gif()) {
      // A file may carry a 4-byte prefix.
      s.SetPosition(start + 4);
      ReadExact(s, sig, 6);
      if (!is_gif()) throw GIFException(gif_text::kInvalidSignature);
    }
    uint8_t lsd[7];
    ReadExact(s, lsd, 7);
    ScreenWidth = Le16(lsd);
    ScreenHeight = Le16(lsd + 2);
    HeaderPacked = lsd[4];
    BackgroundIndex = lsd[5];
    AspectRatio = lsd[6];
    if (HeaderPacked & 0x80) {
      GlobalColorMap.LoadFromStream(s, 2 << (HeaderPacked & 7));
      GlobalColorMap.Sorted = (HeaderPacked & 0x08) != 0;
    } else {
      GlobalColorMap.Clear();
    }
    int64_t total_pixels = 0;
    uint8_t b = 0;
    bool more = NextBlockByte(s, b);
    while (more && b != ';') {
      if (b != '!' && b != ',') {
        ReportWarning(gif_text::kUnknownBlock);
        break;
      }
      s.Seek(-1, SeekOrigin::Current);
      auto frame = std::make_unique<TGIFSubImage>(*this);
      const int64_t before = s.GetPosition();
      frame->LoadFromStream(s);
      // All frames together must be describable by the file's bytes too.
      total_pixels += static_cast<int64_t>(frame->Data.size());
      if (!PlausiblePicture(total_pixels, s.GetSize() - start, kMaxPixelsPerLzwByte))
        throw GIFException(gif_text::kInvalidDimensions);
      Frames.push_back(std::move(frame));
      // A frame that took nothing leaves an unknown byte behind.
      if (s.GetPosition() == before) {
        ReportWarning(gif_text::kUnknownBlock);
        break;
      }
      more = NextBlockByte(s, b);
    }
  } catch (...) {  // cleaned up, then rethrown
    s.SetPosition(start);
    throw;
  }
}

void TGIFImage::SaveToStream(TKsBigStream& s) {
  const int32_t version = FileVersion();
  if (version == 0) throw GIFException(gif_text::kUnsupportedVersion);
  s.WriteBuffer(version == 1 ? "GIF87a" : "GIF89a", 6);
  HeaderPacked = BuildPackedFields();
  uint8_t lsd[7];
  PutLe16(lsd, ScreenWidth);
  PutLe16(lsd + 2, ScreenHeight);
  lsd[4] = HeaderPacked;
  lsd[5] = BackgroundIndex;
  lsd[6] = AspectRatio;
  s.WriteBuffer(lsd, 7);
  if (HeaderPacked & 0x80) GlobalColorMap.SaveToStream(s);
  for (const auto& frame : Frames) frame->SaveToStream(s);
  s.WriteBuffer(";", 1);
}

void TGIFImage::LoadFromFile(const std::string& path) {
  TKsMemoryStream s;
  s.LoadFromFile(path);
  LoadFromStream(s);
}

void TGIFImage::SaveToFile(const std::string& path) {
  TKsMemoryStream s;
  SaveToStream(s);
  s.SaveToFile(path);
}

void TGIFImage::WriteData(TKsBigStream& s) {
  // Every option; palette method 0 names no reduction (the clean-up
  // option is among them, so none runs).
  if (CompactBeforeWrite)
    Compact(kCompactCrop | kCompactMerge | kCompactCleanup | kCompactSort | kCompactReduce, 0, DitherKind,
            QuantizeBits);
  SaveToStream(s);
}

}  // namespace orba
