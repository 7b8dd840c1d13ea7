#include "graphics/dib.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "core/streams/byte_order.h"
#include "graphics/bmp.h"
#include "graphics/graphic_errors.h"
#include "graphics/pixel_view.h"

namespace orba {

namespace {

// "%s を作成できません" with "DIB".
const char* const kCannotCreateDibText = "DIB \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";

void CheckLayout(int32_t bit_count, const TDIBChannelLayout& f) {
  switch (bit_count) {
    case 1: case 4: case 8: case 24: case 32:
      if (f.RedMask != 0xFF0000 || f.GreenMask != 0xFF00 || f.BlueMask != 0xFF)
        throw EInvalidGraphicOperation(kInvalidPixelFormatText);
      return;
    case 16:
      if (!((f.RedMask == 0x7C00 && f.GreenMask == 0x3E0) || (f.RedMask == 0xF800 && f.GreenMask == 0x7E0)) ||
          f.BlueMask != 0x1F)
        throw EInvalidGraphicOperation(kInvalidPixelFormatText);
      return;
    default:
      throw EInvalidGraphicOperation(InvalidBitCountText(bit_count));
  }
}

const std::shared_ptr<TDIBSharedImage>& EmptySharedImage() {
  static const std::shared_ptr<TDIBSharedImage> empty = std::make_shared<TDIBSharedImage>();
  return empty;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Nearest colour-table entry by squared distance, remembered per colour.
class TNearestIndex {
 public:
  explicit TNearestIndex(const TColorTable& table, int32_t count) : table_(table), count_(count) {}
  uint8_t operator()(uint8_t r, uint8_t g, uint8_t b) {
    const uint32_t key = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    int best = 0, best_d = 1 << 30;
    for (int i = 0; i < count_; ++i) {
      const int dr = table_[i].Red - r, dg = table_[i].Green - g, db = table_[i].Blue - b;
      const int d = dr * dr + dg * dg + db * db;
      if (d < best_d) {
        best_d = d;
        best = i;
      }
    }
    cache_.emplace(key, static_cast<uint8_t>(best));
    return static_cast<uint8_t>(best);
  }

 private:
  TColorTable table_;
  int32_t count_;
  std::unordered_map<uint32_t, uint8_t> cache_;
};

// Writes RGB bytes into a row of a deeper-than-8-bit image.
void StoreRGB(uint8_t* row, int32_t bits, const TDIBChannelLayout& f, int32_t x, uint8_t r, uint8_t g, uint8_t b) {
  // A 24-bit image always carries 8-8-8, so its packed value is stored as
  // blue, green, red.
  const int bytes = bits / 8;
  StorePixelBytes(row + static_cast<std::ptrdiff_t>(x) * bytes, bytes, PackPixel(f, r, g, b));
}

// Writes a grey level at a depth of 8 bits or fewer, as blur and greyscale do.
inline void StoreGreyIndex(uint8_t* row, int32_t bits, int32_t x, uint32_t level) {
  if (bits == 8) StoreRowIndex(row, 8, x, level);
  else if (bits == 4) StoreRowIndex(row, 4, x, level >> 4);
  else StoreRowIndex(row, 1, x, level > 127 ? 1 : 0);
}

}  // namespace

bool PlausiblePicture(int64_t pixels, int64_t stored, int64_t pixels_per_byte) {
  return pixels <= kAlwaysPlausiblePixels || pixels / pixels_per_byte <= stored;
}

int64_t DibRowSize(int64_t width, int32_t bit_count) {
  if (width < 0 || width > (int64_t{1} << 31) || bit_count < 1 || bit_count > 32) return -1;
  return (width * bit_count + 31) / 32 * 4;
}

TColorTable BlurGreyTable(int32_t bits) {
  // An even ramp, so that the top entry is white at every depth.
  return GreyTableForDepth(bits);
}

// ---------------------------------------------------------------------------
// Shared image

TDIBSharedImage::TDIBSharedImage() : ColorTable(GreyRamp()), Layout(Layout888()) {}

TDIBSharedImage::~TDIBSharedImage() {
  if (Palette != 0) SharedPaletteManager().ReturnPalette(Palette);
}

int32_t TDIBSharedImage::Compression() const {
  if (InfoBlock.size() < 20) return 0;
  return static_cast<int32_t>(InfoBlock[16] | (InfoBlock[17] << 8) | (InfoBlock[18] << 16) |
                              (static_cast<uint32_t>(InfoBlock[19]) << 24));
}

void TDIBSharedImage::SetStoredImageSize(int32_t size) {
  Size = size;
  if (InfoBlock.size() >= 24) WriteLE32(InfoBlock.data() + 20, static_cast<uint32_t>(size));
}

void TDIBSharedImage::CheckNewImage(int64_t width, int64_t height, int32_t bit_count,
                                    const TDIBChannelLayout& layout) {
  CheckLayout(bit_count, layout);
  const int64_t row_size = DibRowSize(width, bit_count);
  if (width < 0 || height < 0 || height > INT32_MAX || row_size < 0 || width * height > kMaxImagePixels ||
      row_size * height > kMaxImageBytes)
    throw EOutOfResources(kCannotCreateDibText);
}

std::shared_ptr<TDIBSharedImage> TDIBSharedImage::Allocate(int32_t width, int32_t height, int32_t bit_count,
                                                           const TDIBChannelLayout& layout,
                                                           const TColorTable& table, bool in_memory,
                                                           bool compressed) {
  CheckNewImage(width, height, bit_count, layout);
  const int64_t row_size = DibRowSize(width, bit_count);
  auto img = std::make_shared<TDIBSharedImage>();
  img->BitCount = bit_count;
  img->Height = height;
  img->Width = width;
  img->RowSize = static_cast<int32_t>(row_size);
  img->Size = static_cast<int32_t>(row_size * height);
  img->Layout = layout;
  img->EntryCount = bit_count <= 8 ? (1 << bit_count) : 0;
  const bool masks = bit_count == 16 || bit_count == 32;
  img->TablePosition = masks ? 52 : 40;
  img->InfoBlockSize = 40 + (masks ? 12 : 0) + 4 * img->EntryCount;
  img->InfoBlock.assign(static_cast<size_t>(img->InfoBlockSize), 0);

  uint8_t* h = img->InfoBlock.data();
  WriteLE32(h, 40);
  WriteLE32(h + 4, static_cast<uint32_t>(width));
  WriteLE32(h + 8, static_cast<uint32_t>(height));
  h[12] = 1;
  h[14] = static_cast<uint8_t>(bit_count);
  uint32_t compression = 0;
  if (masks) compression = 3;
  else if (compressed && bit_count == 4) compression = 2;
  else if (compressed && bit_count == 8) compression = 1;
  WriteLE32(h + 16, compression);
  WriteLE32(h + 20, static_cast<uint32_t>(img->Size));
  if (masks) {
    WriteLE32(h + 40, static_cast<uint32_t>(layout.RedMask));
    WriteLE32(h + 44, static_cast<uint32_t>(layout.GreenMask));
    WriteLE32(h + 48, static_cast<uint32_t>(layout.BlueMask));
  }
  img->ColorTable = table;
  if (img->EntryCount > 0)
    std::memcpy(h + img->TablePosition, table.data(), static_cast<size_t>(img->EntryCount) * 4);
  img->Compressed = compression == 1 || compression == 2;
  img->InMemory = in_memory || img->Compressed;
  if (!img->Compressed) img->Bits.assign(static_cast<size_t>(img->Size), 0);
  return img;
}

std::shared_ptr<TDIBSharedImage> TDIBSharedImage::CloneFrom(const TDIBSharedImage& source, bool in_memory) {
  if (source.Empty()) {
    auto img = std::make_shared<TDIBSharedImage>();
    img->InMemory = in_memory;
    return img;
  }
  auto img = Allocate(source.Width, source.Height, source.BitCount, source.Layout, source.ColorTable, in_memory,
                      source.Compressed);
  img->Bits = source.Bits;
  if (source.Compressed) img->SetStoredImageSize(source.Size);
  return img;
}

std::shared_ptr<TDIBSharedImage> TDIBSharedImage::CloneExpanded(const TDIBSharedImage& source, bool in_memory) {
  if (!source.Compressed) return CloneFrom(source, in_memory);
  auto img = Allocate(source.Width, source.Height, source.BitCount, source.Layout, source.ColorTable, in_memory,
                      false);
  if (source.BitCount == 8)
    ExpandRle8(source.Bits.data(), source.Bits.size(), img->Bits.data(), img->Width, img->Height, img->RowSize);
  else
    ExpandRle4(source.Bits.data(), source.Bits.size(), img->Bits.data(), img->Width, img->Height, img->RowSize);
  return img;
}

void TDIBSharedImage::ApplyTable(const TColorTable& table) {
  ColorTable = table;
  PaletteChanged = true;
  if (!Empty() && EntryCount > 0 && InfoBlock.size() >= static_cast<size_t>(TablePosition + 4 * EntryCount))
    std::memcpy(InfoBlock.data() + TablePosition, table.data(), static_cast<size_t>(EntryCount) * 4);
}

TPaletteHandle TDIBSharedImage::ObtainPalette() {
  if (EntryCount == 0) return 0;
  if (PaletteChanged) {
    PaletteChanged = false;
    SharedPaletteManager().ReturnPalette(Palette);
    Palette = SharedPaletteManager().SharePalette(ColorTable.data(), EntryCount);
  }
  return Palette;
}

// ---------------------------------------------------------------------------
// TDIB

TDIB::TDIB() : RequestedLayout(Layout888()) { ReplaceImage(EmptySharedImage()); }

void TDIB::ReplaceImage(std::shared_ptr<TDIBSharedImage> image) {
  if (image == image_) return;
  image_ = std::move(image);
  ColorTable = image_->ColorTable;
  RequestedLayout = image_->Layout;
}

void TDIB::Assign(const TDIB* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  if (source == this) return;
  ReplaceImage(source->image_);
}

void TDIB::Clear() { ReplaceImage(EmptySharedImage()); }

void TDIB::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  if (width == Width() && height == Height() && bit_count == BitCount() &&
      image_->Layout.SameMasks(RequestedLayout))
    return;
  if (width < 1 || height < 1) {
    Clear();
    return;
  }
  ReplaceImage(
      TDIBSharedImage::Allocate(width, height, bit_count, RequestedLayout, ColorTable, image_->InMemory, false));
  PaletteModified = true;
}

void TDIB::SetBitCount(int32_t value) {
  if (value < 1) Clear();
  else if (Empty()) SetSize(std::max(Width(), 1), std::max(Height(), 1), value);
  else ChangeDepth(value);
}

void TDIB::SetWidth(int32_t value) {
  if (value < 1) Clear();
  else if (Empty()) SetSize(value, std::max(Height(), 1), 8);
  else SetSize(value, Height(), LayoutBitCount());
}

void TDIB::SetHeight(int32_t value) {
  if (value < 1) Clear();
  else if (Empty()) SetSize(std::max(Width(), 1), value, 8);
  else SetSize(Width(), value, LayoutBitCount());
}

void TDIB::EnsurePrivate(bool /*for_writing*/) {
  if (image_.use_count() <= 1 && !image_->Compressed) return;
  if (image_->Empty()) {
    // Never write into the shared empty image.
    auto fresh = std::make_shared<TDIBSharedImage>();
    fresh->ColorTable = image_->ColorTable;
    fresh->Layout = image_->Layout;
    const TColorTable keep = ColorTable;
    ReplaceImage(std::move(fresh));
    ColorTable = keep;
    return;
  }
  ReplaceImage(TDIBSharedImage::CloneExpanded(*image_, image_->InMemory));
}

void TDIB::ExpandRunLength() {
  if (image_->Compressed) ReplaceImage(TDIBSharedImage::CloneExpanded(*image_, image_->InMemory));
}

uint8_t* TDIB::GetPixelBlock() {
  EnsurePrivate(true);
  return image_->PixelBlock();
}

uint8_t* TDIB::GetTopRow() {
  EnsurePrivate(true);
  return image_->TopRow();
}

uint8_t* TDIB::GetRow(int32_t y) {
  EnsurePrivate(true);
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(ScanLineRangeText(y));
  return image_->TopRow() - int64_t{y} * image_->RowSize;
}

std::vector<uint8_t> TDIB::GiveUpPixelBlock() {
  if (image_.use_count() != 1 || image_->Empty() || image_->Compressed) return {};
  std::vector<uint8_t> block = std::move(image_->Bits);
  Clear();
  return block;
}

const uint8_t* TDIB::PeekPixelBlock() {
  ExpandRunLength();
  return image_->PixelBlock();
}

const uint8_t* TDIB::PeekTopRow() {
  ExpandRunLength();
  return image_->TopRow();
}

const uint8_t* TDIB::PeekRow(int32_t y) {
  ExpandRunLength();
  if (y < 0 || y >= Height()) throw EInvalidGraphicOperation(ScanLineRangeText(y));
  return image_->TopRow() - int64_t{y} * image_->RowSize;
}

uint32_t TDIB::GetPixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  const uint8_t* row = PeekRow(y);
  const int32_t bits = BitCount();
  if (bits <= 8) return RowIndexAt(row, bits, x);
  return LoadPixelBytes(row + static_cast<std::ptrdiff_t>(x) * (bits / 8), bits / 8);
}

