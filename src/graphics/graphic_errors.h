// Exception classes of the picture code and the message texts they carry.
#pragma once

#include <cstdint>
#include <string>

#include "core/errors.h"

namespace orba {

// A picture's data is not in a form the reader accepts.
class EInvalidGraphic : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

// An operation on a picture was asked for with values it does not allow.
class EInvalidGraphicOperation : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

// A resource the picture needs could not be made.
class EOutOfResources : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

// No memory could be had for a picture's data block.
class EOutOfMemory : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};
inline constexpr const char* kOutOfMemoryText = "Out of memory";

// "不正な DIB です"
inline constexpr const char* kInvalidDibText = "\x95s\x90\xb3\x82\xc8 DIB \x82\xc5\x82\xb7";
// "不正なピクセルフォーマットです"
inline constexpr const char* kInvalidPixelFormatText =
    "\x95s\x90\xb3\x82\xc8\x83s\x83N\x83Z\x83\x8b\x83t\x83H\x81[\x83}\x83" "b\x83g\x82\xc5\x82\xb7";

// "不正なビット数です (%d)" with the bit count.
std::string InvalidBitCountText(int32_t bit_count);
// "スキャンラインのインデックスが範囲を越えました (%d)" with the row.
std::string ScanLineRangeText(int32_t row);

}  // namespace orba
