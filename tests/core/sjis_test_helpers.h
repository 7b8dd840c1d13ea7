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

// The message of the error E that Call raises, or "<no error>".
template <class E, class F>
std::string ErrorText(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "<no error>";
}

}  // namespace orba::test