void TDIB::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  uint8_t* row = GetRow(y);
  const int32_t bits = BitCount();
  if (bits <= 8) StoreRowIndex(row, bits, x, value);
  else StorePixelBytes(row + static_cast<std::ptrdiff_t>(x) * (bits / 8), bits / 8, value);
}

void TDIB::CommitTable() {
  if (ColorTable == image_->ColorTable) return;
  const TColorTable keep = ColorTable;
  EnsurePrivate(true);
  ColorTable = keep;
  image_->ApplyTable(ColorTable);
  PaletteModified = true;
}

void TDIB::SetPalette(TPaletteHandle palette) {
  const TPaletteItem* item = SharedPaletteManager().Find(palette);
  if (item == nullptr) return;
  ColorTable = TColorTable{};
  std::copy_n(item->Table.begin(), item->EntryCount, ColorTable.begin());
  CommitTable();
}

void TDIB::ReadRowRGB(int32_t y, uint8_t* rgb) {
  const uint8_t* row = PeekRow(y);
  const int32_t w = Width(), bits = BitCount();
  const TColorTable& table = image_->ColorTable;
  switch (bits) {
    case 24:
      for (int32_t x = 0; x < w; ++x, rgb += 3, row += 3) {
        rgb[0] = row[2];
        rgb[1] = row[1];
        rgb[2] = row[0];
      }
      return;
    case 16:
    case 32: {
      const TDIBChannelLayout& f = image_->Layout;
      const int step = bits / 8;
      for (int32_t x = 0; x < w; ++x, rgb += 3, row += step) {
        UnpackPixel(f, LoadPixelBytes(row, step), rgb[0], rgb[1], rgb[2]);
      }
      return;
    }
    default:
      for (int32_t x = 0; x < w; ++x, rgb += 3) {
        const TRGBQuad& q = table[RowIndexAt(row, bits, x)];
        rgb[0] = q.Red;
        rgb[1] = q.Green;
        rgb[2] = q.Blue;
      }
  }
}

