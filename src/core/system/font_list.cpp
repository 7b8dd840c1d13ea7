#include "core/system/font_list.h"

#include <algorithm>
#include <cstring>

#include "core/strings/sjis_case.h"
#include "platform/host.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

constexpr size_t kMaxFaceName = 31;
// What a font enumeration reports for an outline font.
constexpr int32_t kNormalWeight = 400;
constexpr uint8_t kOutStrokePrecision = 3;
constexpr uint8_t kClipStrokePrecision = 2;
constexpr uint8_t kDraftQuality = 1;

// The installed faces with their records; a name Shift-JIS cannot hold, or
// too long for a record, is left out.
std::vector<TLogFont> InstalledFaces() {
  std::vector<TLogFont> faces;
  for (const THostFont& font : Host().ScalableFonts()) {
    const std::string name = Utf8ToSjis(font.Family);
    if (name.empty() || name.size() > kMaxFaceName || SjisToUtf8(name) != font.Family) continue;
    TLogFont f;
    f.Weight = kNormalWeight;
    f.CharSet = font.CoversJapanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
    f.OutPrecision = kOutStrokePrecision;
    f.ClipPrecision = kClipStrokePrecision;
    f.Quality = kDraftQuality;
    f.PitchAndFamily = font.FixedPitch ? FIXED_PITCH : VARIABLE_PITCH;
    f.FaceName = name;
    faces.push_back(f);
  }
  return faces;
}

void PutInt(std::array<uint8_t, 60>& out, size_t at, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

std::array<uint8_t, 60> TLogFont::ToBytes() const {
  std::array<uint8_t, 60> out{};
  const int32_t ints[5] = {Height, Width, Escapement, Orientation, Weight};
  for (size_t i = 0; i < 5; ++i) PutInt(out, 4 * i, ints[i]);
  const uint8_t bytes[8] = {Italic, Underline, StrikeOut, CharSet, OutPrecision, ClipPrecision, Quality, PitchAndFamily};
  std::memcpy(out.data() + 20, bytes, 8);
  std::memcpy(out.data() + 28, FaceName.data(), std::min(FaceName.size(), kMaxFaceName));
  return out;
}

void EnumFontNames(std::vector<std::string>& list, bool sorted, bool keep_vertical, bool fixed_pitch_only) {
  const bool japanese = Host().UserLanguageIsJapanese();
  std::vector<std::string> names;
  for (const TLogFont& f : InstalledFaces()) {
    if (!keep_vertical && f.FaceName[0] == '@') continue;
    if (japanese && f.CharSet != SHIFTJIS_CHARSET) continue;
    if (fixed_pitch_only && (f.PitchAndFamily & 3) != FIXED_PITCH) continue;
    if (sorted) {
      auto at = std::lower_bound(names.begin(), names.end(), f.FaceName,
                                 [](const std::string& a, const std::string& b) { return SjisCompareText(a, b) < 0; });
      if (at != names.end() && SjisCompareText(*at, f.FaceName) == 0) continue;  // a sorted list takes a name once
      names.insert(at, f.FaceName);
    } else {
      names.push_back(f.FaceName);
    }
  }
  list = std::move(names);
}

TLogFont GetFontLogFont(const std::string& face_name) {
  for (const TLogFont& f : InstalledFaces()) {
    if (f.FaceName == face_name) return f;
  }
  return TLogFont();
}

uint8_t GetFontCharset(const std::string& face_name) { return GetFontLogFont(face_name).CharSet; }

}  // namespace orba
