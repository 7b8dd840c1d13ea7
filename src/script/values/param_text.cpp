#include "script/values/param_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "script/script_errors.h"

namespace orba {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool TryTextToInt(const std::string& text, int32_t& value) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  if (i >= n) return false;
  bool hex = false;
  if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
    hex = true;
    ++i;
  } else if (text[i] == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (hex) {
    if (i >= n) return false;
    uint64_t v = 0;
    for (; i < n; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu) return false;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= n) return false;
  int64_t v = 0;
  for (; i < n; ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t TextToIntOrZero(const std::string& text) {
  int32_t v = 0;
  return TryTextToInt(text, v) ? v : 0;
}

bool TryTextToFloat(const std::string& text, long double& value) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  // Check the shape first, so that strtold accepts nothing more than the rule
  // ("inf", "nan", hexadecimal floats).
  size_t i = b;
  if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
  int digits = 0;
  bool point = false;
  for (; i < e; ++i) {
    if (IsDigit(text[i])) {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < e && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
    int exp_digits = 0;
    for (; i < e && IsDigit(text[i]); ++i) ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != e) return false;
  const std::string clean = text.substr(b, e - b);
  const long double v = std::strtold(clean.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

long double TextToFloatOrZero(const std::string& text) {
  long double v = 0.0L;
  return TryTextToFloat(text, v) ? v : 0.0L;
}

std::string FloatToText(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0L) return "0";
  // 15 significant digits, rounded: d.dddddddddddddde[+-]x
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", value);
  const std::string s(buf);
  const size_t epos = s.find('e');
  const bool negative = s[0] == '-';
  std::string digits;
  for (size_t k = negative ? 1 : 0; k < epos; ++k) {
    if (IsDigit(s[k])) digits += s[k];
  }
  const int exponent = std::atoi(s.c_str() + epos + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent <= 14) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const size_t int_len = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= int_len) {
        out += digits;
        out.append(int_len - digits.size(), '0');
      } else {
        out += digits.substr(0, int_len);
        out += '.';
        out += digits.substr(int_len);
      }
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += '.';
    out += digits.substr(1);
  }
  out += 'E';
  out += std::to_string(exponent);
  return out;
}

std::string IntToText(int32_t value) { return std::to_string(value); }

int64_t FloatToInt64(long double value) {
  if (std::isnan(value)) throw EInvalidOpError();
  const long double t = std::truncl(value);
  // 2^63 is exact in the extended format.
  if (t < -9223372036854775808.0L || t >= 9223372036854775808.0L) throw EInvalidOpError();
  return static_cast<int64_t>(t);
}

int32_t FloatToInt(long double value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(FloatToInt64(value))));
}

}  // namespace orba
