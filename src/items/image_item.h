// The image item base: every item that shows a bitmap. It holds the item's
// own surface (or a bitmap shown in its place), an optional 8-bit mask,
// opacity and additive strength in one value (0 hidden, 1-254 blended, 255
// opaque, 256-511 additive with strength Alpha - 256), horizontal and
// vertical zoom (0 after an explicit size), rotation, flips and the
// mask-based hit test, and chooses the drawing operation for each
// combination. Subclasses only supply and switch the bitmap.
#pragma once

#include <memory>

#include "graphics/custom_dibx.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaCustomImage : public TOrbaControl {
 public:
  explicit TOrbaCustomImage(TOrbaBaseList* manager);
  ~TOrbaCustomImage() override;

  int32_t FilmColorKey = -1;
  // Shared with the afterimages that show it (TOrbaBlurImage), so that
  // they outlive a change of the item's picture or the item itself.
  std::shared_ptr<TCustomDIBX> Surface;
  TCustomDIBX* OverrideDIB = nullptr;
  std::shared_ptr<TCustomDIBX> Mask;
  TCustomDIBX* OverrideMask = nullptr;
  int32_t Alpha = 255;
  // 256 = 1:1; 0 after an explicit Width or Height. The item is sized,
  // turned and saved by the zoom it answers (GetZoomX, GetZoomY), which a
  // movie keeps apart from these.
  int32_t ZoomX = 256, ZoomY = 256;
  int32_t Angle = 0;
  bool FlipH = false, FlipV = false, CaptureMask = false;
  bool SizeDirty = false;
  int32_t Index = 0;
  int32_t BlurSpan = 0, BlurDelay = 0, BlurElapsed = 0;
  int32_t LastIndex = 0, LastLeft = 0, LastTop = 0, LastAngle = 0, LastZoomX = 0, LastZoomY = 0,
          LastScrollX = 0, LastScrollY = 0;

  TCustomDIBX* GetDIB() const override { return OverrideDIB != nullptr ? OverrideDIB : Surface.get(); }
  virtual void SetDIB(TCustomDIBX* dib);
  virtual TCustomDIBX* GetMaskDIB() const { return OverrideMask != nullptr ? OverrideMask : Mask.get(); }
  virtual void SetMaskDIB(TCustomDIBX* mask);
  bool GetResizePending() const override { return SizeDirty; }
  void SetResizePending(bool pending) override { SizeDirty = pending; }
  void UpdateSize() override {
    UpdateWidth();
    UpdateHeight();
  }
  int32_t GetOrigWidth() const override;
  int32_t GetOrigHeight() const override;

  int32_t GetAlpha() const override { return Alpha; }
  int32_t GetZoomX() const override { return ZoomX; }
  int32_t GetZoomY() const override { return ZoomY; }
  int32_t GetAngle() const override { return Angle; }
  bool GetFlipH() const override { return FlipH; }
  bool GetFlipV() const override { return FlipV; }
  bool GetCaptureMask() const override { return CaptureMask; }
  int32_t GetIndex() const override { return Index; }
  int32_t GetBlurSpan() const override { return BlurSpan; }
  int32_t GetBlurDelay() const override { return BlurDelay; }
  void SetAlpha(int32_t v) override;
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;
  void SetPosZoomed(bool v) override;
  void SetAngle(int32_t v) override;
  void SetFlipH(bool v) override;
  void SetFlipV(bool v) override;
  void SetCaptureMask(bool v) override { CaptureMask = v; }
  void SetIndex(int32_t v) override { Index = v; }
  void SetBlurSpan(int32_t v) override;
  void SetBlurDelay(int32_t v) override { BlurDelay = v; }
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;

  // Paints the bitmap onto the screen being painted.
  virtual void DrawImage();
  // True while no frame animation moves the item.
  virtual bool IsAutoSized() const { return Motion == nullptr; }
  virtual void BeforeDrawImage() {}
  virtual void AfterDrawImage() {}

  void Draw() override;
  void Invalidate() override;
  TRect GetBoundsRect() const override;
  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  bool Idle() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // The screen point of the item's origin and the pivot in bitmap pixels.
  void GetDrawRect(TPoint& anchor, TPoint& pivot) const;
  void UpdateWidth();
  void UpdateHeight();
  // The bitmap and the mask drawn by the item's rules at the item's place;
  // with UseRectLists an unscaled bitmap is drawn only inside the rectangle
  // list of the frame it came from.
  void DrawBitmap(TCustomDIBX& bitmap, TCustomDIBX* mask, bool use_rect_lists) const;

 protected:
  // The image part of Idle: a pending resize, then the afterimages.
  void IdleImage();
  void MarkChildrenResize();
  void RecordBlurState();
  // The screen rectangle the item covers (rotated bounds when turned) into
  // the screen's dirty list (InvalidateArea).
  void InvalidateBounds();
  // The afterimage step of Idle: every BlurSpan milliseconds an item that
  // moved, turned, zoomed, scrolled or changed its cell leaves a fading copy
  // of its current picture behind.
  void StepAfterimages();
  // Creates the fading copy of the item's current picture that
  // StepAfterimages leaves behind.
  virtual void LeaveAfterimage();
  // A film frame's bitmap shown in place of the item's own: its mask, and
  // its colour key (a colour) kept as FilmColorKey and given to the bitmap
  // as its pixel value.
  void ShowFilmBitmap(TCustomDIBX* bitmap, TCustomDIBX* mask, int32_t color_key);
  // The clip rectangle of a film frame, through the clip setters.
  void SetFilmClip(const TRect& clip);

 private:
  TRect RotatedBoundsRect() const;
  void UpdateAxis(bool vertical);
  bool MaskHit(int32_t x, int32_t y) const;
};

// P turned back by Angle (256ths of a turn) about Anchor, rounded to whole
// pixels; false when the result leaves the int32 range.
bool TurnPointBack(TPoint p, TPoint anchor, int32_t angle, TPoint& out);

// The depth of new item surfaces.
int32_t ItemBitCount();

// SrcRect of B at (X, Y) on D by the unscaled blend rule of image items:
// through the mask M when given, else keyed by B's colour key; Alpha below
// 255 blended, 255 opaque, above additive with strength Alpha - 256.
void BlendBitmap(TCustomDIBX& d, int32_t x, int32_t y, TCustomDIBX& b, TCustomDIBX* m, const TRect& src,
                 bool flip_h, bool flip_v, int32_t alpha);

}  // namespace orba
