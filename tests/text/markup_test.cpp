#include "text/markup.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

std::string Tokens(const std::string& text) {
  std::string out;
  for (const std::string& t : TokenizeMarkup(text)) out += (out.empty() ? "" : "|") + t;
  return out;
}

struct TTokenCase {
  const char* Text;
  const char* Expected;
};

class TokenizeMarkupTest : public testing::TestWithParam<TTokenCase> {};

TEST_P(TokenizeMarkupTest, Tokens) { EXPECT_EQ(Tokens(GetParam().Text), GetParam().Expected); }

INSTANTIATE_TEST_SUITE_P(Rules, TokenizeMarkupTest, testing::Values(
    TTokenCase{"a  b", "a b"}, TTokenCase{"a\rb", "a b"}, TTokenCase{"\rab", "ab"}, TTokenCase{"a \rb", "a b"},
    TTokenCase{"<B>x</B>", "<B>|x|</B>"}, TTokenCase{"a>b", "a>b"}, TTokenCase{"<A <B>>c", "<A <B>|c"},
    TTokenCase{"ab<!-- c <B> -->d", "ab|<!-- c <B> -->|d"},
    TTokenCase{"<!--a<!--b-->c-->d", "<!--a<!--b-->c-->|d"},
    TTokenCase{"<script>x</Script>y", "<SCRIPT>x</SCRIPT>|y"}, TTokenCase{"<!--a\rb-->", "<!--a\r\nb-->"},
    TTokenCase{"<PRE>\ra\tb\rc</PRE>", "<PRE>|a        b|<BR>|c|</PRE>"}, TTokenCase{"<pre>a\r</pre>x", "<pre>|a|</pre>|x"},
    TTokenCase{"<PRE>a  b</PRE>", "<PRE>|a b|</PRE>"}, TTokenCase{"<TEXTAREA>a\rb</TEXTAREA>", "<TEXTAREA>|a|b|</TEXTAREA>"},
    TTokenCase{"a\\<B>b", "a<B>b"}, TTokenCase{"\\a\\\\\\{", "a\\{"}, TTokenCase{"a\\", "a\\"},
    TTokenCase{"\x83\x5c" "a", "\x83\x5c" "a"}, TTokenCase{"\"<a>\r\t\"b", "\"<a>\"b"},
    TTokenCase{"a\x14\x14" "b", "a b"}, TTokenCase{"a\tb", "ab"}, TTokenCase{"a<BR>\r\rb", "a|<BR>|b"}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.Text); });

TEST(JoinMarkupLines, LineEnds) {
  EXPECT_EQ(JoinMarkupLines("a\r\nb\nc\rd\r\n"), "a\rb\rc\rd");
  EXPECT_EQ(JoinMarkupLines("a\r\n\r\n"), "a\r");
}

struct TTagCase {
  const char* Token;
  const char* Text;
  const char* Items;  // joined with "|", CR shown as "="
  int32_t Code;
};

class TagParseTest : public testing::TestWithParam<TTagCase> {};

TEST_P(TagParseTest, Parse) {
  TTag tag;
  tag.Parse(GetParam().Token);
  std::string items;
  for (std::string item : tag.Items) {
    for (char& c : item) c = c == '\r' ? '=' : c;
    items += (items.empty() ? "" : "|") + item;
  }
  EXPECT_EQ(tag.Text, GetParam().Text);
  EXPECT_EQ(items, GetParam().Items);
  EXPECT_EQ(tag.TagCode(), GetParam().Code);
}

INSTANTIATE_TEST_SUITE_P(Tags, TagParseTest, testing::Values(
    TTagCase{"<FONT SIZE=20 COLOR=\"#FF0000\">", "<FONT>", "SIZE=20|COLOR=#FF0000", tcFont},
    TTagCase{"<a HREF = x>", "<a>", "HREF|x", tcA}, TTagCase{"<A HREF=>", "<A>", "HREF", tcA},
    TTagCase{"<img src='a b.png' align=top>", "<img>", "src=a b.png|align=top", tcImg},
    TTagCase{"<ruby value=\"ab>", "<ruby>", "value=ab", tcRuby}, TTagCase{"<histchar>", "<histchar>", "", tcHistChar},
    TTagCase{"<xyz>", "<xyz>", "", tcUnknown}, TTagCase{"plain", "plain", "", tcText}, TTagCase{"<>", "<>", "", tcText},
    TTagCase{"<!-- c -->", "<!-- c -->", "", tcUnknown}, TTagCase{"</wait>", "</wait>", "", tcEndWait}),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.Token); });

TEST(TagValues, IntegersColoursAndAlignment) {
  TTag tag;
  tag.Parse("<FONT SIZE=$1F BORDER=x COLOR=#FF0000 BCOLOR=red SCOLOR=#12 ALIGN=center BARE>");
  EXPECT_EQ(tag.Int("size", 7), 31);
  EXPECT_EQ(tag.Int("border", 7), 7);
  EXPECT_EQ(tag.Int("missing", 7), 7);
  EXPECT_EQ(tag.Color("COLOR", -1), 0x0000FF);
  EXPECT_EQ(tag.Color("BCOLOR", 5), 5);
  EXPECT_EQ(tag.Color("SCOLOR", 5), 0x120000);
  EXPECT_EQ(tag.Align("ALIGN", {waLeft, waRight, waCenter}, waLeft), waCenter);
  EXPECT_EQ(tag.Align("ALIGN", {waTop, waBottom}, waBottom), waBottom);
  EXPECT_TRUE(tag.Has("bare"));
  EXPECT_EQ(tag.Str("bare", "d"), "");
  EXPECT_EQ(tag.Str("none", "d"), "d");
}

}  // namespace
}  // namespace orba
