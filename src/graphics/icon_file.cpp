#include "graphics/icon_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/streams/byte_cursor.h"
#include "core/streams/byte_order.h"
#include "core/streams/stream_encoding.h"
#include "graphics/color_convert.h"
#include "graphics/graphic_errors.h"
#include "graphics/icon_preview.h"
#include "graphics/png_codec.h"
#include "platform/dialogs.h"

namespace orba {

// "ICO:ファイルが壊れています"
const char* const kIconDamagedText =
    "ICO:\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
const char* const kIconChooserTitle = "Select One from Multiple Icons";

namespace {

constexpr int64_t kDirectoryEntrySize = 16;
constexpr int64_t kInfoHeaderSize = 40;

[[noreturn]] void Damaged() { throw EInvalidGraphic(kIconDamagedText); }

// The first bytes of a PNG image.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

int64_t MaskRowSize(int64_t width) { return (width + 31) / 32 * 4; }

// Reads `count` bytes at `offset` of the stream, which must hold them.
std::vector<uint8_t> ReadAt(TKsBigStream& stream, int64_t offset, int64_t count) {
  if (offset < 0 || count < 0 || offset > stream.GetSize() || count > stream.GetSize() - offset) Damaged();
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  stream.SetPosition(offset);
  stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

// The icon directory: the type (1 icon, 2 cursor) and the entries, checked
// against the file's size.
struct TIconDirectory {
  uint32_t Type = 0;
  std::vector<uint8_t> Entries;  // 16 bytes each
  int32_t Count() const { return static_cast<int32_t>(Entries.size() / kDirectoryEntrySize); }
  const uint8_t* Entry(int32_t i) const { return &Entries[static_cast<size_t>(i * kDirectoryEntrySize)]; }
};

TIconDirectory ReadDirectory(TKsBigStream& stream, int64_t base) {
  const std::vector<uint8_t> head = ReadAt(stream, base, 6);
  TByteCursor h(head);
  TIconDirectory dir;
  const uint32_t reserved = h.U16LE();
  dir.Type = h.U16LE();
  const int64_t count = h.U16LE();
  if (reserved != 0 || (dir.Type != 1 && dir.Type != 2) || count == 0) Damaged();
  dir.Entries = ReadAt(stream, base + 6, count * kDirectoryEntrySize);
  const int64_t size = stream.GetSize() - base;
  TByteCursor entries(dir.Entries);
  for (int32_t i = 0; i < count; ++i) {
    entries.Skip(8);  // size, colours, reserved, planes and bits (or the hotspot)
    const int64_t bytes = entries.U32LE(), offset = entries.U32LE();
    // Every image lies after the directory and inside the file.
    if (offset < 6 + count * kDirectoryEntrySize || offset + kInfoHeaderSize > size || bytes > size - offset)
      Damaged();
  }
  return dir;
}

// The chooser's line of each image: its number from 1, the width, half the
// height and the bit count of its information header.
std::vector<std::string> ChooserLines(TKsBigStream& stream, int64_t base, const TIconDirectory& dir) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const std::vector<uint8_t> info = ReadAt(stream, base + ReadLE32(dir.Entry(i) + 12), kInfoHeaderSize);
    char line[64];
    std::snprintf(line, sizeof line, "%.3d : %d x %d  %d bpp", i + 1, static_cast<int32_t>(ReadLE32(&info[4])),
                  static_cast<int32_t>(ReadLE32(&info[8])) / 2, static_cast<int32_t>(ReadLE16(&info[14])));
    lines.emplace_back(line);
  }
  return lines;
}

}  // namespace

