// The image-font label: a caption whose characters are cut from a picture.
// The picture (an image-cell list, so it may be animated) is a grid of equal
// glyph cells in reading order; the character set text says which character
// each cell shows. A character missing from the set leaves a glyph-wide gap;
// a double-byte character is one character.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/image_cells.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaCGLabel : public TOrbaControl {
 public:
  explicit TOrbaCGLabel(TOrbaBaseList* manager) : TOrbaControl(manager) {}

  std::string Source, Text, MapText;
  int32_t GlyphWidth = 1, GlyphHeight = 1;
  int32_t LineSpace = 0;
  bool Paused = false;
  uint8_t HAlign = HA_LEFT;
  int32_t Alpha = 255;
  TOrbaImageList Cells;
  // Per line of the text, the cell of each character (-1: not in the set).
  std::vector<std::vector<int32_t>> GlyphLines;
  std::string OnIdle;

  // The cells of the text's characters, then the item's size.
  void BuildIndex();
  void Resize();

  uint8_t GetCompoType() const override { return CT_CGLABEL; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  std::string GetText() const override { return Text; }
  void SetText(std::string v) override;
  std::string GetMapText() const override { return MapText; }
  void SetMapText(std::string v) override;
  int32_t GetGlyphWidth() const override { return GlyphWidth; }
  void SetGlyphWidth(int32_t v) override;
  int32_t GetGlyphHeight() const override { return GlyphHeight; }
  void SetGlyphHeight(int32_t v) override;
  int32_t GetLineSpace() const override { return LineSpace; }
  void SetLineSpace(int32_t v) override;
  uint8_t GetHAlign() const override { return HAlign; }
  void SetHAlign(uint8_t v) override;
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  bool GetPlaying() const override { return !Paused && !GetAniPaused(); }
  int32_t GetOrigWidth() const override;
  int32_t GetOrigHeight() const override;
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }

  void Draw() override;
  bool Idle() override;
  void FreeSurface() override { Cells.FreeSurfaces(); }
  void RestoreSurface() override { Cells.RestoreSurfaces(); }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

}  // namespace orba
