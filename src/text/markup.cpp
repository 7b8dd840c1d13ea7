#include "text/markup.h"

#include <array>
#include <utility>

#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "script/values/param_text.h"
#include "text/long_work.h"

namespace orba {

namespace {

constexpr std::array<const char*, 28> kTagNames = {
    "A",    "/A",    "B",      "/B",     "FONT", "/FONT", "I",     "/I",    "S",      "/S",
    "U",    "/U",    "NOBR",   "/NOBR",  "RUBY", "/RUBY", "DIV",   "/DIV",  "INDENT", "UNDENT",
    "BR",   "CLEAR", "EVENT",  "WAIT",   "/WAIT", "VAR",  "IMG",   "HISTCHAR"};

constexpr std::array<const char*, 6> kAlignNames = {"", "LEFT", "RIGHT", "CENTER", "TOP", "BOTTOM"};

bool MatchAt(const std::string& s, size_t i, const char* marker) {
  const std::string m(marker);
  return s.size() - i >= m.size() && SjisSameText(s.substr(i, m.size()), m);
}

bool StartsNoCase(const std::string& s, const char* prefix) { return MatchAt(s, 0, prefix); }

bool EndsInSpace(const std::string& s) { return !s.empty() && s.back() == ' '; }

class TTokenizer {
 public:
  explicit TTokenizer(const std::string& text) : s_(text) {}

  // A text cut short by a quit request or the heap watch gives what was
  // read of it.
  std::vector<std::string> Run() {
    TLongWork work;
    while (i_ < s_.size() && !work.MustStop()) Step();
    if (!token_.empty()) out_.push_back(token_);
    return std::move(out_);
  }

 private:
  const std::string& s_;
  size_t i_ = 0;
  std::string token_;
  std::vector<std::string> out_;
  int32_t tag_depth_ = 0, comment_depth_ = 0;
  bool quote_ = false, pre_ = false, textarea_ = false;

  bool Verbatim() const { return pre_ || textarea_; }
  void Emit() {
    if (!token_.empty()) out_.push_back(token_);
    token_.clear();
  }
  // The character at the position, whole (a lead byte takes its trail byte).
  size_t CharLen() const {
    return IsSjisLeadByte(static_cast<uint8_t>(s_[i_])) && i_ + 1 < s_.size() ? 2 : 1;
  }
  void AppendChar() {
    const size_t n = CharLen();
    token_.append(s_, i_, n);
    i_ += n;
  }

  void Step() {
    const char c = s_[i_];
    if (quote_) {  // 1
      if (c == '"') quote_ = false;
      if (c == '\r' || c == '\n' || c == '\t') ++i_;
      else AppendChar();
      return;
    }
    // Every marker begins with '<' or '-': other characters skip the
    // comparisons, which would otherwise cost a copy each a character.
    const bool may_mark = c == '<' || c == '-';
    for (const char* marker : {"<!--", "<SCRIPT", "<STYLE"}) {  // 2
      if (!may_mark) break;
      if (!MatchAt(s_, i_, marker)) continue;
      if (comment_depth_ == 0) Emit();
      token_ += marker;
      ++comment_depth_;
      i_ += std::string(marker).size();
      return;
    }
    for (const char* marker : {"-->", "</SCRIPT>", "</STYLE>"}) {  // 3
      if (!may_mark) break;
      if (!MatchAt(s_, i_, marker)) continue;
      if (comment_depth_ > 0) --comment_depth_;
      token_ += marker;
      if (comment_depth_ == 0) Emit();
      i_ += std::string(marker).size();
      return;
    }
    if (comment_depth_ > 0) {  // 4
      AppendChar();
      if (c == '\r') token_ += '\n';
      return;
    }
    switch (c) {
      case '<':  // 5
        if (tag_depth_ == 0) Emit();
        token_ += '<';
        ++tag_depth_;
        ++i_;
        return;
      case '>':  // 6
        if (tag_depth_ < 1) break;
        ++i_;
        if (--tag_depth_ > 0 || token_.empty()) return;
        token_ += '>';
        CloseTag();
        return;
      case '\\':  // 7
        if (i_ + 1 >= s_.size()) break;
        ++i_;
        if (std::string("\\{}%<>").find(s_[i_]) != std::string::npos) {
          token_ += s_[i_++];
        }
        return;
      case '\r':  // 8
        if (Verbatim() && tag_depth_ == 0) {
          Emit();
          if (pre_) out_.push_back("<BR>");
        } else if (!token_.empty() && i_ > 0 && s_[i_ - 1] != ' ') {
          token_ += ' ';
        }
        ++i_;
        return;
      case '\x14':  // 9
        if (Verbatim() || !EndsInSpace(token_)) token_ += ' ';
        ++i_;
        return;
      case '\t':  // 10
        if (Verbatim()) token_ += "        ";
        ++i_;
        return;
      case '"':  // 11
        quote_ = true;
        break;
      case ' ':  // 12
        if (!EndsInSpace(token_)) token_ += ' ';
        ++i_;
        return;
      default:
        break;
    }
    AppendChar();  // 13
  }

