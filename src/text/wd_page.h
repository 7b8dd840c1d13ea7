// One laid-out page of a word: its rows, the state of its typed-out display
// (the next glyph, the wait budget, the glyphs fading in, the pending
// events), the highlighted link run and the stored variable values.
#pragma once

#include "text/wd_row.h"

namespace orba {

class TWdPage : public TWdComposite {
 public:
  explicit TWdPage(TKsWord& word) : TWdComposite(word) {}

  int32_t ScrollOffset = 0;
  TWdGlyph* HoverGlyph = nullptr;
  std::vector<TWdGlyph*> Fading, Animated;
  int32_t WaitBudget = 0;
  int32_t CurRow = 0, CurGlyph = 0;
  int32_t SkipCounter = 1;
  std::string PendingEvents;  // TAB-separated
  int32_t FadeAccumulator = 0;
  uint8_t Complete = 0, EventPending = 0;
  std::string VarValues;

  TWdPage* GetPage() override { return this; }
  int32_t GetWidth() override;
  int32_t GetAbsLeft() override;
  int32_t GetAbsTop() override;
  int32_t GetPageLeft() override { return 0; }
  int32_t GetPageTop() override { return 0; }
  TWdRow* Row(int32_t index) const { return static_cast<TWdRow*>(GetItem(index)); }

  void Arrange();
  // Sizes and clears the word's surfaces and renders every row.
  void Render(bool reset) override;
  // The glyph under a point of the owner's surface, or nullptr.
  TWdGlyph* GlyphAt(int32_t x, int32_t y);
  void HoverAt(int32_t x, int32_t y);
  void HighlightRun(bool on);
  std::string GetHoverText();
  bool IsShowing();
  bool IsComplete();
  void ResetTiming();
  void ResetDisplay();
  void ClearPage();
  int32_t GetSavedAlpha(TWdGlyph* glyph);
  void StoreVarValues();

  // One tick of the typed-out display.
  void Step(bool& completed, std::string& text);
  // Shows the rest of the page at once.
  void Skip();

  // The page's own state, with the states of its glyphs.
  using TWdComposite::SaveState;
  void SaveState(TKsBigStream& stream);
  // Reads a saved state; the indexes are kept within the page and the
  // glyphs' alphas are read only up to End, the end of the saved block.
  void LoadState(TKsBigStream& stream, int64_t end) override;

 private:
  // Fading sorted, while SaveState runs.
  std::vector<TWdGlyph*> fading_sorted_;
  bool saving_ = false;
  bool RowsRemain() const { return CurRow < GetCount(); }
  TWdGlyph* NextGlyph();
  void RevealOne(int32_t& budget);
  void StepFading(int32_t dt);
  // The glyphs of the run starting at the hover glyph.
  std::vector<TWdGlyph*> HoverRun();
};

}  // namespace orba
