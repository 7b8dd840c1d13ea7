// File-name masks: the matcher that backtracks only to the last star gives
// the answers of a matcher that tries every split of the name between the
// stars, on a table of masks and names and on many generated ones, and a
// mask of many stars against a long name answers at once.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "core/strings/sjis_case.h"
#include "script/functions/sys_func_file.h"

namespace orba {
namespace {

// The reference: every split tried, recursively (exponential in the stars).
size_t RefCharLen(const std::string& s, size_t i) {
  return IsSjisLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

size_t RefSet(const std::string& ch, const std::string& mask, size_t m, bool& matched) {
  bool negate = false;
  if (m < mask.size() && mask[m] == '!') negate = true, ++m;
  matched = false;
  while (m < mask.size() && mask[m] != ']') {
    const std::string lo = mask.substr(m, RefCharLen(mask, m));
    m += lo.size();
    std::string hi = lo;
    if (m + 1 < mask.size() && mask[m] == '-' && mask[m + 1] != ']') {
      hi = mask.substr(m + 1, RefCharLen(mask, m + 1));
      m += 1 + hi.size();
    }
    matched = matched || (lo <= ch && ch <= hi);
  }
  if (m >= mask.size()) return std::string::npos;
  matched = matched != negate;
  return m + 1;
}

bool RefFrom(const std::string& name, size_t n, const std::string& mask, size_t m) {
  while (m < mask.size()) {
    if (mask[m] == '*') {
      for (size_t k = n;; k += RefCharLen(name, k)) {
        if (RefFrom(name, k, mask, m + 1)) return true;
        if (k >= name.size()) return false;
      }
    }
    if (n >= name.size()) return false;
    const std::string ch = name.substr(n, RefCharLen(name, n));
    if (mask[m] == '?') {
      ++m;
    } else if (mask[m] == '[') {
      bool matched = false;
      m = RefSet(ch, mask, m + 1, matched);
      if (m == std::string::npos || !matched) return false;
    } else {
      const std::string mc = mask.substr(m, RefCharLen(mask, m));
      if (mc != ch) return false;
      m += mc.size();
    }
    n += ch.size();
  }
  return n >= name.size();
}

bool Reference(const std::string& name, const std::string& mask) {
  return RefFrom(SjisUpperCase(name), 0, SjisUpperCase(mask), 0);
}

// 表 (its trail byte is "\"), ソ (trail byte "\" too), あ.
const std::string kHyo = "\x95\x5c", kSo = "\x83\x5c", kA = "\x82\xa0";

TEST(FileMasks, TableAgreesWithEverySplitTried) {
  const std::vector<std::string> masks = {
      "*", "**", "*.*", "*.ogg", "?.ogg", "a*c", "a*c*", "*b", "*a*b*c", "a?c", "*?", "?*?", "[a-c]?.wav", "[!a-c]*",
      "[x", "*[x", "[]", "[!]*", "*[a-]*", "[a-c-e]*", "*" + kHyo, "?" + kHyo + "*", "[" + kHyo + "-" + kSo + "]*",
      "*\\*", kA + "*" + kA, "*.OGG", "*A*A*", "*ab*ab", "*aab", "a*a*a", ""};
  const std::vector<std::string> names = {"", "a", "A.OGG", "a.ogg.txt", "abc", "abcabc", "aab", "aaab", "ababab",
                                          "ab.ogg", "c1.wav", "d1.wav", "x", "[x", "-", kHyo, kHyo + ".txt",
                                          "a" + kHyo + "b", kSo + kHyo, kA + "x" + kA, "a\\b", "\x95"};
  for (const std::string& mask : masks)
    for (const std::string& name : names)
      EXPECT_EQ(MatchesMask(name, mask), Reference(name, mask)) << "name \"" << name << "\" mask \"" << mask << "\"";
}

TEST(FileMasks, GeneratedMasksAgreeWithEverySplitTried) {
  const std::vector<std::string> mask_items = {"*", "*", "?", "a", "b", "B", "[a-b]", "[!a]", "[", kHyo, "\\"};
  const std::vector<std::string> name_items = {"a", "b", "A", "c", kHyo, kSo, "\\", "\x95"};
  std::mt19937 random(56);
  for (int i = 0; i < 20000; ++i) {
    std::string mask, name;
    for (size_t k = random() % 7; k > 0; --k) mask += mask_items[random() % mask_items.size()];
    for (size_t k = random() % 9; k > 0; --k) name += name_items[random() % name_items.size()];
    ASSERT_EQ(MatchesMask(name, mask), Reference(name, mask)) << "name \"" << name << "\" mask \"" << mask << "\"";
  }
}

TEST(FileMasks, ManyStarsAgainstALongNameAnswerAtOnce) {
  const std::string mask = "*a*a*a*a*a*a*a*a*a*c";
  const std::string letters(240, 'a');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MatchesMask(letters, mask));
  EXPECT_TRUE(MatchesMask(letters + "c", mask));
  EXPECT_FALSE(MatchesMask(letters + "cb", mask));
  EXPECT_TRUE(MatchesMask(std::string(4000, 'A') + "C", "*" + std::string(200, '?') + "*a*c"));
  // Every split tried would take longer than the universe has lasted.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace orba
