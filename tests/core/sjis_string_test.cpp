#include "core/strings/sjis_string.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <sstream>

#include "core/errors.h"
#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::SjisBytes;
using test::SjisHex;

// Results of JLength, JCopy, JPos, JInsert, JDelete and JCharCode on random
// mixed strings (indexes and counts before, inside and beyond the text),
// worked out from Python's cp932 character view.
TEST(SjisString, AgreesWithPythonCharacterViewOnRandomStrings) {
  test::TempDir dir;
  const std::string file = dir / "cases.txt";
  ASSERT_EQ(test::RunPython("fixtures/sjis_string_cases.py", {file, "10000", "1106"}).exit_code, 0);
  std::ifstream in(file);
  int n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    std::istringstream f(line);
    std::string hs, hsub, hcopy, hins, hdel;
    int32_t index, count, len, pos, code;
    f >> hs >> hsub >> index >> count >> len >> hcopy >> pos >> hins >> hdel >> code;
    const std::string s = SjisBytes(hs), sub = SjisBytes(hsub);
    std::string inserted = s, deleted = s;
    JInsert(sub, inserted, index);
    JDelete(deleted, index, count);
    ASSERT_EQ((std::vector<std::string>{std::to_string(JLength(s)), SjisHex(JCopy(s, index, count)),
                                        std::to_string(JPos(sub, s)), SjisHex(inserted), SjisHex(deleted),
                                        std::to_string(JCharCode(s, index))}),
              (std::vector<std::string>{std::to_string(len), SjisHex(SjisBytes(hcopy)), std::to_string(pos),
                                        SjisHex(SjisBytes(hins)), SjisHex(SjisBytes(hdel)), std::to_string(code)}))
        << line;
  }
  EXPECT_EQ(n, 10000);
}

TEST(SjisString, ByteIndexesAndALoneLeadByteAtTheEnd) {
  const std::string kanji_ab = SjisBytes("8a bf 8e 9a 61 62");  // 漢字ab
  const std::string s = SjisBytes("61 83");
  EXPECT_EQ((std::vector<int32_t>{JByteIndex(kanji_ab, 3), JByteIndex(kanji_ab, -4), JByteIndex(kanji_ab, 99),
                                  JLength(s), JCharCode(s, 2), JCharCode(s, 3), JByteIndex(s, 9)}),
            (std::vector<int32_t>{5, 1, 7, 2, 0x83, 0, 3}));
  EXPECT_EQ(JCopy(s, 2, 5), SjisBytes("83"));
  std::string t = s;
  JDelete(t, 2, 1);
  EXPECT_EQ(t, "a");
}

TEST(SjisString, IsTrailByteCountsTheLeadRun) {
  // ア(83 41) ソ(83 5C) then 81 81 (a pair) and a lone 81.
  const std::string s = SjisBytes("83 41 83 5c 81 81 81");
  std::vector<bool> trail;
  for (int i = 1; i <= 7; ++i) trail.push_back(IsTrailByte(s, i));
  EXPECT_EQ(trail, (std::vector<bool>{false, true, false, true, false, true, false}));
  EXPECT_EQ(test::ErrorText<EOrbaError>([&] { IsTrailByte(s, 8); }), "Illegal Index");
  EXPECT_THROW(IsTrailByte(s, 0), EOrbaError);
  EXPECT_THROW(IsTrailByte("", 1), EOrbaError);
}

TEST(SjisString, FetchTokenAndTrimKeepDoubleByteCharactersWhole) {
  std::string s = SjisBytes("83 5c 61 5c 62 5c");  // ソa\b\ : never split at a trail byte
  EXPECT_EQ(JFetchToken(s, "\\") + "|" + s, SjisBytes("83 5c 61") + "|b\\");
  EXPECT_EQ(JFetchToken(s, "\\") + "|" + s, "b|");
  s = "a,b";
  EXPECT_EQ(JFetchToken(s, "") + "|" + s, "a,b|");
  s = "abc";
  EXPECT_EQ(JFetchToken(s, ",;") + "|" + s, "abc|");
  // Both kinds of space go at the ends only; 81 20 is one character whose
  // trail is a space and stays.
  EXPECT_EQ(JTrim(SjisBytes("20 81 40 20 61 81 40 62 20 81 40 81 40 20")), SjisBytes("61 81 40 62"));
  EXPECT_EQ(JTrim("") + "|" + JTrim(SjisBytes("61 81 20")), "|" + SjisBytes("61 81 20"));
}

