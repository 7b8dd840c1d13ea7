// A network of a test's own, for showing what a download reaches: a child
// process in a network namespace the test makes (and, where names are
// wanted, a mount namespace whose /etc/hosts names them), an interface there
// holding the addresses the test chooses, and a service listening on every
// address of the namespace. Traffic never leaves the namespace.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace orba::test {

// Makes the calling process's namespaces (it must be a child of the test's
// own) and gives the interface "orba0" Addresses ("203.0.113.5/32",
// "2001:db8::5/128"); Hosts, unless empty, becomes /etc/hosts. "" when the
// namespace is ready, else why it is not.
std::string MakeOwnNetwork(const TempDir& dir, const std::vector<std::string>& addresses,
                           const std::string& hosts = "");

// Runs Body in a child process and hands back the text it returned; the
// child's exit status in Status (0 when Body returned).
std::string InChild(const std::function<std::string()>& body, int* status);

// A service on every address of the namespace, answering each request
// with Secret and counting its connections.
class TListeningService {
 public:
  explicit TListeningService(std::string secret);
  ~TListeningService();
  TListeningService(const TListeningService&) = delete;
  TListeningService& operator=(const TListeningService&) = delete;

  int Port = 0;  // 0 when it did not start
  std::atomic<int> Accepted{0};
  // Whether a plain connection to Address (a numeric host) is answered.
  bool PlainConnectionReaches(const std::string& address) const;

 private:
  void Serve();
  std::string secret_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace orba::test
