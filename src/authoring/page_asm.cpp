#include "authoring/page_asm.h"

#include <charconv>
#include <set>

#include "authoring/ksword_stream_writer.h"
#include "core/files/disk_path.h"
#include "core/streams/big_stream.h"
#include "core/strings/sjis_case.h"
#include "platform/text_convert.h"
#include "script/expr/expr_compiler.h"
#include "script/interp/com_component.h"

namespace orba {

EAsmError::EAsmError(const std::string& file, int32_t line, const std::string& text)
    : EOrbaError(file + ":" + std::to_string(line) + ": " + text), File(file), Line(line) {}

namespace {

// Bytes of the character at I: a lead byte and its trail byte are one.
size_t CharLen(const std::string& s, size_t i) {
  return IsSjisLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsKeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The position after the string literal opening at I (the compiler's rule:
// a backslash before a quote or a backslash takes it literally); npos when
// it does not close.
size_t SkipLiteral(const std::string& s, size_t i) {
  size_t j = i + 1;
  while (j < s.size()) {
    if (s[j] == '\\' && j + 1 < s.size() && (s[j + 1] == '"' || s[j + 1] == '\\')) {
      j += 2;
    } else if (s[j] == '"') {
      return j + 1;
    } else {
      j += CharLen(s, j);
    }
  }
  return std::string::npos;
}

// Splits at Separator outside string literals.
std::vector<std::string> SplitOutsideLiterals(const std::string& s, char separator) {
  std::vector<std::string> parts;
  std::string current;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '"') {
      const size_t end = SkipLiteral(s, i);
      const size_t stop = end == std::string::npos ? s.size() : end;
      current.append(s, i, stop - i);
      i = stop;
    } else if (s[i] == separator) {
      parts.push_back(current);
      current.clear();
      ++i;
    } else {
      const size_t n = CharLen(s, i);
      current.append(s, i, n);
      i += n;
    }
  }
  parts.push_back(current);
  return parts;
}

// The property id a key names: "Left", "LEFT" or "PR_LEFT" (letter case
// aside); -1 when none.
int32_t FindPropByKey(const std::string& key) {
  for (int id = 0; id < kPropCount; ++id) {
    const std::string full = PropNames[id];
    if (SjisSameText(key, full) || SjisSameText(key, full.substr(3))) return id;
  }
  return -1;
}

int32_t FindOpcode(const std::string& name) {
  for (int op = 0; op < kOpcodeCount; ++op) {
    if (SjisSameText(name, OpcodeNames[op])) return op;
  }
  return -1;
}

// Collects the names of a command class's fields.
class TFieldNames final : public TRecordIO {
 public:
  TFieldNames() : TRecordIO(kNewestPageVersion) {}
  std::set<std::string> Names;
  void Expr(const char* name, TOrbaParser&, int32_t) override { Names.insert(name); }
  void Str(const char* name, std::string&) override { Names.insert(name); }
  void Int(const char* name, int32_t&, int32_t) override { Names.insert(name); }
  void Byte(const char* name, uint8_t&) override { Names.insert(name); }
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>&, bool) override {
    Names.insert(name);
  }
  void Blob(const char* name, TKsMemoryStream&) override { Names.insert(name); }
  void PropExpr(uint8_t, TOrbaParser&) override {}
};

// The keys of the common command header.
bool IsHeaderKey(const std::string& key) { return key == "Skip" || key == "Continue" || key == "Line"; }

// ---- reading the lines ----

class TListingParser {
 public:
  explicit TListingParser(TPageListing& listing) : l_(listing) {}