void TDIB::WriteRowRGB(int32_t y, const uint8_t* rgb) {
  uint8_t* row = GetRow(y);
  const int32_t w = Width(), bits = BitCount();
  if (bits <= 8) {
    TNearestIndex nearest(image_->ColorTable, image_->EntryCount);
    for (int32_t x = 0; x < w; ++x, rgb += 3) StoreRowIndex(row, bits, x, nearest(rgb[0], rgb[1], rgb[2]));
    return;
  }
  for (int32_t x = 0; x < w; ++x, rgb += 3) StoreRGB(row, bits, image_->Layout, x, rgb[0], rgb[1], rgb[2]);
}

void TDIB::Draw(TDIB& target, const TRect& rect) {
  if (Empty() || target.Empty() || &target == this) return;
  const int64_t dw = int64_t{rect.Right} - rect.Left, dh = int64_t{rect.Bottom} - rect.Top;
  if (dw <= 0 || dh <= 0) return;
  const int32_t x0 = std::max<int32_t>(rect.Left, 0), x1 = static_cast<int32_t>(std::min<int64_t>(rect.Right, target.Width()));
  const int32_t y0 = std::max<int32_t>(rect.Top, 0), y1 = static_cast<int32_t>(std::min<int64_t>(rect.Bottom, target.Height()));
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<uint8_t> src(static_cast<size_t>(Width()) * 3), dst(static_cast<size_t>(target.Width()) * 3);
  std::vector<int32_t> column(static_cast<size_t>(x1 - x0));
  for (int32_t x = x0; x < x1; ++x)
    column[static_cast<size_t>(x - x0)] = static_cast<int32_t>((x - int64_t{rect.Left}) * Width() / dw);
  const bool palette_target = target.BitCount() <= 8;
  TNearestIndex nearest(target.image_->ColorTable, target.image_->EntryCount);
  int32_t loaded = -1;
  for (int32_t y = y0; y < y1; ++y) {
    const auto sy = static_cast<int32_t>((y - int64_t{rect.Top}) * Height() / dh);
    if (sy != loaded) {
      ReadRowRGB(sy, src.data());
      loaded = sy;
    }
    uint8_t* row = target.GetRow(y);
    for (int32_t x = x0; x < x1; ++x) {
      const uint8_t* c = &src[static_cast<size_t>(column[static_cast<size_t>(x - x0)]) * 3];
      if (palette_target) StoreRowIndex(row, target.BitCount(), x, nearest(c[0], c[1], c[2]));
      else StoreRGB(row, target.BitCount(), target.image_->Layout, x, c[0], c[1], c[2]);
    }
  }
}

