// The local HTTP server of tests/fixtures/http_server.py, started on
// 127.0.0.1 for one test and ended with it: a folder served by path (also
// as a proxy), "/endless" and "/redirect?to=URL", and a second port whose
// connections are never answered.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace orba::test {

class LocalHttpServer {
 public:
  explicit LocalHttpServer(const std::string& folder) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      const std::string script = std::string(ORBA_TESTS_DIR) + "/fixtures/http_server.py";
      execl(ORBA_PYTHON, ORBA_PYTHON, script.c_str(), folder.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* ports = fdopen(out[0], "r");
    if (ports == nullptr) return;
    if (std::fscanf(ports, "%d %d", &serve_, &stall_) != 2) serve_ = stall_ = 0;
    std::fclose(ports);
  }
  ~LocalHttpServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool Started() const { return serve_ > 0 && stall_ > 0; }
  int Port() const { return serve_; }
  // The address of Path on the server, or on the port that never answers.
  std::string Url(const std::string& path, bool stalled = false) const {
    return "http://127.0.0.1:" + std::to_string(stalled ? stall_ : serve_) + "/" + path;
  }

 private:
  pid_t pid_ = -1;
  int serve_ = 0, stall_ = 0;
};

}  // namespace orba::test