  void Parse(const std::string& text) {
    int32_t line_no = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
      // One logical line: a line ending in a lone "\" goes on in the next.
      std::string line;
      const int32_t first_line = line_no + 1;
      for (;;) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(pos, end - pos);
        if (!part.empty() && part.back() == '\r') part.pop_back();
        pos = end + 1;
        ++line_no;
        if (EndsInContinuation(part) && pos <= text.size()) {
          part.pop_back();
          line += part + " ";
          continue;
        }
        line += part;
        break;
      }
      ParseLine(line, first_line);
    }
    if (!open_loops_.empty()) {
      Fail(l_.Lines[static_cast<size_t>(open_loops_.back().While)].SourceLine, "While without its WhileLoop");
    }
  }

 private:
  struct TOpenLoop {
    int32_t While;
    std::vector<int32_t> Members;  // Break and Continue lines inside
  };

  TPageListing& l_;
  bool seen_command_ = false;
  std::vector<TOpenLoop> open_loops_;

  [[noreturn]] void Fail(int32_t line, const std::string& text) const { throw EAsmError(l_.FileName, line, text); }

  static bool EndsInContinuation(const std::string& s) {
    size_t i = 0, last = std::string::npos;
    while (i < s.size()) {
      last = i;
      i += CharLen(s, i);
    }
    return last != std::string::npos && s[last] == '\\' && CharLen(s, last) == 1;
  }

  void ParseLine(const std::string& line, int32_t line_no) {
    size_t i = 0;
    int32_t columns = 0;
    for (; i < line.size() && IsBlank(line[i]); ++i) columns += line[i] == '\t' ? 2 : 1;
    const std::string rest = TrimSpaces(line.substr(i));
    if (rest.empty() || rest[0] == '#') return;
    if (rest[0] == '.') return Directive(rest, line_no);
    if (columns % 2 != 0) Fail(line_no, "indentation is not a multiple of two spaces");
    seen_command_ = true;

    TAsmLine out;
    out.SourceLine = line_no;
    out.Depth = columns / 2;
    if (rest[0] == '*') {
      const std::string name = UnquoteText(TrimSpaces(rest.substr(1)));
      if (name.empty()) Fail(line_no, "label without a name");
      out.Opcode = OP_Label;
      out.Args.push_back(TAsmArg{"Name", name, true});
    } else {
      size_t n = 0;
      while (n < rest.size() && IsKeyChar(rest[n])) ++n;
      const std::string name = rest.substr(0, n);
      const int32_t op = FindOpcode(name);
      if (op < 0) Fail(line_no, "unknown command \"" + rest.substr(0, rest.find(' ')) + "\"");
      out.Opcode = static_cast<uint8_t>(op);
      if (n < rest.size() && !IsBlank(rest[n])) Fail(line_no, "a blank must follow the command name");
      ReadArgs(rest, n, line_no, out.Args);
    }
    AddLine(std::move(out));
  }

  void Directive(const std::string& rest, int32_t line_no) {
    if (seen_command_) Fail(line_no, "page settings must come before the first command");
    const size_t sp = rest.find_first_of(" \t");
    const std::string name = rest.substr(0, sp);
    const std::string value = sp == std::string::npos ? "" : TrimSpaces(rest.substr(sp));
    if (name == ".version") {
      int32_t v = 0;
      if (!ParseInt32(value, v) || v < kOldestPageVersion || v > kNewestPageVersion) {
        Fail(line_no, ".version must be a number from 103 to 115");
      }
      l_.Version = v;
    } else if (name == ".result") {
      static const char* const kTypes[] = {"none", "int", "float", "bool", "str"};
      for (uint8_t t = 0; t < 5; ++t) {
        if (value == kTypes[t]) {
          l_.ResultType = t;
          return;
        }
      }
      Fail(line_no, ".result must be none, int, float, bool or str");
    } else if (name == ".page") {
      if (value.empty()) Fail(line_no, ".page needs a name");
      l_.PageName = UnquoteText(value);
    } else {
      Fail(line_no, "unknown page setting \"" + name + "\"");
    }
  }

  void ReadArgs(const std::string& s, size_t i, int32_t line_no, std::vector<TAsmArg>& args) {
    for (;;) {
      while (i < s.size() && IsBlank(s[i])) ++i;
      if (i >= s.size()) return;
      TAsmArg arg;
      size_t k = i;
      while (k < s.size() && IsKeyChar(s[k])) ++k;
      if (k > i && k < s.size() && s[k] == '=') {
        arg.Key = s.substr(i, k - i);
        i = k + 1;
      }
      if (i < s.size() && s[i] == '{') {
        size_t j = i + 1;
        while (j < s.size() && s[j] != '}') {
          if (s[j] == '"') {
            j = SkipLiteral(s, j);
            if (j == std::string::npos) Fail(line_no, "string without its closing quote");
          } else {
            j += CharLen(s, j);
          }
        }
        if (j >= s.size()) Fail(line_no, "\"{\" without its \"}\"");
        arg.Text = s.substr(i + 1, j - i - 1);
        arg.Braced = true;
        i = j + 1;
        if (i < s.size() && !IsBlank(s[i])) Fail(line_no, "a blank must follow \"}\"");
      } else {
        size_t j = i;
        while (j < s.size() && !IsBlank(s[j])) {
          if (s[j] == '"') {
            j = SkipLiteral(s, j);
            if (j == std::string::npos) Fail(line_no, "string without its closing quote");
          } else {
            j += CharLen(s, j);
          }
        }
        arg.Text = s.substr(i, j - i);
        i = j;
      }
      if (arg.Key.empty() && arg.Text.empty()) Fail(line_no, "empty value");
      args.push_back(std::move(arg));
    }
  }

  void AddLine(TAsmLine line) {
    const auto index = static_cast<int32_t>(l_.Lines.size());
    switch (line.Opcode) {
      case OP_Label:
        for (const TAsmArg& a : line.Args) {
          if (a.Key != "Name") continue;
          const std::string name = a.Braced ? a.Text : UnquoteText(a.Text);
          if (l_.Labels.count(name) != 0) {
            Fail(line.SourceLine,
                 "label \"" + name + "\" defined twice (first on line " +
                     std::to_string(l_.LabelSourceLines[name]) + ")");
          }
          l_.Labels[name] = index;
          l_.LabelSourceLines[name] = line.SourceLine;
        }
        break;
      case OP_While:
        open_loops_.push_back(TOpenLoop{index, {}});
        break;
      case OP_Break:
      case OP_Continue:
        if (!open_loops_.empty()) open_loops_.back().Members.push_back(index);
        break;
      case OP_WhileLoop: {
        if (open_loops_.empty()) Fail(line.SourceLine, "WhileLoop without its While");
        const TOpenLoop loop = open_loops_.back();
        open_loops_.pop_back();
        line.LoopWhile = loop.While;
        line.LoopEnd = index;
        for (int32_t m : loop.Members) {
          l_.Lines[static_cast<size_t>(m)].LoopWhile = loop.While;
          l_.Lines[static_cast<size_t>(m)].LoopEnd = index;
        }
        l_.Lines[static_cast<size_t>(loop.While)].LoopWhile = loop.While;
        l_.Lines[static_cast<size_t>(loop.While)].LoopEnd = index;
        break;
      }
      default:
        break;
    }
    MarkProperties(line);
    l_.Lines.push_back(std::move(line));
  }

  // Keys of an object-creating command that are no field of its record name
  // properties; each property used is added to the opcode's bitmap.
  void MarkProperties(TAsmLine& line) {
    std::unique_ptr<TCommand> probe = CreateCommand(nullptr, line.Opcode);
    if (dynamic_cast<TComComponent*>(probe.get()) == nullptr) return;
    TFieldNames fields;
    probe->Fields(fields);
    for (TAsmArg& a : line.Args) {
      if (a.Key.empty() || IsHeaderKey(a.Key) || fields.Names.count(a.Key) != 0) continue;
      a.PropId = FindPropByKey(a.Key);
      if (a.PropId < 0) Fail(line.SourceLine, "unknown property \"" + a.Key + "\"");
      TPropMask& mask = l_.Masks[line.Opcode];
      mask[static_cast<size_t>(a.PropId / 8)] |= static_cast<uint8_t>(1u << (a.PropId % 8));
    }
  }
};

