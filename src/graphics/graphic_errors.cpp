#include "graphics/graphic_errors.h"

#include <cstdio>

namespace orba {

std::string InvalidBitCountText(int32_t bit_count) {
  char buf[64];
  // 不正なビット数です (%d)
  std::snprintf(buf, sizeof buf, "\x95s\x90\xb3\x82\xc8\x83r\x83" "b\x83g\x90\x94\x82\xc5\x82\xb7 (%d)", bit_count);
  return buf;
}

std::string ScanLineRangeText(int32_t row) {
  char buf[96];
  // スキャンラインのインデックスが範囲を越えました (%d)
  std::snprintf(buf, sizeof buf,
                "\x83X\x83L\x83\x83\x83\x93\x83\x89\x83" "C\x83\x93\x82\xcc\x83" "C\x83\x93\x83" "f\x83"
                "b\x83N\x83X\x82\xaa\x94\xcd\x88\xcd\x82\xf0\x89z\x82\xa6\x82\xdc\x82\xb5\x82\xbd (%d)",
                row);
  return buf;
}

}  // namespace orba
