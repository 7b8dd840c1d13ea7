#include "core/streams/big_file_stream.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"
#include "core/files/file_access.h"
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

int64_t FileSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

bool FileExists(const std::string& sjis_name) {
  struct stat st;
  return ::stat(SjisToUtf8(sjis_name).c_str(), &st) == 0;
}

// Whether a walk beside the first volume found something that stands for a
// file there: anything but a folder. A folder of the volume's or the side
// file's name is no file at all, so it ends the volumes and gives no side
// file, while a FIFO or a device is a file that cannot be read.
bool NamesAFile(const TDiskWalk& walk) {
  return walk.End() == TWalkEnd::Found && !S_ISDIR(walk.EntryStat().st_mode);
}

}  // namespace

TKsBigFileStream::TKsBigFileStream(const std::string& file_name, uint16_t mode, int64_t volume_size)
    : file_name_(file_name), mode_(mode), volume_size_(volume_size > 0 ? volume_size : kDefaultVolumeSize) {
  const int access = mode & 3;
  if (access == fmOpenRead) {
    OpenForReading();
    return;
  }
  if (access != fmOpenReadWrite) {
    for (int n = 0; FileExists(VolumeFileName(n)); ++n) ::unlink(SjisToUtf8(VolumeFileName(n)).c_str());
    return;
  }
  // A stream that writes never opens a volume through a symlink: one
  // planted in a game's folder could lead to any file of the user.
  for (int n = 0;; ++n) {
    // A volume follows only a full one, so a stale ".001" beside a short
    // first volume is never taken for part of the file.
    if (n > 0 && volumes_.back().size != volume_size_) break;
    const int fd = ::open(SjisToUtf8(VolumeFileName(n)).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      if (n == 0) throw FileOpenError(file_name_, errno);
      break;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      if (n == 0) throw EFOpenError(file_name_);
      break;
    }
    volumes_.push_back(Volume{fd, static_cast<int64_t>(st.st_size)});
  }
}

TKsBigFileStream::TKsBigFileStream(const TDiskWalk& walk, int fd, int64_t volume_size)
    : file_name_(SjisOfDiskPath(walk.RealPath())), mode_(fmOpenRead | fmShareDenyWrite), volume_size_(volume_size) {
  OpenVolumes(fd, walk.RealPath());
}

void TKsBigFileStream::OpenForReading() {
  // The first volume is the very file the name gives (the caller named it
  // after the file-access policy's walk, or as "/proc/self/fd/N" a file it
  // holds open): opened without waiting on a FIFO, a regular file only.
  const int fd = ::open(SjisToUtf8(file_name_).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw FileOpenError(file_name_, errno);
  struct stat st {};
  int flags = -1;
  const bool set = ::fstat(fd, &st) == 0 && (flags = ::fcntl(fd, F_GETFL)) >= 0 &&
                   (!S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0);
  const int set_error = set ? 0 : errno;
  if (!set || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw FileOpenError(file_name_, set_error);
  }
  // Where the file really lies, its links resolved by the system.
  std::string real(PATH_MAX, '\0');
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), real.data(), real.size());
  real.resize(n > 0 && static_cast<size_t>(n) < real.size() ? static_cast<size_t>(n) : 0);
  OpenVolumes(fd, real);
}

void TKsBigFileStream::OpenVolumes(int fd, const std::string& real_path) {
  volumes_.push_back(Volume{fd, FileSize(fd)});
  // Without a real path ("/" first) no further volume is looked for.
  if (real_path.empty() || real_path[0] != '/') return;
  const size_t slash = real_path.rfind('/');
  folder_ = real_path.substr(0, slash);
  // The name as the stream names volumes: the Shift-JIS form of the disk
  // name, or a raw Shift-JIS name on disk as it stands.
  const std::string disk_entry = real_path.substr(slash + 1);
  entry_ = DiskPathToSjis(disk_entry);
  if (entry_.empty()) entry_ = disk_entry;
  for (int n = 1; volumes_.back().size == volume_size_; ++n) {
    const std::unique_ptr<TDiskWalk> walk = WalkBeside(folder_, VolumeFileName(entry_, n));
    if (walk && !NamesAFile(*walk)) break;  // no further volume
    const int next = walk ? OpenWalkedFile(*walk) : -1;
    // A volume there that may not be read (a link leading out, a FIFO, a
    // device) is one that cannot be opened: nothing is read from it, and the
    // next volume is still looked up and judged on its own.
    volumes_.push_back(next < 0 ? Volume{-1, volume_size_} : Volume{next, FileSize(next)});
  }
}

std::unique_ptr<TKsBigFileStream> TKsBigFileStream::OpenBeside(const std::string& name) const {
  if (Writable() || entry_.empty()) return nullptr;
  int error = 0;
  const std::unique_ptr<TDiskWalk> walk = WalkBeside(folder_, name, &error);
  // A lookup the system stopped short (no descriptor left) found no answer.
  if (walk && !NamesAFile(*walk) && walk->SystemError() == 0) return nullptr;
  const int fd = walk ? OpenWalkedFile(*walk, &error) : -1;
  if (fd < 0 && error != 0) {
    const std::string real = walk ? walk->RealPath() : folder_ + "/" + SjisToUtf8(name);
    throw EFOpenError(SjisOfDiskPath(real), error);
  }
  if (fd < 0) throw EFOpenError(name);
  return std::unique_ptr<TKsBigFileStream>(new TKsBigFileStream(*walk, fd, volume_size_));
}

TKsBigFileStream::~TKsBigFileStream() {
  for (Volume& v : volumes_) {
    if (v.fd < 0) continue;
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
  if (fd < 0) throw FileOpenError(name, errno);
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
    return available > 0 && volume.fd >= 0 ? ReadAt(volume.fd, bytes + done, available, offset) : 0;
  });
}

}  // namespace orba
