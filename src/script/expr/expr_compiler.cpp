#include "script/expr/expr_compiler.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "script/expr/expr_exec.h"
#include "script/script_errors.h"
#include "script/values/param_text.h"

namespace orba {

namespace {

constexpr char kOperatorChars[] = "%&*+-/<=>^|";
// Characters that end a name and make a piece need compiling.
constexpr char kSpecialChars[] = "+-*/%|&^=[](),<>";
// A "+" or "-" after a token beginning with one of these is a sign.
constexpr char kUnaryAfter[] = "=+-*/%&^|[(,<>";
// A binary operator may not follow a token beginning with one of these.
constexpr char kNoLeftOperand[] = "+-*/%|&^=[(<>";
constexpr std::array<std::string_view, 7> kTwoCharOps = {"==", ">=", "<=", "++", "<>", "<<", ">>"};

struct TOperatorText {
  std::string_view Text;
  uint8_t Code;
};
// Highest level first; within a level the leftmost operator goes first.
const std::vector<std::vector<TOperatorText>> kLevels = {
    {{"*", ocMul}, {"/", ocDiv}, {"%", ocMod}},
    {{"+", ocPlus}, {"-", ocMinus}},
    {{"<<", ocShiftL}, {">>", ocShiftR}},
    {{"==", ocEqual}, {">=", ocEBig}, {"<=", ocESmall}, {">", ocBig}, {"<", ocSmall}, {"<>", ocNEqual}},
    {{"++", ocComboStr}},
    {{"&", ocAnd}},
    {{"^", ocXor}},
    {{"|", ocOr}},
    {{"=", ocTo}},
};

const char kTempPrefix[] = "____";
const char kRefTempPrefix[] = "____d_";
const char kArgName[] = "____arg";

bool Contains(const char* set, char c) { return c != '\0' && std::string_view(set).find(c) != std::string_view::npos; }
bool IsBlank(char c) { return static_cast<uint8_t>(c) <= 0x20; }
bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

[[noreturn]] void SyntaxError() { throw EScriptError(SyntaxErrorMessage()); }

// Byte length of the character at I: a lead byte takes its trail byte along.
size_t CharLen(const std::string& s, size_t i) {
  return IsSjisLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Offsets of the characters of S whose byte is the single-byte C.
std::vector<size_t> SingleBytePositions(const std::string& s, char c) {
  std::vector<size_t> out;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
    if (s[i] == c && CharLen(s, i) == 1) out.push_back(i);
  }
  return out;
}

// Start offsets of all characters of S.
std::vector<size_t> CharStarts(const std::string& s) {
  std::vector<size_t> out;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) out.push_back(i);
  return out;
}

// Raises "構文エラー" unless every Close pairs with an earlier Open.
void CheckPairs(const std::string& s, char open, char close) {
  int64_t depth = 0;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
    if (CharLen(s, i) != 1) continue;
    if (s[i] == open) ++depth;
    if (s[i] == close && --depth < 0) SyntaxError();
  }
  if (depth != 0) SyntaxError();
}

// Offset of the Close that pairs with the Open at From; npos when none.
size_t MatchingClose(const std::string& s, size_t from, char open, char close) {
  int64_t depth = 0;
  for (size_t i = from; i < s.size(); i += CharLen(s, i)) {
    if (CharLen(s, i) != 1) continue;
    if (s[i] == open) ++depth;
    if (s[i] == close && --depth == 0) return i;
  }
  return std::string::npos;
}

// The character before offset Pos, skipping blanks: its offset, or npos.
// Starts holds the character starts of S in order.
size_t CharBefore(const std::vector<size_t>& starts, size_t pos, const std::string& s, bool skip_blanks) {
  auto k = static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), pos) - starts.begin());
  while (k > 0) {
    const size_t at = starts[k - 1];
    if (!(skip_blanks && CharLen(s, at) == 1 && IsBlank(s[at]))) return at;
    --k;
  }
  return std::string::npos;
}

