#include "text/wd_operators.h"

#include <algorithm>
#include <utility>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/expr_exec.h"
#include "script/values/params.h"
#include "text/glyph_stream.h"
#include "text/ks_word.h"
#include "text/wd_char.h"
#include "text/wd_page.h"
#include "text/wd_row.h"

namespace orba {

int32_t TWdOpeReturn::GetHeight() {
  auto* row = dynamic_cast<TWdRow*>(Parent);
  if (row == nullptr) return 0;
  for (TWdGlyph* g : row->Children())
    if (g != this && dynamic_cast<TWdSpace*>(g) == nullptr) return 0;
  return Word.FontSize;
}

void TWdOpeReturn::SaveToStream(TKsBigStream& stream) const { WriteStreamByte(stream, Clear); }
void TWdOpeReturn::LoadFromStream(TKsBigStream& stream, int32_t) { Clear = ReadByteVal(stream); }
void TWdOpeReturn::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  Clear = source.GetClear() ? 1 : 0;
}

void TWdOpeAlign::SaveToStream(TKsBigStream& stream) const { WriteStreamByte(stream, Align); }
void TWdOpeAlign::LoadFromStream(TKsBigStream& stream, int32_t) { Align = ReadByteVal(stream); }
void TWdOpeAlign::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  Align = source.GetAlign();
}

void TWdOpeEvent::SaveToStream(TKsBigStream& stream) const {
  WriteStreamString(stream, Stop != 0 ? "\x01" + Text : Text);
}

void TWdOpeEvent::LoadFromStream(TKsBigStream& stream, int32_t) {
  Text = ReadStreamString(stream);
  Stop = 0;
  if (!Text.empty() && Text[0] == '\x01') {
    Text.erase(0, 1);
    Stop = 1;
  }
}

void TWdOpeEvent::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  Text = source.GetValue();
  Stop = static_cast<uint8_t>(source.GetWait() != 0);
}

TWdOpeVar::TWdOpeVar(TKsWord& word) : TWdGlyph(word) { style_ = Word.Styles.Intern(TDecorate{}); }

TWdOpeVar::~TWdOpeVar() { Word.Styles.Release(style_); }

void TWdOpeVar::SetDecorate(const TDecorate& attrs) { Word.Styles.Change(style_, attrs); }

bool TWdOpeVar::Value(std::string& value) {
  if (!ExprText.empty()) {
    if (Word.FindVarValue(ExprText, value)) {
      std::replace(value.begin(), value.end(), '\x01', '\r');
      return true;
    }
    const std::string text = TrimControls(ExprText);
    if (text.empty() || Word.Funcs == nullptr || !CompileText(text, Expr)) return false;
  } else if (Expr.Empty() || Word.Funcs == nullptr) {
    return false;
  }
  Expr.Result.reset();
  ExecuteParser(Expr, *Word.Funcs);
  if (Expr.Result == nullptr) return false;
  value = Expr.Result->GetAsStr();
  return true;
}

void TWdOpeVar::ExpandVar(bool force) {
  CollapseVar();
  std::string value;
  if (!Value(value)) return;
  std::vector<std::unique_ptr<TWdGlyph>> glyphs;
  for (size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<uint8_t>(value[i]);
    std::unique_ptr<TWdGlyph> glyph;
    if (c == '\r') {
      glyph = std::make_unique<TWdVarReturn>(Word);
    } else if (c >= 32) {
      auto ch = std::make_unique<TWdVarChar>(Word);
      ch->Code = c;
      if (IsSjisLeadByte(c) && i + 1 < value.size()) ch->Code = static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(value[++i]));
      ch->UseStyle(style_);
      ch->Link = Link, ch->Wait = Wait;
      glyph = std::move(ch);
    } else {
      continue;
    }
    inserted_.push_back(glyph.get());
    glyphs.push_back(std::move(glyph));
  }
  Word.InsertRange(Word.IndexOf(this) + 1, std::move(glyphs));
}

void TWdOpeVar::CollapseVar() {
  if (inserted_.empty()) return;
  // The value's glyphs follow the variable in one run: they go together.
  const int32_t first = Word.IndexOf(inserted_.front());
  if (first >= 0 && Word.IndexOf(inserted_.back()) == first + static_cast<int32_t>(inserted_.size()) - 1) {
    Word.DeleteRange(first, static_cast<int32_t>(inserted_.size()));
  } else {
    for (TWdGlyph* g : inserted_) {
      const int32_t i = Word.IndexOf(g);
      if (i >= 0) Word.Delete(i);
    }
  }
  inserted_.clear();
}

void TWdOpeVar::CollectVarValues(std::vector<std::string>& list) {
  const std::string prefix = ExprText + "=";
  for (const std::string& line : list)
    if (SjisSameText(line.substr(0, prefix.size()), prefix)) return;
  std::string stored;
  if (!Word.FindVarValue(ExprText, stored)) return;
  std::string value;
  for (TWdGlyph* g : inserted_) value += g->GetGlyphType() == gtReturn ? std::string("\x01") : g->GetText();
  list.push_back(prefix + value);
}

void TWdOpeVar::SaveState(TKsBigStream& stream, TWdPage& page) {
  WriteStreamInt(stream, inserted_.empty() ? 0 : page.GetSavedAlpha(inserted_.front()));
}

void TWdOpeVar::LoadState(TKsBigStream& stream, int64_t end) {
  if (stream.GetPosition() + 4 > end) return;
  const int32_t alpha = ReadStreamInt(stream);
  for (TWdGlyph* g : inserted_) g->SetAlpha(alpha);
}

void TWdOpeVar::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Word.Styles.IndexOf(style_));
  WriteStreamInt(stream, Wait);
  WriteStreamString(stream, Link);
  WriteStreamString(stream, ExprText);
}

void TWdOpeVar::LoadFromStream(TKsBigStream& stream, int32_t version) {
  Word.Styles.Share(style_, StreamStyle(Word, ReadStreamInt(stream)));
  if (version >= kKsWordVarLinkVersion) {
    Wait = ReadStreamInt(stream);
    Link = ReadStreamString(stream);
  }
  if (version >= kKsWordVarTextVersion) ExprText = ReadStreamString(stream);
  else Expr.LoadFromStream(stream);
}

void TWdOpeVar::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  const auto* s = dynamic_cast<const TWdOpeVar*>(&source);
  if (s == nullptr) return;
  ExprText = s->ExprText, Wait = s->Wait, Link = s->Link;
  Expr.Assign(s->Expr);
  if (&s->Word == &Word) Word.Styles.Share(style_, s->style_);
  else SetDecorate(*s->style_);
}

}  // namespace orba