TEST(HanZen, AsciiFormsFollowTheTable) {
  // The full-width forms of the ASCII symbols, in the order of `symbols`.
  const std::string symbols = " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
  const std::string forms = SjisBytes(
      "81 40 81 49 81 68 81 94 81 90 81 93 81 95 81 66 81 69 81 6a 81 96 81 7b 81 43 81 7c 81 44 81 5e 81 46"
      "81 47 81 83 81 81 81 84 81 48 81 97 81 6d 81 8f 81 6e 81 4f 81 51 81 65 81 6f 81 62 81 70 81 60");
  for (int c = 0x20; c <= 0x7E; ++c) {
    const size_t at = symbols.find(static_cast<char>(c));
    std::string full = at != std::string::npos ? forms.substr(2 * at, 2) : std::string{'\x82', static_cast<char>(c + 0x1F)};
    if (c >= 'a' && c <= 'z') full[1] = static_cast<char>(c + 0x20);
    const std::string half(1, static_cast<char>(c));
    EXPECT_EQ(SjisHex(HanToZen(half)), SjisHex(full)) << c;
    EXPECT_EQ(ZenToHan(full), half) << c;
  }
  EXPECT_EQ(ZenToHan(SjisBytes("81 67")), "\"");  // “ as well as ”
}

TEST(HanZen, ConvertsKanaControlsAndOtherBytes) {
  const std::pair<const char*, const char*> han_to_zen[] = {
      {"b6 de 31", "83 4b 82 50"},                // ｶﾞ1 -> ガ１
      {"ca df", "83 70"},                         // ﾊﾟ -> パ
      {"b3 de", "83 45 81 4a"},                   // ｳﾞ -> ウ゛
      {"b1 df", "83 41 81 4b"},                   // ｱﾟ -> ア゜
      {"c4 de ce df ce de", "83 68 83 7c 83 7b"},  // ﾄﾞﾎﾟﾎﾞ
      {"a1 a6 b0 dd", "81 42 83 92 81 5b 83 93"},  // ｡ｦｰﾝ
      {"61 0d 0a 62", "82 81 82 82"},             // a CR LF b: controls dropped
      {"7f 80 a0 fd fe ff", "-"},                 // bytes without a form
      {"8a bf 41", "8a bf 82 60"},                // double-byte kept
      {"41 83", "82 60"},                         // lone lead byte at the end
      {"b6 83", "83 4a"}};                        // kana then lone lead
  for (const auto& [han, zen] : han_to_zen) EXPECT_EQ(SjisHex(HanToZen(SjisBytes(han))), SjisHex(SjisBytes(zen))) << han;
  const std::pair<const char*, const char*> zen_to_han[] = {
      {"82 60 82 61 8a bf", "41 42"},            // ＡＢ漢 -> AB
      {"83 4b 83 70 83 45", "b6 de ca df b3"},   // ガパウ
      {"81 4a 81 4b", "de df"},                  // ゛゜
      {"81 8f", "5c"},                           // ￥ -> backslash
      {"81 5f 83 94 82 a0 81 4d", "-"},          // ＼ ヴ あ ｀ dropped
      {"0d 0a b1 83", "0d 0a b1 83"}};           // singles kept, lone lead too
  for (const auto& [zen, han] : zen_to_han) EXPECT_EQ(SjisHex(ZenToHan(SjisBytes(zen))), SjisHex(SjisBytes(han))) << zen;
}

TEST(HanZen, RoundTripsEveryHalfWidthKana) {
  for (int c = 0xA1; c <= 0xDF; ++c) {
    const std::string half(1, static_cast<char>(c));
    EXPECT_EQ(ZenToHan(HanToZen(half)), half) << c;
  }
  for (int c = 0xB6; c <= 0xCE; ++c) {
    if (c > 0xC4 && c < 0xCA) continue;
    const std::string voiced{static_cast<char>(c), '\xde'};
    EXPECT_EQ(JLength(HanToZen(voiced)), 1) << c;
    EXPECT_EQ(ZenToHan(HanToZen(voiced)), voiced) << c;
  }
}

TEST(EucToSjis, HandWorkedExamples) {
  EXPECT_EQ((std::vector<std::string>{SjisHex(EucToSjis(SjisBytes("a4 a2"))), SjisHex(EucToSjis(SjisBytes("61 00 8e b1 62"))),
                                      SjisHex(EucToSjis(SjisBytes("ff 80 8e"))), SjisHex(JisToSjis(0x21, 0x21)),
                                      SjisHex(JisToSjis(0x7e, 0x7e))}),
            (std::vector<std::string>{"82 a0", "61 20 b1 62", "ff 80", "81 40", "ef fc"}));  // あ ...
  // A pair byte at the very end takes 0 as its second byte.
  EXPECT_EQ(SjisHex(EucToSjis(SjisBytes("a4"))), SjisHex(JisToSjis(0x24, 0)));
  EXPECT_EQ(JisToSjis(INT32_MAX, INT32_MAX).size(), 2u);  // any argument is safe
  EXPECT_EQ(JisToSjis(INT32_MIN, -1).size(), 2u);
}

TEST(EucToSjis, EqualsIconvForEveryJisX0208Cell) {
  iconv_t cd = iconv_open("CP932", "EUC-JP");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      std::string euc{static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
      char out[16];
      char* src = euc.data();
      char* dst = out;
      size_t src_left = 2, dst_left = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) continue;  // a cell iconv lacks
      EXPECT_EQ(SjisHex(EucToSjis(euc)), SjisHex(std::string(out, static_cast<size_t>(dst - out)))) << row << " " << cell;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);
}

}  // namespace
}  // namespace orba