// Whether the "(" at Pos opens a function call: the character before it
// (blanks skipped) is a letter, a digit or "_".
bool OpensCall(const std::string& s, const std::vector<size_t>& starts, size_t pos) {
  const size_t at = CharBefore(starts, pos, s, true);
  return at != std::string::npos && CharLen(s, at) == 1 && IsNameChar(s[at]);
}

// Splits at the commas that are not inside square brackets.
std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> out;
  int64_t depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
    if (CharLen(text, i) != 1) continue;
    const char c = text[i];
    if (c == '[') ++depth;
    if (c == ']' && --depth < 0) SyntaxError();
    if (c == ',' && depth == 0) {
      out.push_back(TrimBlanks(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  if (depth != 0) SyntaxError();
  out.push_back(TrimBlanks(text.substr(start)));
  return out;
}

std::vector<std::string> SplitAtCommas(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t pos : SingleBytePositions(text, ',')) {
    out.push_back(TrimBlanks(text.substr(start, pos - start)));
    start = pos + 1;
  }
  out.push_back(TrimBlanks(text.substr(start)));
  return out;
}

bool ContainsSpecial(const std::string& s) {
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
    if (CharLen(s, i) == 1 && Contains(kSpecialChars, s[i])) return true;
  }
  return false;
}

std::vector<std::string> Tokenize(const std::string& s) {
  std::vector<std::string> tokens;
  size_t start = 0, i = 0;
  auto flush = [&](size_t end) {
    std::string chunk = TrimBlanks(s.substr(start, end - start));
    if (!chunk.empty()) tokens.push_back(std::move(chunk));
  };
  while (i < s.size()) {
    const size_t len = CharLen(s, i);
    if (len == 1 && Contains(kOperatorChars, s[i])) {
      flush(i);
      size_t op_len = 1;
      if (i + 1 < s.size()) {
        const std::string_view two(s.data() + i, 2);
        for (std::string_view t : kTwoCharOps) {
          if (two == t) op_len = 2;
        }
      }
      tokens.push_back(s.substr(i, op_len));
      i += op_len;
      start = i;
    } else {
      i += len;
    }
  }
  flush(s.size());
  return tokens;
}

// Whether Text is one operand for Parse: not empty, with no byte that
// could begin a literal, a call, a group, an element, a list or an
// operator (a trail byte that equals one only makes the test stricter).
bool IsPlainOperand(const std::string& text) {
  return !text.empty() && text.find_first_of("%&*+-/<=>^|\"()[],") == std::string::npos;
}

bool BeginsWithOneOf(const std::string& token, const char* set) { return !token.empty() && Contains(set, token[0]); }

bool IsValueTemp(const std::string& name) {
  return StartsWith(name, kTempPrefix) && !StartsWith(name, kRefTempPrefix) && name != kArgName;
}

// The typed operand of a compiled record for an operand text.
std::unique_ptr<TCustomParam> TypedOperand(const std::string& text) {
  int32_t i = 0;
  long double f = 0.0L;
  if (TryTextToInt(text, i)) {
    auto v = std::make_unique<TParamInt>();
    v->Elements[0] = i;
    return v;
  }
  if (TryTextToFloat(text, f)) {
    auto v = std::make_unique<TParamFloat>();
    v->Elements[0] = f;
    return v;
  }
  if (text == "TRUE" || text == "FALSE") {
    auto v = std::make_unique<TParamFlag>();
    v->Elements[0] = text == "TRUE" ? 1 : 0;
    return v;
  }
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    auto v = std::make_unique<TParamStr>();
    v->Elements[0] = text.substr(1, text.size() - 2);
    return v;
  }
  auto v = std::make_unique<TParamVar>();
  v->Name = text;
  return v;
}

std::string NoFunctionMessage(const std::string& name) {
  // "%s" 関数名がありません
  return "\x22" + name + "\x22 \x8a\xd6\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
}

}  // namespace

std::string SyntaxErrorMessage() { return "\x8d\x5c\x95\xb6\x83G\x83\x89\x81["; }  // 構文エラー

