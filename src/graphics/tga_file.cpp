#include "graphics/tga_file.h"

#include <algorithm>
#include <cstring>

#include "core/streams/byte_order.h"
#include "core/streams/stream_encoding.h"
#include "graphics/color_convert.h"
#include "graphics/graphic_errors.h"

namespace orba {

// "TGA:ファイルが壊れています"
const char* const kTgaDamagedText =
    "TGA:\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7";

namespace {

constexpr char kTgaSignature[] = "TRUEVISION-XFILE";
constexpr int64_t kExtensionAreaSize = 495;
constexpr int64_t kKeyColourOffset = 470;  // A, R, G, B

[[noreturn]] void Damaged() { throw EInvalidGraphic(kTgaDamagedText); }

// A 5-5-5 file pixel as a 5-6-5 surface pixel; `low_green` copies the lowest
// green bit of the file into the new lowest green bit.
uint32_t FileToSurface565(uint32_t v, bool low_green) {
  uint32_t p = ((v & 0x7C00) << 1) | ((v & 0x3E0) << 1) | (v & 31);
  if (low_green && (v & 0x20) != 0) p |= 0x20;
  return p;
}

// A 15- or 16-bit colour-map entry as 8-bit channels: each 5-bit field
// shifted up, its low three bits set when its lowest bit is.
TRGBQuad MapEntry16(uint32_t v) {
  auto widen = [](uint32_t c) { return static_cast<uint8_t>((c & 8) != 0 ? c | 7 : c); };
  return MakeQuad(widen((v & 0x7C00) >> 7), widen((v & 0x3E0) >> 2), widen((v & 31) * 8));
}

struct TTgaHeader {
  uint8_t IdLength, MapType, ImageType;
  uint32_t MapFirst, MapLength;
  uint8_t MapEntryBits;
  int32_t Width, Height;
  uint8_t Depth, Descriptor;
};

TTgaHeader ParseHeader(const uint8_t* h) {
  return TTgaHeader{h[0], h[1], h[2], ReadLE16(h + 3), ReadLE16(h + 5), h[7],
                    static_cast<int32_t>(ReadLE16(h + 12)), static_cast<int32_t>(ReadLE16(h + 14)),
                    h[16], h[17]};
}

// Where the pixel data ends and where the extension area lies (-1 none),
// from the TGA 2.0 footer when there is one.
struct TTgaTail {
  int64_t DataEnd;
  int64_t ExtensionArea = -1;
};

TTgaTail FindFooter(const std::vector<uint8_t>& file) {
  TTgaTail tail{static_cast<int64_t>(file.size())};
  int64_t i = static_cast<int64_t>(file.size()) - 1;
  while (i >= 0 && file[static_cast<size_t>(i)] == 0) --i;
  if (i < 24 || file[static_cast<size_t>(i)] != '.' ||
      std::memcmp(&file[static_cast<size_t>(i - 16)], kTgaSignature, 16) != 0)
    return tail;
  const int64_t extension = static_cast<int32_t>(ReadLE32(&file[static_cast<size_t>(i - 24)]));
  const int64_t developer = static_cast<int32_t>(ReadLE32(&file[static_cast<size_t>(i - 20)]));
  if (developer > 0) tail.DataEnd = developer;
  else if (extension > 0) tail.DataEnd = extension;
  if (tail.DataEnd > static_cast<int64_t>(file.size())) Damaged();
  if (extension > 0) {
    if (extension + kExtensionAreaSize > static_cast<int64_t>(file.size())) Damaged();
    tail.ExtensionArea = extension;
  }
  return tail;
}

// Expands run-length packets of `bpp`-byte pixels into `count` pixels.
std::vector<uint8_t> ExpandPackets(const uint8_t* data, int64_t size, int64_t count, int bpp) {
  std::vector<uint8_t> out(static_cast<size_t>(count * bpp));
  int64_t at = 0, done = 0;
  while (done < count) {
    if (at >= size) Damaged();
    const uint8_t head = data[at++];
    const int64_t n = std::min<int64_t>(head < 128 ? head + 1 : head - 127, count - done);
    if (head < 128) {
      if (at + n * bpp > size) Damaged();
      std::memcpy(&out[static_cast<size_t>(done * bpp)], data + at, static_cast<size_t>(n * bpp));
      at += (head + 1) * bpp;
    } else {
      if (at + bpp > size) Damaged();
      for (int64_t k = 0; k < n; ++k) std::memcpy(&out[static_cast<size_t>((done + k) * bpp)], data + at, bpp);
      at += bpp;
    }
    done += n;
  }
  return out;
}

}  // namespace

int64_t ReadTGA(TDIBSurface& surface, TKsBigStream& stream, TTgaInfo& info, bool split_alpha) {
  info = TTgaInfo{};
  const int64_t length = stream.Remaining();
  std::vector<uint8_t> file(static_cast<size_t>(length));
  stream.ReadBuffer(file.data(), length);
  if (length < 18) Damaged();
  const TTgaHeader h = ParseHeader(file.data());
  const int kind = h.ImageType & 7;
  if ((kind != 1 && kind != 2 && kind != 3) || (h.ImageType & ~0xB) != 0) return -1;
  const bool run_length = (h.ImageType & 8) != 0;

  // The bytes of one stored pixel and the surface depth. A 16-bit grey
  // pixel is a grey byte and an alpha byte: it becomes a 32-bit pixel with
  // that alpha as its fourth byte.
  const bool grey_alpha = kind == 3 && h.Depth == 16;
  const int32_t depth = grey_alpha ? 32 : h.Depth;
  if (kind == 2 ? (depth != 15 && depth != 16 && depth != 24 && depth != 32) : depth != 8 && !grey_alpha)
    Damaged();
  if (kind == 1 && h.MapType == 0) Damaged();
  const int bpp = (h.Depth + 7) / 8;

  int64_t map_bytes = 0;
  if (h.MapType != 0 && h.MapLength != 0) {
    if (h.MapEntryBits != 15 && h.MapEntryBits != 16 && h.MapEntryBits != 24 && h.MapEntryBits != 32) Damaged();
    map_bytes = int64_t{h.MapLength} * ((h.MapEntryBits + 7) / 8);
  }
  const int64_t map_start = 18 + int64_t{h.IdLength};
  const int64_t pixel_start = map_start + map_bytes;
  const TTgaTail tail = FindFooter(file);
  if (pixel_start > tail.DataEnd) Damaged();
  const int64_t data_size = tail.DataEnd - pixel_start;

  // Sizes are checked against the bytes there before anything is allocated.
  const int64_t pixels = int64_t{h.Width} * h.Height;
  const int64_t row_bytes = int64_t{h.Width} * bpp;
  if (run_length ? pixels > data_size * 128 : row_bytes * h.Height > data_size) Damaged();

  TColorTable table = kind == 3 ? GreyRamp() : TColorTable{};
  if (map_bytes > 0) {
    const int entry = (h.MapEntryBits + 7) / 8;
    const uint8_t* p = &file[static_cast<size_t>(map_start)];
    // Entries past index 255 do not fit the table; the pixels follow the whole map.
    for (uint32_t i = 0; i < h.MapLength && h.MapFirst + i < 256; ++i, p += entry) {
      TRGBQuad& q = table[h.MapFirst + i];
      if (entry == 2) q = MapEntry16(ReadLE16(p));
      else q = MakeQuad(p[2], p[1], p[0]);
    }
  }

  TDIBSurface image;
  image.ColorTable = table;
  image.SetSize(h.Width, h.Height, depth);
  image.CommitTable();
  if (image.Empty()) {
    surface.Clear();
    return -1;
  }

  std::vector<uint8_t> expanded;
  const uint8_t* rows = &file[static_cast<size_t>(pixel_start)];
  if (run_length) {
    info.RunLength = true;
    expanded = ExpandPackets(rows, data_size, pixels, bpp);
    rows = expanded.data();
  }
  TPixelView view = image.WriteView();
  for (int32_t y = 0; y < h.Height; ++y) {
    const uint8_t* from = rows + y * row_bytes;
    uint8_t* to = view.Row(y);
    if (grey_alpha) {
      for (int32_t x = 0; x < h.Width; ++x)
        StorePixelBytes(to + 4 * x, 4, from[2 * x] * 0x010101u | uint32_t{from[2 * x + 1]} << 24);
    } else if (depth == 15 || depth == 16) {
      for (int32_t x = 0; x < h.Width; ++x) {
        const uint32_t v = ReadLE16(from + 2 * x);
        WriteLE16(to + 2 * x, depth == 15 ? v & 0x7FFF : FileToSurface565(v, !run_length));
      }
    } else {
      std::memcpy(to, from, static_cast<size_t>(row_bytes));
    }
  }

  int64_t key = -1;
  if (tail.ExtensionArea >= 0) {
    const uint8_t* k = &file[static_cast<size_t>(tail.ExtensionArea + kKeyColourOffset)];
    key = image.ChannelsToPixel(k[1], k[2], k[3]);
  }
  if ((h.Descriptor & 0x10) != 0) image.FlipHorizontal();
  if ((h.Descriptor & 0x20) == 0) image.FlipVertical();

  if (split_alpha && depth == 32) {
    // The fourth byte is the TGA alpha: 0 transparent, 255 opaque, as the plane.
    TDIBSurface alpha;
    alpha.ColorTable = GreyRamp();
    alpha.SetSize(h.Width, h.Height, 8);
    alpha.CommitTable();
    TPixelView from = image.ReadView(), to = alpha.WriteView();
    for (int32_t y = 0; y < h.Height; ++y)
      for (int32_t x = 0; x < h.Width; ++x) to.Row(y)[x] = from.Row(y)[4 * x + 3];
    image.ChangeBitCount(24);
    image.AssignAlpha(alpha);
    info.AlphaSplit = true;
  }
  surface.CopyPixels(image);
  if (image.Alpha() == nullptr) surface.FreeAlpha();
  return key;
}

// ---- writer ---------------------------------------------------------------------------

uint32_t TPickPx::Pick() { return *at_++; }

uint32_t TPickPx16::Pick() {
  const uint32_t v = ReadLE16(at_);
  at_ += 2;
  return v;
}

uint32_t TPickPx24::Pick() {
  // A 32-bit read of which the three pixel bytes are kept.
  const uint32_t v = at_[0] | (at_[1] << 8) | (at_[2] << 16);
  at_ += 3;
  return v & 0xFFFFFF;
}

uint32_t TPickPx32::Pick() {
  const uint32_t v = ReadLE32(at_);
  at_ += 4;
  return v;
}

void TPxList::Start(uint32_t value) {
  runs_.push_back(1);
  value_ = value;
  full_ = false;
}

void TPxList::Extend() {
  if (runs_.empty()) return;
  if (++runs_.back() >= 128) full_ = true;
}

bool TPxList::Matches(uint32_t value) const { return !runs_.empty() && !full_ && value == value_; }

bool TPxList::NextPacket(bool& is_run, int32_t& count) {
  if (read_ >= runs_.size()) return false;
  if (runs_[read_] >= 2) {
    is_run = true;
    count = runs_[read_++];
    return true;
  }
  is_run = false;
  count = 0;
  while (read_ < runs_.size() && runs_[read_] == 1 && count < 128) {
    ++count;
    ++read_;
  }
  return true;
}

namespace {

std::unique_ptr<TPickPx> MakePicker(int bpp, const uint8_t* at) {
  switch (bpp) {
    case 2: return std::make_unique<TPickPx16>(at);
    case 3: return std::make_unique<TPickPx24>(at);
    case 4: return std::make_unique<TPickPx32>(at);
    default: return std::make_unique<TPickPx>(at);
  }
}

// The pixels packed row after row without padding, in the file's layout.
std::vector<uint8_t> PackPixels(TDIBSurface& surface, TDIBSurface* alpha, int bpp) {
  const int32_t bits = surface.GetBitCount();
  const int32_t w = surface.Width(), h = surface.Height();
  std::vector<uint8_t> out(static_cast<size_t>(int64_t{w} * h * bpp));
  TPixelView v = surface.ReadView();
  const TPixelFormat format{bits, reinterpret_cast<const uint8_t*>(surface.ImageTable().data())};
  TPixelView a = alpha != nullptr ? alpha->ReadView() : TPixelView{};
  uint8_t* p = out.data();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x, p += bpp) {
      const uint32_t px = ViewGetPixel(v, x, y);
      if (alpha != nullptr) {
        // The alpha plane goes into the fourth byte as it is (255 opaque).
        StorePixelBytes(p, 4, PixelToRGB888(px, format) | ViewGetPixel(a, x, y) << 24);
      } else if (bits == 32) {
        // Without an alpha plane a 32-bit picture is written opaque, so that
        // readers taking the fourth byte as alpha see it whole.
        StorePixelBytes(p, 4, px | 0xFF000000u);
      } else if (bits == 16) {
        // 5-6-5 to the file's 5-5-5: the lowest green bit is dropped.
        StorePixelBytes(p, 2, ((px & 0xF800) >> 1) | ((px & 0x7C0) >> 1) | (px & 31));
      } else {
        StorePixelBytes(p, bpp, px);
      }
    }
  return out;
}

}  // namespace

