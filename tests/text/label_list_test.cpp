#include "text/label_list.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "platform/headless/fake_fonts.h"

namespace orba {
namespace {

class LabelList : public ::testing::Test {
 protected:
  TFakeFonts fonts;
  TFontPixelManager glyphs{&fonts};
  TKsLabelList list{&glyphs};
  TDIBX target;
  void SetUp() override {
    target.SetSize(200, 40, 32);
    list.Target = &target;
    list.FontSize = 16;
  }
};

TEST_F(LabelList, WidthIsTheSumOfTheAdvances) {
  list.Border = 2;
  list.ShadowOffset = 1;
  list.Add().SetText("AB");
  list.CalcWidths();
  const TKsLabelDIB& label = *list.GetItem(0);
  EXPECT_EQ(label.Advances, (std::vector<int32_t>{8 + 5, 8 + 5}));
  EXPECT_EQ(label.Width, 26);
  EXPECT_EQ(label.Height, 16 + 5);
  EXPECT_EQ(list.GetItem(1), nullptr);
  // The outline text metrics of a measured list are the font's.
  EXPECT_EQ(list.OutlineMetrics[0], 212);
  EXPECT_EQ(list.OutlineMetrics[4], 16);
}

TEST_F(LabelList, ItalicLastCharacterIsNotCut) {
  list.Style = kFontItalic;
  TKsLabelDIB& label = list.Add();
  label.SetText("AB");
  label.Draw(0, 0);
  EXPECT_FALSE(label.Changed);
  // B is 6 + 16 / 5 pixels wide from x = 1: 2 past its advance of 8.
  EXPECT_EQ(label.Advances, (std::vector<int32_t>{8, 10}));
  TFontPixel& b = glyphs.GetGlyph('B', list.FontName, kFontItalic, 16);
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      ASSERT_EQ(label.Cover.GetPixel(8 + 1 + x, b.YOffset + y), b.Coverage.GetPixel(x, y)) << x << "," << y;
  label.SetText("AB");
  EXPECT_FALSE(label.Changed);
}

TEST_F(LabelList, ManyDistinctCharactersRenderOneAtATime) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += {static_cast<char>(0x88 + i / 188), static_cast<char>(0x40 + i % 188)};
  list.Add().SetText(text);
  list.GetItem(0)->Render();
  EXPECT_EQ(list.GetItem(0)->Width, 300 * 16);
  EXPECT_EQ(glyphs.Count(), 256u);
}

// A settings record by hand: anti-alias, border, alpha, size, name, text
// and border colour, style, the 212 metric bytes, and from version 122 the
// shadow offset and colour.
std::vector<uint8_t> Record(int32_t anti_alias, bool shadow) {
  std::vector<uint8_t> b;
  const auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (uint32_t v : {uint32_t(anti_alias), 2u, 200u, 20u, 3u}) put(v);
  b.insert(b.end(), {'F', 'o', 'o'});
  put(0x00FF00);
  put(0x0000FF);
  b.push_back(kFontBold);
  for (int i = 0; i < 212; ++i) b.push_back(static_cast<uint8_t>(i * 7 + 1));
  if (shadow) put(3), put(0x808080);
  return b;
}

TEST_F(LabelList, RecordVersions) {
  struct Case {
    int32_t version, stored, level;
  };
  for (Case c : {Case{108, 1, 0}, Case{108, 2, 3}, Case{109, 1, 1}, Case{121, 2, 2}}) {
    TKsMemoryStream in(Record(c.stored, false));
    TKsLabelList loaded;
    loaded.LoadFromStream(in, c.version);
    EXPECT_EQ(loaded.AntiAlias, c.level) << c.version;
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(loaded.ShadowOffset, 0);
    EXPECT_EQ(loaded.FontName, "Foo");
  }
  const std::vector<uint8_t> bytes = Record(3, true);
  TKsMemoryStream in(bytes), out;
  list.LoadFromStream(in, 122);
  list.Add().SetText("A");
  list.CalcWidths();  // the loaded metric bytes are kept
  list.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), bytes);
}

TEST_F(LabelList, DamagedRecordChangesNothing) {
  std::vector<uint8_t> bytes = Record(3, true);
  TKsMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  bytes[16] = 0xF0;  // a name longer than the record
  TKsMemoryStream long_name(bytes);
  EXPECT_THROW(list.LoadFromStream(long_name, 122), EReadError);
  EXPECT_THROW(list.LoadFromStream(cut, 122), EReadError);
  EXPECT_EQ(list.FontSize, 16);
  EXPECT_EQ(list.OutlineMetrics[0], 0);
}

}  // namespace
}  // namespace orba
