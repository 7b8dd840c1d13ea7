#include "core/strings/text_utils.h"

#include "core/strings/sjis_case.h"

namespace orba {

std::string UnescapeText(const std::string& s) {
  if (s.size() <= 1) return s;
  std::string out;
  out.reserve(s.size());
  const size_t n = s.size();
  size_t i = 0;
  // Every byte but the last may start a two-byte unit.
  while (i + 1 < n) {
    const char c = s[i];
    if (IsSjisLeadByte(static_cast<uint8_t>(c))) {
      out.append(s, i, 2);
      i += 2;
    } else if (c == '\\' && s[i + 1] == 'n') {
      out += "\r\n";
      i += 2;
    } else if (c == '\\' && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[i + 1];
      i += 2;
    } else {
      out += c;
      ++i;
    }
  }
  if (i < n) out += s[i];
  return out;
}

std::string SplitLabelSuffix(std::string& s) {
  // The last single-byte ':', '.' or '\' from the second byte on decides.
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (IsSjisLeadByte(static_cast<uint8_t>(c)) && i + 1 < s.size()) {
      i += 2;
      continue;
    }
    if (i >= 1 && (c == ':' || c == '.' || c == '\\')) found = i;
    ++i;
  }
  if (found == std::string::npos || s[found] != ':') return std::string();
  std::string suffix = s.substr(found + 1);
  s.resize(found);
  return suffix;
}

std::string TrimControls(const std::string& s, uint8_t highest) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= highest) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= highest) --e;
  return s.substr(b, e - b);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i == 0 ? "" : "\r\n") + lines[i];
  return s;
}

int32_t ScaleColor(int32_t color, int32_t factor) {
  // Unsigned arithmetic wraps like the 32-bit product it stands for.
  const uint32_t f = static_cast<uint32_t>(factor);
  const uint32_t rgb = static_cast<uint32_t>(color);
  uint32_t result = 0;
  for (unsigned shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (rgb >> shift) & 0xFFu;
    result |= (((c * f) >> 8) & 0xFFu) << shift;
  }
  return static_cast<int32_t>(result);  // the top byte is 0
}

}  // namespace orba