namespace {

// Decodes the BMP-style image (information header, colour table, colour
// rows, AND mask) at `at` of the stream; the arguments as DecodeIconEntry's.
void DecodeIconImage(TDIBSurface& surface, TKsBigStream& stream, int64_t at, bool& has_alpha, bool keep_alpha,
                     int64_t& transparent_color) {
  std::vector<uint8_t> info = ReadAt(stream, at, kInfoHeaderSize);
  TByteCursor in(info);
  const uint32_t info_size = in.U32LE();
  const int64_t width = in.I32LE();
  const int64_t height = in.I32LE() / 2;
  in.Skip(2);  // planes
  const int32_t bits = in.U16LE();
  const uint32_t compression = in.U32LE();
  in.Skip(12);  // image size, resolution
  const int64_t used_colors = in.U32LE();
  if (info_size != kInfoHeaderSize || width <= 0 || width > 0x10000 || height <= 0 || height > 0x10000 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    Damaged();
  // Bit-field masks follow the header only when the compression field says
  // so; plain RGB images start their table or rows right after it.
  const bool has_masks = compression == 3 && (bits == 16 || bits == 32);
  if (compression != 0 && !has_masks) Damaged();
  const int64_t mask_bytes = has_masks ? 12 : 0;
  if (used_colors > 256) Damaged();
  const int64_t table_bytes = used_colors != 0 ? used_colors * 4 : bits <= 8 ? (int64_t{4} << bits) : 0;
  const int64_t row_bytes = (width * bits + 31) / 32 * 4;
  const int64_t and_row_bytes = MaskRowSize(width);
  // Everything up to the AND mask must be in the file before the picture is built.
  const std::vector<uint8_t> body =
      ReadAt(stream, at + kInfoHeaderSize, mask_bytes + table_bytes + height * (row_bytes + and_row_bytes));

  // The image as a BMP file: header, the information header with the real
  // height, masks, colour table and the colour rows.
  const int64_t bits_offset = 14 + kInfoHeaderSize + mask_bytes + table_bytes;
  const int64_t colour_bytes = height * row_bytes;
  std::vector<uint8_t> bmp(static_cast<size_t>(bits_offset + colour_bytes));
  bmp[0] = 'B';
  bmp[1] = 'M';
  WriteLE32(&bmp[2], static_cast<uint32_t>(bmp.size()));
  WriteLE32(&bmp[10], static_cast<uint32_t>(bits_offset));
  WriteLE32(&info[8], static_cast<uint32_t>(height));
  WriteLE32(&info[20], static_cast<uint32_t>(colour_bytes));
  std::memcpy(&bmp[14], info.data(), kInfoHeaderSize);
  std::memcpy(&bmp[14 + kInfoHeaderSize], body.data(), static_cast<size_t>(bits_offset - 14 - kInfoHeaderSize + colour_bytes));
  TKsMemoryStream bmp_stream(std::move(bmp));
  TDIBSurface image;
  image.TDIB::LoadFromStream(bmp_stream);
  if (image.Empty() || image.Width() != width || image.Height() != height) Damaged();

  // The AND mask, bottom row first: a set bit is a transparent pixel.
  const uint8_t* and_rows = body.data() + (bits_offset - 14 - kInfoHeaderSize) + colour_bytes;
  auto transparent_at = [&](int32_t x, int32_t y) {
    const uint8_t* row = and_rows + (height - 1 - y) * and_row_bytes;
    return ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0;
  };
  TDIBSurface alpha;
  alpha.ColorTable = GreyRamp();
  alpha.SetSize(image.Width(), image.Height(), 8);
  alpha.CommitTable();
  TPixelView a = alpha.WriteView();
  has_alpha = bits == 32;
  if (bits == 32) {
    TPixelView v = image.ReadView();
    bool any_alpha = false;
    for (int32_t y = 0; y < a.Height; ++y)
      for (int32_t x = 0; x < a.Width; ++x) any_alpha |= (a.Row(y)[x] = v.Row(y)[4 * x + 3]) != 0;
    // A 32-bit image whose fourth bytes are all 0 carries its shape in the
    // AND mask alone, as icons written before alpha existed do.
    for (int32_t y = 0; y < a.Height; ++y)
      for (int32_t x = 0; x < a.Width; ++x)
        if (!any_alpha) a.Row(y)[x] = transparent_at(x, y) ? 0 : 255;
        else if (transparent_at(x, y)) a.Row(y)[x] = 0;
    image.ChangeBitCount(24);
    image.AssignAlpha(alpha);
    transparent_color = -1;
  } else {
    for (int32_t y = 0; y < a.Height; ++y)
      for (int32_t x = 0; x < a.Width; ++x) a.Row(y)[x] = transparent_at(x, y) ? 0 : 255;
    if (keep_alpha || bits == 1 || transparent_color < 0) {
      image.AssignAlpha(alpha);
      transparent_color = -1;
    } else {
      const uint32_t r = transparent_color & 0xFF, g = (transparent_color >> 8) & 0xFF,
                     b = (transparent_color >> 16) & 0xFF;
      int64_t key;
      if (bits <= 8) {
        key = image.FreeIndex();
        if (key >= 0) {
          image.ColorTable[static_cast<size_t>(key)] = MakeQuad(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                                static_cast<uint8_t>(b));
          image.CommitTable();
        } else {
          key = image.ChannelsToPixel(r, g, b);
        }
      } else {
        key = image.RGBToPixel(r, g, b);
      }
      TPixelView v = image.WriteView();
      for (int32_t y = 0; y < v.Height; ++y)
        for (int32_t x = 0; x < v.Width; ++x)
          if (a.Row(y)[x] == 0) ViewSetPixel(v, x, y, static_cast<uint32_t>(key));
      transparent_color = key;
    }
  }
  surface.CopyPixels(image);
}

}  // namespace

void DecodeIconEntry(TDIBSurface& surface, TKsBigStream& stream, int32_t index, TPoint& hotspot, bool& has_alpha,
                     bool keep_alpha, int64_t& transparent_color) {
  const int64_t base = stream.GetPosition();
  const TIconDirectory dir = ReadDirectory(stream, base);
  if (index < 0 || index >= dir.Count()) Damaged();
  TByteCursor entry({dir.Entry(index), kDirectoryEntrySize});
  entry.Skip(4);  // size, colours, reserved
  const int32_t hot_x = entry.U16LE(), hot_y = entry.U16LE();  // a cursor's; an icon's planes and bits
  if (dir.Type == 2) hotspot = TPoint{hot_x, hot_y};
  entry.Skip(4);  // image size
  DecodeIconImage(surface, stream, base + entry.U32LE(), has_alpha, keep_alpha, transparent_color);
}

TRgbaPicture DecodeGroupIconImage(std::span<const uint8_t> image) {
  TKsSpanStream stream(image.data(), static_cast<int64_t>(image.size()));
  if (image.size() >= sizeof kPngSignature && std::memcmp(image.data(), kPngSignature, sizeof kPngSignature) == 0) {
    TZelPNG png;
    // Refused before its rows are allocated: a few compressed bytes could
    // otherwise unpack to a picture of gigabytes.
    png.OnPictureSize = [](int32_t width, int32_t height, int32_t, bool) {
      if (width > kMaxIconSide || height > kMaxIconSide) Damaged();
    };
    png.LoadFromStream(stream);
    return DibToRgba(png.Image, png.AlphaLoaded ? &png.Alpha() : nullptr, png.TransparentColor);
  }
  TDIBSurface surface;
  bool has_alpha = false;
  int64_t key = -1;
  DecodeIconImage(surface, stream, 0, has_alpha, false, key);
  return SurfaceToRgba(surface, key);
}

int32_t IconImageCount(TKsBigStream& stream) {
  const int64_t base = stream.GetPosition();
  const int32_t count = ReadDirectory(stream, base).Count();
  stream.SetPosition(base);
  return count;
}

void ReadIcon(TDIBSurface& surface, TKsBigStream& stream, TPoint& hotspot, bool& has_alpha, bool keep_alpha,
              int64_t& transparent_color, bool allow_choice) {
  const int64_t base = stream.GetPosition();
  uint8_t magic[2] = {};
  stream.Read(magic, 2);
  stream.SetPosition(base);
  has_alpha = false;
  if (magic[0] == 'B' && magic[1] == 'M') {
    surface.TDIB::LoadFromStream(stream);
    transparent_color = -1;
    return;
  }
  // The directory is read and checked whole before an image is taken.
  const TIconDirectory dir = ReadDirectory(stream, base);
  int32_t index = 0;
  if (allow_choice && dir.Count() > 1) {
    // A change of the selection shows the line's image in the chooser.
    TChoiceRequest request{kIconChooserTitle, ChooserLines(stream, base, dir),
                           [&stream, base](int line) { return IconPreviewPicture(stream, base, line); }};
    const int chosen = MessageBoxes().Choose(request);
    if (chosen > 0 && chosen < dir.Count()) index = chosen;
  }
  stream.SetPosition(base);
  DecodeIconEntry(surface, stream, index, hotspot, has_alpha, keep_alpha, transparent_color);
}

TIconSize IconImageSize(TKsBigStream& stream) {
  const int64_t base = stream.GetPosition();
  uint8_t magic[2] = {};
  stream.Read(magic, 2);
  stream.SetPosition(base);
  TIconSize size;
  if (magic[0] == 'B' && magic[1] == 'M') {
    // The file header (14 bytes), then the information header: 16-bit
    // width and height in its 12-byte form, else 32-bit ones (a negative
    // height is a picture stored top down).
    constexpr int64_t kFileHeader = 14;
    constexpr uint32_t kCoreHeader = 12;
    const std::vector<uint8_t> head = ReadAt(stream, base, kFileHeader + kCoreHeader);
    TByteCursor in(head);
    in.Skip(kFileHeader);
    if (in.U32LE() == kCoreHeader) {
      size.Width = in.U16LE();
      size.Height = in.U16LE();
    } else {
      size.Width = in.I32LE();
      size.Height = in.I32LE();
      if (size.Height < 0) size.Height = -size.Height;
    }
  } else {
    const TIconDirectory dir = ReadDirectory(stream, base);
    const std::vector<uint8_t> info = ReadAt(stream, base + ReadLE32(dir.Entry(0) + 12), kInfoHeaderSize);
    TByteCursor in(info);
    in.Skip(4);
    size.Width = in.I32LE();
    size.Height = in.I32LE() / 2;  // the colour rows and the AND mask
  }
  stream.SetPosition(base);
  if (size.Width <= 0 || size.Height <= 0) Damaged();
  return size;
}

void WriteIcon(TDIBSurface& surface, TKsBigStream& stream, bool is_cursor, TPoint hotspot, bool write32,
               TDIBSurface* alpha, int64_t transparent_color) {
  const int32_t w = surface.Width(), h = surface.Height();
  if (surface.Empty() || w > 256 || h > 256) throw EInvalidGraphicOperation(kInvalidDibText);
  if (alpha != nullptr && (alpha->Empty() || alpha->Width() != w || alpha->Height() != h || alpha->BitCount() != 8))
    alpha = nullptr;

  // The mask: 255 opaque, 0 transparent.
  std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h), 255);
  TDIBSurface work;
  work.AssignSurface(surface);
  work.FreeAlpha();
  if (work.GetBitCount() > 8 && work.GetBitCount() != 24) work.ChangeBitCount(24);

  TPixelView source = surface.ReadView();
  bool black_out = false;
  if (transparent_color >= 0) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (ViewGetPixel(source, x, y) == transparent_color) mask[static_cast<size_t>(y) * w + x] = 0;
    black_out = true;
  } else if (alpha != nullptr) {
    TPixelView a = alpha->ReadView();
    for (int32_t y = 0; y < h; ++y) std::memcpy(&mask[static_cast<size_t>(y) * w], a.Row(y), static_cast<size_t>(w));
    if (write32) {
      work.ChangeBitCount(32);
      TPixelView v = work.WriteView();
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) v.Row(y)[4 * x + 3] = mask[static_cast<size_t>(y) * w + x];
    } else {
      black_out = true;
    }
  }
  // Transparent pixels are black in the colour rows, so that the screen
  // shows through the AND mask unchanged.
  if (black_out) {
    uint32_t black = 0;
    if (work.GetBitCount() <= 8) {
      const int32_t free = work.FreeIndex();
      if (free >= 0) {
        work.ColorTable[static_cast<size_t>(free)] = MakeQuad(0, 0, 0);
        work.CommitTable();
        black = static_cast<uint32_t>(free);
      } else {
        black = work.ChannelsToPixel(0, 0, 0);
      }
    }
    TPixelView v = work.WriteView();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (mask[static_cast<size_t>(y) * w + x] < 128) ViewSetPixel(v, x, y, black);
  }

  TKsMemoryStream bmp_stream;
  work.TDIB::SaveToStream(bmp_stream);
  std::vector<uint8_t> bmp = bmp_stream.TakeBytes();
  const int32_t bits = work.GetBitCount();
  if (bits == 32 && ReadLE32(&bmp[14 + 16]) == 3) {
    // The published icon form of 32 bits is plain RGB without bit-field masks.
    WriteLE32(&bmp[14 + 16], 0);
    bmp.erase(bmp.begin() + 14 + kInfoHeaderSize, bmp.begin() + 14 + kInfoHeaderSize + 12);
  }
  const int64_t colour_row = (int64_t{w} * bits + 31) / 32 * 4;
  const int64_t and_row = MaskRowSize(w);
  WriteLE32(&bmp[14 + 8], static_cast<uint32_t>(2 * h));
  WriteLE32(&bmp[14 + 20], static_cast<uint32_t>(h * (colour_row + and_row)));

  uint8_t head[22] = {};
  WriteLE16(head + 2, is_cursor ? 2 : 1);
  WriteLE16(head + 4, 1);
  head[6] = static_cast<uint8_t>(w);
  head[7] = static_cast<uint8_t>(h);
  head[8] = static_cast<uint8_t>(bits < 8 ? 1 << bits : 0);
  WriteLE16(head + 10, is_cursor ? static_cast<uint32_t>(hotspot.X) : 0);
  WriteLE16(head + 12, is_cursor ? static_cast<uint32_t>(hotspot.Y) : static_cast<uint32_t>(bits));
  WriteLE32(head + 14, static_cast<uint32_t>(static_cast<int64_t>(bmp.size()) - 14 + h * and_row));
  WriteLE32(head + 18, 22);
  stream.WriteBuffer(head, 22);
  stream.WriteBuffer(bmp.data() + 14, static_cast<int64_t>(bmp.size()) - 14);

  std::vector<uint8_t> row(static_cast<size_t>(and_row));
  for (int32_t y = h - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t m = mask[static_cast<size_t>(y) * w + x];
      if (bits == 32 ? m == 0 : m < 128)
        row[static_cast<size_t>(x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    stream.WriteBuffer(row.data(), and_row);
  }
}

TSurfaceFileFormat IconFileFormat(bool is_cursor) {
  TSurfaceFileFormat format;
  format.Load = [](TDIBSurface& surface, const std::string& path, bool split_alpha, bool allow_choice) {
    TKsMemoryStream s;
    s.LoadFromFile(path);
    TDIBSurface::TLoadResult result;
    int64_t key = kIconKeyColor;
    ReadIcon(surface, s, result.HotSpot, result.HasAlpha, split_alpha, key, allow_choice);
    result.TransparentColor = static_cast<int32_t>(key);
    return result;
  };
  format.Save = [is_cursor](TDIBSurface& surface, const std::string& path, TDIBSurface* alpha) {
    TKsMemoryStream s;
    WriteIcon(surface, s, is_cursor, TPoint{}, false, alpha, -1);
    s.SaveToFile(path);
  };
  return format;
}

TRgbaPicture SurfaceToRgba(TDIBSurface& surface, int64_t key) {
  TRgbaPicture out;
  if (surface.Empty()) return out;
  out.Width = surface.Width();
  out.Height = surface.Height();
  out.Pixels.resize(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4);
  TPixelView v = surface.ReadView();
  TPixelView a = surface.Alpha() != nullptr ? surface.Alpha()->ReadView() : TPixelView{};
  const TPixelFormat format{v.BitCount, reinterpret_cast<const uint8_t*>(surface.ImageTable().data())};
  uint8_t* p = out.Pixels.data();
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0; x < v.Width; ++x, p += 4) {
      const uint32_t px = ViewGetPixel(v, x, y);
      const uint32_t rgb = PixelToRGB888(px, format);
      p[0] = static_cast<uint8_t>(rgb >> 16);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb);
      p[3] = key >= 0 && px == key ? 0 : a.Bits != nullptr ? static_cast<uint8_t>(ViewGetPixel(a, x, y)) : 255;
    }
  return out;
}

}  // namespace orba
