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

const std::string kKanjiAb = SjisBytes("8a bf 8e 9a 61 62");  // 漢字ab

TEST(SjisString, HandWorkedExamples) {
  EXPECT_EQ((std::vector<int32_t>{JLength(kKanjiAb), JByteIndex(kKanjiAb, 3), JByteIndex(kKanjiAb, -4),
                                  JByteIndex(kKanjiAb, 99)}),
            (std::vector<int32_t>{4, 5, 1, 7}));
  EXPECT_EQ(JCopy(kKanjiAb, 2, 2), SjisBytes("8e 9a 61"));  // 字a
  EXPECT_EQ(JCopy(kKanjiAb, 2, 0), "");
  std::string s = kKanjiAb, t = kKanjiAb, u = "ab";
  JDelete(s, 1, 1);
  JDelete(t, 5, 3);  // beyond the end: nothing
  JInsert("x", u, 10);
  EXPECT_EQ((std::vector<std::string>{s, t, u}), (std::vector<std::string>{SjisBytes("8e 9a 61 62"), kKanjiAb, "abx"}));
  // ソ ends in 0x5C: a backslash pattern is not found inside it.
  EXPECT_EQ((std::vector<int32_t>{JPos("\\", SjisBytes("83 5c")), JPos("\\", SjisBytes("83 5c 5c")), JPos("", "abc")}),
            (std::vector<int32_t>{0, 2, 0}));
}

TEST(SjisString, LoneLeadByteAtTheEndIsOneCharacter) {
  const std::string s = SjisBytes("61 83");
  EXPECT_EQ(JCopy(s, 2, 5), SjisBytes("83"));
  EXPECT_EQ((std::vector<int32_t>{JLength(s), JCharCode(s, 2), JCharCode(s, 3), JByteIndex(s, 9)}),
            (std::vector<int32_t>{2, 0x83, 0, 3}));
  std::string t = s;
  JDelete(t, 2, 1);
  EXPECT_EQ(t, "a");
}

TEST(SjisString, IsTrailByteCountsTheLeadRun) {
  // ア(83 41) ソ(83 5C) then 81 81 (a pair) and a lone 81.
  const std::string s = SjisBytes("83 41 83 5c 81 81 81");
  const bool expected[] = {false, true, false, true, false, true, false};
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(IsTrailByte(s, i), expected[i - 1]) << i;
  EXPECT_EQ(test::ErrorText<EOrbaError>([&] { IsTrailByte(s, 8); }), "Illegal Index");
  EXPECT_THROW(IsTrailByte(s, 0), EOrbaError);
  EXPECT_THROW(IsTrailByte("", 1), EOrbaError);
}

TEST(SjisString, FetchTokenNeverSplitsAtATrailByte) {
  std::string s = SjisBytes("83 5c 61 5c 62 5c");  // ソa\b\ .
  EXPECT_EQ(JFetchToken(s, "\\"), SjisBytes("83 5c 61"));
  EXPECT_EQ(s, "b\\");
  EXPECT_EQ(JFetchToken(s, "\\"), "b");
  EXPECT_EQ(s, "");
  s = "a,b";
  EXPECT_EQ(JFetchToken(s, ""), "a,b");
  EXPECT_EQ(s, "");
  s = "abc";
  EXPECT_EQ(JFetchToken(s, ",;"), "abc");
  EXPECT_EQ(s, "");
}

TEST(SjisString, TrimRemovesBothKindsOfSpaceAtTheEndsOnly) {
  const std::string s = SjisBytes("20 81 40 20 61 81 40 62 20 81 40 81 40 20");
  EXPECT_EQ(JTrim(s), SjisBytes("61 81 40 62"));
  EXPECT_EQ(JTrim(""), "");
  // 81 20 is one character whose trail is a space: it is not trimmed.
  EXPECT_EQ(JTrim(SjisBytes("61 81 20")), SjisBytes("61 81 20"));
}