// ---- building the commands ----

// Commands that act "when Condition is true" and mostly act always: an
// omitted Condition is TRUE. (An empty condition counts as false.)
bool ConditionDefaultsTrue(uint8_t opcode) {
  return opcode == OP_Jump || opcode == OP_Call || opcode == OP_Exit || opcode == OP_Break ||
         opcode == OP_Continue;
}

void CompileInto(const std::string& text, TOrbaParser& out) {
  const std::string trimmed = TrimSpaces(text);
  out.Clear();
  if (trimmed.empty()) return;
  TBuildOrbaParser compiler;
  compiler.Compile(trimmed);
  // Through the stored form, so the expression is exactly what a page read
  // from the file holds.
  TKsMemoryStream stored;
  compiler.SaveToStream(stored);
  stored.SetPosition(0);
  out.LoadFromStream(stored);
}

// Sets the fields of one command from its line.
class TRecordAssigner final : public TRecordIO {
 public:
  TRecordAssigner(const TPageListing& listing, const TAsmLine& line, const TListingLookup& others)
      : TRecordIO(listing.Version), l_(listing), line_(line), others_(others), used_(line.Args.size(), false) {}

  void Header(TCommand& c) {
    c.Depth = line_.Depth;
    c.Continue = 1;
    c.Line = line_.SourceLine;
    if (const TAsmArg* a = Take("Skip")) c.Skip = ByteValue("Skip", *a);
    if (const TAsmArg* a = Take("Continue")) c.Continue = ByteValue("Continue", *a);
    if (const TAsmArg* a = Take("Line")) c.Line = IntNumber("Line", *a);
    // Jump and Call name their target without a key: "label" or
    // "page:label".
    if (line_.Opcode == OP_Jump || line_.Opcode == OP_Call) {
      for (size_t i = 0; i < line_.Args.size(); ++i) {
        if (!line_.Args[i].Key.empty()) continue;
        if (positional_ != nullptr) Fail("more than one target");
        positional_ = &line_.Args[i];
        used_[i] = true;
      }
    }
  }

