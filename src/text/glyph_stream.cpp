#include "text/glyph_stream.h"

#include <cstring>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "text/wd_char.h"
#include "text/wd_operators.h"

namespace orba {

namespace {

// Glyphs a variable inserted: expansion makes them again.
bool Inserted(const TWdGlyph& g) {
  return dynamic_cast<const TWdVarChar*>(&g) != nullptr || dynamic_cast<const TWdVarReturn*>(&g) != nullptr;
}

int32_t ReadVersion(TKsBigStream& stream) {
  const int64_t start = stream.GetPosition();
  char head[9] = {};
  if (stream.Read(head, 9) != 9 || std::memcmp(head, kKsWordMagic, 6) != 0) {
    stream.SetPosition(start);
    return 0;
  }
  int32_t version = 0;
  for (int i = 6; i < 9; ++i) {
    if (head[i] < '0' || head[i] > '9') throw EReadError();
    version = version * 10 + (head[i] - '0');
  }
  return version;
}

}  // namespace

void LoadGlyphStream(TKsWord& word, TKsBigStream& stream) {
  const int32_t version = ReadVersion(stream);
  std::vector<std::unique_ptr<TDecorate>> styles = TDecorateList::ReadTable(stream, version);
  const int32_t table = static_cast<int32_t>(styles.size());
  const int32_t old_styles = word.Styles.Count(), old_base = word.StyleBase, old_glyphs = word.GetCount();
  word.StyleBase = old_styles;
  word.LoadStyleCount = table;
  // Each style of the table holds one reference while the glyphs load, so
  // that none is freed (and none moves) before its glyphs take it.
  for (auto& s : styles) s->RefCount = 1;
  word.Styles.Append(std::move(styles));
  try {
    const int32_t count = ReadStreamInt(stream);
    if (count < 0) throw EReadError();
    CheckStoredCount(stream, count, 1);
    for (int32_t i = 0; i < count; ++i) {
      std::unique_ptr<TWdGlyph> glyph = word.CreateGlyph(ReadByteVal(stream));
      if (glyph == nullptr) throw EReadError();
      glyph->LoadFromStream(stream, version);
      word.Append(std::move(glyph));
    }
  } catch (...) {  // cleaned up, then rethrown
    while (word.GetCount() > old_glyphs) word.Delete(word.GetCount() - 1);
    word.Styles.Truncate(old_styles);
    word.StyleBase = old_base;
    word.LoadStyleCount = 0;
    throw;
  }
  for (int32_t i = 0; i < table; ++i) --word.Styles.Get(old_styles + i)->RefCount;
  word.LoadStyleCount = 0;
}

void SaveGlyphStream(const TKsWord& word, TKsBigStream& stream) {
  stream.WriteBuffer(kKsWordMagic, 6);
  stream.WriteBuffer(std::to_string(kKsWordStreamVersion).data(), 3);
  std::vector<int32_t> counts(static_cast<size_t>(word.Styles.Count()), 0);
  int32_t written = 0;
  for (int32_t i = 0; i < word.GetCount(); ++i) {
    const TWdGlyph& g = *word.GetGlyph(i);
    if (Inserted(g) || g.GetGlyphType() == gtNone) continue;
    ++written;
    const int32_t style = word.Styles.IndexOf(g.GetDecorate());
    if (style >= 0) ++counts[static_cast<size_t>(style)];
  }
  word.Styles.SaveToStream(stream, counts);
  WriteStreamInt(stream, written);
  for (int32_t i = 0; i < word.GetCount(); ++i) {
    const TWdGlyph& g = *word.GetGlyph(i);
    if (Inserted(g) || g.GetGlyphType() == gtNone) continue;
    WriteStreamByte(stream, g.GetGlyphType());
    g.SaveToStream(stream);
  }
}

}  // namespace orba
