#include "net/net_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>

namespace orba {

namespace {

using TV6 = std::array<uint8_t, 16>;

// A socket address's IP address: IPv4, or IPv6 with the IPv4 address it
// carries where it carries one in a form that can be read.
struct TIpAddress {
  std::optional<uint32_t> V4;
  std::optional<TV6> V6;
};

uint32_t V4At(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 | b[3];
}

uint64_t High64(const TV6& b) {
  uint64_t high = 0;
  for (size_t i = 0; i < 8; ++i) high = high << 8 | b[i];
  return high;
}

// The IPv4 address inside an IPv6 one: mapped (::ffff:0:0/96), compatible
// (::/96), NAT64's well-known prefix (64:ff9b::/96, in the last 32 bits)
// and 6to4 (2002::/16, in bits 16 to 47).
std::optional<uint32_t> CarriedV4(const TV6& b) {
  static constexpr TV6 kZero{};
  static constexpr uint8_t kNat64[12] = {0x00, 0x64, 0xFF, 0x9B};
  const bool first80_zero = std::memcmp(b.data(), kZero.data(), 10) == 0;
  if (first80_zero && ((b[10] == 0xFF && b[11] == 0xFF) || (b[10] == 0 && b[11] == 0))) return V4At(&b[12]);
  if (std::memcmp(b.data(), kNat64, sizeof kNat64) == 0) return V4At(&b[12]);
  if (b[0] == 0x20 && b[1] == 0x02) return V4At(&b[2]);
  return std::nullopt;
}

std::optional<TIpAddress> Decode(const sockaddr* address, socklen_t length) {
  if (address == nullptr) return std::nullopt;
  if (address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return TIpAddress{ntohl(in.sin_addr.s_addr), std::nullopt};
  }
  if (address->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
    sockaddr_in6 in{};
    std::memcpy(&in, address, sizeof in);
    TV6 b{};
    std::memcpy(b.data(), &in.sin6_addr, 16);
    return TIpAddress{CarriedV4(b), b};
  }
  return std::nullopt;
}

TAddressKind ClassifyV4(uint32_t a) {
  static constexpr struct {
    uint32_t network;
    int bits;
    TAddressKind kind;
  } kRanges[] = {
      {0x00000000, 8, TAddressKind::Unspecified},  // "this network"
      {0x7F000000, 8, TAddressKind::Loopback},    {0xA9FE0000, 16, TAddressKind::LinkLocal},
      {0x0A000000, 8, TAddressKind::Private},     {0xAC100000, 12, TAddressKind::Private},
      {0xC0A80000, 16, TAddressKind::Private},    {0x64400000, 10, TAddressKind::Shared},
      {0xC0000000, 24, TAddressKind::Reserved},   // protocol assignments
      {0xC6120000, 15, TAddressKind::Reserved},   // benchmarking
      {0xE0000000, 4, TAddressKind::Multicast},   {0xF0000000, 4, TAddressKind::Reserved},
  };
  for (const auto& range : kRanges)
    if (a >> (32 - range.bits) == range.network >> (32 - range.bits)) return range.kind;
  return TAddressKind::Public;
}

TAddressKind Classify(const TIpAddress& ip) {
  if (!ip.V6) return ClassifyV4(*ip.V4);
  const TV6& b = *ip.V6;
  static constexpr TV6 kZero{};
  if (b == kZero) return TAddressKind::Unspecified;
  if (std::memcmp(b.data(), kZero.data(), 15) == 0 && b[15] == 1) return TAddressKind::Loopback;
  // Ranges of at most 64 bits, by the address's first 64 bits.
  static constexpr struct {
    uint64_t network;
    int bits;
    TAddressKind kind;
  } kRanges[] = {
      {0xFE80000000000000, 10, TAddressKind::LinkLocal},
      {0xFC00000000000000, 7, TAddressKind::Private},
      {0xFEC0000000000000, 10, TAddressKind::Private},  // site-local, private's forerunner
      {0xFF00000000000000, 8, TAddressKind::Multicast},
      // Teredo hides its IPv4 address; a local-use NAT64 prefix may be any
      // length from /48 to /96, each placing the IPv4 address elsewhere.
      {0x2001000000000000, 32, TAddressKind::HiddenIPv4},
      {0x0064FF9B00010000, 48, TAddressKind::HiddenIPv4},
  };
  for (const auto& range : kRanges)
    if (High64(b) >> (64 - range.bits) == range.network >> (64 - range.bits)) return range.kind;
  return ip.V4 ? ClassifyV4(*ip.V4) : TAddressKind::Public;
}

struct TFreeInterfaces {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

// Whether one of this machine's interfaces holds the address, or the IPv4
// address inside it; nullopt when the interfaces cannot be read.
std::optional<bool> HeldByThisMachine(const TIpAddress& ip) {
  ifaddrs* first = nullptr;
  if (getifaddrs(&first) != 0) return std::nullopt;
  const std::unique_ptr<ifaddrs, TFreeInterfaces> list(first);
  for (const ifaddrs* i = first; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr) continue;
    if (i->ifa_addr->sa_family == AF_INET && ip.V4) {
      sockaddr_in in{};
      std::memcpy(&in, i->ifa_addr, sizeof in);
      if (ntohl(in.sin_addr.s_addr) == *ip.V4) return true;
    } else if (i->ifa_addr->sa_family == AF_INET6 && ip.V6) {
      sockaddr_in6 in{};
      std::memcpy(&in, i->ifa_addr, sizeof in);
      if (std::memcmp(&in.sin6_addr, ip.V6->data(), 16) == 0) return true;
    }
  }
  return false;
}

}  // namespace

TAddressKind ClassifyAddress(const sockaddr* address, socklen_t length) {
  const std::optional<TIpAddress> ip = Decode(address, length);
  return ip ? Classify(*ip) : TAddressKind::NotInternet;
}

TAddressKind ClassifyConnection(const sockaddr* address, socklen_t length) {
  const std::optional<TIpAddress> ip = Decode(address, length);
  if (!ip) return TAddressKind::NotInternet;
  const TAddressKind kind = Classify(*ip);
  if (kind != TAddressKind::Public) return kind;
  const std::optional<bool> held = HeldByThisMachine(*ip);
  if (!held) return TAddressKind::Unreadable;
  return *held ? TAddressKind::ThisMachine : TAddressKind::Public;
}

bool AddressAllowed(const sockaddr* address, socklen_t length, TNetAccess access, TAddressKind* kind) {
  const TAddressKind judged = ClassifyConnection(address, length);
  if (kind != nullptr) *kind = judged;
  if (judged == TAddressKind::Public) return true;
  if (judged != TAddressKind::Loopback || access != TNetAccess::InternetAndTestServer) return false;
  if (address->sa_family != AF_INET) return false;
  sockaddr_in in{};
  std::memcpy(&in, address, sizeof in);
  return ntohl(in.sin_addr.s_addr) == INADDR_LOOPBACK;
}

std::string DescribeAddress(const sockaddr* address, socklen_t length, TAddressKind kind) {
  char text[INET6_ADDRSTRLEN] = "?";
  const std::optional<TIpAddress> ip = Decode(address, length);
  if (ip && ip->V6)
    inet_ntop(AF_INET6, ip->V6->data(), text, sizeof text);
  else if (ip) {
    const uint32_t net = htonl(*ip->V4);
    inet_ntop(AF_INET, &net, text, sizeof text);
  }
  static const char* const kWhy[] = {"public",
                                     "loopback",
                                     "link-local",
                                     "private",
                                     "unspecified",
                                     "not an Internet address",
                                     "shared address space",
                                     "reserved",
                                     "multicast",
                                     "hides an IPv4 address",
                                     "this machine",
                                     "this machine's addresses cannot be read"};
  static_assert(std::size(kWhy) == static_cast<size_t>(TAddressKind::Unreadable) + 1);
  return std::string(text) + " (" + kWhy[static_cast<size_t>(kind)] + ")";
}

std::string DescribeAddress(const sockaddr* address, socklen_t length) {
  return DescribeAddress(address, length, ClassifyConnection(address, length));
}

}  // namespace orba
