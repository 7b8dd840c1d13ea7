// The stream family every stored format is read from and written to.
//
// Sizes and positions are 64-bit everywhere. Read and Write are lenient (they
// return the count moved); ReadBuffer and WriteBuffer are the strict forms
// that raise when fewer bytes moved, and every reader of stored data uses
// those (through stream_encoding.h).
//
// File names handed to any stream are Shift-JIS, like every text of the
// player; they are converted to UTF-8 only where the file is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// a + b, stopping at the limits of the 64-bit range instead of wrapping.
int64_t SaturatingAdd(int64_t a, int64_t b);

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

class TKsBigStream {
 public:
  TKsBigStream() = default;
  TKsBigStream(const TKsBigStream&) = delete;
  TKsBigStream& operator=(const TKsBigStream&) = delete;
  virtual ~TKsBigStream() = default;

  virtual int64_t GetSize() = 0;
  virtual int64_t GetPosition() = 0;
  virtual void SetPosition(int64_t position) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Read(void* buffer, int64_t count) = 0;

  // Copies up to Count bytes from Source's current position; returns the
  // number copied. Count <= 0 copies nothing.
  virtual int64_t CopyFrom(TKsBigStream& source, int64_t count);

  // Moves relative to an origin; the result is the new position. The target
  // is clamped to be at least 0 (and the stream may clamp it further); a sum
  // beyond the 64-bit range stops at its limit.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin);

  // Bytes between the position and the end (never negative).
  int64_t Remaining();

  // Strict forms: raise EReadError / EWriteError when fewer bytes moved.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
};

// A growable stream in memory. Writing past the end extends it (a gap is
// filled with zeros); reading past the end returns fewer bytes. It is also the
// big memory stream of the package code (TKsBigMemoryStream).
class TKsMemoryStream : public TKsBigStream {
 public:
  TKsMemoryStream() = default;
  explicit TKsMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = position < 0 ? 0 : position; }
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;

  // Resizes the content; the position is kept but clamped to the new size.
  void SetSize(int64_t size);
  void Clear();

  uint8_t* Memory() { return data_.data(); }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  std::vector<uint8_t>& MutableBytes() { return data_; }
  // Hands the content over and leaves the stream empty.
  std::vector<uint8_t> TakeBytes();

  // Replaces the content with the file's bytes; the position goes to 0.
  // Raises EFOpenError when the file cannot be opened, and EFileTooLarge
  // (core/files/file_limits.h, traced) for a file of more than MaxSize
  // bytes, before more than that is held.
  void LoadFromFile(const std::string& path, int64_t max_size = INT64_MAX);
  // Writes the whole content to the file: into a temporary file of a fresh
  // name beside it, flushed to disk and then renamed over the old file
  // (ReplaceFileWhole of core/files/atomic_file.h), so that a failed save
  // leaves the old file as it was and nothing planted under either name is
  // written through. Raises EFOpenError when the temporary cannot be made,
  // EWriteError when writing or renaming fails.
  void SaveToFile(const std::string& path);

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

using TKsBigMemoryStream = TKsMemoryStream;

// A read-only stream over bytes it does not own (a span that outlives it).
class TKsSpanStream : public TKsBigStream {
 public:
  TKsSpanStream(const void* data, int64_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override;

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t position_ = 0;
};

}  // namespace orba
