// The typed-out display of a page: characters are revealed one after
// another at their waits, fade in, and the events placed in the text fire
// once everything revealed has faded in.
#include <algorithm>
#include <utility>

#include "core/game_clock.h"
#include "text/ks_word.h"
#include "text/wd_page.h"

namespace orba {

namespace {

// The wait a glyph adds to the budget under the word's text delay.
int32_t ScaledWait(int32_t wait, int32_t delay) {
  if (wait >= 0) return static_cast<int32_t>(int64_t{wait} * std::max(0, delay) / 256);
  return delay >= 0 ? -wait : 0;
}

}  // namespace

TWdGlyph* TWdPage::NextGlyph() {
  TWdRow* row = Row(CurRow);
  return row != nullptr ? row->GetItem(CurGlyph) : nullptr;
}

// Reveals the next glyph and moves the caret; Budget takes its wait.
void TWdPage::RevealOne(int32_t& budget) {
  TWdRow* row = Row(CurRow);
  TWdGlyph* g = row->GetItem(CurGlyph);
  if (++CurGlyph >= row->GetCount()) ++CurRow, CurGlyph = 0;
  if (g == nullptr) return;  // an empty row
  g->SetAlpha(0);
  budget += ScaledWait(g->GetWait(), Word.TextDelay);
  if (g->IsDrawn()) Fading.push_back(g);
  if (g->IsAnimated()) Animated.push_back(g);
  TWdGlyph* next = NextGlyph();
  TWdGlyph* at = next != nullptr ? next : g;
  TWdRow* caret_row = next != nullptr ? Row(CurRow) : row;
  Word.Caret = TPoint{at->GetPageLeft() + (next != nullptr ? 0 : g->GetWidth()), at->GetPageTop() - ScrollOffset};
  Word.CaretHeight = caret_row->GetHeight();
}

void TWdPage::Step(bool& completed, std::string& text) {
  completed = false;
  text.clear();
  Word.ClearDirtyRects();
  if (SkipCounter > 0) {
    --SkipCounter;
    return;
  }
  int32_t dt = FrameTime;
  if (RowsRemain() && Word.Paused == 0 && PendingEvents.empty()) {
    int32_t reveal_dt = dt;
    if (CurRow == 0 && CurGlyph == 0) {
      WaitBudget = FadeAccumulator = 0;
      reveal_dt = dt = 0;
    } else if (EventPending != 0) {
      reveal_dt = 0;
    }
    EventPending = 0;
    WaitBudget -= reveal_dt;
    while (RowsRemain() && WaitBudget <= 0) {
      if (Row(CurRow)->Y - ScrollOffset >= Word.MaxHeight && Word.Paging == 0) break;
      TWdGlyph* g = NextGlyph();
      RevealOne(WaitBudget);
      if (g == nullptr) continue;
      if (g->GetGlyphType() == gtEvent) {
        if (Word.EventsEnabled == 0) continue;
        PendingEvents += (PendingEvents.empty() ? "" : "\t") + g->GetValue();
        EventPending = 1;
        TWdGlyph* next = NextGlyph();
        if (g->GetWait() != 0 || next == nullptr || next->GetGlyphType() != gtEvent) break;
      } else if (g->GetGlyphType() == gtChar) {
        text += g->GetVisibleText();
      } else if (g->GetGlyphType() == gtImage) {
        text += "*";
      }
    }
  }
  StepFading(dt);
  for (TWdGlyph* g : Animated) g->Animate();
  if (!PendingEvents.empty() && Fading.empty()) {
    const std::string events = std::exchange(PendingEvents, std::string());
    size_t start = 0;
    for (size_t tab = events.find('\t'); ; tab = events.find('\t', start)) {
      Word.DoEvent(events.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
  }
  if (Complete == 0 && IsComplete()) {
    Complete = 1;
    completed = true;
  }
}

void TWdPage::StepFading(int32_t dt) {
  FadeAccumulator += dt * 256;
  const int32_t step = Word.FadeTime > 0 ? FadeAccumulator / Word.FadeTime : 255;
  if (step <= 0) return;
  FadeAccumulator %= std::max(Word.FadeTime, 1);
  for (TWdGlyph* g : Fading) {
    g->SetAlpha(std::min(255, g->GetAlpha() + step));
    g->Invalidate();
  }
  Fading.erase(std::remove_if(Fading.begin(), Fading.end(), [](TWdGlyph* g) { return g->GetAlpha() >= 255; }),
               Fading.end());
}

void TWdPage::Skip() {
  int32_t budget = 0;
  while (RowsRemain()) {
    TWdGlyph* g = NextGlyph();
    RevealOne(budget);
    if (g != nullptr && g->GetGlyphType() == gtEvent && Word.EventsEnabled != 0)
      PendingEvents += (PendingEvents.empty() ? "" : "\t") + g->GetValue();
  }
  for (TWdGlyph* g : Fading) {
    g->SetAlpha(255);
    g->Invalidate();
  }
  Fading.clear();
  WaitBudget = 0;
}

}  // namespace orba