void WriteTGA(TDIBSurface& surface, TKsBigStream& stream, int64_t transparent_color, bool run_length,
              TDIBSurface* alpha) {
  const int64_t base = stream.GetPosition();
  const int32_t bits = surface.GetBitCount();
  if (alpha != nullptr && (alpha->Empty() || alpha->Width() != surface.Width() ||
                           alpha->Height() != surface.Height() || alpha->BitCount() != 8))
    alpha = nullptr;
  const bool mapped = bits <= 8 && alpha == nullptr;
  const int bpp = alpha != nullptr ? 4 : mapped ? 1 : (bits + 7) / 8;
  const int32_t map_length = mapped ? 1 << bits : 0;

  uint8_t h[18] = {};
  h[1] = mapped ? 1 : 0;
  h[2] = static_cast<uint8_t>((mapped ? 1 : 2) + (run_length ? 8 : 0));
  WriteLE16(h + 5, static_cast<uint32_t>(map_length));
  h[7] = mapped ? 24 : 0;
  WriteLE16(h + 12, static_cast<uint32_t>(surface.Width()));
  WriteLE16(h + 14, static_cast<uint32_t>(surface.Height()));
  h[16] = static_cast<uint8_t>(bpp * 8);
  // Top-left origin; a written alpha plane is declared as 8 attribute bits.
  h[17] = alpha != nullptr ? 0x28 : 0x20;
  stream.WriteBuffer(h, 18);
  for (int32_t i = 0; i < map_length; ++i) {
    const TRGBQuad& q = surface.ImageTable()[static_cast<size_t>(i)];
    const uint8_t e[3] = {q.Blue, q.Green, q.Red};
    stream.WriteBuffer(e, 3);
  }

  if (!surface.Empty()) {
    const std::vector<uint8_t> packed = PackPixels(surface, alpha, bpp);
    if (!run_length) {
      stream.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
    } else {
      // Packets are planned row by row: TGA 2.0 readers expect no packet
      // to cross the end of a row.
      std::vector<uint8_t> out;
      const uint8_t* at = packed.data();
      for (int32_t y = 0; y < surface.Height(); ++y) {
        TPxList list;
        std::unique_ptr<TPickPx> pick = MakePicker(bpp, at);
        for (int32_t x = 0; x < surface.Width(); ++x) {
          const uint32_t v = pick->Pick();
          if (list.Matches(v)) list.Extend();
          else list.Start(v);
        }
        list.Reset();
        bool is_run = false;
        int32_t n = 0;
        while (list.NextPacket(is_run, n)) {
          out.push_back(static_cast<uint8_t>(is_run ? 127 + n : n - 1));
          const int64_t bytes = is_run ? bpp : int64_t{n} * bpp;
          out.insert(out.end(), at, at + bytes);
          at += int64_t{n} * bpp;
        }
      }
      stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
    }
  }

  uint32_t extension_offset = 0;
  if (alpha == nullptr && transparent_color >= 0) {
    extension_offset = static_cast<uint32_t>(stream.GetPosition() - base);
    uint8_t area[kExtensionAreaSize] = {};
    WriteLE16(area, kExtensionAreaSize);
    uint8_t r = 0, g = 0, b = 0;
    surface.PixelToChannels(static_cast<uint32_t>(transparent_color), r, g, b);
    area[kKeyColourOffset + 1] = r;
    area[kKeyColourOffset + 2] = g;
    area[kKeyColourOffset + 3] = b;
    stream.WriteBuffer(area, kExtensionAreaSize);
  }
  uint8_t footer[26] = {};
  WriteLE16(footer, extension_offset);
  WriteLE16(footer + 2, extension_offset >> 16);
  std::memcpy(footer + 8, kTgaSignature, 16);
  footer[24] = '.';
  stream.WriteBuffer(footer, 26);
}

TSurfaceFileFormat TgaFileFormat() {
  TSurfaceFileFormat format;
  format.Load = [](TDIBSurface& surface, const std::string& path, bool split_alpha, bool) {
    TKsMemoryStream s;
    s.LoadFromFile(path);
    TTgaInfo info;
    ReadTGA(surface, s, info, split_alpha);
    TDIBSurface::TLoadResult result;  // the key of a TGA file is not handed on by extension
    result.HasAlpha = info.AlphaSplit;
    return result;
  };
  format.Save = [](TDIBSurface& surface, const std::string& path, TDIBSurface* alpha) {
    TKsMemoryStream s;
    WriteTGA(surface, s, -1, false, alpha);
    s.SaveToFile(path);
  };
  return format;
}

}  // namespace orba
