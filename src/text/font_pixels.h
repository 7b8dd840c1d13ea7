// The glyph bitmap cache: every character the player draws is rendered once
// per (code, font name, size, style bits, anti-alias level) into a coverage
// bitmap, kept among the 256 most recently used, and drawn from there into
// a cell of a colour surface and an 8-bit coverage surface, with an
// optional border and shadow.
//
// A glyph handed out by the cache lives until the next request: the next
// GetGlyph may evict it, so callers draw it at once and keep nothing.
// Window thread only.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/dibx.h"
#include "platform/fonts.h"

namespace orba {

// How a glyph is drawn into its cell. Colours are 0x00BBGGRR. RunStart and
// RunEnd say that the cell begins or ends a run of characters drawn alike:
// there the outlines and shadows of the underline and strike-out bars are
// closed; elsewhere the bars run on to the cell's edges.
struct TGlyphPaint {
  int32_t TextColor = 0xFFFFFF, BorderColor = 0, ShadowColor = 0;
  int32_t Border = 0, Shadow = 0;
  bool RunStart = true, RunEnd = true;
};

class TFontPixel {
 public:
  uint16_t Code = 0;
  std::string FontName;
  int32_t Size = 0;
  uint8_t Style = 0;
  int32_t Level = 0;

  // The black box, one byte of coverage per pixel (0 empty, 255 full); no
  // pixels for a blank character.
  TDIBX Coverage;
  // Where the box starts in the cell.
  int32_t XOffset = 0, YOffset = 0;
  // The bars (from the cell's top), thickness 0 without them.
  int32_t UnderlineY = 0, UnderlineThickness = 0, StrikeY = 0, StrikeThickness = 0;
  // The advance past the box's right edge; a blank's whole width.
  int32_t RightRemainder = 0;
  // The character's A and C widths, which share a wider cell's slack.
  int32_t A = 0, C = 0;

  int32_t GetWidth() { return Coverage.Width(); }
  int32_t GetHeight() { return Coverage.Height(); }
  int32_t Advance() { return XOffset + GetWidth() + RightRemainder; }

  // Draws into Cell of the two surfaces (no pixel outside the cell, the
  // surfaces or their clip rectangles changes) and returns the rectangle of
  // the pixels it changed (empty when none).
  //
  // Without border and shadow the colour surface takes the text colour
  // where the glyph covers and the coverage surface the greater coverage.
  // Otherwise the shadow (the glyph, or its outline with a border, moved
  // Shadow pixels right and down), the outline (the coverage spread over a
  // square of side 2 x Border + 1) and the glyph (moved Border pixels right
  // and down) are laid over each other in that order.
  TRect Draw(TCustomDIBX& colour, TCustomDIBX& coverage, const TGlyphPaint& paint, const TRect& cell);

 private:
  friend class TFontPixelManager;
  std::list<std::unique_ptr<TFontPixel>>::iterator place_;
};

class TFontPixelManager {
 public:
  static constexpr size_t kCapacity = 256;

  // Fonts come from Engine, or from the installed engine (Fonts()) when it
  // is nullptr.
  explicit TFontPixelManager(TFontEngine* engine = nullptr) : engine_(engine) {}
  TFontPixelManager(const TFontPixelManager&) = delete;
  TFontPixelManager& operator=(const TFontPixelManager&) = delete;

  // The anti-alias level of the next requests, 0..3 (3 at first). A glyph
  // whose outline cannot be fetched in gray drops it to 0.
  int32_t Level() const { return level_; }
  void SetLevel(int32_t level);

  TFontPixel* Find(uint16_t code, const std::string& font_name, int32_t size, uint8_t style, int32_t level);
  // The glyph at the current level: the cached one, made the most recently
  // used, or a new one, which may evict the least recently used. Raises
  // EOrbaError "Error:GetOutlineTextMetrics" when no face can be created.
  TFontPixel& GetGlyph(uint16_t code, const std::string& font_name, uint8_t style, int32_t size);
  // The face of that font, for measuring; valid until the next request.
  TFontFace& SelectFont(const std::string& font_name, int32_t size, uint8_t style);

  size_t Count() const { return recent_.size(); }
  void Clear();

 private:
  void CheckEngine();
  void Render(TFontPixel& glyph);

  TFontEngine* engine_;
  int32_t level_ = 3;
  std::array<std::vector<TFontPixel*>, 256> buckets_;
  std::list<std::unique_ptr<TFontPixel>> recent_;  // most recent first
  std::unique_ptr<TFontFace> face_;
  std::string face_name_;
  int32_t face_size_ = 0;
  uint8_t face_style_ = 0;
  uint32_t face_generation_ = 0;
};

// The player's one cache, over the installed engine.
TFontPixelManager& FontPixels();

}  // namespace orba