// Results of JLength, JCopy, JPos, JInsert, JDelete and JCharCode on random
// mixed strings, worked out from Python's cp932 character view.
TEST(SjisString, AgreesWithPythonCharacterViewOnRandomStrings) {
  test::TempDir dir;
  const std::string file = dir / "cases.txt";
  ASSERT_EQ(test::RunPython("fixtures/sjis_string_cases.py", {file, "10000", "1106"}).exit_code, 0);
  std::ifstream in(file);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string hs, hsub, hcopy, hins, hdel;
    int32_t index, count, len, pos, code;
    f >> hs >> hsub >> index >> count >> len >> hcopy >> pos >> hins >> hdel >> code;
    const std::string s = SjisBytes(hs), sub = SjisBytes(hsub);
    SCOPED_TRACE(line);
    ASSERT_EQ(JLength(s), len);
    ASSERT_EQ(SjisHex(JCopy(s, index, count)), SjisHex(SjisBytes(hcopy)));
    ASSERT_EQ(JPos(sub, s), pos);
    std::string t = s;
    JInsert(sub, t, index);
    ASSERT_EQ(SjisHex(t), SjisHex(SjisBytes(hins)));
    t = s;
    JDelete(t, index, count);
    ASSERT_EQ(SjisHex(t), SjisHex(SjisBytes(hdel)));
    ASSERT_EQ(JCharCode(s, index), code);
    ++n;
  }
  EXPECT_EQ(n, 10000);
}

// The full-width forms of the ASCII symbols, as listed for HanToZen.
struct SymbolForm {
  char half;
  const char* full;
};
const SymbolForm kSymbols[] = {
    {' ', "81 40"}, {'!', "81 49"}, {'"', "81 68"}, {'#', "81 94"}, {'$', "81 90"}, {'%', "81 93"},
    {'&', "81 95"}, {'\'', "81 66"}, {'(', "81 69"}, {')', "81 6a"}, {'*', "81 96"}, {'+', "81 7b"},
    {',', "81 43"}, {'-', "81 7c"}, {'.', "81 44"}, {'/', "81 5e"}, {':', "81 46"}, {';', "81 47"},
    {'<', "81 83"}, {'=', "81 81"}, {'>', "81 84"}, {'?', "81 48"}, {'@', "81 97"}, {'[', "81 6d"},
    {'\\', "81 8f"}, {']', "81 6e"}, {'^', "81 4f"}, {'_', "81 51"}, {'`', "81 65"}, {'{', "81 6f"},
    {'|', "81 62"}, {'}', "81 70"}, {'~', "81 60"}};

TEST(HanZen, AsciiFormsFollowTheTable) {
  int checked = 0;
  for (int c = 0x20; c <= 0x7E; ++c) {
    std::string full;
    if (c >= '0' && c <= '9') full = {'\x82', static_cast<char>(c + 0x1F)};
    if (c >= 'A' && c <= 'Z') full = {'\x82', static_cast<char>(c + 0x1F)};
    if (c >= 'a' && c <= 'z') full = {'\x82', static_cast<char>(c + 0x20)};
    for (const auto& sym : kSymbols) {
      if (sym.half == c) full = SjisBytes(sym.full);
    }
    ASSERT_EQ(full.size(), 2u) << c;
    const std::string half(1, static_cast<char>(c));
    EXPECT_EQ(SjisHex(HanToZen(half)), SjisHex(full)) << c;
    EXPECT_EQ(ZenToHan(full), half) << c;
    ++checked;
  }
  EXPECT_EQ(checked, 95);
  EXPECT_EQ(ZenToHan(SjisBytes("81 67")), "\"");  // “ as well as ”
}

struct HanZenCase {
  const char* han;
  const char* zen;
};

class HanToZenCases : public testing::TestWithParam<HanZenCase> {};

