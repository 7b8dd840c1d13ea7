#include "graphics/dib_surface.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "graphics/color_convert.h"
#include "graphics/draw_kernels_bitmap.h"
#include "graphics/icon_file.h"
#include "graphics/palette.h"
#include "graphics/tga_file.h"

namespace orba {

namespace {

bool IsDirectDepth(int32_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

const uint8_t* TableBytes(const TColorTable& table) {
  return reinterpret_cast<const uint8_t*>(table.data());
}

// A view of any bitmap's pixels, top row first (reading does not copy).
TPixelView PeekView(TDIB& dib, int32_t effective_bits) {
  if (dib.Empty() || dib.Compressed()) dib.ExpandRunLength();
  if (dib.Empty()) return {};
  const TDIBChannelLayout& f = dib.CurrentLayout();
  return TPixelView{const_cast<uint8_t*>(dib.PeekTopRow()),
                    dib.RowStep(),
                    dib.Width(),
                    dib.Height(),
                    effective_bits,
                    static_cast<uint32_t>(f.RedMask),
                    static_cast<uint32_t>(f.GreenMask),
                    static_cast<uint32_t>(f.BlueMask)};
}

int32_t EffectiveBitCount(const TDIB& dib) {
  return dib.BitCount() == 16 && dib.CurrentLayout().GreenMask == 0x3E0 ? 15 : dib.BitCount();
}

std::map<std::string, TSurfaceFileFormat>& FileFormats() {
  static std::map<std::string, TSurfaceFileFormat> formats{
      {".tga", TgaFileFormat()}, {".ico", IconFileFormat(false)}, {".cur", IconFileFormat(true)}};
  return formats;
}

std::string LowerExtension(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

const TSurfaceFileFormat* FindFormat(const std::string& path) {
  auto it = FileFormats().find(LowerExtension(path));
  return it == FileFormats().end() ? nullptr : &it->second;
}

// Copies `rows` rows of `bytes` bytes between two views.
void CopyRows(const TPixelView& to, const TPixelView& from, int32_t rows, size_t bytes) {
  for (int32_t y = 0; y < rows; ++y) std::memcpy(to.Row(y), from.Row(y), bytes);
}

}  // namespace

void RegisterSurfaceFileFormat(const std::string& extension, TSurfaceFileFormat format) {
  std::string ext = extension;
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  FileFormats()[ext] = std::move(format);
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  if (bit_count == 15) {
    RequestedLayout = Layout555();
    TDIB::SetSize(width, height, 16);
  } else if (bit_count == 16) {
    RequestedLayout = Layout565();
    TDIB::SetSize(width, height, 16);
  } else {
    RequestedLayout = Layout888();
    TDIB::SetSize(width, height, bit_count);
  }
  if (FAlpha) FAlpha->SetSize(width, height, 8);
}

void TDIBSurface::Clear() {
  TDIB::Clear();
  FreeAlpha();
}

int32_t TDIBSurface::GetBitCount() const { return EffectiveBitCount(*this); }

void TDIBSurface::ChangeBitCount(int32_t bit_count) {
  const int32_t current = GetBitCount();
  if (bit_count == current) return;
  if (bit_count < 1) {
    Clear();
    return;
  }
  if (Empty()) {
    SetSize(std::max(Width(), 1), std::max(Height(), 1), bit_count);
    return;
  }
  if (!IsDirectDepth(bit_count)) {
    RequestedLayout = Layout888();
    TDIB::SetBitCount(bit_count);
    return;
  }
  // To a direct-colour depth: through the one conversion rule.
  TDIB old;
  old.Assign(this);
  SetSize(Width(), Height(), bit_count);
  TPixelView from = PeekView(old, EffectiveBitCount(old));
  ConvertCopy(WriteView(), nullptr, 0, 0, from, TableBytes(old.ImageTable()), GetBounds());
}

// ---- alpha plane ----------------------------------------------------------------

void TDIBSurface::EnsureAlpha() {
  if (!FAlpha) FAlpha = std::make_unique<TDIBSurface>();
  if (FAlpha->Width() != Width() || FAlpha->Height() != Height() || FAlpha->BitCount() != 8)
    FAlpha->SetSize(Width(), Height(), 8);
}

void TDIBSurface::FillAlpha() {
  if (!FAlpha || FAlpha->Empty()) return;
  TPixelView v = FAlpha->WriteView();
  for (int32_t y = 0; y < v.Height; ++y) std::memset(v.Row(y), 0xFF, static_cast<size_t>(std::abs(v.Pitch)));
}

void TDIBSurface::AssignAlpha(TDIBSurface& source8) {
  EnsureAlpha();
  if (FAlpha->Empty() || source8.BitCount() != 8) return;
  TPixelView to = FAlpha->WriteView(), from = source8.ReadView();
  int32_t rows = std::min(to.Height, from.Height);
  CopyRows(to, from, rows, static_cast<size_t>(std::min(std::abs(to.Pitch), std::abs(from.Pitch))));
}

void TDIBSurface::CopyAlphaRect(TDIBSurface& source_alpha, const TRect& rect) {
  EnsureAlpha();
  if (FAlpha->Empty() || source_alpha.BitCount() != 8 || source_alpha.Empty()) return;
  TPixelView to = FAlpha->WriteView(), from = source_alpha.ReadView();
  // Source column `left` lands at alpha column `left - rect.Left`.
  const int64_t left = std::max(rect.Left, 0);
  const int64_t offset = left - rect.Left;
  const int64_t width = std::min<int64_t>({int64_t{rect.Right}, from.Width, to.Width + int64_t{rect.Left}}) - left;
  if (width <= 0) return;
  for (int64_t y = std::max(rect.Top, 0); y < rect.Bottom && y < from.Height; ++y) {
    const int64_t row = y - rect.Top;
    if (row >= to.Height) break;
    std::memcpy(to.Row(static_cast<int32_t>(row)) + offset, from.Row(static_cast<int32_t>(y)) + left,
                static_cast<size_t>(width));
  }
}

// ---- pixels and colours ------------------------------------------------------------

void TDIBSurface::PixelToChannels(uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b) const {
  switch (GetBitCount()) {
    case 15:
      r = static_cast<uint8_t>((pixel >> 10) & 31);
      g = static_cast<uint8_t>((pixel >> 5) & 31);
      b = static_cast<uint8_t>(pixel & 31);
      return;
    case 16:
      r = static_cast<uint8_t>((pixel >> 11) & 31);
      g = static_cast<uint8_t>((pixel >> 5) & 63);
      b = static_cast<uint8_t>(pixel & 31);
      return;
    case 24:
      r = static_cast<uint8_t>(pixel >> 16);
      g = static_cast<uint8_t>(pixel >> 8);
      b = static_cast<uint8_t>(pixel);
      return;
    case 32: return;
    default: {
      const TRGBQuad& q = ImageTable()[pixel & 0xFF];
      r = q.Red;
      g = q.Green;
      b = q.Blue;
    }
  }
}

uint32_t TDIBSurface::ChannelsToPixel(uint32_t r, uint32_t g, uint32_t b) const {
  switch (GetBitCount()) {
    case 15: return (r & 31) << 10 | (g & 31) << 5 | (b & 31);
    case 16: return (r & 31) << 11 | (g & 63) << 5 | (b & 31);
    case 24:
    case 32: return (r & 255) << 16 | (g & 255) << 8 | (b & 255);
    default:
      return static_cast<uint32_t>(ClosestEntry(ImageTable().data(), (r & 255) | (g & 255) << 8 | (b & 255) << 16,
                                                std::max(EntryCount(), 1)));
  }
}

void TDIBSurface::PixelToRGB(uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b, bool fill_low_bits) const {
  auto fill = [&](uint32_t v, uint32_t low) {
    return static_cast<uint8_t>(fill_low_bits && v != 0 ? (v | low) : v);
  };
  switch (GetBitCount()) {
    case 15:
      b = fill((pixel & 31) * 8, 7);
      g = fill((pixel & 0x3E0) >> 2, 7);
      r = fill((pixel & 0x7C00) >> 7, 7);
      return;
    case 16:
      b = fill((pixel & 31) * 8, 7);
      g = fill((pixel & 0x7E0) >> 3, 3);
      r = fill((pixel & 0xF800) >> 8, 7);
      return;
    case 24:
    case 32:
      r = static_cast<uint8_t>(pixel >> 16);
      g = static_cast<uint8_t>(pixel >> 8);
      b = static_cast<uint8_t>(pixel);
      return;
    default: PixelToChannels(pixel, r, g, b);
  }
}

uint32_t TDIBSurface::RGBToPixel(uint32_t r, uint32_t g, uint32_t b) const {
  r &= 255;
  g &= 255;
  b &= 255;
  switch (GetBitCount()) {
    case 16: return b >> 3 | ((g << 3) & 0x7E0) | ((r << 8) & 0xF800);
    case 15: return b >> 3 | ((g << 2) & 0x3E0) | ((r << 7) & 0x7C00);
    case 24:
    case 32: return b | g << 8 | r << 16;
    default: return ChannelsToPixel(r, g, b);
  }
}

// ---- copies and geometry ---------------------------------------------------------------

void TDIBSurface::AssignSurface(TDIBSurface& source) {
  SetSize(source.Width(), source.Height(), source.GetBitCount());
  ColorTable = source.ImageTable();
  CommitTable();
  Draw(0, 0, source);
  if (source.Alpha() != nullptr) AssignAlpha(*source.Alpha());
  else FreeAlpha();
}

void TDIBSurface::CopyPixels(TDIB& source) {
  RequestedLayout = source.CurrentLayout();
  ColorTable = source.ImageTable();
  TDIB::SetSize(source.Width(), source.Height(), source.BitCount());
  CommitTable();
  if (!Empty() && !source.Empty()) {
    TPixelView to = WriteView(), from = PeekView(source, EffectiveBitCount(source));
    CopyRows(to, from, to.Height, static_cast<size_t>(RowSize()));
  }
  auto* surface = dynamic_cast<TDIBSurface*>(&source);
  if (surface != nullptr && surface->Alpha() != nullptr && !Empty()) AssignAlpha(*surface->Alpha());
  else FreeAlpha();
}

void TDIBSurface::CopyRect(TDIBSurface& source, const TRect& rect, bool with_alpha) {
  // Copy on write keeps the source's pixels when it is this surface.
  TDIBSurface old;
  old.Assign(&source);
  TDIBSurface* old_alpha = source.Alpha();
  std::unique_ptr<TDIBSurface> kept_alpha;
  if (&source == this) kept_alpha = std::move(FAlpha), old_alpha = kept_alpha.get();
  SetSize(rect.Right - rect.Left, rect.Bottom - rect.Top, source.GetBitCount());
  ColorTable = old.ImageTable();
  CommitTable();
  BitmapCopyArea(WriteView(), 0, 0, rect, old.ReadView());
  if (with_alpha && old_alpha != nullptr) CopyAlphaRect(*old_alpha, rect);
  if (!FAlpha && kept_alpha) {
    FAlpha = std::move(kept_alpha);
    FAlpha->SetSize(Width(), Height(), 8);
  }
}

void TDIBSurface::Crop(const TRect& rect) {
  TDIBSurface cropped;
  cropped.CopyRect(*this, rect, true);
  FreeAlpha();
  CopyRect(cropped, cropped.GetBounds(), true);
}

TRect TDIBSurface::OpaqueBounds(int64_t key) {
  if (key < 0 || Empty()) return GetBounds();
  TPixelView v = ReadView();
  auto column_has = [&](int32_t x) {
    for (int32_t y = 0; y < v.Height; ++y)
      if (ViewGetPixel(v, x, y) != key) return true;
    return false;
  };
  auto row_has = [&](int32_t y, int32_t l, int32_t r) {
    for (int32_t x = l; x < r; ++x)
      if (ViewGetPixel(v, x, y) != key) return true;
    return false;
  };
  int32_t l = 0, r = v.Width, t = 0, b = v.Height;
  while (l < r && !column_has(l)) ++l;
  if (l == r) return TRect{};
  while (!column_has(r - 1)) --r;
  while (!row_has(t, l, r)) ++t;
  while (!row_has(b - 1, l, r)) --b;
  return TRect{l, t, r, b};
}

TRect TDIBSurface::TrimToKey(int64_t key) {
  TRect r = OpaqueBounds(key);
  if (r == GetBounds()) return r;
  if (RectIsEmpty(r)) r = TRect{0, 0, 1, 1};
  Crop(r);
  return r;
}

void TDIBSurface::FlipHorizontal() {
  if (Empty()) return;
  TPixelView v = WriteView();
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0, m = v.Width - 1; x < m; ++x, --m) {
      uint32_t a = ViewGetPixel(v, x, y);
      ViewSetPixel(v, x, y, ViewGetPixel(v, m, y));
      ViewSetPixel(v, m, y, a);
    }
  // The alpha plane belongs to the pixels and turns with them.
  if (FAlpha) FAlpha->FlipHorizontal();
}

void TDIBSurface::FlipVertical() {
  if (Empty()) return;
  TPixelView v = WriteView();
  std::vector<uint8_t> row(static_cast<size_t>(RowSize()));
  for (int32_t y = 0, m = v.Height - 1; y < m; ++y, --m) {
    std::memcpy(row.data(), v.Row(y), row.size());
    std::memcpy(v.Row(y), v.Row(m), row.size());
    std::memcpy(v.Row(m), row.data(), row.size());
  }
  if (FAlpha) FAlpha->FlipVertical();
}

// ---- draws ------------------------------------------------------------------------------

void TDIBSurface::Draw(int32_t x, int32_t y, TDIBSurface& source) {
  CopyArea(x, y, source.GetBounds(), source);
}

void TDIBSurface::CopyArea(int32_t x, int32_t y, const TRect& src_rect, TDIBSurface& source) {
  TDIBSurface old;
  old.Assign(&source);
  BitmapCopyArea(WriteView(), x, y, src_rect, old.ReadView());
}

void TDIBSurface::DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& src_rect, TDIBSurface& source) {
  TDIBSurface old;
  old.Assign(&source);
  BitmapDrawKeyed(WriteView(), x, y, key, src_rect, old.ReadView());
}

void TDIBSurface::DrawAlpha(int32_t x, int32_t y, int32_t opacity, int64_t key, const TRect& src_rect,
                            TDIBSurface& source) {
  TDIBSurface old;
  old.Assign(&source);
  BitmapDrawAlpha(WriteView(), x, y, opacity, key, src_rect, old.ReadView());
}

void TDIBSurface::DrawAlphaMask(int32_t x, int32_t y, int32_t opacity, const TRect& src_rect,
                                TDIBSurface& source) {
  TDIBSurface old;
  old.Assign(&source);
  TPixelView alpha = source.Alpha() != nullptr ? source.Alpha()->ReadView() : TPixelView{};
  BitmapDrawAlphaMask(WriteView(), x, y, opacity, src_rect, old.ReadView(), alpha);
}

void TDIBSurface::FillRect(const TRect& rect, uint32_t pixel) { BitmapFillRect(WriteView(), rect, pixel); }

void TDIBSurface::StretchToView(const TPixelView& target, const uint8_t* target_palette, const TRect& dst_rect,
                                const TRect& src_rect) {
  ConvertStretch(target, target_palette, dst_rect, ReadView(), TableBytes(ImageTable()), src_rect);
}

// ---- colour statistics ----------------------------------------------------------------------

int32_t TDIBSurface::CountColors() {
  if (Empty()) return 0;
  TPixelView v = ReadView();
  const int32_t bits = v.BitCount;
  // Distinct values of the pixels' low bits; a 4-bit picture stops once all
  // sixteen were met.
  const uint32_t mask = bits >= 24 ? 0xFFFFFFu : bits > 8 ? 0xFFFFu : 0xFFu;
  const int32_t stop = bits == 4 ? 16 : INT32_MAX;
  std::vector<bool> seen(size_t{mask} + 1);
  int32_t count = 0;
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0; x < v.Width; ++x) {
      const uint32_t p = ViewGetPixel(v, x, y) & mask;
      if (seen[p]) continue;
      seen[p] = true;
      if (++count >= stop) return count;
    }
  return count;
}

