// libFuzzer harness: any bytes loaded as a glyph stream into a word that
// already holds a message must load or raise the stream read error, and a
// failed load must leave the word as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/errors.h"
#include "text/glyph_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::TKsWord word;
  word.BuildGlyphs("a<B>b</B><RUBY VALUE=x>c</RUBY>");
  const int32_t glyphs = word.GetCount(), styles = word.Styles.Count();
  orba::TKsSpanStream stream(data, static_cast<int64_t>(size));
  try {
    orba::LoadGlyphStream(word, stream);
  } catch (const orba::EReadError&) {
    if (word.GetCount() != glyphs || word.Styles.Count() != styles) std::abort();
    return 0;
  }
  orba::TKsMemoryStream out;
  orba::SaveGlyphStream(word, out);
  return 0;
}
