// The standard MIDI file's header and tempo map, enough to know how long a
// song lasts and where a time falls in ticks. Strict: chunk sizes, variable
// lengths and events are checked against the bytes present; a damaged file
// raises EMediaError.
#pragma once

#include <cstdint>
#include <vector>

#include "media/decoder.h"

namespace orba {

struct TMidiTempo {
  uint64_t Tick;
  uint32_t MicrosPerQuarter;
};

class TMidiTimeline {
 public:
  static TMidiTimeline Read(const uint8_t* data, size_t size);
  // The song's length: the time of its last event.
  uint64_t LengthMicros() const { return MicrosAt(end_tick_); }
  uint64_t MicrosAt(uint64_t tick) const;
  uint64_t TickAt(uint64_t micros) const;
  uint64_t EndTick() const { return end_tick_; }

 private:
  // Ticks per quarter note, or (SMPTE timing) microseconds per tick fixed.
  uint32_t division_ = 96;
  double smpte_micros_per_tick_ = 0;
  std::vector<TMidiTempo> tempos_;  // sorted by tick, the first at tick 0
  uint64_t end_tick_ = 0;
};

}  // namespace orba
