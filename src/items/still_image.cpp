#include "items/still_image.h"

#include <algorithm>

#include "core/streams/stream_encoding.h"
#include "items/brix_cache.h"

namespace orba {

void TOrbaImage::SetSource(std::string v) {
  if (v == Source) return;
  Source = std::move(v);
  LoadPicture();
}

void TOrbaImage::SetBrightness(int32_t v) {
  v = std::clamp(v, 0, 255);
  if (v == Brightness) return;
  Brightness = v;
  LoadPicture();
}

void TOrbaImage::LoadPicture() {
  Invalidate();
  TBrixCollection* cache = BrixCollection();
  if (cache == nullptr || !Surface) return;
  TBrixItem& entry = cache->Acquire(this, Source, false, false);
  Width = static_cast<int32_t>(int64_t{ZoomX} * entry.Width / 256);
  Height = static_cast<int32_t>(int64_t{ZoomY} * entry.Height / 256);
  if (TBrixItemFrame* frame = entry.GetFrame(0)) {
    // The surface takes the frame's size, pixels and colour key.
    TCustomDIBX& from = *frame->DIB;
    Surface->SetSize(from.Width(), from.Height(), from.BitCount());
    Surface->CopyFrom(from);
    Surface->TransparentColor = from.TransparentColor;
  }
  entry.RemoveOwner(this);
  if (!Surface->IsEmpty() && Brightness < 255) {
    const int32_t level = 255 - Brightness;
    Surface->FillRectSub(Surface->GetBoundsRect(),
                         static_cast<uint32_t>(Surface->ColorToPixel(level | (level << 8) | (level << 16))));
  }
  Invalidate();
}

void TOrbaImage::RestoreSurface() {
  TOrbaCustomImage::RestoreSurface();
  if (OverrideDIB == nullptr) LoadPicture();
}

// Drawn unturned, unflipped, unscaled, opaque, without mask, key or
// rectangle lists, the picture is a byte copy between two memory surfaces of
// one depth (DrawBitmap, then the copy blit): every pixel of its rectangle
// under the clip takes the picture's bytes.
bool TOrbaImage::PaintsOver(const TRect& area) const {
  TCustomDIBX* b = GetDIB();
  TCustomDIBX* d = GetSurface();
  if (b == nullptr || d == nullptr || b == d || b->IsEmpty() || d->IsEmpty()) return false;
  if (Alpha != 255 || (Angle & 255) != 0 || FlipH || FlipV || GetMaskDIB() != nullptr || b->TransparentColor != -1 ||
      !b->RectsA.empty())
    return false;
  if (Width <= 0 || Height <= 0 || b->Width() != Width || b->Height() != Height) return false;
  if (b->BitCount() != d->BitCount() || (b->BitCount() != 24 && b->BitCount() != 32) || !b->IsMemorySurface() ||
      !d->IsMemorySurface())
    return false;
  const int64_t x = GetScreenLeft(), y = GetScreenTop();
  return x <= area.Left && y <= area.Top && x + Width >= area.Right && y + Height >= area.Bottom;
}

void TOrbaImage::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomImage::SaveToStream(stream);
  WriteStreamString(stream, Source);
  WriteStreamInt(stream, Brightness);
}

void TOrbaImage::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomImage::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  SetBrightness(ReadStreamInt(stream));
}

void TOrbaImage::ApplyFrame(const TFrameState& f) {
  if (ZoomX == 256 && f.Bitmap != nullptr) Width = f.Bitmap->Width();
  if (ZoomY == 256 && f.Bitmap != nullptr) Height = f.Bitmap->Height();
  if (f.Parent != nullptr) SetParent(f.Parent);
  SetIndex(f.Index);
  ShowFilmBitmap(f.Bitmap, f.Mask, f.ColorKey);
  SetZoomX(f.ZoomX);
  SetZoomY(f.ZoomY);
  SetPriority(f.Priority);
  SetFlipH(f.FlipH);
  SetFlipV(f.FlipV);
  SetOffsetX(f.OffsetX);
  SetOffsetY(f.OffsetY);
  SetLeft(f.Left);
  SetTop(f.Top);
  SetAngle(f.Angle);
  SetAlpha(f.Alpha);
  SetBlurSpan(f.BlurSpan);
  SetBlurDelay(f.BlurDelay);
  SetFilmClip(f.Clip);
}

}  // namespace orba
