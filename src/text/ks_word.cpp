#include "text/ks_word.h"

#include <algorithm>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/vocab/vocab.h"
#include "script/functions/sys_func.h"
#include "script/save/scene_versions.h"
#include "script/values/param_collection.h"
#include "text/wd_char.h"
#include "text/wd_image.h"
#include "text/wd_operators.h"
#include "text/wd_page.h"

namespace orba {

TKsWord::TKsWord() : Styles(*this) {}

TKsWord::~TKsWord() { Clear(); }

int32_t TKsWord::CharacterWait() const { return Funcs != nullptr ? Funcs->Store().TextDelay : kDefaultTextDelay; }

void TKsWord::Clear() {
  while (!glyphs_.empty()) glyphs_.pop_back();
  Styles.Clear();
  VarValues.clear();
  StyleBase = 0;
}

TWdGlyph* TKsWord::GetGlyph(int32_t index) const {
  return index >= 0 && index < GetCount() ? glyphs_[static_cast<size_t>(index)].get() : nullptr;
}

int32_t TKsWord::IndexOf(const TWdGlyph* glyph) const {
  if (glyph == nullptr || &glyph->Word != this) return -1;
  const auto at = [&] {
    ++GlyphLookupSteps;
    const int32_t slot = glyph->WordSlot;
    return slot >= 0 && slot < GetCount() && glyphs_[static_cast<size_t>(slot)].get() == glyph ? slot : -1;
  };
  if (const int32_t slot = at(); slot >= 0) return slot;
  // Glyphs of this word outside its list (a row's indent) miss too: one
  // renumbering answers them all until the list changes again.
  if (slots_current_) return -1;
  GlyphLookupSteps += GetCount();
  for (size_t i = 0; i < glyphs_.size(); ++i) glyphs_[i]->WordSlot = static_cast<int32_t>(i);
  slots_current_ = true;
  return at();
}

void TKsWord::Insert(int32_t index, std::unique_ptr<TWdGlyph> glyph) {
  index = std::clamp(index, 0, GetCount());
  slots_current_ = false;
  glyphs_.insert(glyphs_.begin() + index, std::move(glyph));
}

void TKsWord::InsertRange(int32_t index, std::vector<std::unique_ptr<TWdGlyph>> glyphs) {
  if (glyphs.empty()) return;
  index = std::clamp(index, 0, GetCount());
  slots_current_ = false;
  glyphs_.insert(glyphs_.begin() + index, std::make_move_iterator(glyphs.begin()), std::make_move_iterator(glyphs.end()));
}

TWdGlyph& TKsWord::Append(std::unique_ptr<TWdGlyph> glyph) {
  glyph->WordSlot = GetCount();
  glyphs_.push_back(std::move(glyph));
  return *glyphs_.back();
}

void TKsWord::DeleteRange(int32_t index, int32_t count) {
  index = std::clamp(index, 0, GetCount());
  count = std::clamp(count, 0, GetCount() - index);
  if (count == 0) return;
  // Freed from the last to the first, as deleting them one by one would.
  for (int32_t i = index + count; i-- > index;) glyphs_[static_cast<size_t>(i)].reset();
  glyphs_.erase(glyphs_.begin() + index, glyphs_.begin() + index + count);
  slots_current_ = false;
}

void TKsWord::Delete(int32_t index) {
  if (index < 0 || index >= GetCount()) return;
  std::unique_ptr<TWdGlyph> doomed = std::move(glyphs_[static_cast<size_t>(index)]);
  glyphs_.erase(glyphs_.begin() + index);
  slots_current_ = false;
}

std::unique_ptr<TWdGlyph> TKsWord::CreateGlyph(uint8_t type) {
  switch (type) {
    case gtChar: return std::make_unique<TWdChar>(*this);
    case gtAlign: return std::make_unique<TWdOpeAlign>(*this);
    case gtReturn: return std::make_unique<TWdOpeReturn>(*this);
    case gtIndent: return std::make_unique<TWdOpeIndent>(*this);
    case gtUndent: return std::make_unique<TWdOpeUndent>(*this);
    case gtEvent: return std::make_unique<TWdOpeEvent>(*this);
    case gtVar: return std::make_unique<TWdOpeVar>(*this);
    case gtImage: return std::make_unique<TWdImg>(*this);
    case gtHistChar: return std::make_unique<TWdOpeHistChar>(*this);
    default: return nullptr;
  }
}

void TKsWord::ExpandVars(int32_t from, int32_t to, bool force) {
  if (to < 0 || to >= GetCount()) to = GetCount() - 1;
  for (int32_t i = to; i >= std::max(from, 0); --i) glyphs_[static_cast<size_t>(i)]->ExpandVar(force);
}

void TKsWord::CollapseVars(int32_t from, int32_t to) {
  if (to < 0 || to >= GetCount()) to = GetCount() - 1;
  for (int32_t i = to; i >= std::max(from, 0); --i)
    if (i < GetCount()) glyphs_[static_cast<size_t>(i)]->CollapseVar();
}

int32_t TKsWord::TextOffsetOf(const TWdGlyph* glyph) const {
  int32_t offset = 0;
  for (const auto& g : glyphs_) {
    if (g.get() == glyph) break;
    offset += g->GetTextLength();
  }
  return offset;
}

int32_t TKsWord::IndexOfTextOffset(int32_t n) const {
  if (n <= 0) return 0;
  int32_t sum = 0;
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    sum += glyphs_[i]->GetTextLength();
    if (sum >= n) return i + 1 < glyphs_.size() ? static_cast<int32_t>(i + 1) : -1;
  }
  return -1;
}

