#include "items/brix_cache.h"

#include <algorithm>

#include "core/errors.h"
#include "core/files/file_limits.h"
#include "core/files/vr_file_manager.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "graphics/brix.h"
#include "graphics/dx_dibx.h"
#include "graphics/picture_budget.h"
#include "platform/text_convert.h"
#include "script/save/save_versions.h"

namespace orba {

namespace {

const char kMaskSuffix[] = "?m";
const char kTrimSuffix[] = "?t";

TBrixCollection* g_cache = nullptr;

// The largest picture file read: a picture of the largest surfaces the
// decoders make (256 MiB), stored plainly, with room for its headers and
// palette. The bytes are held only while the picture is decoded.
constexpr int64_t kMaxPictureFileBytes = (int64_t{256} << 20) + (int64_t{1} << 20);

// Picture modes of a key.
struct TKeyParts {
  std::string FileName;
  bool Mask = false;
  bool Trim = false;
};

TKeyParts SplitKey(const std::string& key) {
  TKeyParts parts;
  parts.Mask = key.find(kMaskSuffix) != std::string::npos;
  parts.Trim = key.find(kTrimSuffix) != std::string::npos;
  size_t cut = (parts.Mask ? 2 : 0) + (parts.Trim ? 2 : 0);
  parts.FileName = key.substr(0, key.size() >= cut ? key.size() - cut : 0);
  return parts;
}

// The frame's picture into the cached frame's surface and mask; the frame
// gives its pixels away (one copy of a picture is held, not two).
void FillFrame(TBrixItemFrame& target, TBrixFrame& frame, bool mask_wanted) {
  if (frame.HasAlpha() || mask_wanted) {
    target.EnsureMask();
    frame.MoveAlphaToDIBX(*target.Mask);
  }
  frame.MoveToDIBX(*target.DIB);
  target.DIB->TransparentColor = target.DIB->ColorToPixel(frame.TransparentColor);
}

// What a cached frame keeps: its picture and its mask.
int64_t HeldBytes(TBrixItemFrame& frame) {
  int64_t bytes = SurfaceBytes(frame.DIB->Width(), frame.DIB->Height(), frame.DIB->BitCount());
  if (frame.Mask) bytes += SurfaceBytes(frame.Mask->Width(), frame.Mask->Height(), 8);
  return bytes;
}

// Reads the picture file of Parts, handing each frame to Take as soon as it
// is read (at the cache's depth when the cache dithers, the transparent
// colour turned to alpha for a mask): Take takes the frame's pictures over
// and answers the bytes it keeps of them, so that the frames already taken
// and one frame being read are what the load holds at once.
void LoadFrames(TVrFileManager& files, const TBrixCollection& cache, const TKeyParts& parts,
                const std::function<int64_t(TBrixFrame&, int32_t index)>& take) {
  TBrixFrameList list(cache.IdentCode);
  if (cache.Dither) list.BitCountOverride = cache.BitCount;
  list.HeldBitCount = cache.BitCount;
  int32_t taken = 0;
  const auto take_one = [&](TBrixFrame& frame) {
    if (parts.Mask) list.FrameTransparentToAlpha(frame);
    return take(frame, taken++);
  };
  list.OnFrameRead = take_one;
  TKsMemoryStream stream;
  files.LoadToStream(stream, parts.FileName, kMaxPictureFileBytes);
  list.LoadFromStream(stream, false, false, false);
  // A one-frame PNG, BMP or JPEG picture is taken once it is read.
  for (int32_t i = taken; i < list.Count(); ++i) take_one(*list.GetFrame(i));
}

}  // namespace

void TellPictureRefused(const std::string& file_name, const std::string& why) {
  TellRefusal(SjisToUtf8(file_name + ": picture refused: " + why));
}

void TellPictureRefused(const std::string& file_name, const std::exception& error) {
  if (dynamic_cast<const EFileTooLarge*>(&error) != nullptr) return;
  if (dynamic_cast<const TRefusalMark*>(&error) != nullptr) {
    TellRefusal(SjisToUtf8(file_name + ": " + error.what()));
    return;
  }
  TellPictureRefused(file_name, std::string(error.what()));
}

std::string BrixKey(const std::string& file_name, bool trim, bool mask) {
  std::string key = file_name;
  if (mask) key += kMaskSuffix;
  if (trim) key += kTrimSuffix;
  return key;
}

std::unique_ptr<TCustomDIBX> NewItemSurface(int32_t bit_count) {
  std::unique_ptr<TCustomDIBX> surface = NewDrawingSurface();
  surface->SetSize(1, 1, bit_count);
  return surface;
}

// ---- TBrixItemFrame -------------------------------------------------------

TBrixItemFrame::TBrixItemFrame(int32_t bit_count) : DIB(NewItemSurface(bit_count)) {}

void TBrixItemFrame::EnsureMask() {
  if (!Mask) Mask = std::make_unique<TDIBX>();
}

void TBrixItemFrame::Draw(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src_rect, bool flip_h,
                          bool flip_v, int32_t alpha) {
  if (Mask) {
    if (alpha < 255)
      dest.DrawAlphaMask(x, y, *DIB, src_rect, flip_h, flip_v, *Mask, alpha);
    else if (alpha == 255)
      dest.DrawMask(x, y, *DIB, src_rect, flip_h, flip_v, *Mask);
    else
      dest.DrawAddMask(x, y, *DIB, src_rect, flip_h, flip_v, *Mask, alpha - 256);
    return;
  }
  const bool keyed = DIB->TransparentColor != -1;
  if (alpha < 255)
    dest.DrawAlpha(x, y, *DIB, src_rect, keyed, flip_h, flip_v, alpha);
  else if (alpha == 255)
    dest.Draw(x, y, *DIB, src_rect, keyed, flip_h, flip_v);
  else
    dest.DrawAdd(x, y, *DIB, src_rect, keyed, flip_h, flip_v, alpha - 256);
}

void TBrixItemFrame::DrawTiled(TCustomDIBX& dest, const TRect& dest_rect, const TRect& src_rect,
                               int32_t offset_x, int32_t offset_y, bool flip_h, bool flip_v,
                               int32_t alpha) {
  const int32_t tw = src_rect.Right - src_rect.Left;
  const int32_t th = src_rect.Bottom - src_rect.Top;
  if (tw <= 0 || th <= 0) return;
  // A negative offset starts the pattern the same distance from the other
  // side of the tile.
  const int32_t first_x = ((offset_x % tw) + tw) % tw;
  int32_t sy = ((offset_y % th) + th) % th;
  for (int64_t y = dest_rect.Top; y < dest_rect.Bottom;) {
    const int32_t h = static_cast<int32_t>(std::min<int64_t>(th - sy, dest_rect.Bottom - y));
    const int32_t top = flip_v ? static_cast<int32_t>(dest_rect.Bottom - (y - dest_rect.Top) - h)
                               : static_cast<int32_t>(y);
    int32_t sx = first_x;
    for (int64_t x = dest_rect.Left; x < dest_rect.Right;) {
      const int32_t w = static_cast<int32_t>(std::min<int64_t>(tw - sx, dest_rect.Right - x));
      const int32_t left = flip_h ? static_cast<int32_t>(dest_rect.Right - (x - dest_rect.Left) - w)
                                  : static_cast<int32_t>(x);
      const TRect piece{src_rect.Left + sx, src_rect.Top + sy, src_rect.Left + sx + w, src_rect.Top + sy + h};
      Draw(dest, left, top, piece, flip_h, flip_v, alpha);
      x += w;
      sx = 0;
    }
    y += h;
    sy = 0;
  }
}

// ---- TBrixItem --------------------------------------------------------------

TBrixItem::~TBrixItem() {
  if (TBrixCollection* cache = Cache()) cache->Unlist(this);
}

TBrixCollection* TBrixItem::Cache() const { return dynamic_cast<TBrixCollection*>(Collection()); }

void TBrixItem::SetName(const std::string& key) {
  THashCollectionItem::SetName(key);
  Decode(key);
}

void TBrixItem::Decode(const std::string& key) {
  Frames.clear();
  Width = Height = TotalDelay = 0;
  TBrixCollection* cache = Cache();
  if (cache == nullptr) return;
  const TKeyParts parts = SplitKey(key);
  const int32_t depth = cache->BitCount;

  if (!cache->HasFile(parts.FileName)) {
    // A missing file shows nothing: one 8 x 8 frame all in its colour key.
    auto frame = std::make_unique<TBrixItemFrame>(depth);
    frame->DIB->SetSize(8, 8, depth);
    frame->DIB->Fill(static_cast<uint32_t>(frame->DIB->ColorToPixel(0)));
    frame->DIB->TransparentColor = 0;
    frame->ColorKey = 0;
    if (parts.Mask) frame->EnsureMask();
    Frames.push_back(std::move(frame));
    return;
  }

  std::vector<std::unique_ptr<TBrixItemFrame>> frames;
  int32_t total = 0, width = 0, height = 0;
  LoadFrames(cache->FileLayer(), *cache, parts, [&](TBrixFrame& source, int32_t index) -> int64_t {
    if (index == 0) {
      width = source.Surface.Width();
      height = source.Surface.Height();
    }
    auto frame = std::make_unique<TBrixItemFrame>(depth);
    if (parts.Trim) {
      const TRect kept = source.Trim();
      frame->OffsetX = kept.Left;
      frame->OffsetY = kept.Top;
    }
    FillFrame(*frame, source, parts.Mask);
    frame->ColorKey = source.TransparentColor;
    frame->Delay = source.Delay == 0 ? 1 : source.Delay;
    // Delays come from the file; the sum saturates instead of overflowing.
    total = static_cast<int32_t>(std::clamp<int64_t>(int64_t{total} + frame->Delay, INT32_MIN, INT32_MAX));
    const int64_t held = HeldBytes(*frame);
    frames.push_back(std::move(frame));
    return held;
  });
  Frames = std::move(frames);
  Width = width;
  Height = height;
  TotalDelay = total;
}

void TBrixItem::AddOwner(const void* owner) { Owners.Add(owner); }

void TBrixItem::RemoveOwner(const void* owner) {
  Owners.Remove(owner);
  if (Owners.Empty() && Collection() != nullptr) Collection()->Remove(*this);  // destroys this
}

void TBrixItem::Reload(bool recreate) {
  TBrixCollection* cache = Cache();
  if (cache == nullptr) return;
  const TKeyParts parts = SplitKey(Name());
  const int32_t depth = cache->BitCount;
  if (!cache->FileLayer().Exists(parts.FileName)) return;

  LoadFrames(cache->FileLayer(), *cache, parts, [&](TBrixFrame& source, int32_t index) -> int64_t {
    if (index >= GetFrameCount()) return 0;
    TBrixItemFrame& frame = *Frames[static_cast<size_t>(index)];
    const bool keyed = source.TransparentColor != -1;
    if (keyed && !source.HasAlpha() && !recreate) return 0;
    frame.OffsetX = frame.OffsetY = 0;
    if ((keyed || source.HasAlpha()) && parts.Trim) {
      const TRect kept = source.Trim();
      frame.OffsetX = kept.Left;
      frame.OffsetY = kept.Top;
    }
    if (recreate) frame.DIB = NewItemSurface(depth);
    FillFrame(frame, source, parts.Mask);
    return HeldBytes(frame);
  });
}

void TBrixItem::FreeSurfaces() {
  for (auto& frame : Frames) frame->DIB->FreeSurface();
}

// ---- TBrixCollection ------------------------------------------------------

TBrixCollection::~TBrixCollection() {
  ReleaseList.clear();
  Clear();
}

std::unique_ptr<THashCollectionItem> TBrixCollection::NewItem() const { return std::make_unique<TBrixItem>(); }

TVrFileManager& TBrixCollection::FileLayer() const {
  TVrFileManager* files = Files != nullptr ? Files : VrFileManager();
  if (files == nullptr) throw EOrbaError("TBrixCollection: no file layer");
  return *files;
}

bool TBrixCollection::HasFile(const std::string& name) const {
  if (FileAvailable) return FileAvailable(name);
  return FileLayer().Exists(name);
}

TBrixItem* TBrixCollection::FindKey(const std::string& key) const {
  return dynamic_cast<TBrixItem*>(Find(key));
}

TBrixItem& TBrixCollection::Acquire(const void* owner, const std::string& file_name, bool trim, bool mask) {
  const std::string key = BrixKey(file_name, trim, mask);
  TBrixItem* item = FindKey(key);
  if (item == nullptr) {
    item = &AddItem(std::make_unique<TBrixItem>());
    try {
      item->SetName(key);
    } catch (const std::exception& e) {
      // An undecodable picture leaves no entry: the next call tries again.
      // It is said once per file.
      Remove(*item);
      TellPictureRefused(file_name, e);
      throw;
    }
  }
  item->AddOwner(owner);
  Unlist(item);
  return *item;
}

void TBrixCollection::Unlist(TBrixItem* item) {
  ReleaseList.erase(std::remove(ReleaseList.begin(), ReleaseList.end(), item), ReleaseList.end());
}

void TBrixCollection::SetDither(bool dither) {
  if (dither == Dither) return;
  Dither = dither;
  for (int32_t i = 0; i < Count(); ++i) GetBrix(i).Reload(false);
}

void TBrixCollection::FreeSurfaces() {
  for (int32_t i = 0; i < Count(); ++i) GetBrix(i).FreeSurfaces();
}

void TBrixCollection::RestoreSurfaces(bool recreate) {
  for (int32_t i = 0; i < Count(); ++i) GetBrix(i).Reload(recreate);
}

void TBrixCollection::ReleaseFile(const std::string& file_name) {
  for (const std::string& key : {file_name, file_name + kMaskSuffix, file_name + kTrimSuffix,
                                 file_name + kMaskSuffix + kTrimSuffix}) {
    TBrixItem* item = FindKey(key);
    if (item == nullptr) continue;
    if (std::find(ReleaseList.begin(), ReleaseList.end(), item) == ReleaseList.end()) continue;
    Unlist(item);
    Remove(*item);
  }
}

void TBrixCollection::SaveToStream(TKsBigStream& stream) const { WriteStreamBool(stream, Dither); }

void TBrixCollection::LoadFromStream(TKsBigStream& stream, int32_t version) {
  if (version >= kStatusDitherVersion) Dither = ReadStreamBool(stream);
}

void TBrixCacheSetting::SaveToStream(TKsBigStream& stream) {
  if (g_cache != nullptr)
    g_cache->SaveToStream(stream);
  else
    TImageCacheSetting::SaveToStream(stream);
}

void TBrixCacheSetting::LoadFromStream(TKsBigStream& stream, int32_t version) {
  if (g_cache != nullptr)
    g_cache->LoadFromStream(stream, version);
  else
    TImageCacheSetting::LoadFromStream(stream, version);
}

TBrixCollection* BrixCollection() { return g_cache; }

void InitBrixCollection() {
  if (g_cache == nullptr) g_cache = new TBrixCollection();
}

void FinalBrixCollection() {
  delete g_cache;
  g_cache = nullptr;
}

}  // namespace orba
