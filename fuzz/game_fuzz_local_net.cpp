#include "game_fuzz_local_net.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "items/base_list.h"
#include "items/http.h"

namespace orba::fuzz {
namespace {

// The port every planted address is fetched on: the namespace is the
// process's own, so nothing else listens there.
constexpr uint16_t kLocalPort = 80;

// The addresses of kLocalUrls, in the same order, as put on the loopback
// interface.
constexpr const char* kLocalAddresses[] = {"100.100.100.200", "64:ff9b::a09:909", "2002:7f00:1::1",
                                           "fec0::1",         "198.51.100.7",     "2001:db8::7"};
static_assert(std::size(kLocalAddresses) == std::size(kLocalUrls));

// The kernel's request to add an IPv6 address to an interface.
struct TIn6InterfaceRequest {
  in6_addr Address;
  uint32_t PrefixLength;
  int InterfaceIndex;
};

bool g_private = false;
std::mutex g_lock;
std::vector<std::string> g_connections;

bool Say(const char* what) {
  std::fprintf(stderr, "game fuzz: no private network (%s: %s); downloads reach only the flood server\n", what,
               std::strerror(errno));
  return false;
}

bool BringLoopbackUp(int fd) {
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (::ioctl(fd, SIOCGIFFLAGS, &request) != 0) return false;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
  return ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
}

// An IPv4 address as the alias "lo:N" of the loopback interface, alone in
// its network.
bool AddIpv4(int fd, int alias, const in_addr& address) {
  ifreq request{};
  std::snprintf(request.ifr_name, IFNAMSIZ, "lo:%d", alias);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr = address;
  std::memcpy(&request.ifr_addr, &in, sizeof in);
  if (::ioctl(fd, SIOCSIFADDR, &request) != 0) return false;
  in.sin_addr.s_addr = 0xffffffffu;
  std::memcpy(&request.ifr_netmask, &in, sizeof in);
  return ::ioctl(fd, SIOCSIFNETMASK, &request) == 0;
}

bool AddIpv6(const in6_addr& address) {
  const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  TIn6InterfaceRequest request{address, 128, static_cast<int>(::if_nametoindex("lo"))};
  const bool added = ::ioctl(fd, SIOCSIFADDR, &request) == 0;
  ::close(fd);
  return added;
}

bool AddAddresses() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Say("socket");
  bool ok = BringLoopbackUp(fd);
  if (!ok) Say("loopback");
  int alias = 1;
  for (const char* text : kLocalAddresses) {
    in_addr v4{};
    in6_addr v6{};
    if (!ok) break;
    if (::inet_pton(AF_INET, text, &v4) == 1) {
      ok = AddIpv4(fd, alias++, v4) || Say(text);
    } else if (::inet_pton(AF_INET6, text, &v6) == 1) {
      ok = AddIpv6(v6) || Say(text);
    }
  }
  ::close(fd);
  return ok;
}

std::string LocalAddressOf(int fd) {
  sockaddr_in6 local{};
  socklen_t length = sizeof local;
  char text[INET6_ADDRSTRLEN] = "?";
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
    ::inet_ntop(AF_INET6, &local.sin6_addr, text, sizeof text);
  return text;
}

// One socket on every address, IPv4 taken as mapped into IPv6; every
// connection it takes is recorded and closed. Never freed: its thread
// listens while the process runs.
bool StartListener() {
  const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Say("listener");
  const int off = 0, on = 1;
  ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in6 any{};
  any.sin6_family = AF_INET6;
  any.sin6_addr = in6addr_any;
  any.sin6_port = htons(kLocalPort);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 || ::listen(fd, 64) != 0) {
    Say("listener");
    ::close(fd);
    return false;
  }
  std::thread([fd] {
    for (;;) {
      const int connection = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      const std::string address = LocalAddressOf(connection);
      ::close(connection);
      const std::lock_guard<std::mutex> hold(g_lock);
      g_connections.push_back(address);
    }
  }).detach();
  return true;
}

}  // namespace

bool EnterPrivateNetwork() {
  static const bool entered = [] {
    if (::unshare(CLONE_NEWNET) != 0) return Say("unshare");
    return AddAddresses() && StartListener();
  }();
  g_private = entered;
  return entered;
}

bool InPrivateNetwork() { return g_private; }

void PlantLocalAddresses() {
  if (!g_private || Bases == nullptr) return;
  int i = 0;
  for (const char* url : kLocalUrls) {
    auto* item = NewOrbaObject<TOrbaHttp>(Bases);
    item->SetName("local" + std::to_string(++i));
    item->SetSource(url);
  }
}

std::vector<std::string> TakeLocalConnections() {
  const std::lock_guard<std::mutex> hold(g_lock);
  std::vector<std::string> taken;
  taken.swap(g_connections);
  return taken;
}

}  // namespace orba::fuzz
