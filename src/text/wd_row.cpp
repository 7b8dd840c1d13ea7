#include "text/wd_row.h"

#include <algorithm>

#include "text/ks_word.h"
#include "text/markup.h"

namespace orba {

bool TWdRow::IsFloat(const TWdGlyph* glyph) const {
  return std::find(floats_.begin(), floats_.end(), glyph) != floats_.end();
}

bool TWdRow::HoldsNoDrawn() const {
  return std::none_of(children_.begin(), children_.end(), [](TWdGlyph* g) { return g->IsDrawn(); });
}

void TWdRow::AddHeight(TWdGlyph* glyph) {
  const int32_t h = glyph->GetHeight();
  switch (glyph->GetAlign()) {
    case waCenter: {
      const int32_t e = (h - Base + 1) / 2;
      Above = std::max(Above, e);
      Below = std::max(Below, e);
      break;
    }
    case waTop: Below = std::max(Below, h - Base); break;
    case waBottom: Above = std::max(Above, h - Base); break;
    default: Base = std::max(Base, h); break;
  }
  FHeight = Above + Base + Below;
}

void TWdRow::Add(TWdGlyph* glyph) {
  TWdComposite::Add(glyph);
  AddHeight(glyph);
}

void TWdRow::AddFloat(TWdGlyph* glyph) {
  TWdComposite::Add(glyph);
  floats_.push_back(glyph);
}

void TWdRow::RemoveFloat(TWdGlyph* glyph) { RemoveChild(glyph); }

void TWdRow::RemoveChild(TWdGlyph* glyph) {
  floats_.erase(std::remove(floats_.begin(), floats_.end(), glyph), floats_.end());
  TWdComposite::RemoveChild(glyph);
}

void TWdRow::Arrange() {
  Above = Base = Below = 0;
  for (TWdGlyph* child : children_)
    if (!IsFloat(child)) AddHeight(child);
  FHeight = Above + Base + Below;
  int32_t x = LeftLimit;
  if (Align == waRight) x = SaturateInt32(int64_t{RightLimit} - FWidth);
  else if (Align == waCenter) x = SaturateInt32(LeftLimit + (int64_t{RightLimit} - LeftLimit - FWidth) / 2);
  FWidth = SaturateInt32(int64_t{FWidth} + x);
  for (TWdGlyph* child : children_) {
    if (IsFloat(child)) continue;
    const int32_t h = child->GetHeight();
    child->X = x;
    x = SaturateInt32(int64_t{x} + child->GetWidth());
    if (h == 0) child->Y = Above;
    else if (child->GetAlign() == waCenter) child->Y = Above + (Base - h) / 2;
    else if (child->GetAlign() == waTop) child->Y = Above;
    else child->Y = FHeight - Below - h;
  }
}

TWdGlyph* TWdRow::GlyphAt(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return nullptr;
  for (TWdGlyph* child : children_) {
    if (child->GetAlpha() != 255) continue;
    if (x >= child->X && x < child->X + child->GetWidth() && y >= child->Y && y < child->Y + child->GetHeight())
      return child;
  }
  return nullptr;
}

void TWdRow::Paint() {
  TRect box{GetAbsLeft(), GetAbsTop(), GetAbsLeft() + GetWidth(), GetAbsTop() + GetHeight()};
  for (TWdGlyph* f : floats_) {  // floats may reach below the row
    box.Bottom = std::max(box.Bottom, GetAbsTop() + f->Y + f->GetHeight());
    box.Right = std::max(box.Right, GetAbsLeft() + f->X + f->GetWidth());
  }
  if (RectsOverlap(box, Word.PaintRect)) TWdComposite::Paint();
}

void TWdClipList::LimitsAt(int32_t y, int32_t& left, int32_t& right) const {
  left = 0, right = width_;
  for (const TItem& item : items_) {
    if (y < item.Rect.Top || y >= item.Rect.Bottom) continue;
    if (item.Left) left = std::max(left, item.Rect.Right);
    else right = std::min(right, item.Rect.Left);
  }
}

}  // namespace orba
