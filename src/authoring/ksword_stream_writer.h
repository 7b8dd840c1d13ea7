// Writes message text as a "KsWord" glyph stream, the precompiled form in
// which a TextIns command carries its message.
//
// The text is in the message tag language (B, FONT, RUBY, NOBR, BR, WAIT,
// EVENT, VAR, IMG ...): it is compiled by the player's own glyph builder
// (text/ks_word.h) and written as a version-102 stream with its header and
// style table (text/glyph_stream.h). A line break of the text is a space,
// as in the tag language; <BR> breaks the line. Characters wait 50 ms
// unless a WAIT tag says otherwise.
#pragma once

#include <string>

#include "core/streams/big_stream.h"

namespace orba {

// Appends the glyph stream of Text (Shift-JIS markup) to Stream. Raises
// EOrbaError for an A tag without HREF.
void WriteKsWordText(TKsBigStream& stream, const std::string& text);

}  // namespace orba
