// The installed fonts as the player's scripts see them: scalable families
// whose names Shift-JIS can hold, each with the logical-font record a
// Windows program would get for it. A family covering Japanese has the
// Shift-JIS character set (128), any other the ANSI one (0).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orba {

constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t SHIFTJIS_CHARSET = 128;
constexpr uint8_t FIXED_PITCH = 1;
constexpr uint8_t VARIABLE_PITCH = 2;

// The logical-font record (60 bytes stored; the character set at byte 23).
struct TLogFont {
  int32_t Height = 0;
  int32_t Width = 0;
  int32_t Escapement = 0;
  int32_t Orientation = 0;
  int32_t Weight = 0;
  uint8_t Italic = 0;
  uint8_t Underline = 0;
  uint8_t StrikeOut = 0;
  uint8_t CharSet = 0;
  uint8_t OutPrecision = 0;
  uint8_t ClipPrecision = 0;
  uint8_t Quality = 0;
  uint8_t PitchAndFamily = 0;
  std::string FaceName;  // Shift-JIS, at most 31 bytes

  // The stored record: little-endian fields, the face name zero-padded.
  std::array<uint8_t, 60> ToBytes() const;
};

// Fills List with the installed face names: sorted (case-insensitively)
// when Sorted, without names beginning with "@" unless KeepVertical, only
// the Shift-JIS faces when the user's language is Japanese, only
// fixed-pitch faces when FixedPitchOnly.
void EnumFontNames(std::vector<std::string>& list, bool sorted, bool keep_vertical, bool fixed_pitch_only);
// The record of the face of exactly that name; all zero when none.
TLogFont GetFontLogFont(const std::string& face_name);
// Its character set; 0 when the face is not installed.
uint8_t GetFontCharset(const std::string& face_name);

}  // namespace orba