void TDIB::ChangeDepth(int32_t bit_count) {
  if (Empty()) return;
  TDIB temp;
  temp.Assign(this);
  const int32_t source_bits = BitCount();
  SetSize(Width(), Height(), bit_count);
  if (SharesImageWith(temp)) return;
  const int32_t w = Width(), h = Height();
  if (source_bits <= 8 && bit_count <= 8 && bit_count >= source_bits) {
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = temp.PeekRow(y);
      uint8_t* d = GetRow(y);
      for (int32_t x = 0; x < w; ++x) StoreRowIndex(d, bit_count, x, RowIndexAt(s, source_bits, x));
    }
    return;
  }
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  if (bit_count <= 8) {
    if (bit_count == 1) {
      ColorTable[0] = MakeQuad(0, 0, 0);
      ColorTable[1] = MakeQuad(255, 255, 255);
    } else {
      const int R = bit_count == 4 ? 1 : 3, G = bit_count == 4 ? 2 : 3, B = bit_count == 4 ? 1 : 2;
      const int rm = (1 << R) - 1, gm = (1 << G) - 1, bm = (1 << B) - 1;
      for (int i = 0; i < 256; ++i)
        ColorTable[i] = MakeQuad(static_cast<uint8_t>(((i >> (G + B)) & rm) * 255 / rm),
                                 static_cast<uint8_t>(((i >> B) & gm) * 255 / gm), static_cast<uint8_t>((i & bm) * 255 / bm));
    }
    CommitTable();
  }
  for (int32_t y = 0; y < h; ++y) {
    temp.ReadRowRGB(y, rgb.data());
    WriteRowRGB(y, rgb.data());
  }
}

