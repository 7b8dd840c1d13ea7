// The text layout engine of one message: builds the glyphs of a text in
// the tag language (or loads a precompiled glyph stream), lays them out
// into pages of rows with Japanese line-break rules, and holds what the
// pages draw through: the text, coverage and work surfaces, the colours
// and the settings of its owner (message window or backlog).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/dibx.h"
#include "text/decorate.h"
#include "text/font_pixels.h"
#include "text/wd_glyph.h"

namespace orba {

class TSysFuncMan;
class TWdPage;

// "ＭＳ ゴシック"
inline constexpr char kDefaultWordFont[] = "\x82l\x82r \x83S\x83V\x83" "b\x83N";

class TKsWord {
 public:
  TKsWord();
  ~TKsWord();
  TKsWord(const TKsWord&) = delete;
  TKsWord& operator=(const TKsWord&) = delete;

  int32_t FontSize = 12;
  std::string FontName = kDefaultWordFont;
  int32_t TextColor = 0;
  int32_t MaxHeight = 0;
  int32_t Width = 0;  // 0: no wrapping; after layout the widest row
  TDecorateList Styles;
  TDIBX TextSurface, WorkSurface;
  int32_t LineSpace = 0;
  int32_t X = 0, Y = 0;
  TCustomDIBX* Target = nullptr;
  uint8_t Paging = 1;
  int32_t LinkColor = 0xFF0000, HoverColor = 0x008000, FadeTime = 1, BorderColor = 0x808080;
  TRect PaintRect;
  int32_t Alpha = 255;
  uint8_t Paused = 0;
  std::function<void(TKsWord&, const std::string&)> OnEvent;
  TPoint Caret;
  int32_t CaretHeight = 0;
  int32_t TextDelay = 256;  // waits scaled by TextDelay / 256
  uint8_t EventsEnabled = 0;
  TDIBX Coverage;
  int32_t AntiAlias = 3;
  int32_t ShadowColor = 0, DefaultBorder = 0, DefaultShadow = 0;
  std::vector<std::string> VarValues;  // name=value
  std::vector<TRect> DirtyRects;
  int32_t StyleBase = 0;
  // The size of the style table of the stream being loaded.
  int32_t LoadStyleCount = 0;

  // Services of the owner. Funcs runs VAR expressions and answers the
  // character wait ("@TextDelay"); Glyphs draws characters (nullptr: the
  // player's cache); ScreenBitCount is the depth of the text surface.
  TSysFuncMan* Funcs = nullptr;
  TFontPixelManager* Glyphs = nullptr;
  int32_t ScreenBitCount = 32;
  TFontPixelManager& GlyphCache() { return Glyphs != nullptr ? *Glyphs : FontPixels(); }

  // Builds the glyphs of a text (its lines joined with CR). Raises
  // EOrbaError "<A>タグにHREF値がありません" for an A tag without HREF; the
  // glyphs built before it stay.
  void BuildGlyphs(const std::string& text);
  // The character wait of a build: "@TextDelay", 50 without a store.
  int32_t CharacterWait() const;
  // To < 0 or past the end: the last glyph.
  void ExpandVars(int32_t from, int32_t to, bool force);
  void CollapseVars(int32_t from, int32_t to);
  // Lays glyphs From..To out into new pages appended to Pages.
  void Layout(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t from, int32_t to);
  // The same over the glyph indexes From..Last (Last < 0 or past the end:
  // the last glyph).
  void LayoutGlyphs(std::vector<std::unique_ptr<TWdPage>>& pages, int32_t from, int32_t last);
  void Clear();

  int32_t GetCount() const { return static_cast<int32_t>(glyphs_.size()); }
  TWdGlyph* GetGlyph(int32_t index) const;
  // Constant time while the glyphs keep their places (the slot each glyph
  // remembers); after an insert or deletion one lookup renumbers them.
  int32_t IndexOf(const TWdGlyph* glyph) const;
  void Insert(int32_t index, std::unique_ptr<TWdGlyph> glyph);
  // Inserts the glyphs in order before Index, moving the later ones once.
  void InsertRange(int32_t index, std::vector<std::unique_ptr<TWdGlyph>> glyphs);
  TWdGlyph& Append(std::unique_ptr<TWdGlyph> glyph);
  // Frees the glyph (taking it out of its row first).
  void Delete(int32_t index);
  // Frees Count glyphs from Index on (those within the list).
  void DeleteRange(int32_t index, int32_t count);
  // A new glyph of a stream type code; nullptr outside the table.
  std::unique_ptr<TWdGlyph> CreateGlyph(uint8_t type);

  int32_t TextOffsetOf(const TWdGlyph* glyph) const;
  // The index just after the first glyphs whose text lengths reach N
  // (N <= 0: 0); -1 past the last glyph.
  int32_t IndexOfTextOffset(int32_t n) const;
  // Appends copies of the source's glyphs From..To; characters take an
  // equal style of this word's list.
  void CopyGlyphs(const TKsWord& source, int32_t from, int32_t to);

  void AddDirtyRect(const TRect& r);
  void ClearDirtyRects() { DirtyRects.clear(); }
  void DoEvent(const std::string& text);
  void SetFadeTime(int32_t t) { FadeTime = t; }
  void FreeImages();
  void LoadImages();

  // The settings record of the owner's saved game.
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);

  // A stored variable value ("name=value" line), if any.
  bool FindVarValue(const std::string& name, std::string& value) const;

 private:
  std::vector<std::unique_ptr<TWdGlyph>> glyphs_;
  // Whether every glyph's WordSlot is its place in glyphs_.
  mutable bool slots_current_ = true;
};

}  // namespace orba