  void Finish() {
    for (size_t i = 0; i < line_.Args.size(); ++i) {
      if (used_[i]) continue;
      const TAsmArg& a = line_.Args[i];
      if (a.Key.empty()) Fail("value without a field name: " + a.Text);
      Fail(std::string("unknown field \"") + a.Key + "\" of " + OpcodeNames[line_.Opcode]);
    }
  }

  void Expr(const char* name, TOrbaParser& value, int32_t since) override {
    const TAsmArg* a = TakeStored(name, since);
    if (a != nullptr) {
      Compile(name, a->Text, value);
    } else if (std::string(name) == "Condition" && ConditionDefaultsTrue(line_.Opcode)) {
      Compile(name, "TRUE", value);
    }
  }

  void Str(const char* name, std::string& value) override {
    const std::string key = name;
    if (const TAsmArg* a = Take(name)) {
      value = StrValue(*a);
    } else if (key == "PageName" && positional_ != nullptr) {
      const size_t colon = positional_->Text.find(':');
      value = colon == std::string::npos ? l_.PageName : positional_->Text.substr(0, colon);
    } else if (key == "PageName" && (line_.Opcode == OP_Jump || line_.Opcode == OP_Call)) {
      value = l_.PageName;
    }
    // A target that follows names a command of this page.
    if (key.size() >= 4 && key.compare(key.size() - 4, 4, "Page") == 0) target_page_ = value;
    if (key == "PageName") target_page_ = value;
  }

  void Int(const char* name, int32_t& value, int32_t since) override {
    const TAsmArg* a = TakeStored(name, since);
    const std::string key = name;
    if (a == nullptr && key == "Target" && positional_ != nullptr) {
      const size_t colon = positional_->Text.find(':');
      value = Resolve(colon == std::string::npos ? positional_->Text : positional_->Text.substr(colon + 1));
      return;
    }
    if (a != nullptr) {
      value = Resolve(StrValue(*a));
      return;
    }
    // Loop targets not written are filled in from the loop block.
    const bool in_loop = line_.LoopEnd >= 0;
    switch (line_.Opcode) {
      case OP_While:
        if (key == "ExitTarget") value = line_.LoopEnd + 1;
        break;
      case OP_WhileLoop:
        if (key == "LoopTarget") value = line_.LoopWhile;
        break;
      case OP_Break:
        if (!in_loop) Fail("Break outside a While block needs a Target");
        value = line_.LoopEnd + 1;
        break;
      case OP_Continue:
        if (!in_loop) Fail("Continue outside a While block needs a Target");
        value = line_.LoopEnd;
        break;
      default:
        break;
    }
  }

