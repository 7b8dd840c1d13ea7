#include "platform/text_convert.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::SjisBytes;
using test::SjisHex;

const std::string kReplacement = "\xEF\xBF\xBD";

// Every character of Python's cp932 codec converts to the same UTF-8, and
// back to bytes that convert to the same text again. The single bytes 0x80,
// 0xA0 and 0xFD-0xFF, which Windows maps to private characters, are outside
// CP932 proper and become U+FFFD.
TEST(TextConvert, AgreesWithPythonCp932) {
  test::TempDir dir;
  const std::string file = dir / "cp932.txt";
  ASSERT_EQ(test::RunPython("fixtures/sjis_cp932_table.py", {file}).exit_code, 0);
  std::ifstream in(file);
  const std::set<std::string> unmapped{"80", "a0", "fd", "fe", "ff"};
  std::string line;
  int cells = 0;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string sjis_hex, utf8_hex;
    f >> sjis_hex >> utf8_hex;
    const std::string sjis = SjisBytes(sjis_hex);
    const std::string utf8 = SjisBytes(utf8_hex);
    if (unmapped.count(sjis_hex) != 0) {
      EXPECT_EQ(SjisToUtf8(sjis), kReplacement) << sjis_hex;
      continue;
    }
    ASSERT_EQ(SjisHex(SjisToUtf8(sjis)), SjisHex(utf8)) << sjis_hex;
    ASSERT_EQ(SjisHex(SjisToUtf8(Utf8ToSjis(utf8))), SjisHex(utf8)) << sjis_hex;
    ++cells;
  }
  EXPECT_GT(cells, 9700);
}

TEST(TextConvert, Cp932NotShiftJis) {
  // 0x5C and 0x7E stay ASCII; NEC row 13, IBM and NEC-selected IBM kanji and
  // the user-defined area convert.
  // a\~ ソ表 ① ⅰ 纊 U+E000
  EXPECT_EQ(SjisHex(SjisToUtf8(SjisBytes("61 5c 7e 83 5c 95 5c 87 40 fa 40 ed 40 f0 40"))),
            "61 5c 7e e3 82 bd e8 a1 a8 e2 91 a0 e2 85 b0 e7 ba 8a ee 80 80");
  EXPECT_EQ(Utf8ToSjis("\xE3\x82\xBD\\"), SjisBytes("83 5c 5c"));
  EXPECT_EQ(Utf8ToSjis("\xEF\xBD\x9E"), SjisBytes("81 60"));  // full-width tilde
}

TEST(TextConvert, BadInputDegradesToReplacementOrQuestionMark) {
  const std::pair<const char*, const char*> sjis_to_utf8[] = {{"61 83", "61 ef bf bd"},        // lone lead byte at the end
                                                              {"81 0a 62", "ef bf bd 0a 62"},  // the newline survives
                                                              {"85 40 61", "ef bf bd 61"},  // unassigned pair: one character
                                                              {"80 61", "ef bf bd 61"},
                                                              {"-", "-"}};
  for (const auto& [in, out] : sjis_to_utf8) EXPECT_EQ(SjisHex(SjisToUtf8(SjisBytes(in))), SjisHex(SjisBytes(out))) << in;
  const std::pair<const char*, const char*> utf8_to_sjis[] = {{"c3 a9 61", "3f 61"},        // é has no code page 932 form
                                                              {"f0 9f 98 80 61", "3f 61"},  // nor an emoji
                                                              {"ff 61", "3f 61"},           // invalid byte
                                                              {"61 e3 81", "61 3f"},        // truncated at the end: one mark
                                                              {"e3 41 e3 81 82", "3f 41 82 a0"}};  // broken, then あ
  for (const auto& [in, out] : utf8_to_sjis) EXPECT_EQ(SjisHex(Utf8ToSjis(SjisBytes(in))), SjisHex(SjisBytes(out))) << in;
}

TEST(TextConvert, LongTextsConvertWhole) {
  std::string sjis;
  for (int i = 0; i < 5000; ++i) sjis += SjisBytes("82 a0 61");  // あa, beyond one buffer
  const std::string utf8 = SjisToUtf8(sjis);
  EXPECT_EQ(utf8.size(), 5000u * 4);
  EXPECT_EQ(Utf8ToSjis(utf8), sjis);
}

}  // namespace
}  // namespace orba