size_t ReadStringLiteral(const std::string& s, size_t open, std::string& literal) {
  literal.clear();
  size_t i = open + 1;
  while (i < s.size()) {
    const size_t len = CharLen(s, i);
    if (len == 1 && s[i] == '\\' && i + 1 < s.size()) {
      const char next = s[i + 1];
      if (next == '"' || next == '\\') {
        literal += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        literal += "\r\n";
        i += 2;
        continue;
      }
    }
    if (len == 1 && s[i] == '"') return i;
    literal.append(s, i, len);
    i += len;
  }
  return std::string::npos;
}

std::string TBuildOrbaParser::NewTemp() { return kTempPrefix + IntToText(TempCounter++); }
std::string TBuildOrbaParser::NewRefTemp() { return kRefTempPrefix + IntToText(TempCounter++); }

void TBuildOrbaParser::AddOp(uint8_t op, const std::string& dest, std::vector<std::string> operands) {
  Ops.push_back(TBuildOpeData{op, dest, std::move(operands)});
}

void TBuildOrbaParser::Spend(size_t amount) {
  work_ += static_cast<int64_t>(amount);
  if (work_ <= kMaxCompileWork) return;
  TellRefusal("expression refused: more than " + std::to_string(kMaxCompileWork) +
              " characters and tokens scanned to compile it (nested calls, elements or operators)");
  SyntaxError();
}

std::string TBuildOrbaParser::PrepareOperand(const std::string& piece) {
  std::string p = TrimBlanks(piece);
  while (p.size() >= 2 && p.front() == '(' && MatchingClose(p, 0, '(', ')') == p.size() - 1) {
    Spend(p.size());
    p = TrimBlanks(p.substr(1, p.size() - 2));
  }
  if (p.empty() || !ContainsSpecial(p)) return p;
  const std::string temp = NewTemp();
  Parse(temp + " = " + p);
  return temp;
}

void TBuildOrbaParser::ReplaceGroups(std::string& s) {
  // Every "(" that does not open a call is a group. The last goes first, so
  // when a group is cut out every group after its "(" already was: its
  // inner text is the text between its parentheses with the groups inside
  // it replaced by their temporaries, and its ")" is the one that pairs
  // with it in S as it stands now. Pairing once and copying each character
  // only into the text of the nearest group around it keeps the work linear
  // in S, however deep the groups nest. Calls stay: nothing before a "("
  // changes while groups after it are cut, so whether it opens a call is
  // decided once.
  const std::vector<size_t> starts = CharStarts(s);
  std::vector<size_t> close_of(s.size(), std::string::npos);
  std::vector<bool> is_group(s.size(), false);
  std::vector<size_t> groups, open_stack;
  for (size_t at : starts) {
    if (CharLen(s, at) != 1) continue;
    if (s[at] == '(') {
      open_stack.push_back(at);
      if (!OpensCall(s, starts, at)) {
        is_group[at] = true;
        groups.push_back(at);
      }
    } else if (s[at] == ')' && !open_stack.empty()) {
      close_of[open_stack.back()] = at;
      open_stack.pop_back();
    }
  }
  if (groups.empty()) return;
  std::unordered_map<size_t, std::string> temps;
  // S from From to To with the groups cut so far replaced.
  auto cut = [&](size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to;) {
      if (is_group[i]) {
        out += temps.at(i);
        i = close_of[i] + 1;
      } else {
        const size_t len = CharLen(s, i);
        out.append(s, i, len);
        i += len;
      }
    }
    return out;
  };
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    const size_t open = *it, close = close_of[open];
    if (close == std::string::npos) SyntaxError();
    const std::string inner = TrimBlanks(cut(open + 1, close));
    const std::string temp = NewTemp();
    temps.emplace(open, temp);
    if (IsPlainOperand(inner)) {
      // What Parse makes of "T = operand", without its steps: a group
      // around a single name or number (each level of nested parentheses).
      Spend(inner.size());
      AddOp(ocTo, temp, {inner});
    } else {
      Parse(temp + " = " + inner);
    }
  }
  s = cut(0, s.size());
}