void TDIB::Blur(int32_t bit_count, int32_t radius) {
  if (Empty() || radius == 0) return;
  const int64_t r = radius < 0 ? -int64_t{radius} : radius;
  OpenProgress("Blur");
  TDIB temp;
  temp.Assign(this);
  struct Closer {
    TDIB* d;
    ~Closer() { d->CloseProgress(); }
  } closer{this};
  SetSize(Width(), Height(), bit_count);
  if (bit_count <= 8) {
    ColorTable = BlurGreyTable(bit_count);
    CommitTable();
  }
  const int32_t w = Width(), h = Height();
  struct Sum {
    uint32_t r = 0, g = 0, b = 0, n = 0;
  };
  std::vector<Sum> cols(static_cast<size_t>(w));
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  auto add_row = [&](int32_t y, bool subtract) {
    temp.ReadRowRGB(y, rgb.data());
    for (int32_t x = 0; x < w; ++x) {
      Sum& s = cols[static_cast<size_t>(x)];
      const uint8_t* c = &rgb[static_cast<size_t>(x) * 3];
      if (subtract) {
        s.r -= c[0];
        s.g -= c[1];
        s.b -= c[2];
        --s.n;
      } else {
        s.r += c[0];
        s.g += c[1];
        s.b += c[2];
        ++s.n;
      }
    }
  };
  int32_t first = 0, last = static_cast<int32_t>(std::min<int64_t>(r, h - 1));
  for (int32_t y = 0; y <= last; ++y) add_row(y, false);
  const TDIBChannelLayout layout = CurrentLayout();
  for (int32_t y = 0; y < h; ++y) {
    if (y - first == r + 1) add_row(first++, true);
    if (last - y == r - 1 && last < h - 1) add_row(++last, false);
    uint8_t* row = GetRow(y);
    Sum t;
    int32_t cf = 0, cl = static_cast<int32_t>(std::min<int64_t>(r, w - 1));
    auto take = [&](int32_t x, bool subtract) {
      const Sum& s = cols[static_cast<size_t>(x)];
      if (subtract) {
        t.r -= s.r, t.g -= s.g, t.b -= s.b, t.n -= s.n;
      } else {
        t.r += s.r, t.g += s.g, t.b += s.b, t.n += s.n;
      }
    };
    for (int32_t x = 0; x <= cl; ++x) take(x, false);
    for (int32_t x = 0; x < w; ++x) {
      if (x - cf == r + 1) take(cf++, true);
      if (cl - x == r - 1 && cl < w - 1) take(++cl, false);
      const uint32_t n = t.n == 0 ? 1 : t.n;
      if (bit_count > 8) {
        StoreRGB(row, bit_count, layout, x, static_cast<uint8_t>(t.r / n), static_cast<uint8_t>(t.g / n),
                 static_cast<uint8_t>(t.b / n));
      } else {
        const uint64_t total = uint64_t{t.r} + t.g + t.b;
        StoreGreyIndex(row, bit_count, x, static_cast<uint32_t>(total / n / 3));
      }
    }
    StepProgress(y);
  }
}

