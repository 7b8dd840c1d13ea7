#include "core/streams/big_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/file_limits.h"
#include "platform/text_convert.h"

namespace orba {

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

int64_t TKsBigStream::CopyFrom(TKsBigStream& source, int64_t count) {
  if (count <= 0) return 0;
  constexpr int64_t kChunk = 1 << 20;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
  int64_t copied = 0;
  while (count > 0) {
    int64_t want = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
    int64_t got = source.Read(buffer.data(), want);
    if (got <= 0) break;
    int64_t put = Write(buffer.data(), got);
    copied += put;
    count -= got;
    if (put < got) break;
  }
  return copied;
}

int64_t TKsBigStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
    case SeekOrigin::Begin: base = 0; break;
    case SeekOrigin::Current: base = GetPosition(); break;
    case SeekOrigin::End: base = GetSize(); break;
  }
  SetPosition(std::max<int64_t>(0, SaturatingAdd(base, offset)));
  return GetPosition();
}

int64_t TKsBigStream::Remaining() {
  int64_t left = GetSize() - GetPosition();
  return left < 0 ? 0 : left;
}

void TKsBigStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) throw EReadError();
}

void TKsBigStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Write(buffer, count) != count) throw EWriteError();
}

int64_t TKsMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  // Both are at most 2^63 - 1, so the sum fits in 64 unsigned bits.
  const uint64_t end = static_cast<uint64_t>(position_) + static_cast<uint64_t>(count);
  if (end > data_.max_size()) throw EWriteError();
  if (end > data_.size()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = static_cast<int64_t>(end);
  return count;
}

int64_t TKsMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

void TKsMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(size < 0 ? 0 : size));
  if (position_ > GetSize()) position_ = GetSize();
}

void TKsMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

std::vector<uint8_t> TKsMemoryStream::TakeBytes() {
  std::vector<uint8_t> out;
  out.swap(data_);
  position_ = 0;
  return out;
}

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

void TKsMemoryStream::LoadFromFile(const std::string& path, int64_t max_size) {
  const std::string disk_path = SjisToUtf8(path);
  FilePtr f(std::fopen(disk_path.c_str(), "rb"));
  if (!f) throw FileOpenError(path, errno);
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    CheckFileSize(path, static_cast<int64_t>(bytes.size() + n), max_size);
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  if (std::ferror(f.get())) throw EReadError();
  data_.swap(bytes);
  position_ = 0;
}

void TKsMemoryStream::SaveToFile(const std::string& path) {
  int error = 0;
  switch (ReplaceFileWhole(SjisToUtf8(path), data_.data(), data_.size(), &error)) {
    case TReplaceResult::Replaced: return;
    case TReplaceResult::NotCreated: throw FileOpenError(path, error);
    case TReplaceResult::NotWritten: throw EWriteError();
  }
}

void TKsSpanStream::SetPosition(int64_t position) {
  position_ = std::clamp<int64_t>(position, 0, size_);
}

int64_t TKsSpanStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

}  // namespace orba