  void CloseTag() {
    out_.push_back(token_);
    if (!textarea_ && StartsNoCase(token_, "<PRE")) {
      pre_ = true;
      if (i_ < s_.size() && s_[i_] == '\r') ++i_;
    } else if (!textarea_ && StartsNoCase(token_, "</PRE")) {
      pre_ = false;
      if (out_.size() >= 2 && out_[out_.size() - 2] == "<BR>") out_.erase(out_.end() - 2);
    } else if (!pre_ && StartsNoCase(token_, "<TEXTAREA")) {
      textarea_ = true;
      if (i_ < s_.size() && s_[i_] == '\r') ++i_;
    } else if (!pre_ && StartsNoCase(token_, "</TEXTAREA")) {
      textarea_ = false;
      if (out_.size() >= 2 && out_[out_.size() - 2] == "<BR>") out_.erase(out_.end() - 2);
    }
    token_.clear();
  }
};

}  // namespace

std::vector<std::string> TokenizeMarkup(const std::string& text) { return TTokenizer(text).Run(); }

std::string JoinMarkupLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (i + 1 < text.size()) out += '\r';
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string NextAttribute(std::string& rest) {
  rest = TrimControls(rest);
  const size_t p = rest.find_first_of(" =");
  if (p == std::string::npos) return std::exchange(rest, std::string());
  const std::string name = rest.substr(0, p);
  if (rest[p] != '=' || p + 1 >= rest.size() || rest[p + 1] == ' ') {
    rest.erase(0, rest[p] == '=' ? p + 1 : p);
    return name;
  }
  std::string tail = rest.substr(p + 1), value;
  const char q = tail[0];
  size_t end = (q == '"' || q == '\'') ? tail.find(q, 1) : std::string::npos;
  if (end != std::string::npos) {
    value = tail.substr(1, end - 1);
    rest = tail.substr(end + 1);
  } else {
    const size_t start = (q == '"' || q == '\'') ? 1 : 0;
    end = tail.find(' ', start);
    value = tail.substr(start, end == std::string::npos ? std::string::npos : end - start);
    rest = end == std::string::npos ? std::string() : tail.substr(end);
  }
  return name + '\r' + value;
}

void TTag::Parse(const std::string& token) {
  Items.clear();
  const bool tag = token.size() >= 2 && token.front() == '<' && token.back() == '>' &&
                   token.rfind("<!--", 0) != 0 && token.rfind("<SCRIPT", 0) != 0 &&
                   token.rfind("<STYLE", 0) != 0;
  if (!tag) {
    Text = token;
    return;
  }
  std::string rest = token.substr(1, token.size() - 2);
  Text = "<" + NextAttribute(rest) + ">";
  while (!TrimControls(rest).empty()) {
    std::string item = NextAttribute(rest);
    if (!item.empty()) Items.push_back(std::move(item));
  }
}

int32_t TTag::TagCode() const {
  if (Text.size() < 3 || Text.front() != '<' || Text.back() != '>') return tcText;
  const std::string name = Text.substr(1, Text.size() - 2);
  for (size_t i = 0; i < kTagNames.size(); ++i)
    if (SjisSameText(name, kTagNames[i])) return static_cast<int32_t>(i) + tcA;
  return tcUnknown;
}

const std::string* TTag::Find(const std::string& name) const {
  for (const std::string& item : Items)
    if (SjisSameText(item.substr(0, item.find('\r')), name)) return &item;
  return nullptr;
}

bool TTag::Has(const std::string& name) const { return Find(name) != nullptr; }

std::string TTag::Str(const std::string& name, const std::string& fallback) const {
  const std::string* item = Find(name);
  if (item == nullptr) return fallback;
  const size_t cr = item->find('\r');
  return cr == std::string::npos ? std::string() : item->substr(cr + 1);
}

int32_t TTag::Int(const std::string& name, int32_t fallback) const {
  int32_t v = 0;
  return Has(name) && TryTextToInt(Str(name), v) ? v : fallback;
}

int32_t TTag::Color(const std::string& name, int32_t fallback) const {
  const std::string s = Str(name);
  int32_t v = 0;
  if (s.empty() || s[0] != '#' || !TryTextToInt("$" + s.substr(1, 6), v)) return fallback;
  return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
}

uint8_t TTag::Align(const std::string& name, std::initializer_list<uint8_t> allowed, uint8_t fallback) const {
  const std::string s = Str(name);
  for (uint8_t a : allowed)
    if (SjisSameText(s, kAlignNames[a])) return a;
  return fallback;
}

const char* AlignName(uint8_t align) { return align < kAlignNames.size() ? kAlignNames[align] : ""; }

}  // namespace orba