void TBuildOrbaParser::Parse(const std::string& text) {
  std::string s = text;

  // 1. String literals become temporaries holding them, the first first. A
  // literal's temporary holds no quote, so the next literal is the first
  // quote after it: one pass does them all.
  {
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
      const size_t len = CharLen(s, i);
      if (len != 1 || s[i] != '"') {
        out.append(s, i, len);
        i += len;
        continue;
      }
      std::string literal;
      const size_t close = ReadStringLiteral(s, i, literal);
      if (close == std::string::npos) {  // an unclosed quote stays as ordinary text
        out.append(s, i, std::string::npos);
        break;
      }
      const std::string temp = NewTemp();
      AddOp(ocTo, temp, {"\"" + literal + "\""});
      out += temp;
      i = close + 1;
    }
    s = std::move(out);
  }

  // 2. Function calls, the last one first.
  CheckPairs(s, '(', ')');
  for (;;) {
    Spend(s.size());
    const std::vector<size_t> starts = CharStarts(s);
    const std::vector<size_t> opens = SingleBytePositions(s, '(');
    size_t open = std::string::npos;
    for (auto it = opens.rbegin(); it != opens.rend(); ++it) {
      if (OpensCall(s, starts, *it)) {
        open = *it;
        break;
      }
    }
    if (open == std::string::npos) break;
    size_t name_start = CharBefore(starts, open, s, true);
    for (;;) {
      const size_t prev = CharBefore(starts, name_start, s, false);
      if (prev == std::string::npos || CharLen(s, prev) != 1 || !IsNameChar(s[prev])) break;
      name_start = prev;
    }
    const size_t close = MatchingClose(s, open, '(', ')');
    if (close == std::string::npos) SyntaxError();
    const std::string name = TrimBlanks(s.substr(name_start, open - name_start));
    const std::string arg_text = TrimBlanks(s.substr(open + 1, close - open - 1));
    const std::string temp = NewTemp();
    std::vector<std::string> operands{name};
    if (!arg_text.empty()) {
      for (const std::string& arg : SplitArguments(arg_text)) operands.push_back(PrepareOperand(arg));
    }
    AddOp(ocFunc, temp, std::move(operands));
    s.replace(name_start, close - name_start + 1, temp);
  }

  // 3. Array elements, the last "[" first.
  CheckPairs(s, '[', ']');
  for (;;) {
    Spend(s.size());
    const std::vector<size_t> opens = SingleBytePositions(s, '[');
    if (opens.empty()) break;
    const size_t open = opens.back();
    const std::vector<size_t> starts = CharStarts(s);
    const size_t last = CharBefore(starts, open, s, true);
    if (last == std::string::npos || (CharLen(s, last) == 1 && Contains(kSpecialChars, s[last]))) SyntaxError();
    size_t name_start = last;
    for (;;) {
      const size_t prev = CharBefore(starts, name_start, s, false);
      if (prev == std::string::npos) break;
      if (CharLen(s, prev) == 1 && (IsBlank(s[prev]) || Contains(kSpecialChars, s[prev]))) break;
      name_start = prev;
    }
    const size_t close = MatchingClose(s, open, '[', ']');
    if (close == std::string::npos) SyntaxError();
    const std::string name = TrimBlanks(s.substr(name_start, open - name_start));
    const std::string subscripts = TrimBlanks(s.substr(open + 1, close - open - 1));
    // 配列の添え字が不正です
    if (subscripts.empty()) throw EScriptError("\x94z\x97\xf1\x82\xcc\x93Y\x82\xa6\x8e\x9a\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7");
    const std::string temp = NewRefTemp();
    std::vector<std::string> operands{name};
    for (const std::string& sub : SplitAtCommas(subscripts)) operands.push_back(PrepareOperand(sub));
    AddOp(ocDimTo, temp, std::move(operands));
    s.replace(name_start, close - name_start + 1, temp);
  }

  // 4. Groups, the last "(" first, each compiled as "T = inner".
  ReplaceGroups(s);

  // 5. Tokens.
  std::vector<std::string> tokens = Tokenize(s);
  if (tokens.empty()) {
    AddOp(ocTo, kArgName, {s});
    return;
  }

  // 6. Signs after an operator, from the second last token down to the second.
  for (size_t i = tokens.size() >= 2 ? tokens.size() - 2 : 0; i >= 1 && i + 1 < tokens.size(); --i) {
    if ((tokens[i] == "+" || tokens[i] == "-") && BeginsWithOneOf(tokens[i - 1], kUnaryAfter)) {
      if (tokens[i] == "-") {
        const std::string temp = NewTemp();
        AddOp(ocMinus, temp, {"0", tokens[i + 1]});
        tokens[i + 1] = temp;
      }
      Spend(tokens.size());
      tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

  // 7. Reduction by precedence.
  bool assigned = false;
  while (!tokens.empty()) {
    Spend(tokens.size());
    size_t pos = std::string::npos;
    uint8_t code = ocNone;
    for (const auto& level : kLevels) {
      for (size_t k = 0; k < tokens.size() && pos == std::string::npos; ++k) {
        for (const TOperatorText& op : level) {
          if (tokens[k] == op.Text) {
            pos = k;
            code = op.Code;
            break;
          }
        }
      }
      if (pos != std::string::npos) break;
    }
    if (pos == std::string::npos) {
      if (assigned || tokens.size() > 1) SyntaxError();
      AddOp(ocTo, kArgName, {tokens[0]});
      return;
    }
    // An operator without a right operand: the expression ends too early.
    if (pos + 1 >= tokens.size()) SyntaxError();
    if (code == ocTo) {
      if (pos == 0) SyntaxError();
      AddOp(ocTo, tokens[pos - 1], {tokens[pos + 1]});
      tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(pos - 1),
                   tokens.begin() + static_cast<std::ptrdiff_t>(pos + 2));
      assigned = true;
      continue;
    }
    if (pos == 0) {
      if (code != ocPlus && code != ocMinus) SyntaxError();
      const std::string temp = NewTemp();
      AddOp(code, temp, {"0", tokens[1]});
      tokens.erase(tokens.begin());
      tokens[0] = temp;
      continue;
    }
    if (BeginsWithOneOf(tokens[pos - 1], kNoLeftOperand)) SyntaxError();
    const std::string temp = NewTemp();
    AddOp(code, temp, {tokens[pos - 1], tokens[pos + 1]});
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(pos),
                 tokens.begin() + static_cast<std::ptrdiff_t>(pos + 2));
    tokens[pos - 1] = temp;
  }
}

