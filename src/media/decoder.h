// A source of samples for a media item: a decoded file at its own rate,
// read in frames of interleaved floats between -1 and 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams/big_stream.h"

namespace orba {

// A sound file that cannot be played; the message names the file and why.
class EMediaError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};
// A file refused for a limit of the moment (memory, what the movies open
// may hold), not for what it holds: another opening may play it.
class EMediaLimit : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

class TDecoder {
 public:
  virtual ~TDecoder() = default;
  virtual int32_t Rate() const = 0;
  virtual int32_t Channels() const = 0;  // 1 or 2
  // Length in frames of Rate.
  virtual int64_t Frames() const = 0;
  // Up to Frames frames into Out (Channels floats each); 0 at the end.
  virtual size_t Read(float* out, size_t frames) = 0;
  // Moves to Frame, clamped to 0 .. Frames().
  virtual void Seek(int64_t frame) = 0;
};

// Silence of a given length: the timing of a sound that has no voice (a MIDI
// file without a sound font).
class TSilentDecoder : public TDecoder {
 public:
  TSilentDecoder(int32_t rate, int64_t frames) : rate_(rate), frames_(frames) {}
  int32_t Rate() const override { return rate_; }
  int32_t Channels() const override { return 2; }
  int64_t Frames() const override { return frames_; }
  size_t Read(float* out, size_t frames) override;
  void Seek(int64_t frame) override;

 private:
  int32_t rate_;
  int64_t frames_;
  int64_t pos_ = 0;
};

// Moves File as a C library's seek callback asks (Whence SEEK_SET, SEEK_CUR
// or SEEK_END): the new position, or -1 with File unmoved for a target
// outside the file.
int64_t SeekAsC(TKsBigStream& file, int64_t offset, int whence);

// The whole of File from its start, for the decoders that need a file in one
// piece (MIDI songs). A file already in memory is handed over without a copy.
std::vector<uint8_t> ReadWholeFile(std::unique_ptr<TKsBigStream> file);

}  // namespace orba
