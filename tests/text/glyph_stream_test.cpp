#include "text/glyph_stream.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "platform/text_convert.h"
#include "support/test_support.h"
#include "text/wd_char.h"

namespace orba {
namespace {

// The message the fixture writer describes by hand.
const char kMarkup[] =
    "あ<B>い</B><FONT SIZE=20 COLOR=#FF0000 BORDER=1>う</FONT><BR CLEAR><RUBY VALUE=かな>漢</RUBY>"
    "<WAIT VALUE=-30>x</WAIT><A HREF=link>y</A><EVENT VALUE=ev END><IMG SRC=pic.png ALIGN=TOP>"
    "<DIV ALIGN=CENTER>z</DIV><INDENT><UNDENT><VAR NAME=v>";

std::vector<uint8_t> FixtureBytes(int version) {
  const test::CommandResult r = test::RunPython("fixtures/ksword_fixture.py", {std::to_string(version)});
  EXPECT_EQ(r.exit_code, 0);
  return test::FromHex(r.output.substr(0, r.output.find('\n')));
}

// Every glyph and its style as one line, with what a version cannot carry
// left out.
std::string Summary(const TKsWord& word, int version) {
  std::string s;
  for (int32_t i = 0; i < word.GetCount(); ++i) {
    TWdGlyph& g = *word.GetGlyph(i);
    s += std::to_string(g.GetGlyphType()) + ":" + std::to_string(g.GetCharCode()) + ":" + g.GetLink() + ":" +
         std::to_string(g.GetAlign()) + ":" + std::to_string(g.GetClear()) + ":" + g.GetValue();
    if (g.GetGlyphType() != gtVar || version >= 101) s += ":" + std::to_string(g.GetWait());
    if (const TDecorate* d = g.GetDecorate()) {
      s += ":" + std::to_string(d->Color) + "," + std::to_string(d->BorderColor) + "," + std::to_string(d->Size) +
           "," + std::to_string(d->Style) + "," + std::to_string(d->NoBreak) + "," + d->FontName + "," + d->Ruby +
           "," + std::to_string(version < 100 ? d->Border != 0 : d->Border) + "," + std::to_string(d->RefCount);
      if (version >= 100) s += "," + std::to_string(d->Shadow) + "," + std::to_string(d->ShadowColor);
    }
    s += "\n";
  }
  return s;
}

void Load(TKsWord& word, const std::vector<uint8_t>& bytes) {
  TKsSpanStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  LoadGlyphStream(word, s);
}

TEST(GlyphStream, EveryVersionLoadsTheSameGlyphsAndOurWriterMatchesTheFixture) {
  TKsWord built;
  built.BuildGlyphs(Utf8ToSjis(kMarkup));
  TKsMemoryStream ours;
  SaveGlyphStream(built, ours);
  const std::vector<uint8_t> v102 = FixtureBytes(102);
  EXPECT_EQ(test::ToHex(ours.TakeBytes()), test::ToHex(v102));
  for (int version : {0, 100, 101, 102}) {
    SCOPED_TRACE(version);
    TKsWord word;
    Load(word, FixtureBytes(version));
    std::string expected = Summary(built, version);
    if (version < 102) expected.replace(expected.rfind(":v"), 2, ":");  // the compiled expression is empty
    EXPECT_EQ(Summary(word, version), expected);
  }
}

TEST(GlyphStream, LoadingTwiceAppendsAStyleTableCountedFromTheFirst) {
  TKsWord word;
  const std::vector<uint8_t> bytes = FixtureBytes(102);
  Load(word, bytes);
  Load(word, bytes);
  EXPECT_EQ(word.StyleBase, 4);
  ASSERT_EQ(word.Styles.Count(), 8);
  EXPECT_EQ(word.GetCount(), 30);
  EXPECT_EQ(word.GetGlyph(16)->GetDecorate(), word.Styles.Get(5));  // the second "い" is bold
  EXPECT_EQ(word.Styles.Get(4)->RefCount, 5);
}

TEST(GlyphStream, StoredReferenceCountsAreRecounted) {
  std::vector<uint8_t> bytes = FixtureBytes(102);
  bytes[13] = 0xE7, bytes[14] = 0x03;  // style 0 claims 999 users
  TKsWord word;
  Load(word, bytes);
  EXPECT_EQ(word.Styles.Get(0)->RefCount, 5);
  TKsMemoryStream again;
  SaveGlyphStream(word, again);
  EXPECT_EQ(test::ToHex(again.TakeBytes()), test::ToHex(FixtureBytes(102)));
}

TEST(GlyphStream, HostileStreamsRaiseTheReadErrorAndChangeNothing) {
  const std::vector<uint8_t> good = FixtureBytes(102);
  std::vector<std::vector<uint8_t>> bad;
  for (size_t n = 0; n < good.size(); ++n) bad.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
  // Header 9, style count 4, four records of 38 bytes and the ruby's 4: the
  // glyph count at 169, the first glyph's type at 173, its style at 184.
  bad.push_back(good), bad.back()[184] = 4;     // a style index past the table
  bad.push_back(good), bad.back()[173] = 8;     // a type code outside the table
  bad.push_back(good), bad.back()[172] = 0x7F;  // a glyph count far beyond the bytes
  const std::vector<uint8_t> v100 = FixtureBytes(100);
  for (const auto& bytes : bad) {
    TKsWord word;
    Load(word, v100);
    const std::string before = Summary(word, 100);
    EXPECT_THROW(Load(word, bytes), EReadError) << bytes.size();
    EXPECT_EQ(Summary(word, 100), before);
    EXPECT_EQ(word.Styles.Count(), 4);
    EXPECT_EQ(word.StyleBase, 0);
  }
}

TEST(GlyphStream, CopiedCharactersTakeAnEqualStyleOfTheirWordAndSettersSplitSharedStyles) {
  TKsWord source, dest;
  source.BuildGlyphs(Utf8ToSjis("<B>あい</B>"));
  dest.BuildGlyphs(Utf8ToSjis("<B>う</B>"));
  dest.CopyGlyphs(source, 0, 1);
  ASSERT_EQ(dest.Styles.Count(), 1);
  EXPECT_EQ(dest.GetGlyph(1)->GetDecorate(), dest.Styles.Get(0));
  EXPECT_EQ(dest.Styles.Get(0)->RefCount, 3);
  source.Clear();
  auto& ch = static_cast<TWdChar&>(*dest.GetGlyph(2));
  TDecorate red = *ch.Style();
  red.Color = 0xFF;
  ch.SetDecorate(red);
  EXPECT_EQ(dest.Styles.Count(), 2);
  EXPECT_EQ(dest.Styles.Get(0)->RefCount, 2);
  EXPECT_EQ(dest.GetGlyph(0)->GetDecorate()->Color, -1);
}

}  // namespace
}  // namespace orba