  void Byte(const char* name, uint8_t& value) override {
    if (const TAsmArg* a = Take(name)) value = ByteValue(name, *a);
  }

  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list, bool) override {
    const TAsmArg* a = Take(name);
    list.clear();
    if (a == nullptr) return;
    std::vector<std::string> items;
    if (a->Braced) {
      if (!TrimSpaces(a->Text).empty()) items = SplitOutsideLiterals(a->Text, ';');
    } else {
      items.push_back(a->Text);
    }
    for (const std::string& item : items) {
      list.push_back(std::make_unique<TOrbaParser>());
      Compile(name, item, *list.back());
    }
  }

  void Blob(const char* name, TKsMemoryStream& bytes) override {
    bytes.Clear();
    if (const TAsmArg* a = Take(name)) {
      try {
        WriteKsWordText(bytes, StrValue(*a));
      } catch (const EOrbaError& e) {
        Fail(e.what());
      }
      bytes.SetPosition(0);
    }
  }

  void PropExpr(uint8_t prop_id, TOrbaParser& value) override {
    for (size_t i = 0; i < line_.Args.size(); ++i) {
      if (line_.Args[i].PropId != prop_id) continue;
      if (used_[i]) Fail(std::string("property ") + PropNames[prop_id] + " given twice");
      used_[i] = true;
      Compile(PropNames[prop_id], line_.Args[i].Text, value);
    }
  }

 private:
  const TPageListing& l_;
  const TAsmLine& line_;
  const TListingLookup& others_;
  std::vector<bool> used_;
  const TAsmArg* positional_ = nullptr;
  std::string target_page_;

  [[noreturn]] void Fail(const std::string& text) const { throw EAsmError(l_.FileName, line_.SourceLine, text); }

  const TAsmArg* Take(const char* name) {
    const TAsmArg* found = nullptr;
    for (size_t i = 0; i < line_.Args.size(); ++i) {
      if (line_.Args[i].Key != name || line_.Args[i].PropId >= 0) continue;
      if (found != nullptr) Fail(std::string("field ") + name + " given twice");
      found = &line_.Args[i];
      used_[i] = true;
    }
    return found;
  }

  const TAsmArg* TakeStored(const char* name, int32_t since) {
    const TAsmArg* a = Take(name);
    if (a != nullptr && !Stored(since)) {
      Fail(std::string("field ") + name + " is stored only from page version " + std::to_string(since));
    }
    return a;
  }

  static std::string StrValue(const TAsmArg& a) { return a.Braced ? a.Text : UnquoteText(a.Text); }

  void Compile(const char* name, const std::string& text, TOrbaParser& out) const {
    try {
      CompileInto(text, out);
    } catch (const std::exception& e) {
      // The compiler's messages are Shift-JIS already.
      Fail(std::string(name) + ": " + e.what());
    }
  }

  int32_t IntNumber(const char* name, const TAsmArg& a) const {
    int32_t v = 0;
    if (!ParseInt32(StrValue(a), v)) Fail(std::string(name) + " must be a number");
    return v;
  }

  uint8_t ByteValue(const char* name, const TAsmArg& a) const {
    const std::string text = StrValue(a);
    if (text == "TRUE") return 1;
    if (text == "FALSE") return 0;
    if (std::string(name) == "Type") {
      static const char* const kTypes[] = {"none", "int", "float", "bool", "str"};
      for (uint8_t t = 0; t < 5; ++t) {
        if (text == kTypes[t]) return t;
      }
    }
    int32_t v = 0;
    if (!ParseInt32(text, v) || v < 0 || v > 255) Fail(std::string(name) + " must be a number from 0 to 255");
    return static_cast<uint8_t>(v);
  }

  // A number, or the index of a label in the page named before (this page
  // when none was named).
  int32_t Resolve(const std::string& text) const {
    int32_t v = 0;
    if (ParseInt32(text, v)) return v;
    const std::string page = target_page_.empty() ? l_.PageName : target_page_;
    const TPageListing* target = &l_;
    if (!SjisSameText(page, l_.PageName)) {
      target = others_ ? others_(page) : nullptr;
      if (target == nullptr) Fail("label \"" + text + "\" of page \"" + page + "\": no such page is assembled here");
    }
    const auto it = target->Labels.find(text);
    if (it == target->Labels.end()) Fail("no label \"" + text + "\" in page \"" + page + "\"");
    return it->second;
  }
};

}  // namespace

std::string TrimSpaces(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool ParseInt32(const std::string& text, int32_t& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  int32_t v = 0;
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return false;
  value = v;
  return true;
}

std::string UnquoteText(const std::string& text) {
  std::string out;
  if (text.size() < 2 || text.front() != '"' || ReadStringLiteral(text, 0, out) != text.size() - 1) return text;
  return out;
}

TPageListing ParsePageListing(const std::string& text, const std::string& file_name, const std::string& page_name) {
  TPageListing listing;
  listing.FileName = file_name;
  listing.PageName = page_name;
  listing.Masks = TPage::BuiltinMasks();
  TListingParser(listing).Parse(text);
  return listing;
}

std::unique_ptr<TPage> AssemblePage(const TPageListing& listing, const TListingLookup& others) {
  auto page = std::make_unique<TPage>();
  page->Name = listing.PageName;
  page->Version = listing.Version;
  page->ResultType = listing.ResultType;
  page->PropertyMasks = listing.Masks;
  for (const TAsmLine& line : listing.Lines) {
    TCommand* command = page->AddCommand(line.Opcode);
    TRecordAssigner assigner(listing, line, others);
    assigner.Header(*command);
    command->Fields(assigner);
    assigner.Finish();
  }
  return page;
}

std::string LoadUtf8TextAsSjis(const std::string& path) {
  TKsMemoryStream file;
  file.LoadFromFile(TDiskFileName(path).StreamName());
  const std::vector<uint8_t>& b = file.Bytes();
  size_t start = 0;
  if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) start = 3;
  return Utf8ToSjis(std::string(b.begin() + static_cast<std::ptrdiff_t>(start), b.end()));
}

}  // namespace orba
