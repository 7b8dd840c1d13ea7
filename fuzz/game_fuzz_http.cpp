#include "game_fuzz_http.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "core/errors.h"
#include "items/base_list.h"
#include "items/http.h"
#include "game_fuzz_local_net.h"
#include "net/http_cli.h"

namespace orba::fuzz {

namespace {

using Clock = std::chrono::steady_clock;

// At most this many connections are served at once; more are closed.
constexpr int kMaxConnections = 8;
constexpr size_t kMaxBytesPerAnswer = size_t{256} << 20;
constexpr auto kMaxTimePerAnswer = std::chrono::seconds(20);

class TEndlessServer {
 public:
  TEndlessServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&where), length) != 0 ||
        ::listen(listener_, 64) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
      std::perror("game fuzz: no local HTTP server");
      std::abort();
    }
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(where.sin_port)) + "/";
    std::thread([this] { Accept(); }).detach();
  }
  const std::string& Url() const { return url_; }
  int Serving() const { return serving_.load(); }

 private:
  void Accept() {
    for (;;) {
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      if (serving_.fetch_add(1) >= kMaxConnections) {
        serving_.fetch_sub(1);
        ::close(fd);
        continue;
      }
      std::thread([this, fd] {
        Serve(fd);
        ::close(fd);
        serving_.fetch_sub(1);
      }).detach();
    }
  }
  // Reads the request's head (as far as it comes within a second), then
  // answers a body until the client leaves or the bounds are reached.
  static void Serve(int fd) {
    char request[4096];
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) > 0 && ::recv(fd, request, sizeof request, 0) <= 0) return;
    static const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n";
    if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) < 0) return;
    const std::string chunk(size_t{64} << 10, 'x');
    const auto until = Clock::now() + kMaxTimePerAnswer;
    for (size_t sent = 0; sent < kMaxBytesPerAnswer && Clock::now() < until; sent += chunk.size())
      if (::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) return;
  }

  int listener_ = -1;
  std::string url_;
  std::atomic<int> serving_{0};
};

// Fetches from the flood server's address, as the tests' server, and, in
// the fuzzer's private network (game_fuzz_local_net.h), from every other
// address as the player's own client does, where its address check alone
// keeps the game from this machine; never through a proxy. Outside a
// private network every other address is refused here.
class TSandboxHttpCli final : public THttpCli {
 public:
  explicit TSandboxHttpCli(std::string prefix) : prefix_(std::move(prefix)) {}
  void Get(THttpBody& body, const std::atomic<bool>& cancel) override {
    const bool flood = !prefix_.empty() && URL.rfind(prefix_, 0) == 0;
    if ((!flood && !InPrivateNetwork()) || !ProxyHost.empty())
      throw EOrbaError("fuzz: only the sandbox's server is fetched: " + URL);
    TCurlHttpCli client(flood ? TNetAccess::InternetAndTestServer : TNetAccess::Internet);
    client.URL = URL;
    client.MultiThreaded = MultiThreaded;
    client.Get(body, cancel);
  }

 private:
  std::string prefix_;
};

void InstallSandboxClient(const std::string& flood_prefix) {
  // Readies libcurl; the client installed is then replaced by the sandbox's.
  InstallCurlHttpClient(TNetAccess::InternetAndTestServer);
  SetHttpClientFactory([flood_prefix] { return std::make_unique<TSandboxHttpCli>(flood_prefix); });
}

// Never freed: its threads serve while the process runs.
const TEndlessServer& Server() {
  static const TEndlessServer* server = [] {
    auto* s = new TEndlessServer;
    InstallSandboxClient(s->Url());
    return s;
  }();
  return *server;
}

}  // namespace

void AwaitHttpQuiet() {
  const auto until = Clock::now() + std::chrono::seconds(2);
  while ((RunningHttpWorkers() != 0 || Server().Serving() != 0) && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // A thread frees its own state just after it says it has ended.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void InstallSandboxHttpClient() {
  static const bool installed = [] {
    InstallSandboxClient("");
    return true;
  }();
  (void)installed;
}

void PlantHttpFlood() {
  const std::string url = Server().Url() + "endless";
  if (Bases == nullptr) return;
  for (int i = 1; i <= kPlantedHttpItems; ++i) {
    auto* item = NewOrbaObject<TOrbaHttp>(Bases);
    item->SetName("http" + std::to_string(i));
    item->SetSource(url);
  }
}

}  // namespace orba::fuzz
