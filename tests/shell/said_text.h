// Counting what the player said: how often a line or a part of one occurs
// in its output, for tests that check a thing is said exactly once.
#pragma once

#include <cstddef>
#include <string>

namespace orba::test {

// How many times Part occurs in Text, the occurrences not overlapping.
inline size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

}  // namespace orba::test
