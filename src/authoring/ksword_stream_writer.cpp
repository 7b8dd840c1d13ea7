#include "authoring/ksword_stream_writer.h"

#include "text/glyph_stream.h"
#include "text/ks_word.h"

namespace orba {

void WriteKsWordText(TKsBigStream& stream, const std::string& text) {
  TKsWord word;
  word.BuildGlyphs(text);
  SaveGlyphStream(word, stream);
}

}  // namespace orba
