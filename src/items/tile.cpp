#include "items/tile.h"

#include <algorithm>

#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/brix_cache.h"

namespace orba {

namespace {

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A tile's screen position on one axis: its own position Pos from the
// parent's screen origin less the parent's scroll.
int32_t TileOrigin(const TOrbaControl& c, bool vertical, int32_t pos) {
  const TOrbaControl* p = c.GetParent();
  if (p == nullptr) return pos;
  const int64_t origin = vertical ? int64_t{p->GetScreenTop()} - p->GetScrollY()
                                  : int64_t{p->GetScreenLeft()} - p->GetScrollX();
  return Clamp32(origin + pos);
}

// V mod P made non-negative (P > 0).
int64_t FloorMod(int64_t v, int64_t p) { return ((v % p) + p) % p; }

// The copies of the listed rectangles of an unzoomed bitmap, one period
// apart, over R within the surface's clip.
void DrawRectListTiles(TCustomDIBX& d, const TRect& r, int64_t px, int64_t py, const TOrbaCustomImage& item,
                       const TTileLayout& layout, TCustomDIBX& b, TCustomDIBX* m) {
  const TRect saved = d.GetClipRect();
  TRect c;
  IntersectRects(saved, r, c);
  if (RectIsEmpty(c)) return;
  d.ResetClipRect();
  d.IncludeClipRect(c);
  const int64_t sx = FloorMod(layout.ScrollX, px), sy = FloorMod(layout.ScrollY, py);
  const int64_t bw = b.Width(), bh = b.Height();
  // The first copy that can reach the clip on an axis: copies wholly before
  // Lo are skipped.
  auto first = [](int64_t start, int64_t period, int64_t extent, int64_t lo) {
    return start + extent <= lo ? start + (lo - extent - start) / period * period : start;
  };
  for (const TRect& q : b.RectsA) {
    const int64_t y0 = (item.FlipV ? bh - q.Bottom : q.Top) + int64_t{r.Top} - sy;
    const int64_t x0 = (item.FlipH ? bw - q.Right : q.Left) + int64_t{r.Left} - sx;
    const int64_t qw = int64_t{q.Right} - q.Left, qh = int64_t{q.Bottom} - q.Top;
    for (int64_t y = first(y0, py, qh, c.Top); y < c.Bottom; y += py)
      for (int64_t x = first(x0, px, qw, c.Left); x < c.Right; x += px)
        BlendBitmap(d, Clamp32(x), Clamp32(y), b, m, q, item.FlipH, item.FlipV, item.Alpha);
  }
  d.ResetClipRect();
  d.IncludeClipRect(saved);
}

}  // namespace

void DrawTiledBitmap(const TOrbaCustomImage& item, const TTileLayout& layout, TCustomDIBX& b, TCustomDIBX* m) {
  TCustomDIBX* d = item.GetSurface();
  if (d == nullptr || item.Alpha <= 0 || item.GetWidth() <= 0 || item.GetHeight() <= 0 || item.ZoomX <= 0 ||
      item.ZoomY <= 0 || b.IsEmpty())
    return;
  const bool keyed = b.TransparentColor != -1;
  const int32_t x = item.GetScreenLeft(), y = item.GetScreenTop();
  const TRect r{x, y, Clamp32(int64_t{x} + item.GetWidth()), Clamp32(int64_t{y} + item.GetHeight())};
  const TRect src{0, 0, b.Width(), b.Height()};
  // A distance below half the picture's size is ignored.
  const bool spaced_x = layout.DistanceX > 0 && layout.DistanceX >= b.Width() / 2;
  const bool spaced_y = layout.DistanceY > 0 && layout.DistanceY >= b.Height() / 2;
  const bool unzoomed = item.ZoomX == 256 && item.ZoomY == 256;
  if (spaced_x || spaced_y) {
    const int32_t px = spaced_x ? layout.DistanceX : b.Width(), py = spaced_y ? layout.DistanceY : b.Height();
    if (!b.RectsA.empty() && unzoomed) {
      DrawRectListTiles(*d, r, px, py, item, layout, b, m);
    } else if (m == nullptr) {
      d->StretchDrawTile(r, px, py, item.ZoomX, item.ZoomY, b, src, keyed, item.FlipH, item.FlipV, item.Alpha,
                         layout.ScrollX, layout.ScrollY);
    } else {
      d->StretchDrawTileMask(r, px, py, item.ZoomX, item.ZoomY, b, src, *m, item.FlipH, item.FlipV, item.Alpha,
                             layout.ScrollX, layout.ScrollY);
    }
    return;
  }
  if (unzoomed && !keyed && m == nullptr && item.Alpha == 255)
    d->PatternFill(r, b, layout.ScrollX, layout.ScrollY, item.FlipH, item.FlipV);
  else if (m == nullptr)
    d->PatternFillZoom(r, item.ZoomX, item.ZoomY, b, layout.ScrollX, layout.ScrollY, keyed, item.FlipH, item.FlipV,
                       item.Alpha);
  else
    d->PatternFillZoomMask(r, item.ZoomX, item.ZoomY, b, layout.ScrollX, layout.ScrollY, item.FlipH, item.FlipV, *m,
                           item.Alpha);
}

// ---- TOrbaTile -------------------------------------------------------------------

TOrbaTile::TOrbaTile(TOrbaBaseList* manager)
    : TOrbaCustomImages(manager), ImageList(std::make_unique<TOrbaImageList>()) {}

TOrbaTile::~TOrbaTile() {
  // The list gives its cache entry back; the shown cell goes with it.
  OverrideDIB = nullptr;
  OverrideMask = nullptr;
  ImageList.reset();
}

void TOrbaTile::ChangeLayout(int32_t& field, int32_t v) {
  if (v == field) return;
  field = v;
  Invalidate();
}

int32_t TOrbaTile::GetScreenLeft() const { return TileOrigin(*this, false, Motion != nullptr ? MotionX : Left); }
int32_t TOrbaTile::GetScreenTop() const { return TileOrigin(*this, true, Motion != nullptr ? MotionY : Top); }

void TOrbaTile::SetSource(std::string v) {
  if (v == Source) return;
  Invalidate();
  Source = std::move(v);
  SetIndex(-1);
  SetDIB(nullptr);
  if (Surface) Surface->Clear();
  SetMaskDIB(nullptr);
  ImageList->Clear();
  Motion.reset();
  // Any other kind of file loads nothing; the size stays the script's, and
  // the author is told, as by an image item.
  if (IsBrixName(Source))
    ImageList->LoadBrix(this, Source, false);
  else if (IsFilmName(Source))
    StartMotion(Source);
  else if (!Source.empty())
    TellPictureRefused(Source, kNotABrixName);
  if (ImageList->Count() > 0) SetIndex(0);
}

void TOrbaTile::ApplyFrame(const TFrameState& f) {
  SetWidth(f.Width);
  SetHeight(f.Height);
  if (f.Parent != nullptr) SetParent(f.Parent);
  ShowFilmBitmap(f.Bitmap, f.Mask, f.ColorKey);
  SetZoomX(f.ZoomX);
  SetZoomY(f.ZoomY);
  SetPriority(f.Priority);
  SetDistanceX(f.DistanceX);
  SetDistanceY(f.DistanceY);
  SetFlipH(f.FlipH);
  SetFlipV(f.FlipV);
  SetOffsetX(f.OffsetX);
  SetOffsetY(f.OffsetY);
  SetLeft(f.Left);
  SetTop(f.Top);
  SetAlpha(f.Alpha);
  SetBlurSpan(f.BlurSpan);
  SetBlurDelay(f.BlurDelay);
  SetScrollX(f.ScrollX);
  SetScrollY(f.ScrollY);
  SetFilmClip(f.Clip);
}

void TOrbaTile::DrawImage() {
  if (TCustomDIBX* b = GetDIB()) DrawTiledBitmap(*this, Layout, *b, GetMaskDIB());
}

void TOrbaTile::LeaveAfterimage() { NewOrbaObject<TOrbaBlurTile>(Manager)->Attach(*this); }

void TOrbaTile::FreeSurface() {
  ImageList->FreeSurfaces();
  TOrbaCustomImages::FreeSurface();
}

void TOrbaTile::RestoreSurface() {
  ImageList->RestoreSurfaces();
  TOrbaCustomImages::RestoreSurface();
}

void TOrbaTile::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomImages::SaveToStream(stream);
  WriteStreamInt(stream, Layout.ScrollX);
  WriteStreamInt(stream, Layout.ScrollY);
  WriteStreamString(stream, Source);
  WriteStreamString(stream, OnIdle);
  WriteStreamInt(stream, Layout.DistanceX);
  WriteStreamInt(stream, Layout.DistanceY);
}

void TOrbaTile::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomImages::LoadFromStream(stream, version);
  const int32_t kept = Index, kept_remaining = Remaining;
  Layout.ScrollX = ReadStreamInt(stream);
  Layout.ScrollY = ReadStreamInt(stream);
  std::string source = ReadStreamString(stream);
  OnIdle = ReadStreamString(stream);
  Layout.DistanceX = ReadStreamInt(stream);
  Layout.DistanceY = ReadStreamInt(stream);
  // The saved cell and its time left hold over the fresh load of the picture.
  Index = -1;
  SetSource(std::move(source));
  SetIndex(kept);
  Remaining = kept_remaining;
}

// ---- TOrbaBlurTile ---------------------------------------------------------------

int32_t TOrbaBlurTile::GetScreenLeft() const { return TileOrigin(*this, false, Left); }
int32_t TOrbaBlurTile::GetScreenTop() const { return TileOrigin(*this, true, Top); }

void TOrbaBlurTile::DrawImage() {
  if (TCustomDIBX* b = GetDIB()) DrawTiledBitmap(*this, Layout, *b, GetMaskDIB());
}

void RegisterTileItems() {
  RegisterCompoType(CT_TILE, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaTile>(manager);
  });
}

}  // namespace orba
