#include "items/image_item.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "graphics/dibx_rotate.h"
#include "graphics/dx_dibx.h"
#include "graphics/wave_surface.h"
#include "items/base_list.h"
#include "items/blur_image.h"
#include "items/brix_cache.h"
#include "items/image_cells.h"

namespace orba {

namespace {

// Coordinates come from scripts and saved games; sums are kept in range.
int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The pivot mirrored within the bitmap under a flip.
int32_t Pivot(int32_t offset, int32_t size, bool flip) {
  return flip ? Clamp32(int64_t{size} - 1 - offset) : offset;
}

}  // namespace

int32_t ItemBitCount() {
  TBrixCollection* cache = BrixCollection();
  return cache != nullptr ? cache->BitCount : 32;
}

// A new item's own surface is empty (0 x 0) until a picture fills it, so an
// item whose source loads nothing has size 0 and draws nothing.
TOrbaCustomImage::TOrbaCustomImage(TOrbaBaseList* manager)
    : TOrbaControl(manager), Surface(NewDrawingSurface()) {}

TOrbaCustomImage::~TOrbaCustomImage() { Invalidate(); }

void TOrbaCustomImage::SetDIB(TCustomDIBX* dib) {
  if (dib == OverrideDIB) return;
  Invalidate();
  OverrideDIB = dib;
  Invalidate();
}

void TOrbaCustomImage::SetMaskDIB(TCustomDIBX* mask) { OverrideMask = mask; }

int32_t TOrbaCustomImage::GetOrigWidth() const {
  TCustomDIBX* dib = GetDIB();
  return dib != nullptr ? dib->Width() : 0;
}

int32_t TOrbaCustomImage::GetOrigHeight() const {
  TCustomDIBX* dib = GetDIB();
  return dib != nullptr ? dib->Height() : 0;
}

void TOrbaCustomImage::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}

void TOrbaCustomImage::MarkChildrenResize() {
  for (TOrbaControl* child : GetChildren())
    if (child->GetPosZoomed()) child->SetResizePending(true);
}

void TOrbaCustomImage::SetZoomX(int32_t v) {
  if (v == ZoomX) return;
  Invalidate();
  ZoomX = std::max(v, 1);
  SizeDirty = true;
  MarkChildrenResize();
}

void TOrbaCustomImage::SetZoomY(int32_t v) {
  if (v == ZoomY) return;
  Invalidate();
  ZoomY = std::max(v, 1);
  SizeDirty = true;
  MarkChildrenResize();
}

void TOrbaCustomImage::SetPosZoomed(bool v) {
  if (v == PosZoomed) return;
  Invalidate();
  PosZoomed = v;
  SizeDirty = true;
  MarkChildrenResize();
}

void TOrbaCustomImage::SetAngle(int32_t v) {
  if (v == Angle) return;
  Invalidate();
  Angle = v;
  Invalidate();
}

void TOrbaCustomImage::SetFlipH(bool v) {
  if (v == FlipH) return;
  Invalidate();
  FlipH = v;
  UpdateWidth();
  Invalidate();
}

void TOrbaCustomImage::SetFlipV(bool v) {
  if (v == FlipV) return;
  Invalidate();
  FlipV = v;
  UpdateHeight();
  Invalidate();
}

void TOrbaCustomImage::RecordBlurState() {
  LastIndex = GetIndex();
  LastLeft = Left;
  LastTop = Top;
  LastAngle = Angle;
  LastZoomX = ZoomX;
  LastZoomY = ZoomY;
  LastScrollX = GetScrollX();
  LastScrollY = GetScrollY();
}

void TOrbaCustomImage::SetBlurSpan(int32_t v) {
  if (v == BlurSpan) return;
  BlurSpan = v;
  BlurElapsed = 0;
  RecordBlurState();
}

void TOrbaCustomImage::SetWidth(int32_t v) {
  TOrbaControl::SetWidth(v);
  if (IsAutoSized()) ZoomX = 0;
}

void TOrbaCustomImage::SetHeight(int32_t v) {
  TOrbaControl::SetHeight(v);
  if (IsAutoSized()) ZoomY = 0;
}

// ---- geometry ------------------------------------------------------------------

void TOrbaCustomImage::GetDrawRect(TPoint& anchor, TPoint& pivot) const {
  anchor = GetAnchorPos();
  TCustomDIBX* dib = GetDIB();
  const int32_t w = dib != nullptr ? dib->Width() : 1, h = dib != nullptr ? dib->Height() : 1;
  pivot = TPoint{Pivot(OffsetX, w, FlipH), Pivot(OffsetY, h, FlipV)};
}

