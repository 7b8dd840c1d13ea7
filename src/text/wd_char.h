// Drawn glyphs: the base of characters and images (link, alpha, wait and
// fade-out), the character with its interned style, and the character a
// variable inserted.
#pragma once

#include "text/decorate.h"
#include "text/wd_glyph.h"

namespace orba {

class TWdReal : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;

  std::string Link;
  uint8_t Highlight = 0;
  int32_t Wait = 0;  // ms before the next character; negative: absolute
  int32_t FadeDuration = 0, FadeElapsed = 0, FadeStart = 0;

  bool IsDrawn() const override { return true; }
  std::string GetLink() const override { return Link; }
  uint8_t GetHighlight() const override { return Highlight; }
  void SetHighlight(uint8_t on) override { Highlight = on; }
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t alpha) override { alpha_ = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }
  int32_t GetWait() const override { return Wait; }
  void Render(bool reset) override;
  // Clears the glyph's cell on the word's two surfaces.
  void Erase() override;
  void SaveState(TKsBigStream& stream, TWdPage& page) override;
  void LoadState(TKsBigStream& stream, int64_t end) override;
  void Assign(const TWdGlyph& source) override;

  void StartFade(int32_t duration);
  // True once the fade-out has ended (alpha 0).
  bool StepFade(int32_t dt);

 protected:
  void SaveCommon(TKsBigStream& stream) const;
  void LoadCommon(TKsBigStream& stream);

 private:
  int32_t alpha_ = 255;
};

class TWdChar : public TWdReal {
 public:
  // Takes the default style (size 0, colours, border and shadow -1).
  explicit TWdChar(TKsWord& word);
  ~TWdChar() override;

  uint16_t Code = 0;
  TRect Painted;  // page coordinates

  uint8_t GetGlyphType() const override { return gtChar; }
  const TDecorate* GetDecorate() const override { return style_; }
  TDecorate* Style() const { return style_; }
  // Moves the character to the style with these attributes.
  void SetDecorate(const TDecorate& attrs);
  // Takes a style of the word's list as it is (one more reference).
  void UseStyle(TDecorate* style);
  uint16_t GetCharCode() const override { return Code; }
  int32_t GetTextLength() const override { return 1; }
  std::string GetVisibleText() override { return GetText(); }

  void CalcSize() override;
  void Render(bool reset) override;
  void Erase() override;
  void Paint() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;

  // The text colour the character draws in.
  int32_t TextColor() const;

 private:
  TDecorate* style_ = nullptr;
};

class TWdVarChar : public TWdChar {
 public:
  using TWdChar::TWdChar;
  int32_t GetTextLength() const override { return 0; }
  TWdGlyph* GetFirstChar() override { return nullptr; }
  TWdGlyph* GetLastChar() override { return nullptr; }
  void SaveState(TKsBigStream&, TWdPage&) override {}
  void LoadState(TKsBigStream&, int64_t) override {}
};

// A style index read from a stream, checked against the style table of
// the stream being loaded (relative to the word's style base); raises
// EReadError outside it.
TDecorate* StreamStyle(TKsWord& word, int32_t index);

}  // namespace orba