void TBuildOrbaParser::RemoveTempAssignments() {
  // An assignment "A = B" of two value temporaries goes, and every later
  // use of A (as operand or destination) becomes B. Done in one pass: each
  // operation's names are first renamed by the assignments removed before
  // it, then it is judged. A rename leads from a name no longer in use to
  // one still in use, so following the renames ends. Renames between the
  // compiler's own "____N" are kept by number (a table lookup, as deep
  // nesting makes one per level); any other in a map by name.
  constexpr int32_t kNone = -1, kByName = -2;
  std::vector<int32_t> renamed_to(static_cast<size_t>(std::max(TempCounter, 0)), kNone);
  std::unordered_map<std::string, std::string> renamed;
  // The number N of a name "____N" written as NewTemp writes it, or -1.
  auto number_of = [&](const std::string& name) -> int32_t {
    const size_t prefix = sizeof kTempPrefix - 1;
    if (name.size() <= prefix || name.size() > prefix + 9 || !StartsWith(name, kTempPrefix)) return -1;
    if (name[prefix] == '0' && name.size() > prefix + 1) return -1;
    int32_t n = 0;
    for (size_t i = prefix; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return -1;
      n = n * 10 + (name[i] - '0');
    }
    return n < TempCounter ? n : -1;
  };
  bool any = false;
  auto current = [&](std::string& name) {
    if (!StartsWith(name, kTempPrefix)) return;  // only temporaries are renamed
    for (;;) {
      const int32_t n = number_of(name);
      if (n >= 0 && renamed_to[static_cast<size_t>(n)] == kNone) return;
      if (n >= 0 && renamed_to[static_cast<size_t>(n)] != kByName) {
        int32_t to = renamed_to[static_cast<size_t>(n)];
        while (renamed_to[static_cast<size_t>(to)] >= 0) to = renamed_to[static_cast<size_t>(to)];
        name = kTempPrefix + IntToText(to);
        continue;
      }
      const auto found = renamed.find(name);
      if (found == renamed.end()) return;
      name = found->second;
    }
  };
  std::vector<TBuildOpeData> kept;
  kept.reserve(Ops.size());
  for (TBuildOpeData& op : Ops) {
    if (any) {
      current(op.Dest);
      for (std::string& operand : op.Operands) current(operand);
    }
    if (op.Op == ocTo && !op.Operands.empty() && IsValueTemp(op.Dest) && IsValueTemp(op.Operands[0])) {
      if (op.Dest != op.Operands[0]) {
        any = true;
        const int32_t from = number_of(op.Dest), to = number_of(op.Operands[0]);
        if (from >= 0 && to >= 0) {
          renamed_to[static_cast<size_t>(from)] = to;
        } else {
          if (from >= 0) renamed_to[static_cast<size_t>(from)] = kByName;
          renamed[op.Dest] = op.Operands[0];
        }
      }
      continue;
    }
    kept.push_back(std::move(op));
  }
  Ops = std::move(kept);
}

