// TKsWord::Layout: break units under the Japanese line-break rules, rows
// within the wrap width and around floating images, pages within the
// maximum height.
#include <algorithm>
#include <cstring>

#include "text/ks_word.h"
#include "text/line_break.h"
#include "text/long_work.h"
#include "text/markup.h"
#include "text/wd_page.h"

namespace orba {

namespace {

bool HasContent(const TWdRow& row) {
  for (TWdGlyph* g : row.Children())
    if (dynamic_cast<TWdSpace*>(g) == nullptr) return true;
  return false;
}

class TLayouter {
 public:
  TLayouter(TKsWord& word, std::vector<std::unique_ptr<TWdPage>>& pages, int32_t last)
      : w_(word), pages_(pages), last_(last), clip_(word.Width) {}

  void Run(int32_t from) {
    for (int32_t i = from; i <= last_; ++i) {
      w_.GetGlyph(i)->CalcSize();
      if (work_.MustStop()) return;
    }
    const size_t first_page = pages_.size();
    int32_t i = from;
    while (i <= last_ && !work_.MustStop()) i = Place(i);
    int32_t widest = 0;
    for (size_t p = first_page; p < pages_.size(); ++p) {
      pages_[p]->Arrange();
      for (int32_t r = 0; r < pages_[p]->GetCount(); ++r) widest = std::max(widest, pages_[p]->Row(r)->GetWidth());
    }
    if (w_.Width == 0) w_.Width = widest;
  }

 private:
  TKsWord& w_;
  std::vector<std::unique_ptr<TWdPage>>& pages_;
  int32_t last_;
  TWdClipList clip_;
  // Every glyph sized, measured and placed counts: one break unit may hold
  // the whole text.
  TLongWork work_;
  TWdPage* page_ = nullptr;
  TWdRow* row_ = nullptr;
  int32_t row_first_ = -1;  // index of the row's first glyph
  int32_t y_ = 0, indent_ = 0;
  uint8_t align_ = waLeft;

  void EndRow(int32_t gap) {
    y_ = SaturateInt32(int64_t{y_} + row_->GetHeight() + gap);
    row_ = nullptr;
  }
  // Frees the current row and leaves the page, so that what follows
  // starts a new one.
  void DropRowAndPage() {
    page_->RemoveChild(row_);
    row_ = nullptr;
    page_ = nullptr;
  }
  bool Overflows(int32_t height) const {
    return w_.Paging != 0 && page_->GetCount() > 1 && int64_t{y_} + height > w_.MaxHeight;
  }

  void StartRow() {
    if (page_ == nullptr) {
      pages_.push_back(std::make_unique<TWdPage>(w_));
      page_ = pages_.back().get();
      y_ = 0;
      clip_ = TWdClipList(w_.Width);
    }
    auto row = std::make_unique<TWdRow>(w_);
    row_ = row.get();
    page_->AddOwned(std::move(row));
    row_->Y = y_;
    row_->Align = align_;
    row_->FWidth = indent_;
    clip_.LimitsAt(y_, row_->LeftLimit, row_->RightLimit);
    row_first_ = -1;
    if (indent_ > 0) {
      auto space = std::make_unique<TWdSpace>(w_);
      space->FWidth = indent_;
      row_->AddOwned(std::move(space));
    }
  }

  // Places glyph I (or the unit it starts); answers the next index.
  int32_t Place(int32_t i) {
    TWdGlyph* g = w_.GetGlyph(i);
    switch (g->GetGlyphType()) {
      case gtAlign:
        align_ = g->GetAlign();
        if (row_ != nullptr && row_->HoldsNoDrawn()) row_->Align = align_;
        return i + 1;
      case gtIndent:
        if (row_ != nullptr) indent_ = row_->FWidth;
        return i + 1;
      case gtUndent:
        indent_ = 0;
        return i + 1;
      default:
        break;
    }
    if (row_ == nullptr) StartRow();
    const uint8_t align = g->GetAlign();
    if (align == waLeft || align == waRight) return PlaceFloat(i, g, align == waLeft);
    const TBreakUnit unit = MeasureBreakUnit(w_, i, last_, &work_);
    if (HasContent(*row_) && w_.Width != 0 && int64_t{row_->FWidth} + unit.Width > int64_t{row_->RightLimit} - row_->LeftLimit) {
      EndRow(w_.LineSpace);
      return i;
    }
    for (int32_t k = 0; k < unit.Count; ++k) {
      if (work_.MustStop()) return i + k;
      if (row_first_ < 0) row_first_ = i + k;
      row_->Add(w_.GetGlyph(i + k));
      if (Overflows(row_->GetHeight())) {
        const int32_t restart = row_first_;
        DropRowAndPage();
        return restart;
      }
    }
    row_->FWidth = SaturateInt32(int64_t{row_->FWidth} + unit.Width);
    if (g->GetGlyphType() == gtReturn) {
      EndRow(w_.LineSpace);
      if (g->GetClear()) page_ = nullptr;
    }
    return i + unit.Count;
  }

  int32_t PlaceFloat(int32_t i, TWdGlyph* g, bool left) {
    if (HasContent(*row_)) {
      EndRow(0);
      return i;
    }
    if (Overflows(g->GetHeight())) {
      DropRowAndPage();
      return i;
    }
    const int32_t w = g->GetWidth(), h = g->GetHeight();
    const TRect r = left ? TRect{row_->LeftLimit, y_, row_->LeftLimit + w, y_ + h}
                         : TRect{row_->RightLimit - w, y_, row_->RightLimit, y_ + h};
    clip_.Add(r, left);
    g->X = r.Left, g->Y = 0;
    row_->AddFloat(g);
    clip_.LimitsAt(y_, row_->LeftLimit, row_->RightLimit);
    return i + 1;
  }
};

}  // namespace

void TKsWord::Layout(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t from, int32_t to) {
  int32_t last = GetCount() - 1;
  if (to >= 0 && to < GetCount()) {
    last = IndexOfTextOffset(to);
    if (last < 0) last = GetCount() - 1;  // past the last glyph: the last one
  }
  LayoutGlyphs(pages, from, last);
}

void TKsWord::LayoutGlyphs(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t from, int32_t last) {
  if (last < 0 || last >= GetCount()) last = GetCount() - 1;
  if (from < 0) from = 0;
  if (from > last) return;
  TLayouter(*this, pages, last).Run(from);
}

}  // namespace orba
