// TKsWord::BuildGlyphs: one glyph per character and per effective tag, with
// the attributes of the stacks the tags push and pop.
#include <vector>

#include "core/errors.h"
#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "text/ks_word.h"
#include "text/long_work.h"
#include "text/markup.h"
#include "text/wd_char.h"
#include "text/wd_image.h"
#include "text/wd_operators.h"

namespace orba {

namespace {

// A growable stack with a default: Pop on an empty stack does nothing and
// Top answers the default.
template <typename T>
class TValStack {
 public:
  explicit TValStack(T fallback) : fallback_(std::move(fallback)) {}
  void Push(T v) { items_.push_back(std::move(v)); }
  void Pop() {
    if (!items_.empty()) items_.pop_back();
  }
  const T& Top() const { return items_.empty() ? fallback_ : items_.back(); }

 private:
  T fallback_;
  std::vector<T> items_;
};

// The attribute state while building.
struct TTagValList {
  explicit TTagValList(int32_t wait) : Waits(wait) {}
  TValStack<int32_t> Sizes{0}, Colors{-1}, BorderColors{-1}, ShadowColors{-1};
  TValStack<std::string> FontNames{std::string()};
  uint8_t Style = 0, NoBreak = 0;
  std::string Ruby;
  TValStack<uint8_t> Aligns{waLeft};
  std::string Link;
  TValStack<int32_t> Waits;
  TValStack<int32_t> Borders{-1}, Shadows{-1};

