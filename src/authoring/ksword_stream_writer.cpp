#include "authoring/ksword_stream_writer.h"

#include <vector>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"

namespace orba {

namespace {

struct TPlainGlyph {
  uint8_t Type;
  uint16_t Code;  // characters only
};

// Cuts Text into characters and line breaks.
std::vector<TPlainGlyph> PlainGlyphs(const std::string& text) {
  std::vector<TPlainGlyph> glyphs;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      glyphs.push_back({kGlyphReturn, 0});
    } else if (IsSjisLeadByte(c) && i + 1 < text.size()) {
      const auto trail = static_cast<uint8_t>(text[++i]);
      glyphs.push_back({kGlyphChar, static_cast<uint16_t>(c << 8 | trail)});
    } else {
      glyphs.push_back({kGlyphChar, c});
    }
  }
  return glyphs;
}

}  // namespace

void WriteKsWordText(TKsBigStream& stream, const std::string& text, int32_t wait) {
  const std::vector<TPlainGlyph> glyphs = PlainGlyphs(text);
  int32_t chars = 0;
  for (const TPlainGlyph& g : glyphs) chars += g.Type == kGlyphChar ? 1 : 0;

  stream.WriteBuffer(kKsWordMagic, 6);
  const std::string version = std::to_string(kKsWordStreamVersion);
  stream.WriteBuffer(version.data(), 3);

  WriteStreamInt(stream, chars > 0 ? 1 : 0);
  if (chars > 0) {
    WriteStreamInt(stream, chars);  // reference count
    WriteStreamInt(stream, -1);     // colour
    WriteStreamInt(stream, -1);     // border colour
    WriteStreamInt(stream, 0);      // font size
    WriteStreamByte(stream, 0);     // style bits
    WriteStreamByte(stream, 0);     // no-break
    WriteStreamInt(stream, -1);     // border width
    WriteStreamString(stream, "");  // font name
    WriteStreamString(stream, "");  // ruby
    WriteStreamInt(stream, -1);     // shadow offset
    WriteStreamInt(stream, -1);     // shadow colour
  }

  WriteStreamInt(stream, static_cast<int32_t>(glyphs.size()));
  for (const TPlainGlyph& g : glyphs) {
    WriteStreamByte(stream, g.Type);
    if (g.Type == kGlyphReturn) {
      WriteStreamByte(stream, 0);  // clear flag
      continue;
    }
    WriteStreamString(stream, "");  // link text
    WriteStreamInt(stream, wait);
    const uint8_t code[2] = {static_cast<uint8_t>(g.Code & 0xFF), static_cast<uint8_t>(g.Code >> 8)};
    stream.WriteBuffer(code, 2);
    WriteStreamInt(stream, 0);  // style index
  }
}

}  // namespace orba
