// A screen root of the object manager: the top of one visual tree, with its
// own picture, dirty rectangles and pointer state. The manager keeps two.
#pragma once

#include <cstdint>
#include <memory>

#include "core/containers/clip_list.h"
#include "graphics/dibx.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaBaseList;

class TOrbaBase : public TOrbaControl {
 public:
  TOrbaBase(TOrbaBaseList* manager, int32_t index);

  TClipList Dirty;
  // The root's own picture: a DirectDraw surface while the screen runs
  // accelerated, else a memory bitmap (NewDrawingSurface).
  std::unique_ptr<TCustomDIBX> Screen;
  // A second bitmap of the root's size; its transparent colour is the pixel
  // of colour 0x800080.
  TDIBX Work;
  int32_t Index;
  int32_t MouseX = 0, MouseY = 0;
  bool LeftPress = false, LeftPressed = false;
  bool RightPress = false, RightPressed = false;
  bool LeftHeld = false, RightHeld = false;
  bool Moved = false;
  uint8_t Capture = 0;  // 4: left button captured by Hover; 8: right button
  TObjectHandle Hover;
  bool WheelDown = false, WheelDownNow = false, WheelUp = false, WheelUpNow = false;

  static constexpr uint8_t kLeftCaptured = 4;
  static constexpr uint8_t kRightCaptured = 8;

  // The pixel depth of the screens.
  static constexpr int32_t kScreenBits = 32;
  static constexpr int32_t kWorkTransparentColor = 0x800080;

  bool GetAutoName() const override { return false; }
  bool IsScreenRoot() const override { return true; }
  TOrbaBase* GetScreen() const override { return const_cast<TOrbaBase*>(this); }
  TCustomDIBX* GetDIB() const override;
  TCustomDIBX* GetSurface() const override { return GetDIB(); }
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void InflateDirtyRect(TRect& rect) const override {}

  // Adds R, cut to the root, to the dirty list.
  virtual void InvalidateRect(TRect rect);
  void InvalidateAll() { InvalidateRect(TRect{0, 0, Width, Height}); }
  // Paints the dirty rectangles: background colour, then the children.
  void Draw() override;
  void SetMousePos(int32_t x, int32_t y);
  bool GetLPush() const { return LeftHeld && (Capture & kLeftCaptured) == 0; }
  bool GetRPush() const { return RightHeld && (Capture & kRightCaptured) == 0; }
  // One tick of pointer tracking: hit test, button and hover events.
  void TrackMouse();

 private:
  // The hover events of the pointer over Target (none: over nothing): out
  // of the object it leaves, into and over Target when it moved; then Target
  // is the hovered object and the move is spent.
  void HoverTo(TObjectHandle target_handle);
  void ResizeScreen();
};

}  // namespace orba
