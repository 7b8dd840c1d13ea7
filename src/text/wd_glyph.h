// The glyph tree of laid-out text: every character, inline image and
// invisible operator of a word (ks_word.h) is a glyph; layout groups them
// into rows inside pages, which are composite glyphs. x and y are relative
// to the parent; a row's children are the word's glyphs (not owned), a
// page's children its rows (owned).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"

namespace orba {

class TKsWord;
class TWdComposite;
class TWdPage;
struct TDecorate;

// Type codes, also the type byte of the glyph stream.
enum TGlyphType : uint8_t {
  gtNone = 0, gtChar = 1, gtAlign = 2, gtReturn = 3, gtIndent = 4, gtUndent = 5,
  gtEvent = 6, gtVar = 7, gtImage = 9, gtHistChar = 10,
};

// The glyphs IndexOf looked at on this thread, in words and composites
// alike: one for a slot checked, one for each glyph renumbered or passed in
// a search. It counts the work of finding places, which must grow with a
// text's length and not with its square; tests hold it to that.
inline thread_local int64_t GlyphLookupSteps = 0;

class TWdGlyph {
 public:
  explicit TWdGlyph(TKsWord& word) : Word(word) {}
  TWdGlyph(const TWdGlyph&) = delete;
  TWdGlyph& operator=(const TWdGlyph&) = delete;
  virtual ~TWdGlyph();

  TKsWord& Word;
  int32_t X = 0, Y = 0, FWidth = 0, FHeight = 0;
  TWdComposite* Parent = nullptr;
  // Where the glyph was last seen among its parent's children and among
  // its word's glyphs: IndexOf checks the slot first, so that finding a
  // glyph's place costs no search while nothing before it moved.
  mutable int32_t ChildSlot = -1, WordSlot = -1;

  virtual TWdPage* GetPage();
  virtual uint8_t GetGlyphType() const { return gtNone; }
  virtual int32_t GetWidth() { return FWidth; }
  virtual int32_t GetHeight() { return FHeight; }
  // The style of a character or variable glyph, else nullptr.
  virtual const TDecorate* GetDecorate() const { return nullptr; }
  bool GetNoBreak() const;
  std::string GetRuby() const;
  virtual uint16_t GetCharCode() const { return 0; }
  virtual uint8_t GetAlign() const { return 0; }
  virtual void SetAlign(uint8_t) {}
  // Positions on the owner's surface and within the page.
  virtual int32_t GetAbsLeft();
  virtual int32_t GetAbsTop();
  virtual int32_t GetPageLeft();
  virtual int32_t GetPageTop();
  // The character code as one or two bytes.
  virtual std::string GetText() const;
  virtual std::string GetLink() const { return std::string(); }
  virtual uint8_t GetHighlight() const { return 0; }
  virtual void SetHighlight(uint8_t) {}
  // 255 for operators, so that they count as fully shown.
  virtual int32_t GetAlpha() const { return 255; }
  virtual void SetAlpha(int32_t) {}
  virtual int32_t GetWait() const { return 0; }
  virtual bool GetClear() const { return false; }
  virtual std::string GetValue() const { return std::string(); }
  virtual std::string GetVisibleText() { return std::string(); }
  virtual int32_t GetTextLength() const { return 0; }
  // A glyph that is drawn (character or image).
  virtual bool IsDrawn() const { return false; }

  void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height);
  TRect PageRect() { return TRect{GetPageLeft(), GetPageTop(), GetPageLeft() + GetWidth(), GetPageTop() + GetHeight()}; }
  TRect AbsRect() { return TRect{GetAbsLeft(), GetAbsTop(), GetAbsLeft() + GetWidth(), GetAbsTop() + GetHeight()}; }

  virtual void CalcSize() {}
  virtual void Render(bool reset) {}
  virtual void Erase() {}
  virtual void Paint() {}
  virtual void ApplyAlpha(int32_t alpha) { SetAlpha(alpha); }
  // Adds the glyph's rectangle on the owner's surface to the word's dirty
  // rectangles.
  void Invalidate();
  virtual void Hide() { SetAlpha(0); }

  // The glyph's record of the version-102 glyph stream, and its reader.
  virtual void SaveToStream(TKsBigStream& stream) const {}
  virtual void LoadFromStream(TKsBigStream& stream, int32_t version) {}
  virtual void ExpandVar(bool force) {}
  virtual void CollapseVar() {}
  virtual void CollectVarValues(std::vector<std::string>& list) {}
  // The display state of the page's saved game record.
  virtual void SaveState(TKsBigStream& stream, TWdPage& page) {}
  virtual void LoadState(TKsBigStream& stream, int64_t end) {}
  virtual bool IsAnimated() const { return false; }
  virtual void Animate() {}
  virtual void FreeImage() {}
  virtual void LoadImage() {}
  virtual TWdGlyph* GetFirstChar() { return GetTextLength() == 1 ? this : nullptr; }
  virtual TWdGlyph* GetLastChar() { return GetTextLength() == 1 ? this : nullptr; }
  // Copies the geometry, then each class its fields.
  virtual void Assign(const TWdGlyph& source);
};

class TWdComposite : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  ~TWdComposite() override;

  int32_t GetCount() const { return static_cast<int32_t>(children_.size()); }
  // nullptr outside 0..Count-1.
  TWdGlyph* GetItem(int32_t index) const;
  // Constant time while the children keep their places; after an insert
  // or removal the first lookup that misses renumbers them once.
  int32_t IndexOf(const TWdGlyph* glyph) const;
  const std::vector<TWdGlyph*>& Children() const { return children_; }
  virtual void Add(TWdGlyph* glyph);
  void AddOwned(std::unique_ptr<TWdGlyph> glyph);
  // Takes the glyph out of the children (and frees it when owned).
  virtual void RemoveChild(TWdGlyph* glyph);
  // Takes the glyph out of the children and hands over its ownership
  // (nullptr when it was not owned).
  std::unique_ptr<TWdGlyph> ReleaseChild(TWdGlyph* glyph);
  void Clear();
  TWdGlyph* GetFirst() const { return children_.empty() ? nullptr : children_.front(); }
  TWdGlyph* GetLast() const { return children_.empty() ? nullptr : children_.back(); }

  std::string GetText() const override;
  std::string GetVisibleText() override;
  void Render(bool reset) override;
  void Paint() override;
  void ApplyAlpha(int32_t alpha) override;
  void Hide() override;
  void CollectVarValues(std::vector<std::string>& list) override;
  void FreeImage() override;
  void LoadImage() override;
  TWdGlyph* GetFirstChar() override;
  TWdGlyph* GetLastChar() override;

 protected:
  std::vector<TWdGlyph*> children_;
  std::vector<std::unique_ptr<TWdGlyph>> owned_;

 private:
  void RenumberChildren() const;
  std::unique_ptr<TWdGlyph> TakeOut(TWdGlyph* glyph);
};

}  // namespace orba