void TKsWord::CopyGlyphs(const TKsWord& source, int32_t from, int32_t to) {
  for (int32_t i = std::max(from, 0); i <= to && i < source.GetCount(); ++i) {
    const TWdGlyph& g = *source.GetGlyph(i);
    std::unique_ptr<TWdGlyph> copy = CreateGlyph(g.GetGlyphType());
    if (copy == nullptr) continue;
    copy->Assign(g);
    Append(std::move(copy));
  }
}

void TKsWord::AddDirtyRect(const TRect& r) {
  if (!RectIsEmpty(r)) DirtyRects.push_back(r);
}

void TKsWord::DoEvent(const std::string& text) {
  if (OnEvent) OnEvent(*this, text);
}

void TKsWord::FreeImages() {
  for (auto& g : glyphs_) g->FreeImage();
}

void TKsWord::LoadImages() {
  for (auto& g : glyphs_) g->LoadImage();
}

bool TKsWord::FindVarValue(const std::string& name, std::string& value) const {
  const std::string prefix = name + "=";
  for (const std::string& line : VarValues) {
    if (line.size() < prefix.size() || !SjisSameText(line.substr(0, prefix.size()), prefix)) continue;
    value = line.substr(prefix.size());
    return true;
  }
  return false;
}

void TKsWord::SaveToStream(TKsBigStream& s) const {
  for (int32_t v : {X, Y, FontSize}) WriteStreamInt(s, v);
  WriteStreamString(s, FontName);
  for (int32_t v : {TextColor, MaxHeight, Width, AntiAlias, LineSpace}) WriteStreamInt(s, v);
  WriteStreamByte(s, Paging);
  for (int32_t v : {LinkColor, HoverColor, FadeTime, BorderColor, Alpha}) WriteStreamInt(s, v);
  WriteStreamByte(s, Paused);
  for (int32_t v : {Caret.X, Caret.Y, TextDelay}) WriteStreamInt(s, v);
  WriteStreamByte(s, EventsEnabled);
  for (int32_t v : {ShadowColor, DefaultBorder, DefaultShadow}) WriteStreamInt(s, v);
}

void TKsWord::LoadFromStream(TKsBigStream& s, int32_t version) {
  const int32_t x = ReadStreamInt(s), y = ReadStreamInt(s), font_size = ReadStreamInt(s);
  std::string font_name = ReadStreamString(s);
  int32_t ints[10];
  for (int i = 0; i < 5; ++i) ints[i] = ReadStreamInt(s);
  const uint8_t paging = ReadByteVal(s);
  for (int i = 5; i < 10; ++i) ints[i] = ReadStreamInt(s);
  const uint8_t paused = ReadByteVal(s);
  const int32_t cx = ReadStreamInt(s), cy = ReadStreamInt(s), delay = ReadStreamInt(s);
  const uint8_t events = ReadByteVal(s);
  const int32_t shadow_color = version >= kSceneWordShadowColorVersion ? ReadStreamInt(s) : ShadowColor;
  const int32_t border = version >= kSceneWordBorderVersion ? ReadStreamInt(s) : DefaultBorder;
  const int32_t shadow = version >= kSceneWordBorderVersion ? ReadStreamInt(s) : DefaultShadow;
  X = x, Y = y, FontSize = font_size, FontName = std::move(font_name);
  TextColor = ints[0], MaxHeight = ints[1], Width = ints[2], AntiAlias = ints[3], LineSpace = ints[4];
  Paging = paging;
  LinkColor = ints[5], HoverColor = ints[6], FadeTime = ints[7], BorderColor = ints[8], Alpha = ints[9];
  Paused = paused, Caret = TPoint{cx, cy}, TextDelay = delay, EventsEnabled = events;
  ShadowColor = shadow_color, DefaultBorder = border, DefaultShadow = shadow;
}

}  // namespace orba
