// Brix image objects: frames and layers, composition, conversions after
// reading, trimming, copies into drawing surfaces and one-frame loaders.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/color_convert.h"
#include "graphics/depth_convert.h"
#include "graphics/jpeg_codec.h"
#include "graphics/png_codec.h"

namespace orba {

namespace {

const uint8_t* TableBytes(const TColorTable& table) { return reinterpret_cast<const uint8_t*>(table.data()); }

}  // namespace

[[noreturn]] void RaiseBrixIndexError(int64_t index) {
  // "リストのインデックスが範囲を超えています (%d)"
  throw EBrixError(std::string("\x83\x8a\x83X\x83g\x82\xcc\x83" "C\x83\x93\x83" "f\x83" "b\x83N\x83X\x82\xaa"
                               "\x94\xcd\x88\xcd\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7 (") +
                   std::to_string(index) + ")");
}

namespace {

// Sets alpha 0 wherever the surface's raw pixel equals Key.
void ClearAlphaAtKey(TDIBSurface& surface, int64_t key) {
  TPixelView pixels = surface.ReadView(), alpha = surface.Alpha()->WriteView();
  for (int32_t y = 0; y < pixels.Height; ++y)
    for (int32_t x = 0; x < pixels.Width; ++x)
      if (ViewGetPixel(pixels, x, y) == key) alpha.Row(y)[x] = 0;
}

// Changes a surface's depth, keeping its alpha plane as it is.
void ChangeDepthKeepingAlpha(TDIBSurface& surface, int32_t bits) {
  std::unique_ptr<TDIBSurface> alpha;
  if (surface.Alpha() != nullptr) {
    alpha = std::make_unique<TDIBSurface>();
    alpha->CopyPixels(*surface.Alpha());
  }
  surface.ChangeBitCount(bits);
  if (alpha) surface.AssignAlpha(*alpha);
}

// Copies the rows of an 8-bit plane into a bitmap of its size.
void CopyAlphaRows(TDIBSurface& alpha, const TPixelView& to) {
  TPixelView from = alpha.ReadView();
  for (int32_t y = 0; y < std::min(from.Height, to.Height); ++y)
    std::memcpy(to.Row(y), from.Row(y), static_cast<size_t>(std::min(from.Width, to.Width)));
}

// Whether every pixel of a 32-bit surface has its fourth byte zero (read
// without making the pixels private).
bool FourthBytesZero(TDIBSurface& surface) {
  const TPixelView v = surface.ReadView();
  for (int32_t y = 0; y < v.Height; ++y) {
    const uint8_t* row = v.Row(y);
    for (int32_t x = 0; x < v.Width; ++x)
      if (row[4 * x + 3] != 0) return false;
  }
  return true;
}

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

int32_t SurfacePixelColor(TDIBSurface& surface, uint32_t pixel) {
  const int32_t bits = surface.GetBitCount();
  if (bits <= 8) pixel &= (1u << bits) - 1;
  return static_cast<int32_t>(PixelToColor(pixel, TPixelFormat{bits, TableBytes(surface.ImageTable())}));
}

// ---- layers -------------------------------------------------------------------------

TBrixLayer::TBrixLayer(TBrixFrame* frame) : Frame(frame), Surface(std::make_unique<TDIBSurface>()) {}

void TBrixLayer::TransparentToAlpha(int32_t frame_key) {
  if (Surface->Alpha() != nullptr || Surface->Empty()) return;
  Surface->EnsureAlpha();
  Surface->FillAlpha();
  const int32_t key = TransparentColor >= 0 ? TransparentColor : frame_key;
  if (key >= 0) ClearAlphaAtKey(*Surface, key);
}

// ---- frames -------------------------------------------------------------------------

TBrixFrame::TBrixFrame(TBrixFrameList* owner) : Owner(owner) {}

TBrixLayer* TBrixFrame::GetLayer(int32_t index) const {
  if (index < 0 || index >= LayerCount()) RaiseBrixIndexError(index);
  return layers_[static_cast<size_t>(index)].get();
}

TBrixLayer* TBrixFrame::AddLayer() {
  layers_.push_back(std::make_unique<TBrixLayer>(this));
  return layers_.back().get();
}

int32_t TBrixFrame::GetWidth() const { return layers_.empty() ? Surface.Width() : layers_.front()->Surface->Width(); }
int32_t TBrixFrame::GetHeight() const {
  return layers_.empty() ? Surface.Height() : layers_.front()->Surface->Height();
}
int32_t TBrixFrame::GetBitCount() const {
  return layers_.empty() ? Surface.GetBitCount() : layers_.front()->Surface->GetBitCount();
}

void TBrixFrame::Compose(TBrixLayer& layer, int32_t index, bool& first) {
  if (!layer.Visible) return;
  TDIBSurface& source = *layer.Surface;
  const bool alpha = source.Alpha() != nullptr && layer.AlphaEnabled;
  if (alpha && first) {
    // The composite's own plane, a copy of the layer's.
    Owner->Charge(Surface.Width(), Surface.Height(), 8, false);
    Surface.AssignAlpha(*source.Alpha());
  }
  if (alpha && index > 0) {
    Surface.DrawAlphaMask(0, 0, 255, source.GetBounds(), source);
  } else if (layer.Opacity >= 255 && (layer.TransparentColor == -1 || (first && Owner->OpaqueBase))) {
    Surface.Draw(0, 0, source);
  } else {
    Surface.DrawAlpha(0, 0, layer.Opacity, layer.TransparentColor, source.GetBounds(), source);
  }
  first = false;
}

void TBrixFrame::TransparentToAlpha(bool also_layers) {
  if (Surface.Alpha() == nullptr && !Surface.Empty()) {
    Surface.EnsureAlpha();
    Surface.FillAlpha();
    if (TransparentPixel >= 0) ClearAlphaAtKey(Surface, TransparentPixel);
  }
  if (also_layers)
    for (auto& layer : layers_) layer->TransparentToAlpha(TransparentPixel);
}

TRect TBrixFrame::Trim() {
  const TRect whole = Surface.GetBounds();
  TRect bounds;
  if (Surface.Alpha() != nullptr) {
    TDIBSurface copy;
    copy.CopyPixels(*Surface.Alpha());
    bounds = copy.TrimToKey(0);
  } else {
    if (TransparentColor == -1) return whole;
    TDIBSurface copy;
    copy.CopyPixels(Surface);
    copy.FreeAlpha();
    bounds = copy.TrimToKey(TransparentPixel);
  }
  if (bounds == whole) return whole;
  Surface.Crop(bounds);
  for (std::vector<TRect>* list : {&RectsA, &RectsB}) {
    std::vector<TRect> kept;
    for (const TRect& r : *list) {
      TRect cut;
      IntersectRects(r, bounds, cut);
      if (RectIsEmpty(cut)) continue;
      kept.push_back(TRect{cut.Left - bounds.Left, cut.Top - bounds.Top, cut.Right - bounds.Left,
                           cut.Bottom - bounds.Top});
    }
    *list = std::move(kept);
  }
  return bounds;
}

void TBrixFrame::CopyToDIBX(TCustomDIBX& target) {
  target.SetSize(Surface.Width(), Surface.Height(), target.BitCount());
  const int32_t bits = Surface.GetBitCount();
  TPixelView to = target.LockView();
  if (to.Bits != nullptr) {
    TPixelView from = Surface.ReadView();
    if (to.BitCount == 32 && (bits == 24 || bits == 32)) {
      // The fourth byte of the target stays 0.
      for (int32_t y = 0; y < std::min(from.Height, to.Height); ++y)
        for (int32_t x = 0; x < std::min(from.Width, to.Width); ++x)
          StorePixelBytes(to.Row(y) + 4 * x, 4, ViewGetPixel(from, x, y) & 0xFFFFFF);
    } else {
      std::vector<uint8_t> palette(1024);
      target.GetPaletteEntries(palette.data());
      ConvertCopy(to, palette.data(), 0, 0, from, TableBytes(Surface.ImageTable()), Surface.GetBounds());
    }
    target.Unlock();
  }
  target.RectsA = RectsA;
  target.RectsB = RectsB;
}

void TBrixFrame::MoveToDIBX(TCustomDIBX& target) {
  const int32_t bits = Surface.GetBitCount();
  const TDIBChannelLayout& layout = Surface.CurrentLayout();
  const bool as_it_is = !Surface.Empty() && bits == target.BitCount() && (bits == 24 || bits == 32) &&
                        static_cast<uint32_t>(layout.RedMask) == target.RedMask() &&
                        static_cast<uint32_t>(layout.GreenMask) == target.GreenMask() &&
                        static_cast<uint32_t>(layout.BlueMask) == target.BlueMask();
  if (as_it_is && bits == 32 && !FourthBytesZero(Surface)) {
    // A copy keeps the fourth bytes zero; so does the picture given away.
    TPixelView v = Surface.WriteView();
    for (int32_t y = 0; y < v.Height; ++y) {
      uint8_t* row = v.Row(y);
      for (int32_t x = 0; x < v.Width; ++x) row[4 * x + 3] = 0;
    }
  }
  if (as_it_is) Surface.FreeAlpha();
  // A surface that cannot hold the pixels as they are gets a copy.
  if (!as_it_is || !target.TakeOver(Surface)) {
    CopyToDIBX(target);
    Surface.Clear();
    return;
  }
  Surface.Clear();
  target.RectsA = RectsA;
  target.RectsB = RectsB;
}

void TBrixFrame::MoveAlphaToDIBX(TDIBX& target) {
  if (Surface.Alpha() == nullptr) return;
  TDIBSurface& alpha = *Surface.Alpha();
  if (alpha.Empty() || alpha.BitCount() != 8) {
    CopyAlphaToDIBX(target);
  } else {
    target.TakeOver(alpha);
  }
  Surface.FreeAlpha();
}

void TBrixFrame::CopyAlphaToDIBX(TDIBX& target) {
  if (Surface.Alpha() == nullptr) return;
  target.SetSize(Surface.Width(), Surface.Height(), 8);
  CopyAlphaRows(*Surface.Alpha(), target.Surface().WriteView());
}

void TBrixFrame::CopyAlphaToDIB(TDIB& target) {
  if (Surface.Alpha() == nullptr) return;
  target.RequestedLayout = Layout888();
  target.SetSize(Surface.Width(), Surface.Height(), 8);
  if (target.Empty()) return;
  TPixelView to = MakePixelView(target.GetTopRow(), target.RowStep(), target.Width(), target.Height(), 8);
  CopyAlphaRows(*Surface.Alpha(), to);
}

// ---- images -------------------------------------------------------------------------

TBrixFrame* TBrixFrameList::GetFrame(int32_t index) const {
  if (index < 0 || index >= Count()) RaiseBrixIndexError(index);
  return frames_[static_cast<size_t>(index)].get();
}

TBrixFrame* TBrixFrameList::AddFrame() {
  frames_.push_back(std::make_unique<TBrixFrame>(this));
  return frames_.back().get();
}

void TBrixFrameList::TransparentToAlpha(bool also_layers) {
  // The planes this makes count in the picture's budget, all before any.
  for (auto& frame : frames_) {
    if (!frame->HasAlpha() && !frame->Surface.Empty())
      budget_.ChargeAsRead(frame->Surface.Width(), frame->Surface.Height(), 8);
    for (int32_t i = 0; also_layers && i < frame->LayerCount(); ++i) {
      TDIBSurface& layer = *frame->GetLayer(i)->Surface;
      if (layer.Alpha() == nullptr && !layer.Empty()) budget_.ChargeAsRead(layer.Width(), layer.Height(), 8);
    }
  }
  for (auto& frame : frames_) frame->TransparentToAlpha(also_layers);
}

void TBrixFrameList::FrameTransparentToAlpha(TBrixFrame& frame) {
  if (!frame.HasAlpha() && !frame.Surface.Empty())
    budget_.ChargeAsRead(frame.Surface.Width(), frame.Surface.Height(), 8);
  frame.TransparentToAlpha(false);
}

namespace {

int64_t LayerBytes(TDIBSurface& layer) {
  const int64_t alpha = layer.Alpha() != nullptr ? SurfaceBytes(layer.Width(), layer.Height(), 8) : 0;
  return SurfaceBytes(layer.Width(), layer.Height(), layer.GetBitCount()) + alpha;
}

}  // namespace

void TBrixFrameList::HandOver(int32_t index, const TTileSourceUses* uses) {
  TBrixFrame& frame = *frames_[static_cast<size_t>(index)];
  handed_bytes_ += OnFrameRead(frame);
  frame.Surface.Clear();
  for (int32_t k = 0; k < frame.LayerCount(); ++k) {
    TDIBSurface& layer = *frame.GetLayer(k)->Surface;
    int32_t last = INT32_MAX;  // unknown uses: kept to the end
    if (uses != nullptr) {
      const auto use = uses->find({index, k});
      last = use == uses->end() ? index : use->second;
    }
    if (last <= index) {
      layer.Clear();
      continue;
    }
    kept_layer_bytes_ += LayerBytes(layer);
    if (last != INT32_MAX) expiring_layers_[last].emplace_back(index, k);
  }
  // Layers whose last copier has been read.
  while (!expiring_layers_.empty() && expiring_layers_.begin()->first <= index) {
    for (const auto& [f, k] : expiring_layers_.begin()->second) {
      TDIBSurface& layer = *frames_[static_cast<size_t>(f)]->GetLayer(k)->Surface;
      kept_layer_bytes_ -= LayerBytes(layer);
      layer.Clear();
    }
    expiring_layers_.erase(expiring_layers_.begin());
  }
  budget_.Settle(handed_bytes_ + kept_layer_bytes_);
}

void TBrixFrameList::Charge(int32_t width, int32_t height, int32_t bits, bool kept) {
  if (kept) budget_.ChargeKept(width, height, bits);
  else budget_.ChargeAsRead(width, height, bits);
  load_pixels_ += int64_t{width} * height;
  if (!PlausiblePicture(load_pixels_, stored_bytes_, kMaxPixelsPerPackedByte))
    throw EBrixError("Brix: the image is larger than its data can describe");
}

void TBrixFrameList::ChargeSinglePicture(int32_t width, int32_t height, int32_t bits, bool alpha, int64_t work_bytes) {
  budget_.ChargeWork(work_bytes);
  budget_.ChargeKept(width, height, bits);
  if (alpha) budget_.ChargeAsRead(width, height, 8);
}

void TBrixFrameList::LoadFromStream(TKsBigStream& stream, bool first_frame_only, bool convert, bool keep_layers) {
  // Read into this list; give the old frames and fields back on failure.
  std::vector<std::unique_ptr<TBrixFrame>> old_frames = std::move(frames_);
  const int32_t old_version = Version, old_background = BackgroundColor;
  const uint8_t old_opaque = OpaqueBase;
  frames_.clear();
  budget_ = TPictureBudget(HeldBitCount);
  load_pixels_ = 0;
  stored_bytes_ = stream.Remaining();
  handed_bytes_ = kept_layer_bytes_ = 0;
  expiring_layers_.clear();
  try {
    ReadImage(stream, first_frame_only, convert, keep_layers);
  } catch (...) {  // cleaned up, then rethrown
    frames_ = std::move(old_frames);
    Version = old_version;
    BackgroundColor = old_background;
    OpaqueBase = old_opaque;
    throw;
  }
}

void TBrixFrameList::LoadFromFile(const std::string& file_name, bool first_frame_only, bool convert,
                                  bool keep_layers) {
  const std::string ext = LowerExtension(file_name);
  if (ext != ".brx" && ext != ".png" && ext != ".bmp" && ext != ".dib") return;
  TKsMemoryStream stream;
  stream.LoadFromFile(file_name);
  if (ext == ".brx") LoadFromStream(stream, first_frame_only, convert, keep_layers);
  else if (ext == ".png") LoadPNG(stream);
  else LoadBMP(stream);
}

void TBrixFrameList::SaveToFile(const std::string& file_name) {
  TKsMemoryStream stream;
  SaveToStream(stream, 0, 70);
  stream.SaveToFile(file_name);
}

void TBrixFrameList::ConvertFrame(TBrixFrame& frame, bool keep_layers) {
  if (frame.TransparentColor >= 0) frame.TransparentToAlpha(keep_layers);
  TDIBSurface& surface = frame.Surface;
  if (BitCountOverride > 0) {
    // Reduced to the depth asked for, dithered where the colours do not fit.
    if (frame.HasAlpha() || frame.TransparentColor == -1) {
      ConvertBitCount(surface, BitCountOverride, 0, true);
      if (keep_layers)
        for (int32_t i = 0; i < frame.LayerCount(); ++i)
          ConvertBitCount(*frame.GetLayer(i)->Surface, BitCountOverride, 0, true);
    }
    return;
  }
  if (surface.GetBitCount() > 8) return;
  int32_t found_x = -1, found_y = -1;
  if (frame.TransparentPixel >= 0) {
    TPixelView v = surface.ReadView();
    for (int32_t y = 0; y < v.Height && found_y < 0; ++y)
      for (int32_t x = 0; x < v.Width; ++x)
        if (ViewGetPixel(v, x, y) == static_cast<uint32_t>(frame.TransparentPixel)) {
          found_x = x;
          found_y = y;
          break;
        }
  }
  ChangeDepthKeepingAlpha(surface, 24);
  if (found_y >= 0) frame.TransparentPixel = static_cast<int32_t>(surface.GetPixel(found_x, found_y));
  if (keep_layers)
    for (int32_t i = 0; i < frame.LayerCount(); ++i) ChangeDepthKeepingAlpha(*frame.GetLayer(i)->Surface, 24);
}

// The decoder writes the picture once: the frame's surface takes over its
// pixels, and the alpha plane (255 opaque) is decoded straight into the
// surface's own.
void TBrixFrameList::LoadPNG(TKsBigStream& stream) {
  budget_ = TPictureBudget(HeldBitCount);
  auto frame = std::make_unique<TBrixFrame>(this);
  TDIBSurface& surface = frame->Surface;
  surface.EnsureAlpha();
  TDIBSurface& alpha = *surface.Alpha();
  int32_t key = -1;
  {
    TZelPNG png;
    png.OpacityAlpha = true;
    png.UseAlphaTarget(&alpha);
    png.RgbBitCount = HeldBitCount == 32 ? 32 : 24;
    png.OnPictureSize = [this](int32_t width, int32_t height, int32_t bits, bool with_alpha) {
      ChargeSinglePicture(width, height, bits, with_alpha, 0);
    };
    png.LoadFromStream(stream);
    key = png.TransparentColor;
    png.SetKeyColor(-1);
    surface.Assign(&png.Image);
    if (!png.AlphaLoaded || alpha.Empty() || alpha.Width() != surface.Width() || alpha.Height() != surface.Height())
      surface.FreeAlpha();
  }
  // A plane of the surface's own has an empty colour table.
  if (surface.Alpha() != nullptr) {
    surface.Alpha()->ColorTable = TColorTable{};
    surface.Alpha()->CommitTable();
  }
  if (key != -1 && !surface.Empty()) {
    const uint32_t r = static_cast<uint32_t>(key) & 0xFF, g = (static_cast<uint32_t>(key) >> 8) & 0xFF,
                   b = (static_cast<uint32_t>(key) >> 16) & 0xFF;
    if (surface.GetBitCount() > 8) frame->TransparentPixel = static_cast<int32_t>(surface.RGBToPixel(r, g, b));
    else if (key & 0x1000000) frame->TransparentPixel = key & 0xFFFFFF;
    else frame->TransparentPixel = static_cast<int32_t>(surface.ChannelsToPixel(r, g, b));
    frame->TransparentColor = SurfacePixelColor(surface, static_cast<uint32_t>(frame->TransparentPixel));
  }
  frames_.clear();
  frames_.push_back(std::move(frame));
}

void TBrixFrameList::ChargeBmp(TKsBigStream& stream) {
  // The file header (14 bytes), the info header's size, then its width,
  // height and depth: 16-bit fields in the 12-byte form, else 32-bit ones
  // (a negative height is a picture stored top down). A header that does
  // not parse is left to the reader to refuse.
  constexpr size_t kFileHeader = 14, kPeek = 30;
  constexpr uint32_t kCoreHeader = 12;
  uint8_t h[kPeek] = {};
  const int64_t start = stream.GetPosition();
  const int64_t got = stream.Read(h, kPeek);
  stream.SetPosition(start);
  if (got < static_cast<int64_t>(kPeek)) return;
  const auto le = [&h](size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | h[at + static_cast<size_t>(i)];
    return v;
  };
  const bool core = le(kFileHeader, 4) == kCoreHeader;
  const int64_t width = core ? le(18, 2) : static_cast<int32_t>(le(18, 4));
  int64_t height = core ? le(20, 2) : static_cast<int32_t>(le(22, 4));
  const int32_t bits = static_cast<int32_t>(core ? le(24, 2) : le(28, 2));
  if (height < 0) height = -height;
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX || bits < 1 || bits > 32) return;
  const auto w = static_cast<int32_t>(width), hh = static_cast<int32_t>(height);
  if (bits != 32) {
    budget_.ChargeKept(w, hh, bits);
    return;
  }
  // A 32-bit picture as read, its fourth bytes as an alpha plane, and the
  // 24-bit picture it becomes with that picture's copy.
  budget_.ChargeAsRead(w, hh, 32);
  budget_.ChargeAsRead(w, hh, 8);
  budget_.ChargeKept(w, hh, 24);
}

void TBrixFrameList::LoadBMP(TKsBigStream& stream) {
  budget_ = TPictureBudget(HeldBitCount);
  ChargeBmp(stream);
  auto frame = std::make_unique<TBrixFrame>(this);
  TDIBSurface& surface = frame->Surface;
  surface.LoadFromStream(stream);
  if (surface.BitCount() == 32 && !surface.Empty()) {
    TDIBSurface alpha;
    alpha.SetSize(surface.Width(), surface.Height(), 8);
    TPixelView from = surface.ReadView(), to = alpha.WriteView();
    for (int32_t y = 0; y < from.Height; ++y)
      for (int32_t x = 0; x < from.Width; ++x) to.Row(y)[x] = from.Row(y)[4 * x + 3];
    surface.ChangeBitCount(24);
    surface.AssignAlpha(alpha);
  }
  frames_.clear();
  frames_.push_back(std::move(frame));
}

void TBrixFrameList::LoadJPEG(TKsBigStream& stream) {
  budget_ = TPictureBudget(HeldBitCount);
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Remaining()));
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  auto frame = std::make_unique<TBrixFrame>(this);
  frame->Surface.LoadJpeg(bytes.data(), bytes.size(), HeldBitCount == 32 ? 32 : 24,
                          [this](int32_t width, int32_t height, int32_t bits, int64_t work_bytes) {
                            ChargeSinglePicture(width, height, bits, false, work_bytes);
                          });
  frames_.clear();
  frames_.push_back(std::move(frame));
}

TRgbaPicture BrixFrameToRgba(TBrixFrame& frame) {
  TRgbaPicture out;
  TDIBSurface& surface = frame.Surface;
  if (surface.Empty()) return out;
  out.Width = surface.Width();
  out.Height = surface.Height();
  out.Pixels.resize(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4);
  std::vector<uint8_t> rgb(static_cast<size_t>(out.Width) * 3);
  TPixelView alpha = surface.Alpha() != nullptr ? surface.Alpha()->ReadView() : TPixelView{};
  for (int32_t y = 0; y < out.Height; ++y) {
    surface.ReadRowRGB(y, rgb.data());
    uint8_t* dst = &out.Pixels[static_cast<size_t>(y) * static_cast<size_t>(out.Width) * 4];
    for (int32_t x = 0; x < out.Width; ++x, dst += 4) {
      std::memcpy(dst, &rgb[static_cast<size_t>(x) * 3], 3);
      dst[3] = alpha.Bits != nullptr ? alpha.Row(y)[x] : 255;
    }
  }
  return out;
}

}  // namespace orba
