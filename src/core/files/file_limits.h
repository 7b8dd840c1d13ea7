// How much of one file the player holds in memory at once. A file read
// whole (a page, a picture, the settings, save data) or a package entry
// unpacked into memory is refused, before more is held, when it passes the
// limit its reader names; with no limit named, kMaxHeldFileBytes holds.
// Every refusal is traced once and raised as EFileTooLarge, which readers
// take as they take a file they cannot read.
#pragma once

#include <cstdint>
#include <string>

#include "core/errors.h"

namespace orba {

// The most any file read whole may hold: one such file (with the player's
// own memory) stays below 300 MB even while a picture of the largest
// surface the decoders accept is made from it.
inline constexpr int64_t kMaxHeldFileBytes = int64_t{256} << 20;  // 256 MiB

// The most save data ("save.dat") the player writes and reads: a status
// table of 100,000 rows of ten text columns of the default width stores
// 81 MB, and the file holds it with room for the status variables and a
// few saved games. Read whole, with its tables in memory, such a file
// stays below 300 MB.
inline constexpr int64_t kMaxSaveFileBytes = int64_t{96} << 20;  // 96 MiB

// A file that holds more bytes than its reader takes.
class EFileTooLarge : public EOrbaError {
 public:
  EFileTooLarge(const std::string& name, int64_t limit);
  int64_t Limit() const { return limit_; }

 private:
  int64_t limit_;
};

// Traces "file refused: NAME: more than LIMIT bytes" (once) and raises
// EFileTooLarge. Name is Shift-JIS.
[[noreturn]] void RefuseLargeFile(const std::string& name, int64_t limit);
// Raises as RefuseLargeFile when Size passes Limit.
inline void CheckFileSize(const std::string& name, int64_t size, int64_t limit) {
  if (size > limit) RefuseLargeFile(name, limit);
}

}  // namespace orba