TRect TOrbaCustomImage::RotatedBoundsRect() const {
  TCustomDIBX* dib = GetDIB();
  const int32_t w = dib != nullptr ? dib->Width() : 1, h = dib != nullptr ? dib->Height() : 1;
  const TPoint a = GetAnchorPos();
  TRect r;
  RotatedBounds(a.X, a.Y, OffsetX, OffsetY, Angle, TRect{0, 0, w, h}, GetZoomX(), GetZoomY(), w, h, FlipH, FlipV, r);
  return r;
}

TRect TOrbaCustomImage::GetBoundsRect() const {
  if (Angle != 0) return RotatedBoundsRect();
  return TOrbaControl::GetBoundsRect();
}

void TOrbaCustomImage::UpdateAxis(bool vertical) {
  if (!IsAutoSized()) return;
  TCustomDIBX* dib = GetDIB();
  if (GetSource().empty() && OverrideDIB == nullptr) {
    Width = 0;
    Height = 0;
    return;
  }
  const int32_t zoom = vertical ? GetZoomY() : GetZoomX();
  const int32_t bits = dib != nullptr ? (vertical ? dib->Height() : dib->Width()) : 0;
  int32_t& size = vertical ? Height : Width;
  const auto* parent = dynamic_cast<const TOrbaCustomImage*>(GetParent());
  TCustomDIBX* pdib = parent != nullptr ? parent->GetDIB() : nullptr;
  const int32_t psize = parent != nullptr ? (vertical ? parent->Height : parent->Width) : 0;
  if (PosZoomed && pdib != nullptr && dib != nullptr && Motion == nullptr && psize != 0 &&
      (vertical ? parent->GetZoomY() : parent->GetZoomX()) == zoom) {
    // The edges fall on the parent's stretched pixel edges.
    const int32_t pbits = vertical ? pdib->Height() : pdib->Width();
    const double ratio = static_cast<double>(pbits) / psize * 65536.0;
    const int64_t scale = std::max<int64_t>(1, std::isfinite(ratio) && ratio < 1e15 ? static_cast<int64_t>(ratio) : 1);
    const int64_t pos = int64_t{vertical ? Top : Left} - (vertical ? OffsetY : OffsetX);
    const bool flip = vertical ? FlipV : FlipH;
    const int64_t a0 = flip ? int64_t{pbits} - pos - bits : pos;
    const int64_t e0 = flip ? int64_t{pbits} - pos : int64_t{bits} + pos;
    int64_t a = a0 * 65536 / scale;
    if (a0 * 65536 % scale > 32767) ++a;
    int64_t e = e0 * 65536 / scale;
    if (e0 * 65536 % scale > 0) ++e;
    size = Clamp32(e - a);
    return;
  }
  size = static_cast<int32_t>(int64_t{bits} * zoom / 256);
}

void TOrbaCustomImage::UpdateWidth() { UpdateAxis(false); }
void TOrbaCustomImage::UpdateHeight() { UpdateAxis(true); }

// ---- painting ------------------------------------------------------------------

void TOrbaCustomImage::Invalidate() {
  TCustomDIBX* dib = GetDIB();
  if (dib == nullptr || dib->IsEmpty()) return;
  InvalidateBounds();
}

void TOrbaCustomImage::InvalidateBounds() {
  InvalidateArea(Angle != 0 ? RotatedBoundsRect() : TOrbaControl::GetBoundsRect());
}

void TOrbaCustomImage::Draw() {
  TCustomDIBX* dib = GetDIB();
  if (dib == nullptr || Width <= 0 || Height <= 0) return;
  if (!dib->IsEmpty()) {
    BeforeDrawImage();
    DrawImage();
    AfterDrawImage();
  }
  TOrbaControl::Draw();
}

void TOrbaCustomImage::DrawImage() {
  if (TCustomDIBX* dib = GetDIB()) DrawBitmap(*dib, GetMaskDIB(), true);
}

