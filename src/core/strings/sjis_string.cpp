#include "core/strings/sjis_string.h"

#include <algorithm>

#include "core/errors.h"
#include "core/strings/han_zen_table.h"

namespace orba {
namespace {

uint8_t ByteAt(const std::string& s, size_t i) { return static_cast<uint8_t>(s[i]); }

// Bytes of the character starting at byte i (0-based): 2 for a lead byte
// with a byte after it, else 1.
size_t CharSize(const std::string& s, size_t i) {
  return (IsSjisLeadByte(ByteAt(s, i)) && i + 1 < s.size()) ? 2 : 1;
}

// 0-based byte offset of the character with 1-based number `char_index`,
// s.size() when the string has fewer characters.
size_t CharOffset(const std::string& s, int32_t char_index) {
  size_t i = 0;
  for (int32_t c = 1; c < char_index && i < s.size(); ++c) i += CharSize(s, i);
  return i;
}

// Whether byte `at` (0-based, inside S) is a trail byte. Bytes that cannot be
// lead bytes always end a character, so the parity of the run of lead-range
// bytes just before it decides.
bool IsTrailAt(const std::string& s, size_t at) {
  size_t run = 0;
  for (size_t i = at; i > 0 && IsSjisLeadByte(ByteAt(s, i - 1)); --i) ++run;
  return run % 2 == 1;
}

constexpr char kFullSpace[] = "\x81\x40";  // 　 (full-width space)

}  // namespace

int32_t JByteIndex(const std::string& s, int32_t char_index) {
  return static_cast<int32_t>(CharOffset(s, char_index)) + 1;
}

bool IsTrailByte(const std::string& s, int32_t byte_index) {
  if (byte_index < 1 || static_cast<size_t>(byte_index) > s.size()) throw EOrbaError("Illegal Index");
  return IsTrailAt(s, static_cast<size_t>(byte_index) - 1);
}

int32_t JLength(const std::string& s) {
  int32_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharSize(s, i)) ++n;
  return n;
}

int32_t JPos(const std::string& sub, const std::string& s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  const size_t last_start = s.size() - sub.size();
  int32_t c = 1;
  for (size_t i = 0; i <= last_start; i += CharSize(s, i), ++c) {
    if (s[i] == sub[0] && s.compare(i, sub.size(), sub) == 0) return c;
  }
  return 0;
}

std::string JCopy(const std::string& s, int32_t index, int32_t count) {
  if (count <= 0) return std::string();
  if (index < 1) index = 1;
  const size_t from = CharOffset(s, index);
  size_t to = from;
  for (int32_t c = 0; c < count && to < s.size(); ++c) to += CharSize(s, to);
  return s.substr(from, to - from);
}

void JInsert(const std::string& sub, std::string& s, int32_t index) {
  if (index < 1) index = 1;
  s.insert(CharOffset(s, index), sub);
}

void JDelete(std::string& s, int32_t index, int32_t count) {
  if (index < 1) index = 1;
  const size_t from = CharOffset(s, index);
  if (from >= s.size() || count <= 0) return;
  size_t to = from;
  for (int32_t c = 0; c < count && to < s.size(); ++c) to += CharSize(s, to);
  s.erase(from, to - from);
}

std::string JFetchToken(std::string& s, const std::string& delimiters) {
  std::string token;
  if (delimiters.empty()) {
    token.swap(s);
    return token;
  }
  for (size_t i = 0; i < s.size(); i += CharSize(s, i)) {
    // Only a character's first byte is compared: a trail byte never splits.
    if (delimiters.find(s[i]) != std::string::npos) {
      token = s.substr(0, i);
      s.erase(0, i + 1);
      return token;
    }
  }
  token.swap(s);
  return token;
}

void JTrimLeft(std::string& s) {
  size_t i = 0;
  for (;;) {
    if (i < s.size() && s[i] == ' ') {
      ++i;
    } else if (s.compare(i, 2, kFullSpace) == 0) {
      i += 2;
    } else {
      break;
    }
  }
  s.erase(0, i);
}

void JTrimRight(std::string& s) {
  while (!s.empty()) {
    if (IsTrailAt(s, s.size() - 1)) {
      if (s.compare(s.size() - 2, 2, kFullSpace) != 0) return;
      s.resize(s.size() - 2);
    } else {
      if (s.back() != ' ') return;
      s.pop_back();
    }
  }
}

