// Shared by the libFuzzer programs: one input through one reader of stored
// data. The reader's errors (EOrbaError) are its answer to damaged data;
// anything else (a crash, a sanitizer report, another exception, a leak, a
// large allocation or a slow input) is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/streams/big_stream.h"

namespace orba::fuzz {

inline std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) { return std::vector<uint8_t>(data, data + size); }

// Runs F, taking the reader's errors as its answer.
template <typename F>
void Refused(F f) {
  try {
    f();
  } catch (const EOrbaError&) {
  }
}

}  // namespace orba::fuzz
