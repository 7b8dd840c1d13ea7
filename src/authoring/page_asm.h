// The page assembler: turns a plain-text listing of commands into a script
// page. One command a line; the indentation is the command's Depth; labels,
// targets and loop blocks are written by name and filled in here; every
// expression is compiled with the player's own expression compiler. The
// listing format is described in docs/page-assembler.md.
//
// Assembling has two steps so that a set of pages can refer to each other's
// labels: ParsePageListing reads one listing (its lines, labels, loop blocks
// and the property bitmaps it needs), AssemblePage builds the page, looking
// labels of other pages up through a callback.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "script/interp/page.h"

namespace orba {

// An error in a listing. The message is "FILE:LINE: text" (Shift-JIS).
class EAsmError : public EOrbaError {
 public:
  EAsmError(const std::string& file, int32_t line, const std::string& text);
  std::string File;
  int32_t Line;
};

// One value of a command line: Key=Value, or a Value alone.
struct TAsmArg {
  std::string Key;     // empty for a value without a key
  std::string Text;    // as written; the braces of {...} removed
  bool Braced = false;
  int32_t PropId = -1;  // object-creating commands: the property the key names
};

// One command line.
struct TAsmLine {
  int32_t SourceLine = 0;
  int32_t Depth = 0;
  uint8_t Opcode = 0;
  std::vector<TAsmArg> Args;
  // While, WhileLoop, Break and Continue: the command indices of the
  // innermost loop's While and WhileLoop (-1 outside any loop).
  int32_t LoopWhile = -1;
  int32_t LoopEnd = -1;
};

struct TPageListing {
  std::string FileName;  // for messages
  std::string PageName;  // the name Jump and Call use for this page
  int32_t Version = kNewestPageVersion;
  uint8_t ResultType = PT_INT;
  std::vector<TAsmLine> Lines;                       // command index = line index
  std::map<std::string, int32_t> Labels;             // exact names
  std::map<std::string, int32_t> LabelSourceLines;   // where each was defined
  std::array<TPropMask, kOpcodeCount> Masks{};       // built-in plus the properties used
};

// Finds the listing of another page by its page name (nullptr when none).
using TListingLookup = std::function<const TPageListing*(const std::string& page_name)>;

// Reads a listing (Shift-JIS). FileName is used in messages; PageName is the
// page's own name for Jump and Call (a ".page" line overrides it). Raises
// EAsmError.
TPageListing ParsePageListing(const std::string& text, const std::string& file_name,
                              const std::string& page_name);

// Builds the page of a listing. Labels of other pages are found through
// Others (may be empty: then only this page's labels resolve). Raises
// EAsmError.
std::unique_ptr<TPage> AssemblePage(const TPageListing& listing, const TListingLookup& others = {});

// Reads a UTF-8 text file (an optional byte-order mark dropped) and gives
// it as Shift-JIS. Path is a Shift-JIS path in Windows form ("\" or "/"
// separators, any letter case).
std::string LoadUtf8TextAsSjis(const std::string& path);

// Shared pieces of the line syntax, also used by the settings file reader.
// A text in double quotes with the escapes \" \\ and \n (CR LF) resolved;
// any other text as it is.
std::string UnquoteText(const std::string& text);
// Strict decimal int32 with an optional sign.
bool ParseInt32(const std::string& text, int32_t& value);
// Leading and trailing spaces and tabs removed.
std::string TrimSpaces(const std::string& text);

}  // namespace orba
