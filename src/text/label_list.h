// The label bitmap cache: one-line captions (of buttons and list boxes),
// each rendered once into a colour surface and an 8-bit coverage surface
// and drawn from there, all sharing one font and one set of colours.
// Characters are measured with the font's ABC widths and drawn through the
// glyph bitmap cache.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/dibx.h"
#include "text/font_pixels.h"

namespace orba {

class TKsLabelList;

// The default face of labels and captions: "ＭＳ Ｐゴシック".
extern const char kDefaultLabelFont[];

class TKsLabelDIB {
 public:
  explicit TKsLabelDIB(TKsLabelList& owner) : Owner(owner) {}

  TDIBX Colour;
  TDIBX Cover;  // 8 bits
  TKsLabelList& Owner;
  std::string Text;
  bool Changed = true;
  int32_t Height = 0, Width = 0;
  std::vector<int32_t> Advances;  // one per character

  // A different text is stored and marks the label changed.
  void SetText(const std::string& s);
  // Renders the text into the two surfaces and clears the changed flag.
  void Render();
  // Draws onto the owner's target at (X, Y), rendering first when the
  // label changed or the target's depth is not the colour surface's.
  void Draw(int32_t x, int32_t y);
};

class TKsLabelList {
 public:
  static constexpr size_t kMetricsSize = 212;

  TKsLabelList();
  // The glyphs come from Glyphs, or from the player's cache when nullptr.
  explicit TKsLabelList(TFontPixelManager* glyphs);

  int32_t AntiAlias = 3;
  TCustomDIBX* Target = nullptr;
  int32_t Border = 0, Alpha = 255, FontSize = 12;
  std::string FontName;  // Shift-JIS, "ＭＳ Ｐゴシック" at first
  int32_t TextColor = 0xFFFFFF, BorderColor = 0;
  uint8_t Style = 0;
  // The font's outline text metrics in their Windows layout. Measuring
  // fills them; those of a loaded record are kept as they were and written
  // back unchanged. Nothing reads them.
  std::array<uint8_t, kMetricsSize> OutlineMetrics{};
  int32_t ShadowOffset = 0, ShadowColor = 0;

  TKsLabelDIB& Add();
  // nullptr outside 0..Count-1.
  TKsLabelDIB* GetItem(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void Clear() { items_.clear(); }
  int32_t GetMaxWidth() const;
  void SetFontSize(int32_t size);
  void Invalidate();
  // Sets every label's height and the advance of each of its characters.
  void CalcWidths();

  void SaveToStream(TKsBigStream& stream);
  // Reads a settings record written by the given game-state version;
  // nothing changes when it cannot be read.
  void LoadFromStream(TKsBigStream& stream, int32_t version);

  TFontPixelManager& Glyphs() { return glyphs_ != nullptr ? *glyphs_ : FontPixels(); }

 private:
  std::vector<std::unique_ptr<TKsLabelDIB>> items_;
  TFontPixelManager* glyphs_ = nullptr;
  bool metrics_loaded_ = false;
};

// The outline text metrics of a font in the 212-byte layout a 32-bit
// Windows program stores (the four name pointers 0).
std::array<uint8_t, TKsLabelList::kMetricsSize> OutlineTextMetricsBytes(const TFontMetrics& m);

}  // namespace orba
