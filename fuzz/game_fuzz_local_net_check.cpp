// The whole-player fuzzer's private network has teeth: every planted local
// address takes a connection made to it (so a download the player's check
// let through would be seen), and the player's own HTTP client, allowed
// nothing but the Internet, reaches none of them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"
#include "game_fuzz_local_net.h"
#include "items/http_body.h"
#include "net/http_cli.h"

namespace orba::fuzz {
namespace {

// The host of a planted URL, without its brackets.
std::string HostOf(const std::string& url) {
  std::string host = url.substr(7, url.size() - 8);
  if (host.front() == '[') host = host.substr(1, host.size() - 2);
  return host;
}

// Connects a plain socket to Host port 80; true when the connection was made.
bool ConnectTo(const std::string& host) {
  sockaddr_storage address{};
  socklen_t length = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET, v4->sin_port = htons(80), length = sizeof *v4;
  } else if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6, v6->sin6_port = htons(80), length = sizeof *v6;
  } else {
    return false;
  }
  const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  if (fd >= 0) ::close(fd);
  return connected;
}

// The connections the listener took, once it has taken Count of them. The
// listener takes them on its own thread; the wait is a guard against a
// hang, not a measure of speed.
std::vector<std::string> AwaitConnections(size_t count) {
  std::vector<std::string> seen;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (seen.size() < count && std::chrono::steady_clock::now() < give_up) {
    for (std::string& address : TakeLocalConnections()) seen.push_back(std::move(address));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return seen;
}

class LocalNet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!EnterPrivateNetwork()) GTEST_SKIP() << "no network namespace can be made here (needs root)";
    TakeLocalConnections();
  }
};

TEST_F(LocalNet, EveryPlantedAddressTakesAConnectionMadeToIt) {
  for (const char* url : kLocalUrls) {
    SCOPED_TRACE(url);
    EXPECT_TRUE(ConnectTo(HostOf(url))) << std::strerror(errno);
  }
  EXPECT_EQ(AwaitConnections(std::size(kLocalUrls)).size(), std::size(kLocalUrls));
}

TEST_F(LocalNet, ThePlayersClientReachesNoPlantedAddress) {
  for (const char* url : kLocalUrls) {
    SCOPED_TRACE(url);
    TCurlHttpCli client(TNetAccess::Internet);
    client.URL = url;
    THttpBody body;
    const std::atomic<bool> cancel{false};
    EXPECT_THROW(client.Get(body, cancel), EOrbaError);
  }
  // A marker connection last: the listener takes connections in order, so
  // once it is seen, any the client made before it would have been too.
  ASSERT_TRUE(ConnectTo("198.51.100.7"));
  const std::vector<std::string> seen = AwaitConnections(1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen, std::vector<std::string>{"::ffff:198.51.100.7"});
}

}  // namespace
}  // namespace orba::fuzz