void TOrbaCustomImage::DrawBitmap(TCustomDIBX& b, TCustomDIBX* m, bool use_rect_lists) const {
  TCustomDIBX* d = GetSurface();
  if (d == nullptr || Alpha <= 0 || Width <= 0 || Height <= 0) return;
  const bool keyed = b.TransparentColor != -1;
  const TRect src{0, 0, b.Width(), b.Height()};

  if ((Angle & 255) != 0) {
    TPoint anchor, pivot;
    GetDrawRect(anchor, pivot);
    pivot = TPoint{Pivot(OffsetX, b.Width(), FlipH), Pivot(OffsetY, b.Height(), FlipV)};
    const int32_t zx = GetZoomX(), zy = GetZoomY();
    if (m == nullptr)
      d->DrawRotate(anchor.X, anchor.Y, zx, zy, b, src, pivot.X, pivot.Y, Angle & 255, keyed, FlipH, FlipV, Alpha);
    else
      d->DrawRotateMask(anchor.X, anchor.Y, zx, zy, b, src, pivot.X, pivot.Y, Angle & 255, FlipH, FlipV, *m,
                        Alpha);
    return;
  }

  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  if (b.Width() == Width && b.Height() == Height) {
    auto blend = [&] { BlendBitmap(*d, x, y, b, m, src, FlipH, FlipV, Alpha); };
    if (!use_rect_lists || b.RectsA.empty() || dynamic_cast<TDIBXWave*>(d) != nullptr) {
      blend();
      return;
    }
    // Only the listed rectangles of the frame hold pixels.
    const TRect saved = d->GetClipRect();
    for (const TRect& r : b.RectsA) {
      const int64_t right = int64_t{x} + b.Width(), bottom = int64_t{y} + b.Height();
      const TRect dest{Clamp32(FlipH ? right - r.Right : int64_t{x} + r.Left),
                       Clamp32(FlipV ? bottom - r.Bottom : int64_t{y} + r.Top),
                       Clamp32(FlipH ? right - r.Left : int64_t{x} + r.Right),
                       Clamp32(FlipV ? bottom - r.Top : int64_t{y} + r.Bottom)};
      TRect cut;
      IntersectRects(dest, saved, cut);
      if (RectIsEmpty(cut)) continue;
      d->ResetClipRect();
      d->IncludeClipRect(cut);
      blend();
    }
    d->ResetClipRect();
    d->IncludeClipRect(saved);
    return;
  }

  const TRect dest{x, y, Clamp32(int64_t{x} + Width), Clamp32(int64_t{y} + Height)};
  if (m == nullptr) {
    if (Alpha > 255)
      d->StretchDrawAdd(dest, b, src, keyed, FlipH, FlipV, Alpha - 256);
    else
      d->StretchDrawAlpha(dest, b, src, keyed, FlipH, FlipV, Alpha);
  } else {
    if (Alpha > 255)
      d->StretchDrawAddMask(dest, b, src, FlipH, FlipV, *m, Alpha - 256);
    else
      d->StretchDrawAlphaMask(dest, b, src, FlipH, FlipV, *m, Alpha);
  }
}

void BlendBitmap(TCustomDIBX& d, int32_t x, int32_t y, TCustomDIBX& b, TCustomDIBX* m, const TRect& src,
                 bool flip_h, bool flip_v, int32_t alpha) {
  const bool keyed = b.TransparentColor != -1;
  if (m == nullptr) {
    if (alpha < 255)
      d.DrawAlpha(x, y, b, src, keyed, flip_h, flip_v, alpha);
    else if (alpha > 255)
      d.DrawAdd(x, y, b, src, keyed, flip_h, flip_v, alpha - 256);
    else
      d.Draw(x, y, b, src, keyed, flip_h, flip_v);
  } else if (alpha < 255) {
    d.DrawAlphaMask(x, y, b, src, flip_h, flip_v, *m, alpha);
  } else if (alpha > 255) {
    d.DrawAddMask(x, y, b, src, flip_h, flip_v, *m, alpha - 256);
  } else {
    d.DrawMask(x, y, b, src, flip_h, flip_v, *m);
  }
}

// ---- hit test --------------------------------------------------------------------

// Maps a screen offset onto the mask: by the zoom, or for an explicit size
// (zoom 0) by the ratio of the mask to the item's size.
static int64_t MaskCoordinate(int64_t offset, int32_t zoom, int32_t mask_size, int32_t item_size) {
  if (zoom != 0) return offset * 256 / zoom;
  if (item_size <= 0) return -1;
  return offset * mask_size / item_size;
}

bool TOrbaCustomImage::MaskHit(int32_t x, int32_t y) const {
  TCustomDIBX* mask = GetMaskDIB();
  if (!CaptureMask || mask == nullptr) return true;
  int64_t u = MaskCoordinate(int64_t{x} - GetScreenLeft(), ZoomX, mask->Width(), Width);
  int64_t v = MaskCoordinate(int64_t{y} - GetScreenTop(), ZoomY, mask->Height(), Height);
  if (FlipH) u = mask->Width() - 1 - u;
  if (FlipV) v = mask->Height() - 1 - v;
  if (u < 0 || v < 0 || u >= mask->Width() || v >= mask->Height()) return false;
  return mask->GetPixel(static_cast<int32_t>(u), static_cast<int32_t>(v)) >= 128;
}