void TBuildOrbaParser::Compile(const std::string& text) {
  if (text.size() > kMaxExpressionText) {
    TellRefusal("expression refused: " + std::to_string(text.size()) + " bytes, more than " +
                std::to_string(kMaxExpressionText));
    SyntaxError();
  }
  Parse(text);
  RemoveTempAssignments();
}

void TBuildOrbaParser::BuildParser(TOrbaParser& parser) const {
  TOrbaParser built;
  for (const TBuildOpeData& op : Ops) {
    TOpeData* out = built.AddOp();
    out->Op = op.Op;
    out->Dest = op.Dest;
    size_t first = 0;
    if (op.Op == ocFunc && !op.Operands.empty()) {
      const std::string& name = op.Operands[0];
      uint8_t id = 0;
      if (!FindBuiltinFunction(name, id)) throw EScriptError(NoFunctionMessage(name));
      if (!FuncArgCountValid(id, static_cast<int32_t>(op.Operands.size() - 1))) {
        throw EScriptError(FuncArgCountMessage(id));
      }
      out->FuncId = id;
      first = 1;
    }
    for (size_t k = first; k < op.Operands.size(); ++k) out->Operands.push_back(TypedOperand(op.Operands[k]));
  }
  parser.Assign(built);
}

void TBuildOrbaParser::SaveToStream(TKsBigStream& stream) const {
  TOrbaParser parser;
  BuildParser(parser);
  parser.SaveToStream(stream);
}

bool CompileText(const std::string& text, TOrbaParser& parser) {
  parser.Clear();
  const std::string trimmed = TrimBlanks(text);
  if (trimmed.empty()) return false;
  try {
    TBuildOrbaParser compiler;
    compiler.Compile(trimmed);
    TKsMemoryStream stream;
    compiler.SaveToStream(stream);
    stream.SetPosition(0);
    parser.LoadFromStream(stream);
  } catch (const std::exception&) {
    parser.Clear();
    return false;
  }
  return true;
}

bool CalcText(const std::string& text, TSysFuncMan& funcs) {
  TOrbaParser parser;
  if (!CompileText(text, parser)) return false;
  ExecuteParser(parser, funcs);
  return true;
}

}  // namespace orba