std::vector<uint32_t> TDIBSurface::CollectColors() {
  std::vector<uint32_t> colours;
  if (Empty()) return colours;
  TPixelView v = ReadView();
  const int32_t bits = v.BitCount;
  if (bits == 32) return colours;
  std::vector<bool> seen(bits >= 24 ? (size_t{1} << 24) : size_t{65536});
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0; x < v.Width; ++x) {
      uint32_t p = ViewGetPixel(v, x, y) & 0xFFFFFF;
      if (seen[p]) continue;
      seen[p] = true;
      uint8_t r, g, b;
      PixelToRGB(p, r, g, b, true);
      colours.push_back(static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16);
    }
  return colours;
}

int32_t TDIBSurface::FreeIndex() {
  const int32_t bits = GetBitCount();
  if (bits > 8 || Empty()) return -1;
  std::vector<bool> used(256);
  TPixelView v = ReadView();
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0; x < v.Width; ++x) used[ViewGetPixel(v, x, y) & 0xFF] = true;
  for (int32_t i = 0; i < (1 << bits); ++i)
    if (!used[static_cast<size_t>(i)]) return i;
  return -1;
}

// ---- files ------------------------------------------------------------------------------------

TDIBSurface::TLoadResult TDIBSurface::LoadFromFileEx(const std::string& path, bool split_alpha,
                                                     bool allow_choice) {
  Clear();
  if (const TSurfaceFileFormat* format = FindFormat(path); format != nullptr && format->Load)
    return format->Load(*this, path, split_alpha, allow_choice);
  TLoadResult result;
  TDIB::LoadFromFile(path);
  if (split_alpha && BitCount() == 32 && !Empty()) {
    EnsureAlpha();
    TPixelView from = ReadView(), to = FAlpha->WriteView();
    for (int32_t y = 0; y < from.Height; ++y)
      for (int32_t x = 0; x < from.Width; ++x) to.Row(y)[x] = from.Row(y)[4 * x + 3];
    std::unique_ptr<TDIBSurface> alpha = std::move(FAlpha);
    ChangeBitCount(24);
    FAlpha = std::move(alpha);
    result.HasAlpha = true;
  }
  return result;
}

