#include "media/unpacked_media.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"

namespace orba {

std::atomic<int64_t> TUnpackedMedia::total_held_{0};

namespace {

std::string TempFolder() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

// An unnamed file in Folder: O_TMPFILE where the file system offers it,
// else a fresh file unlinked before anything is written to it.
int OpenUnnamed(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = folder + "/orba-media-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.data());
  return fd;
}

}  // namespace

class TUnpackedMedia::TWriter : public TKsBigStream {
 public:
  explicit TWriter(TUnpackedMedia& file) : file_(file) {}
  int64_t GetSize() override { return file_.size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = std::max<int64_t>(position, 0); }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::pwrite(file_.fd_, bytes + done, static_cast<size_t>(count - done), position_ + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const std::string reason = n < 0 ? std::strerror(errno) : "nothing written";
        file_.Grow(position_ + done);
        throw EWriteError("the temporary file of an unpacked sound or movie: " + reason);
      }
      done += n;
    }
    position_ += done;
    file_.Grow(position_);
    return done;
  }

 private:
  TUnpackedMedia& file_;
  int64_t position_ = 0;
};

class TUnpackedMedia::TReader : public TKsBigStream {
 public:
  explicit TReader(std::shared_ptr<TUnpackedMedia> file) : file_(std::move(file)) {}
  int64_t GetSize() override { return file_->size_; }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = std::clamp<int64_t>(position, 0, file_->size_); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override {
    count = std::clamp<int64_t>(count, 0, file_->size_ - position_);
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(file_->fd_, bytes + done, static_cast<size_t>(count - done), position_ + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    position_ += done;
    return done;
  }

 private:
  std::shared_ptr<TUnpackedMedia> file_;
  int64_t position_ = 0;
};

std::shared_ptr<TUnpackedMedia> TUnpackedMedia::Create() {
  const std::string folder = TempFolder();
  const int fd = OpenUnnamed(folder);
  if (fd < 0) throw EFOpenError("no temporary file in " + folder + ": " + std::strerror(errno));
  return std::shared_ptr<TUnpackedMedia>(new TUnpackedMedia(fd));
}

TUnpackedMedia::~TUnpackedMedia() {
  total_held_ -= size_;
  ::close(fd_);
}

int64_t TUnpackedMedia::Room() { return std::max<int64_t>(kMaxUnpackedMediaTotal - total_held_.load(), 0); }

void TUnpackedMedia::Grow(int64_t end) {
  if (end <= size_) return;
  total_held_ += end - size_;
  size_ = end;
}

std::unique_ptr<TKsBigStream> TUnpackedMedia::NewWriter() { return std::make_unique<TWriter>(*this); }

std::unique_ptr<TKsBigStream> TUnpackedMedia::NewReader(std::shared_ptr<TUnpackedMedia> file) {
  return std::make_unique<TReader>(std::move(file));
}

}  // namespace orba
