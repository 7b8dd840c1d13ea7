#include "media/midi_file.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace orba {

namespace {

[[noreturn]] void Bad(const std::string& why) { throw EMediaError("not a playable MIDI file: " + why); }

uint32_t Big32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

class TTrackReader {
 public:
  TTrackReader(const uint8_t* p, size_t size) : p_(p), size_(size) {}
  bool AtEnd() const { return at_ >= size_; }
  uint8_t Byte() {
    if (at_ >= size_) Bad("a track ends inside an event");
    return p_[at_++];
  }
  uint32_t Variable() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = Byte();
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return v;
    }
    Bad("a variable-length number of more than four bytes");
  }
  void Skip(uint32_t n) {
    if (n > size_ - at_) Bad("an event's length exceeds its track");
    at_ += n;
  }
  const uint8_t* Here() const { return p_ + at_; }

 private:
  const uint8_t* p_;
  size_t size_;
  size_t at_ = 0;
};

// Data bytes of a channel message of Status.
uint32_t DataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

}  // namespace

TMidiTimeline TMidiTimeline::Read(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) Bad("no MThd header");
  const uint32_t header = Big32(data + 4);
  if (header < 6 || header > size - 8) Bad("the header size exceeds the file");
  const uint32_t tracks = static_cast<uint32_t>(data[10] << 8 | data[11]);
  const uint16_t division = static_cast<uint16_t>(data[12] << 8 | data[13]);
  TMidiTimeline line;
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const int per_frame = division & 0xFF;
    if (fps <= 0 || per_frame == 0) Bad("a time division of no length");
    line.smpte_micros_per_tick_ = 1e6 / ((fps == 29 ? 29.97 : fps) * per_frame);
  } else {
    if (division == 0) Bad("a time division of 0");
    line.division_ = division;
  }
  if (tracks == 0) Bad("no tracks");
  size_t at = 8 + static_cast<size_t>(header);
  std::vector<TMidiTempo> tempos;
  for (uint32_t t = 0; t < tracks; ++t) {
    if (size - at < 8) Bad("track " + std::to_string(t + 1) + " of " + std::to_string(tracks) + " is missing");
    const uint32_t length = Big32(data + at + 4);
    if (length > size - at - 8) Bad("a track's size exceeds the file");
    if (std::memcmp(data + at, "MTrk", 4) == 0) {
      TTrackReader track(data + at + 8, length);
      uint64_t tick = 0;
      uint8_t running = 0;
      while (!track.AtEnd()) {
        tick += track.Variable();
        uint8_t status = track.Byte();
        if (status == 0xFF) {
          const uint8_t type = track.Byte();
          const uint32_t n = track.Variable();
          if (type == 0x51 && n == 3) {
            const uint8_t* p = track.Here();
            track.Skip(3);
            const uint32_t tempo = static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
            if (tempo > 0) tempos.push_back(TMidiTempo{tick, tempo});
          } else {
            track.Skip(n);
          }
          if (type == 0x2F) break;
        } else if (status == 0xF0 || status == 0xF7) {
          track.Skip(track.Variable());
        } else if (status > 0xF0) {
          Bad("a system message inside a track");
        } else {
          if (status < 0x80) {
            if (running == 0) Bad("a data byte without a status");
            track.Skip(DataBytes(running) - 1);
          } else {
            running = status;
            track.Skip(DataBytes(status));
          }
        }
        line.end_tick_ = std::max(line.end_tick_, tick);
      }
    }
    at += 8 + static_cast<size_t>(length);
  }
  std::stable_sort(tempos.begin(), tempos.end(), [](const TMidiTempo& a, const TMidiTempo& b) { return a.Tick < b.Tick; });
  line.tempos_.push_back(TMidiTempo{0, 500000});
  for (const TMidiTempo& t : tempos) {
    if (t.Tick == line.tempos_.back().Tick) line.tempos_.back() = t;
    else line.tempos_.push_back(t);
  }
  return line;
}

uint64_t TMidiTimeline::MicrosAt(uint64_t tick) const {
  if (smpte_micros_per_tick_ > 0) return static_cast<uint64_t>(static_cast<double>(tick) * smpte_micros_per_tick_);
  double micros = 0;
  for (size_t i = 0; i < tempos_.size(); ++i) {
    const uint64_t from = tempos_[i].Tick;
    if (from >= tick) break;
    const uint64_t to = i + 1 < tempos_.size() ? std::min(tempos_[i + 1].Tick, tick) : tick;
    micros += static_cast<double>(to - from) * tempos_[i].MicrosPerQuarter / division_;
  }
  return static_cast<uint64_t>(micros);
}

uint64_t TMidiTimeline::TickAt(uint64_t micros) const {
  if (smpte_micros_per_tick_ > 0) return static_cast<uint64_t>(static_cast<double>(micros) / smpte_micros_per_tick_);
  double at = 0;
  for (size_t i = 0; i < tempos_.size(); ++i) {
    const double per_tick = static_cast<double>(tempos_[i].MicrosPerQuarter) / division_;
    const bool last = i + 1 == tempos_.size();
    const double span = last ? 0 : static_cast<double>(tempos_[i + 1].Tick - tempos_[i].Tick) * per_tick;
    if (last || at + span > static_cast<double>(micros))
      return tempos_[i].Tick + static_cast<uint64_t>((static_cast<double>(micros) - at) / per_tick);
    at += span;
  }
  return 0;
}

}  // namespace orba
