// Small helpers for tests of Shift-JIS byte strings.
#pragma once

#include <string>

#include "support/test_support.h"

namespace orba::test {

// "83 5c 41" -> the byte string; "-" or "" is the empty string.
inline std::string SjisBytes(const std::string& hex) {
  if (hex == "-") return std::string();
  const auto bytes = FromHex(hex);
  return std::string(bytes.begin(), bytes.end());
}

// The byte string as hex, for readable failure messages.
inline std::string SjisHex(const std::string& s) { return ToHex(Bytes(s)); }

}  // namespace orba::test