void TDIB::Greyscale(int32_t bit_count) {
  if (Empty()) return;
  TDIB temp;
  temp.Assign(this);
  SetSize(Width(), Height(), bit_count);
  if (bit_count <= 8) {
    ColorTable = BlurGreyTable(bit_count);
    CommitTable();
  }
  uint8_t red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) {
    red[i] = static_cast<uint8_t>(std::trunc(i * 0.3588L));
    green[i] = static_cast<uint8_t>(std::trunc(i * 0.402L));
    blue[i] = static_cast<uint8_t>(std::trunc(i * 0.2392L));
  }
  OpenProgress("Greyscale");
  struct Closer {
    TDIB* d;
    ~Closer() { d->CloseProgress(); }
  } closer{this};
  const int32_t w = Width(), h = Height();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  const TDIBChannelLayout layout = CurrentLayout();
  for (int32_t y = 0; y < h; ++y) {
    temp.ReadRowRGB(y, rgb.data());
    uint8_t* row = GetRow(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* c = &rgb[static_cast<size_t>(x) * 3];
      const auto grey = static_cast<uint8_t>(red[c[0]] + green[c[1]] + blue[c[2]]);
      if (bit_count > 8) StoreRGB(row, bit_count, layout, x, grey, grey, grey);
      else StoreGreyIndex(row, bit_count, x, grey);
    }
    StepProgress(y);
  }
}

void TDIB::InvertColors() {
  if (Empty()) return;
  if (BitCount() > 8) {
    uint8_t* p = GetPixelBlock();
    for (int32_t i = 0; i < Size(); ++i) p[i] = static_cast<uint8_t>(~p[i]);
    return;
  }
  for (auto& q : ColorTable) {
    q.Red = static_cast<uint8_t>(~q.Red);
    q.Green = static_cast<uint8_t>(~q.Green);
    q.Blue = static_cast<uint8_t>(~q.Blue);
  }
  CommitTable();
}

void TDIB::OpenProgress(const std::string& name) {
  progress_name_ = name;
  progress_percent_ = 0;
  progress_time_ = NowMs();
  progress_row_ = 0;
  progress_redraw_row_ = 0;
  if (OnProgress) OnProgress(TProgressStage::Starting, 0, false, TRect{0, 0, Width(), Height()}, name);
}

void TDIB::StepProgress(int32_t row) {
  const int64_t now = NowMs();
  const bool redraw = now - progress_time_ > 200 && progress_row_ - progress_redraw_row_ > 32 &&
                      (progress_row_ < Height() / 3 || progress_redraw_row_ != 0);
  const int32_t percent = Height() > 0 ? static_cast<int32_t>(int64_t{row} * 100 / Height()) : 100;
  if (percent == progress_percent_ && !redraw) {
    ++progress_row_;
    return;
  }
  if (OnProgress)
    OnProgress(TProgressStage::Running, percent, redraw, TRect{0, progress_redraw_row_, Width(), progress_row_},
               progress_name_);
  if (redraw) {
    progress_redraw_row_ = progress_row_;
    progress_time_ = now;
  }
  progress_percent_ = percent;
  ++progress_row_;
}

void TDIB::CloseProgress() {
  if (OnProgress)
    OnProgress(TProgressStage::Ending, 100, true, TRect{0, progress_redraw_row_, Width(), Height()}, progress_name_);
}

}  // namespace orba
