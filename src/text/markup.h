// The tag language of message text: the tokenizer that cuts a message into
// text runs and tags, the parsed form of one token (TTag) and the readers of
// attribute values.
//
// A message is Shift-JIS; a double-byte character is always taken whole, so
// a trail byte 0x5C ("ソ" is 83 5C) is never read as a backslash escape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// Tag codes: 0 plain text, 1 an unrecognised tag or a comment.
enum TTagCode : int32_t {
  tcText = 0, tcUnknown = 1,
  tcA = 2, tcEndA, tcB, tcEndB, tcFont, tcEndFont, tcI, tcEndI, tcS, tcEndS, tcU, tcEndU,
  tcNoBr, tcEndNoBr, tcRuby, tcEndRuby, tcDiv, tcEndDiv, tcIndent, tcUndent, tcBr, tcClear,
  tcEvent, tcWait, tcEndWait, tcVar, tcImg, tcHistChar,
};

// Alignment values: 0 none, 1 LEFT, 2 RIGHT, 3 CENTER, 4 TOP, 5 BOTTOM.
enum TWdAlign : uint8_t { waNone = 0, waLeft = 1, waRight = 2, waCenter = 3, waTop = 4, waBottom = 5 };

// Cuts the text (lines joined with CR) into tokens.
std::vector<std::string> TokenizeMarkup(const std::string& text);

// Joins the lines of a text as a string list reads them (at CR LF, a lone CR
// or a lone LF; a final line break ends the last line) with CR.
std::string JoinMarkupLines(const std::string& text);

// One parsed token: Text is the token itself or "<" + name + ">" for a tag;
// each attribute is its name alone or its name, a CR and its value.
class TTag {
 public:
  std::string Text;
  std::vector<std::string> Items;

  void Parse(const std::string& token);
  int32_t TagCode() const;

  bool Has(const std::string& name) const;
  // The value of the first attribute of that name (case-insensitive), or
  // Default when there is none; a bare attribute has the empty value.
  std::string Str(const std::string& name, const std::string& fallback = std::string()) const;
  // Decimal or "$" hexadecimal; Default when absent or no number.
  int32_t Int(const std::string& name, int32_t fallback) const;
  // "#RRGGBB" as 0x00BBGGRR; Default when absent, without "#" or no number.
  int32_t Color(const std::string& name, int32_t fallback) const;
  // The first of Allowed (alignment values) whose name equals the value.
  uint8_t Align(const std::string& name, std::initializer_list<uint8_t> allowed, uint8_t fallback) const;

 private:
  const std::string* Find(const std::string& name) const;
};

// Cuts the next attribute off Rest (which is trimmed first).
std::string NextAttribute(std::string& rest);

// The name of an alignment value ("" for none).
const char* AlignName(uint8_t align);

}  // namespace orba