TOrbaObject* TOrbaCustomImage::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible() || !PointInRect(p, GetBoundsRect())) return nullptr;
  for (size_t i = GetChildren().size(); i-- > 0;) {
    TOrbaControl* child = GetChildren()[i];
    if (child->GetName().empty()) continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  const uint8_t im = GetIgnoreMouse();
  if (im >= 8 || ((mask >> im) & 1) == 0) return nullptr;
  if (Angle == 0) return MaskHit(p.X, p.Y) ? this : nullptr;
  // Turn the point back about the anchor into the unrotated rectangle.
  TPoint q;
  if (!TurnPointBack(p, GetAnchorPos(), Angle, q) || !PointInRect(q, TOrbaControl::GetBoundsRect())) return nullptr;
  return MaskHit(q.X, q.Y) ? this : nullptr;
}

// ---- tick, surfaces, saved state -------------------------------------------------

bool TurnPointBack(TPoint p, TPoint anchor, int32_t angle, TPoint& out) {
  const double theta = -static_cast<double>(angle & 255) * 2.0 * std::numbers::pi / 256.0;
  const double dx = static_cast<double>(p.X) - anchor.X, dy = static_cast<double>(p.Y) - anchor.Y;
  const double rx = std::nearbyint(dx * std::cos(theta) - dy * std::sin(theta) + anchor.X);
  const double ry = std::nearbyint(dx * std::sin(theta) + dy * std::cos(theta) + anchor.Y);
  if (!(rx > INT32_MIN && rx < INT32_MAX && ry > INT32_MIN && ry < INT32_MAX)) return false;
  out = TPoint{static_cast<int32_t>(rx), static_cast<int32_t>(ry)};
  return true;
}

bool TOrbaCustomImage::Idle() {
  const bool answer = TOrbaControl::Idle();
  IdleImage();
  return answer;
}

void TOrbaCustomImage::IdleImage() {
  if (SizeDirty) {
    SizeDirty = false;
    Invalidate();
    UpdateWidth();
    UpdateHeight();
    Invalidate();
  }
  StepAfterimages();
}

void TOrbaCustomImage::StepAfterimages() {
  if (BlurSpan <= 0 || BlurDelay <= 0 || Manager == nullptr) return;
  BlurElapsed = AddMilliseconds(BlurElapsed, FrameTime);
  if (BlurElapsed < BlurSpan) return;
  BlurElapsed = 0;
  if (Left == LastLeft && Top == LastTop && GetIndex() == LastIndex && Angle == LastAngle && ZoomX == LastZoomX &&
      ZoomY == LastZoomY && GetScrollX() == LastScrollX && GetScrollY() == LastScrollY)
    return;
  TCustomDIBX* dib = GetDIB();
  if (dib == nullptr || dib->IsEmpty()) return;
  LeaveAfterimage();
  RecordBlurState();
}

void TOrbaCustomImage::ShowFilmBitmap(TCustomDIBX* bitmap, TCustomDIBX* mask, int32_t color_key) {
  SetDIB(bitmap);
  SetMaskDIB(mask);
  FilmColorKey = color_key;
  if (bitmap != nullptr) bitmap->TransparentColor = bitmap->ColorToPixel(color_key);
}

void TOrbaCustomImage::SetFilmClip(const TRect& clip) {
  SetClipLeft(clip.Left);
  SetClipTop(clip.Top);
  SetClipWidth(static_cast<int32_t>(std::clamp<int64_t>(int64_t{clip.Right} - clip.Left, INT32_MIN, INT32_MAX)));
  SetClipHeight(static_cast<int32_t>(std::clamp<int64_t>(int64_t{clip.Bottom} - clip.Top, INT32_MIN, INT32_MAX)));
}

void TOrbaCustomImage::LeaveAfterimage() { NewOrbaObject<TOrbaBlurImage>(Manager)->Attach(*this); }

void TOrbaCustomImage::FreeSurface() {
  Surface.reset();
  OverrideDIB = nullptr;
}

void TOrbaCustomImage::RestoreSurface() {
  Surface = NewItemSurface(ItemBitCount());
  TOrbaControl::RestoreSurface();
}

void TOrbaCustomImage::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamInt(stream, Alpha);
  WriteStreamInt(stream, GetZoomX());
  WriteStreamInt(stream, Angle);
  WriteStreamBool(stream, FlipH);
  WriteStreamBool(stream, FlipV);
  WriteStreamBool(stream, CaptureMask);
  WriteStreamInt(stream, GetZoomY());
  WriteStreamInt(stream, BlurSpan);
  WriteStreamInt(stream, BlurDelay);
}

void TOrbaCustomImage::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  Alpha = ReadStreamInt(stream);
  ZoomX = ReadStreamInt(stream);
  Angle = ReadStreamInt(stream);
  FlipH = ReadStreamBool(stream);
  FlipV = ReadStreamBool(stream);
  CaptureMask = ReadStreamBool(stream);
  ZoomY = ReadStreamInt(stream);
  if (version >= kSceneBlurVersion) {
    BlurSpan = ReadStreamInt(stream);
    BlurDelay = ReadStreamInt(stream);
  }
}

}  // namespace orba
