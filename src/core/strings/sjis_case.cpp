#include "core/strings/sjis_case.h"

namespace orba {
namespace {

template <bool kToLower>
std::string Fold(const std::string& s) {
  std::string out(s);
  const size_t n = out.size();
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = static_cast<uint8_t>(out[i]);
    if (IsSjisLeadByte(c)) {
      if (i + 1 >= n) break;  // a lone lead byte at the end stays as it is
      const uint8_t t = static_cast<uint8_t>(out[i + 1]);
      if (c == 0x82) {
        if (kToLower && t >= 0x60 && t <= 0x79) out[i + 1] = static_cast<char>(t + 0x21);
        if (!kToLower && t >= 0x81 && t <= 0x9A) out[i + 1] = static_cast<char>(t - 0x21);
      }
      ++i;  // the trail byte never folds
      continue;
    }
    if (kToLower && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
    if (!kToLower && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
  }
  return out;
}

}  // namespace

std::string SjisLowerCase(const std::string& s) { return Fold<true>(s); }
std::string SjisUpperCase(const std::string& s) { return Fold<false>(s); }

bool SjisSameText(const std::string& a, const std::string& b) {
  // The same as comparing the lower-cased copies, without making them: names
  // are compared on every variable and file lookup.
  const size_t n = a.size();
  if (b.size() != n) return false;
  const auto lower_ascii = [](uint8_t c) { return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  const auto lower_trail = [](uint8_t lead, uint8_t t) {
    return static_cast<uint8_t>(lead == 0x82 && t >= 0x60 && t <= 0x79 ? t + 0x21 : t);
  };
  for (size_t i = 0; i < n; ++i) {
    const uint8_t ca = static_cast<uint8_t>(a[i]);
    const uint8_t cb = static_cast<uint8_t>(b[i]);
    if (IsSjisLeadByte(ca) && i + 1 < n) {
      // Lead bytes never fold, so both strings have a character here.
      if (ca != cb) return false;
      ++i;
      if (lower_trail(ca, static_cast<uint8_t>(a[i])) != lower_trail(cb, static_cast<uint8_t>(b[i]))) return false;
    } else if (lower_ascii(ca) != lower_ascii(cb)) {
      return false;
    }
  }
  return true;
}

int SjisCompareText(const std::string& a, const std::string& b) {
  const int c = SjisLowerCase(a).compare(SjisLowerCase(b));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace orba
