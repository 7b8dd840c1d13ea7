// File-name masks: the matcher that backtracks only to the last star gives
// the answers of a matcher that tries every split of the name between the
// stars, on a table of masks and names and on many generated ones, and a
// mask of many stars against a long name answers in steps linear in the name.
#include <gtest/gtest.h>

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

// Calls, when given, counts the calls made.
bool RefFrom(const std::string& name, size_t n, const std::string& mask, size_t m, int64_t* calls = nullptr) {
  if (calls != nullptr) ++*calls;
  while (m < mask.size()) {
    if (mask[m] == '*') {
      for (size_t k = n;; k += RefCharLen(name, k)) {
        if (RefFrom(name, k, mask, m + 1, calls)) return true;
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

// What a matcher that passes over the name at most once for each mask
// byte may take: a step for each character against each byte.
int64_t LinearBound(const std::string& name, const std::string& mask) {
  return static_cast<int64_t>((name.size() + 1) * (mask.size() + 1));
}

// Counted in steps, not in time: trying every split grows with the name's
// length to the power of the stars, past the bound even on the first case,
// and on the longer ones would take longer than the universe has lasted.
TEST(FileMasks, ManyStarsAgainstALongNameAnswerInStepsLinearInTheName) {
  struct TCase {
    std::string Name, Mask;
    bool Matches;
  };
  const std::string letters(240, 'a'), stars = "*a*a*a*a*a*a*a*a*a*c";
  const TCase cases[] = {
      {std::string(40, 'a'), "*a*a*a*a*c", false},
      {letters, stars, false},
      {letters + "c", stars, true},
      {letters + "cb", stars, false},
      {std::string(4000, 'A') + "C", "*" + std::string(200, '?') + "*a*c", true},
  };
  int64_t split_calls = 0;
  RefFrom(SjisUpperCase(cases[0].Name), 0, SjisUpperCase(cases[0].Mask), 0, &split_calls);
  ASSERT_GT(split_calls, LinearBound(cases[0].Name, cases[0].Mask)) << "the first case tells the two apart";
  for (const TCase& c : cases) {
    int64_t steps = 0;
    EXPECT_EQ(MatchesMask(c.Name, c.Mask, &steps), c.Matches) << c.Mask << " on " << c.Name.size() << " characters";
    EXPECT_GT(steps, 0);
    // Stops at the first case passed, before a longer one could run on.
    ASSERT_LE(steps, LinearBound(c.Name, c.Mask)) << c.Mask << " on " << c.Name.size() << " characters";
  }
}

}  // namespace
}  // namespace orba