void TDIBSurface::SaveToFileEx(const std::string& path, TDIBSurface* alpha) {
  if (const TSurfaceFileFormat* format = FindFormat(path); format != nullptr && format->Save) {
    format->Save(*this, path, alpha);
    return;
  }
  if (alpha == nullptr || alpha->Empty() || Empty()) {
    TDIB::SaveToFile(path);
    return;
  }
  TDIBSurface deep;
  deep.SetSize(Width(), Height(), 32);
  ConvertCopy(deep.WriteView(), nullptr, 0, 0, ReadView(), TableBytes(ImageTable()), GetBounds());
  TPixelView to = deep.WriteView(), from = alpha->ReadView();
  for (int32_t y = 0; y < std::min(to.Height, from.Height); ++y)
    for (int32_t x = 0; x < std::min(to.Width, from.Width); ++x) to.Row(y)[4 * x + 3] = from.Row(y)[x];
  deep.TDIB::SaveToFile(path);
}

void TDIBSurface::LoadJpeg(const uint8_t* data, size_t size, int32_t colour_bits, const TJpegPlan& plan) {
  const bool wide = colour_bits == 32;
  struct TSurfaceSink final : TJpegRowSink {
    TDIBSurface& Surface;
    const TJpegPlan& OnPlan;
    int32_t ColourBits;
    TPixelView View{};
    TSurfaceSink(TDIBSurface& surface, const TJpegPlan& plan, int32_t bits)
        : Surface(surface), OnPlan(plan), ColourBits(bits) {}
    void Plan(int32_t width, int32_t height, int32_t components, int64_t work_bytes) override {
      if (OnPlan) OnPlan(width, height, components == 1 ? 8 : ColourBits, work_bytes);
    }
    void Start(int32_t width, int32_t height, int32_t components) override {
      Surface.FreeAlpha();
      if (components == 1) {
        Surface.ColorTable = GreyRamp();
        Surface.SetSize(width, height, 8);
        Surface.CommitTable();
      } else {
        Surface.SetSize(width, height, ColourBits);
      }
      View = Surface.WriteView();
    }
    uint8_t* Row(int32_t y) override { return View.Row(y); }
  } sink(*this, plan, wide ? 32 : 24);
  DecodeJpegRows(data, size, wide ? EJpegColourOrder::kBgrx : EJpegColourOrder::kBgr, sink);
  if (!wide || GetBitCount() != 32 || Empty()) return;
  // libjpeg fills the fourth bytes; a 32-bit picture of this system keeps
  // them zero.
  TPixelView v = WriteView();
  for (int32_t y = 0; y < v.Height; ++y) {
    uint8_t* row = v.Row(y);
    for (int32_t x = 0; x < v.Width; ++x) row[4 * x + 3] = 0;
  }
}

TJpegImage TDIBSurface::ToJpegImage() {
  TJpegImage image;
  if (Empty()) return image;
  image.Width = Width();
  image.Height = Height();
  image.Components = 3;
  image.Pixels.resize(static_cast<size_t>(Width()) * static_cast<size_t>(Height()) * 3);
  TPixelView v = ReadView();
  TPixelFormat format{v.BitCount, TableBytes(ImageTable())};
  uint8_t* out = image.Pixels.data();
  for (int32_t y = 0; y < v.Height; ++y)
    for (int32_t x = 0; x < v.Width; ++x, out += 3) {
      uint32_t rgb = PixelToRGB888(ViewGetPixel(v, x, y), format);
      out[0] = static_cast<uint8_t>(rgb >> 16);
      out[1] = static_cast<uint8_t>(rgb >> 8);
      out[2] = static_cast<uint8_t>(rgb);
    }
  return image;
}

TPixelView TDIBSurface::WriteView() {
  if (Empty()) return {};
  TPixelView v = PeekView(*this, GetBitCount());
  v.Bits = GetTopRow();
  return v;
}

TPixelView TDIBSurface::ReadView() { return PeekView(*this, GetBitCount()); }

}  // namespace orba
