#include <gtest/gtest.h>

#include "core/files/path_utils.h"
#include "core/sjis_test_helpers.h"
#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"

namespace orba {
namespace {

using test::SjisBytes;
using test::SjisHex;

struct ParseCase {
  const char* path;
  std::vector<const char*> items;
};

class PathParserSplit : public testing::TestWithParam<ParseCase> {};

TEST_P(PathParserSplit, GivesTheParts) {
  TPathParser p;
  p.Parse(SjisBytes(GetParam().path));
  ASSERT_EQ(p.Count(), static_cast<int32_t>(GetParam().items.size()));
  std::string joined;
  for (size_t i = 0; i < GetParam().items.size(); ++i) {
    EXPECT_EQ(SjisHex(p.Get(static_cast<int32_t>(i))), SjisHex(SjisBytes(GetParam().items[i]))) << i;
    joined += SjisBytes(GetParam().items[i]);
  }
  EXPECT_EQ(p.GetPath(), joined);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathParserSplit,
    testing::Values(
        ParseCase{"-", {}},
        // c:\games\x -> C:\ GAMES\ X\ .
        ParseCase{"63 3a 5c 67 61 6d 65 73 5c 78", {"43 3a 5c", "47 41 4d 45 53 5c", "58 5c"}},
        // \\srv\share\ -> \\SRV\ SHARE\ .
        ParseCase{"5c 5c 73 72 76 5c 73 68 61 72 65 5c", {"5c 5c 53 52 56 5c", "53 48 41 52 45 5c"}},
        // a\表\ソ : trail bytes 0x5C do not split, and the added backslash follows ソ.
        ParseCase{"61 5c 95 5c 5c 83 5c", {"41 5c", "95 5c 5c", "83 5c 5c"}},
        // ヂ (83 61) keeps its trail byte; ａ (82 81) folds to Ａ (82 60).
        ParseCase{"83 61 82 81", {"83 61 82 60 5c"}}));

struct ResolveCase {
  const char* path;
  const char* base;
  const char* result;
};

class ResolveRelative : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveRelative, Resolves) {
  EXPECT_EQ(ResolveRelativePath(GetParam().path, GetParam().base), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveRelative,
    testing::Values(ResolveCase{"..\\..\\a.omt", "C:\\games\\x\\film\\", "C:\\GAMES\\a.omt"},
                    ResolveCase{"b.omt", "c:\\d\\", "c:\\d\\b.omt"},
                    ResolveCase{"\\abs\\f", "c:\\d\\", "\\abs\\f"},
                    ResolveCase{"e:\\f", "c:\\d\\", "e:\\f"},
                    ResolveCase{"x", "c:\\d\\", "x"},
                    ResolveCase{"::x", "c:\\d\\", "::x"},
                    ResolveCase{"", "c:\\d\\", ""},
                    // the root is dropped too; the "..\" parts beyond it stay
                    ResolveCase{"..\\..\\..\\..\\f", "c:\\d\\", "..\\..\\f"},
                    ResolveCase{"..\\", "", "..\\"}));

TEST(ResolveRelative, TrailByteBackslashStaysInTheBase) {
  // Base c:\表\ソ\ (95 5C, 83 5C): going up one folder removes ソ only.
  const std::string base = SjisBytes("63 3a 5c 95 5c 5c 83 5c 5c");
  EXPECT_EQ(SjisHex(ResolveRelativePath("..\\f", base)), SjisHex(SjisBytes("43 3a 5c 95 5c 5c 66")));
  // A relative path that starts with a double-byte character is appended.
  EXPECT_EQ(ResolveRelativePath(SjisBytes("83 5c 2e"), "c:\\"), "c:\\" + SjisBytes("83 5c 2e"));
}

TEST(PathUtils, AddBackSlashAndDelimiters) {
  EXPECT_EQ(AddBackSlash("") + "|" + AddBackSlash("a") + "|" + AddBackSlash("a\\"), "\\|a\\|a\\");
  EXPECT_EQ(AddBackSlash(SjisBytes("83 5c")), SjisBytes("83 5c 5c"));
  EXPECT_EQ((std::vector<bool>{IsPathDelimiter("a\\", 2), IsPathDelimiter(SjisBytes("83 5c"), 2),
                               IsPathDelimiter("a\\", 3), IsPathDelimiter("a\\", 0)}),
            (std::vector<bool>{true, false, false, false}));
}

struct UnescapeCase {
  const char* in;
  const char* out;
};

class Unescape : public testing::TestWithParam<UnescapeCase> {};

TEST_P(Unescape, Converts) {
  EXPECT_EQ(SjisHex(UnescapeText(SjisBytes(GetParam().in))), SjisHex(SjisBytes(GetParam().out)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Unescape,
    testing::Values(UnescapeCase{"61 5c 6e 62", "61 0d 0a 62"},        // a\nb
                    UnescapeCase{"5c 74", "5c 74"},                    // \t stays
                    UnescapeCase{"61 5c", "61 5c"},                    // lone backslash at the end
                    UnescapeCase{"5c 5c 6e", "5c 6e"},                 // \\n is a backslash and n
                    UnescapeCase{"5c 22 5c", "22 5c"},                 // \" then a lone backslash
                    UnescapeCase{"83 5c 6e", "83 5c 6e"},              // ソn: no escape
                    UnescapeCase{"95 5c 5c 5c", "95 5c 5c"},           // 表 then \\ .
                    UnescapeCase{"5c", "5c"},
                    UnescapeCase{"-", "-"},
                    UnescapeCase{"61 83", "61 83"}));                  // lone lead byte kept

struct SuffixCase {
  const char* in;
  const char* rest;
  const char* suffix;
};

class LabelSuffix : public testing::TestWithParam<SuffixCase> {};

TEST_P(LabelSuffix, Splits) {
  std::string s = SjisBytes(GetParam().in);
  const std::string suffix = SplitLabelSuffix(s);
  EXPECT_EQ(SjisHex(s), SjisHex(SjisBytes(GetParam().rest)));
  EXPECT_EQ(SjisHex(suffix), SjisHex(SjisBytes(GetParam().suffix)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabelSuffix,
    testing::Values(
        // main.osb:start
        SuffixCase{"6d 61 69 6e 2e 6f 73 62 3a 73 74 61 72 74", "6d 61 69 6e 2e 6f 73 62", "73 74 61 72 74"},
        // c:\dir\file: no suffix
        SuffixCase{"63 3a 5c 64 69 72 5c 66 69 6c 65", "63 3a 5c 64 69 72 5c 66 69 6c 65", "-"},
        // :abc (colon only at the first byte): no suffix
        SuffixCase{"3a 61 62 63", "3a 61 62 63", "-"},
        // a:ソ (83 5C): the trail backslash does not stop the search
        SuffixCase{"61 3a 83 5c", "61", "83 5c"},
        // a:表x (95 5C): likewise
        SuffixCase{"61 3a 95 5c 78", "61", "95 5c 78"},
        // page.osb: with an empty label
        SuffixCase{"70 2e 6f 3a", "70 2e 6f", "-"},
        // x:a.b: the dot after the colon means no suffix
        SuffixCase{"78 3a 61 2e 62", "78 3a 61 2e 62", "-"}));

TEST(ScaleColor, ScalesEachChannelWithoutClamping) {
  // The top byte is cleared; 0xFF * 2 wraps to 0xFE; a negative factor keeps
  // bits 8-15 of the 32-bit product: 0x10 * -256 = 0xFFFFF000.
  EXPECT_EQ((std::vector<int32_t>{ScaleColor(0x00FFFFFF, 128), ScaleColor(0x00123456, 256), ScaleColor(0x7F123456, 256),
                                  ScaleColor(0x00FF0080, 512), ScaleColor(-1, 0), ScaleColor(0x10, -256)}),
            (std::vector<int32_t>{0x007F7F7F, 0x00123456, 0x00123456, 0x00FE0000, 0, 0xF0}));
  EXPECT_EQ(MakePoint(3, -4), (TPoint{3, -4}));
}

TEST(SjisCase, FoldsAsciiAndFullWidthLettersOnly) {
  // Aa Ａａ ア ヂ Ｚ ｚ ä(single byte 0xE4 is a lead byte here: kept with its trail)
  const std::string mixed = SjisBytes("41 61 82 60 82 81 83 41 83 61 82 79 82 9a 5a");
  EXPECT_EQ(SjisHex(SjisLowerCase(mixed)), "61 61 82 81 82 81 83 41 83 61 82 9a 82 9a 7a");
  EXPECT_EQ(SjisHex(SjisUpperCase(mixed)), "41 41 82 60 82 60 83 41 83 61 82 79 82 79 5a");
  // Bytes next to the letter ranges do not fold.
  EXPECT_EQ(SjisHex(SjisLowerCase(SjisBytes("40 5b 82 5f 82 7a 82 80 82 9b"))), "40 5b 82 5f 82 7a 82 80 82 9b");
  // A lone lead byte at the end stays.
  EXPECT_EQ(SjisHex(SjisUpperCase(SjisBytes("61 82"))), "41 82");
  // Half-width katakana are single bytes and never fold.
  EXPECT_EQ(SjisHex(SjisUpperCase(SjisBytes("b1 c1"))), "b1 c1");
  EXPECT_TRUE(SjisSameText("Name", "nAME"));
  EXPECT_FALSE(SjisSameText(SjisBytes("83 41"), SjisBytes("83 61")) || SjisSameText("ab", "abc"));
  // Bytes compare unsigned: "z" sorts before Ａ.
  EXPECT_EQ((std::vector<int>{SjisCompareText("abc", "ABD"), SjisCompareText("B", "a"),
                              SjisCompareText(SjisBytes("82 60"), SjisBytes("82 81")),
                              SjisCompareText("z", SjisBytes("82 60"))}),
            (std::vector<int>{-1, 1, 0, -1}));
  // SjisSameText is the comparison of the lower-cased copies.
  const char alphabet[] = {'A', 'a', 'Z', '\x82', '\x60', '\x81', '\x83', '\x41', '\x61', '\x9a', '\x79'};
  uint32_t seed = 12345;
  const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 20000; ++round) {
    std::string a, b;
    const size_t n = (next() >> 16) % 5;
    for (size_t i = 0; i < n; ++i) a += alphabet[(next() >> 16) % sizeof alphabet];
    for (size_t i = 0; i < n; ++i) b += alphabet[(next() >> 16) % sizeof alphabet];
    if (round % 3 == 0) b = SjisUpperCase(a);
    ASSERT_EQ(SjisSameText(a, b), SjisLowerCase(a) == SjisLowerCase(b)) << SjisHex(a) << " / " << SjisHex(b);
  }
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(IsSjisLeadByte(static_cast<uint8_t>(b)), (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) << b;
  }
}

}  // namespace
}  // namespace orba
