// Proof that a file was never opened: an inotify watch on it, taken before
// the code under test runs, reports every open and read of the file by any
// process from then on.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <string>

namespace orba::test {

class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    armed_ = fd_ >= 0 && inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS) >= 0;
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  // False when the watch could not be set (the file is missing).
  bool Armed() const { return armed_; }
  // True when the file was opened or read since the watch began (or since
  // the last call).
  bool Touched() const {
    alignas(inotify_event) char events[4096];
    return read(fd_, events, sizeof events) > 0;
  }

 private:
  int fd_;
  bool armed_ = false;
};

}  // namespace orba::test