  TDecorate Decorate() const {
    TDecorate d;
    d.Color = Colors.Top(), d.BorderColor = BorderColors.Top(), d.ShadowColor = ShadowColors.Top();
    d.Size = Sizes.Top(), d.Style = Style, d.FontName = FontNames.Top(), d.NoBreak = NoBreak, d.Ruby = Ruby;
    d.Border = Borders.Top(), d.Shadow = Shadows.Top();
    return d;
  }
};

// BORDER and SHADOW of FONT: absent keeps the top; present is its integer,
// 1 when it is no number, negative taken as 0.
int32_t WidthAttr(const TTag& tag, const char* name, int32_t top) {
  if (!tag.Has(name)) return top;
  const int32_t v = tag.Int(name, 1);
  return v < 0 ? 0 : v;
}

void ApplyFont(TTagValList& s, const TTag& tag) {
  s.Sizes.Push(tag.Int("SIZE", s.Sizes.Top()));
  s.Colors.Push(tag.Color("COLOR", s.Colors.Top()));
  s.BorderColors.Push(tag.Color("BCOLOR", s.BorderColors.Top()));
  s.ShadowColors.Push(tag.Color("SCOLOR", s.ShadowColors.Top()));
  s.FontNames.Push(tag.Str("NAME", s.FontNames.Top()));
  s.Borders.Push(WidthAttr(tag, "BORDER", s.Borders.Top()));
  s.Shadows.Push(WidthAttr(tag, "SHADOW", s.Shadows.Top()));
}

void PopFont(TTagValList& s) {
  s.Sizes.Pop(), s.Colors.Pop(), s.BorderColors.Pop(), s.ShadowColors.Pop();
  s.FontNames.Pop(), s.Borders.Pop(), s.Shadows.Pop();
}

}  // namespace

void TKsWord::BuildGlyphs(const std::string& text) {
  Clear();
  TTagValList s(CharacterWait());
  TTag tag;
  auto set_style = [&s](uint8_t bit, bool on) { s.Style = static_cast<uint8_t>(on ? s.Style | bit : s.Style & ~bit); };
  auto var_like = [&](std::unique_ptr<TWdOpeVar> var, const std::string& expr) {
    var->ExprText = expr;
    var->SetDecorate(s.Decorate());
    var->Link = s.Link, var->Wait = s.Waits.Top();
    Append(std::move(var));
  };
  auto add_return = [this](bool clear) {
    auto r = std::make_unique<TWdOpeReturn>(*this);
    r->Clear = clear ? 1 : 0;
    Append(std::move(r));
  };
  for (const std::string& token : TokenizeMarkup(JoinMarkupLines(text))) {
    tag.Parse(token);
    switch (tag.TagCode()) {
      case tcText: {
        const TDecorate d = s.Decorate();
        TDecorate* style = nullptr;
        for (size_t i = 0; i < token.size(); ++i) {
          auto ch = std::make_unique<TWdChar>(*this);
          ch->Code = static_cast<uint8_t>(token[i]);
          if (IsSjisLeadByte(static_cast<uint8_t>(token[i])) && i + 1 < token.size())
            ch->Code = static_cast<uint16_t>(ch->Code << 8 | static_cast<uint8_t>(token[++i]));
          if (style == nullptr) {
            ch->SetDecorate(d);
            style = ch->Style();
          } else {
            ch->UseStyle(style);
          }
          ch->Link = s.Link, ch->Wait = s.Waits.Top();
          Append(std::move(ch));
          if (LongWorkMustStop(GetCount())) return;
        }
        break;
      }
      case tcA: {
        const std::string href = tag.Str("HREF");
        // "<A>タグにHREF値がありません"
        if (href.empty()) throw EOrbaError("<A>\x83^\x83O\x82\xc9HREF\x92l\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
        s.Link = UnescapeText(href);
        break;
      }
      case tcEndA: s.Link.clear(); break;
      case tcB: case tcEndB: set_style(1, tag.TagCode() == tcB); break;
      case tcI: case tcEndI: set_style(2, tag.TagCode() == tcI); break;
      case tcU: case tcEndU: set_style(4, tag.TagCode() == tcU); break;
      case tcS: case tcEndS: set_style(8, tag.TagCode() == tcS); break;
      case tcFont: ApplyFont(s, tag); break;
      case tcEndFont: PopFont(s); break;
      case tcNoBr: case tcEndNoBr: s.NoBreak = tag.TagCode() == tcNoBr ? 1 : 0; break;
      case tcRuby: s.Ruby = tag.Str("VALUE"); break;
      case tcEndRuby: s.Ruby.clear(); break;
      case tcDiv: case tcEndDiv: {
        if (tag.TagCode() == tcDiv) s.Aligns.Push(tag.Align("ALIGN", {waLeft, waRight, waCenter}, waLeft));
        else s.Aligns.Pop();
        auto a = std::make_unique<TWdOpeAlign>(*this);
        a->Align = s.Aligns.Top();
        Append(std::move(a));
        break;
      }
      case tcIndent: Append(std::make_unique<TWdOpeIndent>(*this)); break;
      case tcUndent: Append(std::make_unique<TWdOpeUndent>(*this)); break;
      case tcBr: add_return(tag.Has("CLEAR")); break;
      case tcClear: add_return(true); break;
      case tcEvent: {
        auto e = std::make_unique<TWdOpeEvent>(*this);
        e->Text = UnescapeText(tag.Str("VALUE"));
        e->Stop = tag.Has("END") ? 1 : 0;
        Append(std::move(e));
        break;
      }
      case tcWait: s.Waits.Push(tag.Int("VALUE", s.Waits.Top())); break;
      case tcEndWait: s.Waits.Pop(); break;
      case tcVar:
        if (!tag.Str("NAME").empty()) var_like(std::make_unique<TWdOpeVar>(*this), tag.Str("NAME"));
        break;
      case tcHistChar:
        if (!tag.Str("VALUE").empty()) var_like(std::make_unique<TWdOpeHistChar>(*this), tag.Str("VALUE"));
        break;
      case tcImg: {
        if (tag.Str("SRC").empty()) break;
        auto img = std::make_unique<TWdImg>(*this);
        img->Name = tag.Str("SRC");
        img->Align = tag.Align("ALIGN", {waCenter, waTop, waBottom}, waBottom);
        img->Link = s.Link, img->Wait = s.Waits.Top();
        Append(std::move(img));
        break;
      }
      default: break;
    }
  }
}

}  // namespace orba

