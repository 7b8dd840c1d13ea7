#include "text/wd_glyph.h"

#include <algorithm>
#include <iterator>

#include "text/decorate.h"
#include "text/ks_word.h"
#include "text/long_work.h"
#include "text/wd_page.h"

namespace orba {

TWdGlyph::~TWdGlyph() {
  if (Parent != nullptr) Parent->RemoveChild(this);
}

TWdPage* TWdGlyph::GetPage() { return Parent != nullptr ? Parent->GetPage() : nullptr; }

bool TWdGlyph::GetNoBreak() const {
  const TDecorate* d = GetDecorate();
  return d != nullptr && d->NoBreak != 0;
}

std::string TWdGlyph::GetRuby() const {
  const TDecorate* d = GetDecorate();
  return d != nullptr ? d->Ruby : std::string();
}

int32_t TWdGlyph::GetAbsLeft() { return (Parent != nullptr ? Parent->GetAbsLeft() : Word.X) + X; }
int32_t TWdGlyph::GetAbsTop() { return (Parent != nullptr ? Parent->GetAbsTop() : Word.Y) + Y; }
int32_t TWdGlyph::GetPageLeft() { return (Parent != nullptr ? Parent->GetPageLeft() : 0) + X; }
int32_t TWdGlyph::GetPageTop() { return (Parent != nullptr ? Parent->GetPageTop() : 0) + Y; }

std::string TWdGlyph::GetText() const {
  const uint16_t code = GetCharCode();
  if (code > 0xFF) return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return std::string(1, static_cast<char>(code));
}

void TWdGlyph::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
  X = x, Y = y, FWidth = width, FHeight = height;
}

void TWdGlyph::Invalidate() { Word.AddDirtyRect(AbsRect()); }

void TWdGlyph::Assign(const TWdGlyph& source) { X = source.X, Y = source.Y, FWidth = source.FWidth, FHeight = source.FHeight; }

TWdComposite::~TWdComposite() {
  for (TWdGlyph* child : children_)
    if (child->Parent == this) child->Parent = nullptr;
  children_.clear();
  owned_.clear();
}

TWdGlyph* TWdComposite::GetItem(int32_t index) const {
  return index >= 0 && index < GetCount() ? children_[static_cast<size_t>(index)] : nullptr;
}

void TWdComposite::RenumberChildren() const {
  GlyphLookupSteps += GetCount();
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->ChildSlot = static_cast<int32_t>(i);
}

int32_t TWdComposite::IndexOf(const TWdGlyph* glyph) const {
  if (glyph == nullptr) return -1;
  const auto at = [&] {
    ++GlyphLookupSteps;
    const int32_t slot = glyph->ChildSlot;
    return slot >= 0 && slot < GetCount() && children_[static_cast<size_t>(slot)] == glyph ? slot : -1;
  };
  if (const int32_t slot = at(); slot >= 0) return slot;
  // A glyph of another parent is not among the children: no renumbering
  // for it (a glyph may sit in a row and in no other composite).
  if (glyph->Parent != this) {
    const auto it = std::find(children_.begin(), children_.end(), glyph);
    GlyphLookupSteps += it - children_.begin();
    return it == children_.end() ? -1 : static_cast<int32_t>(it - children_.begin());
  }
  RenumberChildren();
  return at();
}

void TWdComposite::Add(TWdGlyph* glyph) {
  glyph->ChildSlot = GetCount();
  children_.push_back(glyph);
  glyph->Parent = this;
}

void TWdComposite::AddOwned(std::unique_ptr<TWdGlyph> glyph) {
  Add(glyph.get());
  owned_.push_back(std::move(glyph));
}

std::unique_ptr<TWdGlyph> TWdComposite::TakeOut(TWdGlyph* glyph) {
  // A child found at its slot goes without a search (glyphs freed last
  // first, as a word frees them, leave a long row in constant time each).
  const int32_t at = glyph->Parent == this ? IndexOf(glyph) : -1;
  if (at >= 0) children_.erase(children_.begin() + at);
  else children_.erase(std::remove(children_.begin(), children_.end(), glyph), children_.end());
  if (glyph->Parent == this) glyph->Parent = nullptr;
  // The last added is the likeliest to go (a row the layout drops).
  for (auto it = owned_.rbegin(); it != owned_.rend(); ++it) {
    if (it->get() != glyph) continue;
    std::unique_ptr<TWdGlyph> taken = std::move(*it);
    owned_.erase(std::next(it).base());
    return taken;
  }
  return nullptr;
}

void TWdComposite::RemoveChild(TWdGlyph* glyph) {
  std::unique_ptr<TWdGlyph> doomed = TakeOut(glyph);  // freed here when owned
}

std::unique_ptr<TWdGlyph> TWdComposite::ReleaseChild(TWdGlyph* glyph) { return TakeOut(glyph); }

void TWdComposite::Clear() {
  for (TWdGlyph* child : children_)
    if (child->Parent == this) child->Parent = nullptr;
  children_.clear();
  owned_.clear();
}

std::string TWdComposite::GetText() const {
  std::string s;
  for (TWdGlyph* child : children_) s += child->GetText();
  return s;
}

std::string TWdComposite::GetVisibleText() {
  std::string s;
  for (TWdGlyph* child : children_) {
    if (child->GetAlpha() <= 0) break;
    s += child->GetVisibleText();
  }
  return s;
}

void TWdComposite::Render(bool reset) {
  int64_t done = 0;
  for (TWdGlyph* child : children_) {
    child->Render(reset);
    if (LongWorkMustStop(++done)) return;
  }
}
void TWdComposite::Paint() {
  for (TWdGlyph* child : children_) child->Paint();
}
void TWdComposite::ApplyAlpha(int32_t alpha) {
  for (TWdGlyph* child : children_) child->ApplyAlpha(alpha);
}
void TWdComposite::Hide() {
  for (TWdGlyph* child : children_) child->Hide();
}
void TWdComposite::CollectVarValues(std::vector<std::string>& list) {
  for (TWdGlyph* child : children_) child->CollectVarValues(list);
}
void TWdComposite::FreeImage() {
  for (TWdGlyph* child : children_) child->FreeImage();
}
void TWdComposite::LoadImage() {
  for (TWdGlyph* child : children_) child->LoadImage();
}

TWdGlyph* TWdComposite::GetFirstChar() {
  for (TWdGlyph* child : children_)
    if (TWdGlyph* c = child->GetFirstChar()) return c;
  return nullptr;
}

TWdGlyph* TWdComposite::GetLastChar() {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it)
    if (TWdGlyph* c = (*it)->GetLastChar()) return c;
  return nullptr;
}

}  // namespace orba