TEST_P(HanToZenCases, Converts) {
  EXPECT_EQ(SjisHex(HanToZen(SjisBytes(GetParam().han))), SjisHex(SjisBytes(GetParam().zen)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HanToZenCases,
    testing::Values(HanZenCase{"b6 de 31", "83 4b 82 50"},        // ｶﾞ1 -> ガ１
                    HanZenCase{"ca df", "83 70"},                 // ﾊﾟ -> パ
                    HanZenCase{"b3 de", "83 45 81 4a"},           // ｳﾞ -> ウ゛
                    HanZenCase{"b1 df", "83 41 81 4b"},           // ｱﾟ -> ア゜
                    HanZenCase{"c4 de ce df ce de", "83 68 83 7c 83 7b"},  // ﾄﾞﾎﾟﾎﾞ
                    HanZenCase{"a1 a6 b0 dd", "81 42 83 92 81 5b 83 93"},  // ｡ｦｰﾝ
                    HanZenCase{"61 0d 0a 62", "82 81 82 82"},     // a CR LF b: controls dropped
                    HanZenCase{"7f 80 a0 fd fe ff", "-"},         // bytes without a form
                    HanZenCase{"8a bf 41", "8a bf 82 60"},        // double-byte kept
                    HanZenCase{"41 83", "82 60"},                 // lone lead byte at the end
                    HanZenCase{"b6 83", "83 4a"}));               // kana then lone lead

class ZenToHanCases : public testing::TestWithParam<HanZenCase> {};

TEST_P(ZenToHanCases, Converts) {
  EXPECT_EQ(SjisHex(ZenToHan(SjisBytes(GetParam().zen))), SjisHex(SjisBytes(GetParam().han)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZenToHanCases,
    testing::Values(HanZenCase{"41 42", "82 60 82 61 8a bf"},    // ＡＢ漢 -> AB
                    HanZenCase{"b6 de ca df b3", "83 4b 83 70 83 45"},  // ガパウ
                    HanZenCase{"de df", "81 4a 81 4b"},          // ゛゜
                    HanZenCase{"5c", "81 8f"},                   // ￥ -> backslash
                    HanZenCase{"-", "81 5f 83 94 82 a0 81 4d"},  // ＼ ヴ あ ｀ dropped
                    HanZenCase{"0d 0a b1 83", "0d 0a b1 83"}));  // singles kept, lone lead too

TEST(HanZen, CommittedTableIsTheGeneratorsOutput) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("../tools/gen_han_zen_table.py", {dir.path()}).exit_code, 0);
  for (const char* name : {"han_zen_table.h", "han_zen_table.cpp"}) {
    EXPECT_EQ(test::ReadFileBytes(dir / name),
              test::ReadFileBytes(std::string(ORBA_SOURCE_DIR) + "/src/core/strings/" + name))
        << name;
  }
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
  EXPECT_EQ(SjisHex(EucToSjis(SjisBytes("a4 a2"))), "82 a0");        // あ
  EXPECT_EQ(SjisHex(EucToSjis(SjisBytes("61 00 8e b1 62"))), "61 20 b1 62");
  EXPECT_EQ(SjisHex(EucToSjis(SjisBytes("ff 80 8e"))), "ff 80");
  // A pair byte at the very end takes 0 as its second byte.
  EXPECT_EQ(SjisHex(EucToSjis(SjisBytes("a4"))), SjisHex(JisToSjis(0x24, 0)));
  EXPECT_EQ(SjisHex(JisToSjis(0x21, 0x21)), "81 40");
  EXPECT_EQ(SjisHex(JisToSjis(0x7e, 0x7e)), "ef fc");
  EXPECT_EQ(JisToSjis(INT32_MAX, INT32_MAX).size(), 2u);  // any argument is safe
  EXPECT_EQ(JisToSjis(INT32_MIN, -1).size(), 2u);
}

// iconv's EUC-JP -> CP932 conversion of one text; empty when it refuses.
std::string IconvEucToCp932(iconv_t cd, const std::string& in) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char out[16];
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out;
  size_t dst_left = sizeof out;
  if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) return std::string();
  return std::string(out, static_cast<size_t>(dst - out));
}

TEST(EucToSjis, EqualsIconvForEveryJisX0208Cell) {
  iconv_t cd = iconv_open("CP932", "EUC-JP");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      const std::string euc{static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
      const std::string expected = IconvEucToCp932(cd, euc);
      if (expected.empty()) continue;  // not a cell both sides define
      EXPECT_EQ(SjisHex(EucToSjis(euc)), SjisHex(expected)) << std::hex << row << " " << cell;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);
}

}  // namespace
}  // namespace orba
