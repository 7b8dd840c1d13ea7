// The caption item: a few lines of plain text in one font, size, style and
// colour, rendered once into a colour bitmap and an 8-bit coverage mask
// through the glyph bitmap cache, and drawn from there with alpha, zoom,
// rotation and flips. A ".omt" source runs a motion file on it.
#pragma once

#include <string>
#include <vector>

#include "graphics/dibx.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaLabel : public TOrbaControl {
 public:
  explicit TOrbaLabel(TOrbaBaseList* manager);

  std::vector<std::string> Lines;
  std::string FontName;
  int32_t FontHeight = 12, LineSpace = 0;
  uint8_t FontStyle = 0;
  TDIBX TextBitmap;  // the characters in the font colour, screen depth
  TDIBX MaskBitmap;  // 8 bits: the characters' coverage
  int32_t Alpha = 255, FontColor = 0;
  uint8_t HAlign = HA_LEFT;
  bool AntiAlias = false, FlipH = false, FlipV = false;
  int32_t Angle = 0;
  int32_t NaturalWidth = 0, NaturalHeight = 0;
  int32_t ZoomX = 256, ZoomY = 256;
  std::string OnIdle, Source, OnPlayEnd;
  bool Repeat = false, AutoScrap = false, Paused = false;
  // Per non-empty line: the part of the mask its characters touched.
  std::vector<TRect> LineBoxes;

  uint8_t GetCompoType() const override { return CT_LABEL; }
  std::string GetText() const override;
  void SetText(std::string v) override;
  std::string GetFontName() const override { return FontName; }
  void SetFontName(std::string v) override;
  int32_t GetFontHeight() const override { return FontHeight; }
  void SetFontHeight(int32_t v) override;
  int32_t GetLineSpace() const override { return LineSpace; }
  void SetLineSpace(int32_t v) override;
  TFontStyle GetFontStyle() const override { return IntToFontStyle(FontStyle); }
  void SetFontStyle(TFontStyle v) override;
  uint8_t GetHAlign() const override { return HAlign; }
  void SetHAlign(uint8_t v) override;
  bool GetAntiAlias() const override { return AntiAlias; }
  void SetAntiAlias(bool v) override;
  int32_t GetFontColor() const override { return FontColor; }
  void SetFontColor(int32_t v) override;
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  bool GetFlipH() const override { return FlipH; }
  void SetFlipH(bool v) override;
  bool GetFlipV() const override { return FlipV; }
  void SetFlipV(bool v) override;
  int32_t GetAngle() const override { return Angle; }
  void SetAngle(int32_t v) override;
  int32_t GetZoomX() const override { return ZoomX; }
  void SetZoomX(int32_t v) override;
  int32_t GetZoomY() const override { return ZoomY; }
  void SetZoomY(int32_t v) override;
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override { ChangeFilmSource(Source, std::move(v)); }
  bool GetRepeat() const override { return Repeat; }
  void SetRepeat(bool v) override { ChangeMotionRepeat(Repeat, v); }
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }

  // Measures the lines, sizes the item and renders the two bitmaps.
  void Render();
  void Draw() override;
  void Invalidate() override;
  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  // The two bitmaps go; RestoreSurface renders them again.
  void FreeSurface() override;
  void RestoreSurface() override { Render(); }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  TRect DrawBounds() const;
};

// A * B / 256 as the layout arithmetic takes script values: multiplied in
// 64 bits, divided rounding toward zero, saturated to int32.
int32_t ScaleBy256(int64_t a, int64_t b);
// A * B saturated to int32.
int32_t SaturatedProduct(int64_t a, int64_t b);

}  // namespace orba
