// libFuzzer harness: any bytes as a standard MIDI file are either refused
// with EMediaError or give a tempo map whose times and ticks agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "media/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const orba::TMidiTimeline line = orba::TMidiTimeline::Read(data, size);
    const uint64_t micros = line.LengthMicros();
    if (line.MicrosAt(line.TickAt(micros)) > micros + 1000000) std::abort();
  } catch (const orba::EOrbaError&) {
  }
  return 0;
}
