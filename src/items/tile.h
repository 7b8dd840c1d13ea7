// The tile item: a picture repeated over the item's whole rectangle,
// shifted by ScrollX/ScrollY and spaced by DistanceX/DistanceY, animated
// through its cells and always repeating. Its size is the script's, never
// the picture's. Its afterimage (TOrbaBlurTile) repeats the picture the same
// way while it fades.
#pragma once

#include <memory>
#include <string>

#include "items/anim_image.h"
#include "items/blur_image.h"

namespace orba {

// What the tiled drawing of an item reads: the repeat spacing and the shift.
struct TTileLayout {
  int32_t ScrollX = 0, ScrollY = 0, DistanceX = 0, DistanceY = 0;
};

class TOrbaTile : public TOrbaCustomImages {
 public:
  explicit TOrbaTile(TOrbaBaseList* manager);
  ~TOrbaTile() override;

  std::unique_ptr<TOrbaImageList> ImageList;
  std::string Source, OnIdle;
  TTileLayout Layout;

  uint8_t GetCompoType() const override { return CT_TILE; }
  TOrbaImageList* GetImageList() const override { return ImageList.get(); }
  bool GetRepeat() const override { return true; }
  bool IsAutoSized() const override { return false; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  int32_t GetScrollX() const override { return Layout.ScrollX; }
  int32_t GetScrollY() const override { return Layout.ScrollY; }
  int32_t GetDistanceX() const override { return Layout.DistanceX; }
  int32_t GetDistanceY() const override { return Layout.DistanceY; }
  void SetScrollX(int32_t v) override { ChangeLayout(Layout.ScrollX, v); }
  void SetScrollY(int32_t v) override { ChangeLayout(Layout.ScrollY, v); }
  void SetDistanceX(int32_t v) override { ChangeLayout(Layout.DistanceX, v); }
  void SetDistanceY(int32_t v) override { ChangeLayout(Layout.DistanceY, v); }

  // The parent's screen origin less its scroll, plus Left and Top (the
  // film's position while a film runs); offsets and zoom do not move a tile.
  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  int32_t GetRelativeLeft() const override { return Motion != nullptr ? MotionX : Left; }
  int32_t GetRelativeTop() const override { return Motion != nullptr ? MotionY : Top; }

  // One frame of a film tile track.
  struct TFrameState {
    TOrbaControl* Parent = nullptr;
    int32_t Width = 0, Height = 0;
    TCustomDIBX* Bitmap = nullptr;
    TCustomDIBX* Mask = nullptr;
    int32_t ColorKey = -1;
    int32_t ZoomX = 256, ZoomY = 256, Priority = 0, DistanceX = 0, DistanceY = 0;
    bool FlipH = false, FlipV = false;
    int32_t OffsetX = 0, OffsetY = 0, Left = 0, Top = 0, Alpha = 255, BlurSpan = 0, BlurDelay = 0, ScrollX = 0,
            ScrollY = 0;
    TRect Clip;
  };
  // The frame's size, parent, bitmap, mask and key, then its settings
  // through the setters.
  void ApplyFrame(const TFrameState& frame);

  void DrawImage() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  // The animated-image record, then ScrollX, ScrollY, Source, OnIdle,
  // DistanceX and DistanceY (the same in every version).
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  void LeaveAfterimage() override;

 private:
  void ChangeLayout(int32_t& field, int32_t v);
};

// An afterimage of a tile: the tile's picture and layout at the moment it
// was left behind, fading like the image afterimage.
class TOrbaBlurTile final : public TOrbaBlurImage {
 public:
  using TOrbaBlurImage::TOrbaBlurImage;
  TTileLayout Layout;

  int32_t GetScrollX() const override { return Layout.ScrollX; }
  int32_t GetScrollY() const override { return Layout.ScrollY; }
  int32_t GetDistanceX() const override { return Layout.DistanceX; }
  int32_t GetDistanceY() const override { return Layout.DistanceY; }
  void SetScrollX(int32_t v) override { Layout.ScrollX = v; }
  void SetScrollY(int32_t v) override { Layout.ScrollY = v; }
  void SetDistanceX(int32_t v) override { Layout.DistanceX = v; }
  void SetDistanceY(int32_t v) override { Layout.DistanceY = v; }
  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  void DrawImage() override;
};

// Paints Item's bitmap B (with mask M) repeated over the item's screen
// rectangle by the tile rules: copies every DistanceX/DistanceY pixels when
// a distance is at least half the picture's size (else the picture's size),
// shifted by the scroll, with the item's zoom, flips and alpha.
void DrawTiledBitmap(const TOrbaCustomImage& item, const TTileLayout& layout, TCustomDIBX& b, TCustomDIBX* m);

// Lets the component factory create tiles (type CT_TILE).
void RegisterTileItems();

}  // namespace orba
