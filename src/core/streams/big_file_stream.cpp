#include "core/streams/big_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/strings/sjis_case.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// Reads or writes exactly `count` bytes at `offset` unless the file ends or
// fails first; returns the count moved.
template <typename Op>
int64_t MoveAll(Op op, int fd, uint8_t* buffer, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = op(fd, buffer + done, static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t ReadAt(int fd, void* buffer, int64_t count, int64_t offset) {
  return MoveAll([](int f, uint8_t* b, size_t c, off_t o) { return ::pread(f, b, c, o); }, fd,
                 static_cast<uint8_t*>(buffer), count, offset);
}

int64_t WriteAt(int fd, const void* buffer, int64_t count, int64_t offset) {
  return MoveAll([](int f, uint8_t* b, size_t c, off_t o) { return ::pwrite(f, b, c, o); }, fd,
                 static_cast<uint8_t*>(const_cast<void*>(buffer)), count, offset);
}

bool FileExists(const std::string& sjis_name) {
  struct stat st;
  return ::stat(SjisToUtf8(sjis_name).c_str(), &st) == 0;
}

}  // namespace

TKsBigFileStream::TKsBigFileStream(const std::string& file_name, uint16_t mode, int64_t volume_size)
    : file_name_(file_name), mode_(mode), volume_size_(volume_size > 0 ? volume_size : kDefaultVolumeSize) {
  const int access = mode & 3;
  if (access != fmOpenRead && access != fmOpenReadWrite) {
    for (int n = 0; FileExists(VolumeFileName(n)); ++n) ::unlink(SjisToUtf8(VolumeFileName(n)).c_str());
    return;
  }
  // A stream that writes never opens a volume through a symlink: one
  // planted in a game's folder could lead to any file of the user.
  const int flags = (access == fmOpenRead ? O_RDONLY : O_RDWR | O_NOFOLLOW) | O_CLOEXEC;
  for (int n = 0;; ++n) {
    // A volume follows only a full one, so a stale ".001" beside a short
    // first volume is never taken for part of the file.
    if (n > 0 && volumes_.back().size != volume_size_) break;
    const int fd = ::open(SjisToUtf8(VolumeFileName(n)).c_str(), flags);
    if (fd < 0) {
      if (n == 0) throw EFOpenError(file_name);
      break;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      if (n == 0) throw EFOpenError(file_name);
      break;
    }
    volumes_.push_back(Volume{fd, static_cast<int64_t>(st.st_size)});
  }
}

TKsBigFileStream::~TKsBigFileStream() {
  for (Volume& v : volumes_) {
    if (Writable()) ::fsync(v.fd);
    ::close(v.fd);
  }
}

std::string TKsBigFileStream::VolumeFileName(const std::string& file_name, int n) {
  if (n == 0) return file_name;
  // The extension starts at the last '.' after the last folder separator.
  // Trail bytes of double-byte characters are skipped: one may be 0x5C.
  size_t dot = std::string::npos;
  for (size_t i = 0; i < file_name.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(file_name[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
    } else if (c == '/' || c == '\\' || c == ':') {
      dot = std::string::npos;
    } else if (c == '.') {
      dot = i;
    }
  }
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%.3d", n);
  return file_name.substr(0, dot) + suffix;
}

int64_t TKsBigFileStream::GetSize() {
  int64_t size = 0;
  for (const Volume& v : volumes_) size += v.size;
  return size;
}

void TKsBigFileStream::SetPosition(int64_t position) { position_ = std::clamp<int64_t>(position, 0, GetSize()); }

void TKsBigFileStream::CreateVolume(int n) {
  const std::string name = VolumeFileName(n);
  // Replaces whatever had the name, a symlink itself rather than its target.
  const int fd = CreateReplacingFile(SjisToUtf8(name));
  if (fd < 0) throw EFOpenError(name);
  volumes_.push_back(Volume{fd, 0});
}

template <typename Piece>
int64_t TKsBigFileStream::EachPiece(int64_t count, Piece piece) {
  int64_t moved = 0;
  while (count > 0) {
    const int64_t offset = position_ % volume_size_;
    const int64_t n = std::min(volume_size_ - offset, count);
    const int64_t got = piece(position_ / volume_size_, offset, n, moved);
    position_ += got;
    moved += got;
    count -= got;
    if (got < n) break;
  }
  return moved;
}

int64_t TKsBigFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || !Writable()) return 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  return EachPiece(count, [&](int64_t v, int64_t offset, int64_t n, int64_t done) {
    if (v >= static_cast<int64_t>(volumes_.size())) CreateVolume(static_cast<int>(v));
    Volume& volume = volumes_[static_cast<size_t>(v)];
    const int64_t put = WriteAt(volume.fd, bytes + done, n, offset);
    volume.size = std::max(volume.size, offset + put);
    return put;
  });
}

int64_t TKsBigFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  return EachPiece(count, [&](int64_t v, int64_t offset, int64_t n, int64_t done) -> int64_t {
    if (v >= static_cast<int64_t>(volumes_.size())) return 0;
    const Volume& volume = volumes_[static_cast<size_t>(v)];
    // Only the last volume is shorter than the volume size.
    const int64_t available = std::min(volume.size - offset, n);
    return available > 0 ? ReadAt(volume.fd, bytes + done, available, offset) : 0;
  });
}

}  // namespace orba
