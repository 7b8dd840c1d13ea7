#include "support/own_network.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orba::test {

namespace {

std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

// Reads Fd to its end, or until a request's head has arrived.
std::string ReadAll(int fd, bool head_only) {
  std::string text;
  char buffer[4096];
  ssize_t n = 0;
  while ((!head_only || text.find("\r\n\r\n") == std::string::npos) && (n = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(n));
  return text;
}

bool RunIpBatch(const TempDir& dir, const std::string& batch) {
  WriteFileBytes(dir / "ip.batch", Bytes(batch));
  return RunCommand({"ip", "-batch", dir / "ip.batch"}).exit_code == 0;
}

// Whether the kernel has seen Link's carrier, which it reports as the
// link's state.
bool LinkIsUp(const std::string& link) {
  return RunCommand({"ip", "-o", "link", "show", link}).output.find(" state UP ") != std::string::npos;
}

// The link's state is reported within a second or two; a minute of checks
// leaves room for a loaded machine.
constexpr int kLinkChecks = 6000;
constexpr useconds_t kLinkCheckMicroseconds = 10000;

}  // namespace

std::string MakeOwnNetwork(const TempDir& dir, const std::vector<std::string>& addresses, const std::string& hosts) {
  if (::unshare(CLONE_NEWNET | (hosts.empty() ? 0 : CLONE_NEWNS)) != 0)
    return Failed("cannot make a network namespace");
  if (!hosts.empty()) {
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return Failed("cannot make the mounts private");
    WriteFileBytes(dir / "hosts", Bytes(hosts));
    if (::mount((dir / "hosts").c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
      return Failed("cannot name the addresses in /etc/hosts");
  }
  // The addresses go on once the kernel has seen the link come up: IPv6
  // routes set before that may be dropped and set again when it does,
  // which it may report late while other links change.
  const std::string link =
      "link set lo up\nlink add orba0 type veth peer name orba1\nlink set orba1 up\nlink set orba0 up\n";
  std::string addresses_batch;
  for (const std::string& address : addresses)
    addresses_batch +=
        "addr add " + address + " dev orba0" + (address.find(':') != std::string::npos ? " nodad" : "") + "\n";
  if (!RunIpBatch(dir, link)) return "ip cannot make the namespace's link";
  for (int i = 0; !LinkIsUp("orba0"); ++i) {
    if (i == kLinkChecks) return "the namespace's link never came up";
    ::usleep(kLinkCheckMicroseconds);
  }
  if (!RunIpBatch(dir, addresses_batch)) return "ip cannot give the namespace its addresses";
  return "";
}

std::string InChild(const std::function<std::string()>& body, int* status) {
  int report[2];
  *status = -1;
  if (::pipe(report) != 0) return "";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    const std::string text = body();
    (void)!::write(report[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(report[1]);
  const std::string text = child > 0 ? ReadAll(report[0], false) : "";
  ::close(report[0]);
  if (child > 0 && ::waitpid(child, status, 0) != child) *status = -1;
  return text;
}

TListeningService::TListeningService(std::string secret) : secret_(std::move(secret)) {
  listener_ = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int off = 0;
  ::setsockopt(listener_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  sockaddr_in6 any{};
  any.sin6_family = AF_INET6;
  socklen_t length = sizeof any;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&any), length) != 0 || ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&any), &length) != 0 || ::pipe(stop_) != 0)
    return;
  Port = ntohs(any.sin6_port);
  thread_ = std::thread([this] { Serve(); });
}

TListeningService::~TListeningService() {
  if (thread_.joinable()) {
    (void)!::write(stop_[1], "x", 1);
    thread_.join();
  }
  for (const int fd : {listener_, stop_[0], stop_[1]})
    if (fd >= 0) ::close(fd);
}

void TListeningService::Serve() {
  const std::string answer =
      "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(secret_.size()) + "\r\n\r\n" + secret_;
  for (;;) {
    pollfd wait[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(wait, 2, -1) < 0 && errno != EINTR) return;
    if (wait[1].revents != 0) return;
    const int client = wait[0].revents != 0 ? ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    if (client < 0) continue;
    ++Accepted;
    ReadAll(client, true);
    (void)!::write(client, answer.data(), answer.size());
    ::close(client);
  }
}

bool TListeningService::PlainConnectionReaches(const std::string& address) const {
  addrinfo hints{}, *found = nullptr;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  hints.ai_socktype = SOCK_STREAM;
  if (::getaddrinfo(address.c_str(), std::to_string(Port).c_str(), &hints, &found) != 0) return false;
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::string answer;
  if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) == 0) {
    const char request[] = "GET /secret HTTP/1.0\r\n\r\n";
    (void)!::write(fd, request, sizeof request - 1);
    answer = ReadAll(fd, false);
  }
  if (fd >= 0) ::close(fd);
  ::freeaddrinfo(found);
  return answer.find(secret_) != std::string::npos;
}

}  // namespace orba::test