std::string JTrim(const std::string& s) {
  std::string r(s);
  JTrimLeft(r);
  JTrimRight(r);
  return r;
}

int32_t JCharCode(const std::string& s, int32_t char_index) {
  const size_t i = CharOffset(s, char_index < 1 ? 1 : char_index);
  if (i >= s.size()) return 0;
  if (CharSize(s, i) == 2) return ByteAt(s, i) * 256 + ByteAt(s, i + 1);
  return ByteAt(s, i);
}

size_t SjisFindByte(const std::string& s, char c, size_t from) {
  for (size_t i = from; i < s.size(); i += CharSize(s, i)) {
    if (s[i] == c) return i;
  }
  return std::string::npos;
}

bool SjisEndsWithByte(const std::string& s, char c) {
  return !s.empty() && s.back() == c && !IsTrailAt(s, s.size() - 1);
}

std::string HanToZen(const std::string& s) {
  std::string out;
  out.reserve(s.size() * 2);
  const auto append = [&out](const THanZenPair& p) {
    out += static_cast<char>(p.Lead);
    out += static_cast<char>(p.Trail);
  };
  for (size_t i = 0; i < s.size();) {
    const size_t size = CharSize(s, i);
    if (size == 2) {
      out.append(s, i, 2);
      i += 2;
      continue;
    }
    const uint8_t c = ByteAt(s, i);
    ++i;
    // A lone lead byte at the end is a single byte without a full-width form.
    if (kHanToZenSingle[c].Lead == 0) continue;
    if (i < s.size()) {
      const uint8_t mark = ByteAt(s, i);
      const THanZenPair& folded = mark == 0xDE ? kHanToZenVoiced[c] : mark == 0xDF ? kHanToZenSemiVoiced[c] : THanZenPair{0, 0};
      if (folded.Lead != 0) {
        append(folded);
        ++i;
        continue;
      }
    }
    append(kHanToZenSingle[c]);
  }
  return out;
}

std::string ZenToHan(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (CharSize(s, i) == 1) {
      out += s[i++];
      continue;
    }
    const TZenHanEntry key{ByteAt(s, i), ByteAt(s, i + 1), 0, {0, 0}};
    i += 2;
    const auto less = [](const TZenHanEntry& a, const TZenHanEntry& b) {
      return a.Lead != b.Lead ? a.Lead < b.Lead : a.Trail < b.Trail;
    };
    const TZenHanEntry* end = kZenToHanTable + kZenToHanCount;
    const TZenHanEntry* e = std::lower_bound(kZenToHanTable, end, key, less);
    if (e != end && e->Lead == key.Lead && e->Trail == key.Trail) {
      out.append(reinterpret_cast<const char*>(e->Half), e->Length);
    }
  }
  return out;
}

std::string JisToSjis(int32_t row, int32_t cell) {
  // 64-bit arithmetic: only the low byte of each result is kept, and no
  // argument can overflow on the way there.
  const int64_t r = row, c = cell;
  int64_t trail;
  if (r % 2 != 0) {
    trail = c < 0x60 ? c + 0x1F : c + 0x20;
  } else {
    trail = c + 0x7E;
  }
  const int64_t lead = ((r + 1) >> 1) + (r < 0x5F ? 0x70 : 0xB0);
  std::string result(2, '\0');
  result[0] = static_cast<char>(static_cast<uint8_t>(lead & 0xFF));
  result[1] = static_cast<char>(static_cast<uint8_t>(trail & 0xFF));
  return result;
}

std::string EucToSjis(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const uint8_t c = ByteAt(s, i);
    if (c < 0x81 || c == 0xFF) {
      out += c == 0 ? ' ' : static_cast<char>(c);
    } else if (c == 0x8E) {
      // Single shift 2: the next byte is a half-width katakana.
      if (++i < s.size()) out += s[i];
    } else {
      const uint8_t second = ++i < s.size() ? ByteAt(s, i) : 0;
      out += JisToSjis(c & 0x7F, second % 0x80);
    }
  }
  return out;
}

std::vector<uint16_t> SjisCharCodes(const std::string& s) {
  std::vector<uint16_t> codes;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (IsSjisLeadByte(c) && i + 1 < s.size()) {
      codes.push_back(static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(s[++i])));
    } else {
      codes.push_back(c);
    }
  }
  return codes;
}

}  // namespace orba
