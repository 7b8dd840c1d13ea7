// The invisible glyphs of message text: line break, alignment, indent and
// undent, script event, and the variable (and history character) whose
// value is inserted as characters.
#pragma once

#include "script/expr/parser_record.h"
#include "text/decorate.h"
#include "text/wd_glyph.h"

namespace orba {

class TWdOpeReturn : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t Clear = 0;  // set: also ends the page

  uint8_t GetGlyphType() const override { return gtReturn; }
  int32_t GetTextLength() const override { return 1; }
  bool GetClear() const override { return Clear != 0; }
  // The word's font size on a row of its own, else 0.
  int32_t GetHeight() override;
  std::string GetText() const override { return "\r\n"; }
  std::string GetVisibleText() override { return "\r\n"; }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdVarReturn : public TWdOpeReturn {
 public:
  using TWdOpeReturn::TWdOpeReturn;
  int32_t GetTextLength() const override { return 0; }
  bool GetClear() const override { return false; }
};

class TWdOpeAlign : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t Align = 1;
  uint8_t GetGlyphType() const override { return gtAlign; }
  int32_t GetTextLength() const override { return 1; }
  uint8_t GetAlign() const override { return Align; }
  void SetAlign(uint8_t align) override { Align = align; }
  std::string GetText() const override { return std::string(); }
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdOpeIndent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t GetGlyphType() const override { return gtIndent; }
  int32_t GetTextLength() const override { return 1; }
  std::string GetText() const override { return std::string(); }
};

class TWdOpeUndent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t GetGlyphType() const override { return gtUndent; }
  int32_t GetTextLength() const override { return 1; }
  std::string GetText() const override { return std::string(); }
};

class TWdOpeEvent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t Stop = 0;
  std::string Text;

  uint8_t GetGlyphType() const override { return gtEvent; }
  int32_t GetTextLength() const override { return 1; }
  int32_t GetWait() const override { return Stop; }
  std::string GetValue() const override { return Text; }
  std::string GetText() const override { return std::string(); }
  // The text, after byte 0x01 when the stop flag is set.
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdOpeVar : public TWdGlyph {
 public:
  explicit TWdOpeVar(TKsWord& word);
  ~TWdOpeVar() override;

  TOrbaParser Expr;      // the compiled expression of older streams
  std::string ExprText;  // the VAR NAME
  int32_t Wait = 0;
  std::string Link;

  uint8_t GetGlyphType() const override { return gtVar; }
  int32_t GetTextLength() const override { return 1; }
  const TDecorate* GetDecorate() const override { return style_; }
  void SetDecorate(const TDecorate& attrs);
  int32_t GetWait() const override { return Wait; }
  std::string GetLink() const override { return Link; }
  std::string GetValue() const override { return ExprText; }
  std::string GetText() const override { return std::string(); }
  const std::vector<TWdGlyph*>& Inserted() const { return inserted_; }

  // Inserts the value's characters after the glyph.
  void ExpandVar(bool force) override;
  void CollapseVar() override;
  void CollectVarValues(std::vector<std::string>& list) override;
  void SaveState(TKsBigStream& stream, TWdPage& page) override;
  void LoadState(TKsBigStream& stream, int64_t end) override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void Assign(const TWdGlyph& source) override;

 private:
  bool Value(std::string& value);
  TDecorate* style_ = nullptr;
  std::vector<TWdGlyph*> inserted_;
};

class TWdOpeHistChar : public TWdOpeVar {
 public:
  using TWdOpeVar::TWdOpeVar;
  uint8_t GetGlyphType() const override { return gtHistChar; }
  void ExpandVar(bool force) override {
    if (force) TWdOpeVar::ExpandVar(force);
  }
};

}  // namespace orba
