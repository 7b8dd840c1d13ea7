// A row of laid-out text, the empty glyph that indents it, and the list of
// wrap-exclusion rectangles that floating images leave.
#pragma once

#include "text/wd_glyph.h"

namespace orba {

// An empty glyph whose width the layout sets (a row's indent).
class TWdSpace : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  std::string GetText() const override { return std::string(); }
};

class TWdRow : public TWdComposite {
 public:
  using TWdComposite::TWdComposite;

  int32_t LeftLimit = 0, RightLimit = 0;
  uint8_t Align = 1;
  int32_t Above = 0, Base = 0, Below = 0;

  uint8_t GetAlign() const override { return Align; }
  void SetAlign(uint8_t align) override { Align = align; }
  // Appends a glyph in the flow and takes its height into the row's.
  void Add(TWdGlyph* glyph) override;
  // A floating glyph: a child placed by the layout (its x and y kept), not
  // in the flow and not part of the row's height.
  void AddFloat(TWdGlyph* glyph);
  void RemoveFloat(TWdGlyph* glyph);
  void RemoveChild(TWdGlyph* glyph) override;
  const std::vector<TWdGlyph*>& Floats() const { return floats_; }
  bool IsFloat(const TWdGlyph* glyph) const;
  // True while the row holds no drawn glyph.
  bool HoldsNoDrawn() const;

  // Places the children: x from the start given by the alignment, y on the
  // row's common bottom line (or by their vertical alignment).
  void Arrange();
  // The first fully shown child whose box holds the point (relative to the
  // row), else nullptr.
  TWdGlyph* GlyphAt(int32_t x, int32_t y);
  void Paint() override;

 private:
  void AddHeight(TWdGlyph* glyph);
  std::vector<TWdGlyph*> floats_;
};

// Wrap-exclusion rectangles, each on the left or right side.
class TWdClipList {
 public:
  explicit TWdClipList(int32_t width) : width_(width) {}
  void Add(const TRect& rect, bool left) { items_.push_back({rect, left}); }
  // The free span at y: left floats raise the left limit to their right
  // edges, right floats lower the right limit to their left edges.
  void LimitsAt(int32_t y, int32_t& left, int32_t& right) const;

 private:
  struct TItem {
    TRect Rect;
    bool Left;
  };
  int32_t width_;
  std::vector<TItem> items_;
};

}  // namespace orba
