#include "net/net_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>
#include <cstring>

namespace orba {

namespace {

TAddressKind ClassifyV4(uint32_t a) {
  if ((a >> 24) == 0) return TAddressKind::Unspecified;  // 0.0.0.0/8, "this network"
  if ((a >> 24) == 127) return TAddressKind::Loopback;
  if ((a >> 16) == 0xA9FE) return TAddressKind::LinkLocal;  // 169.254/16
  if ((a >> 24) == 10 || (a >> 20) == 0xAC1 || (a >> 16) == 0xC0A8) return TAddressKind::Private;
  return TAddressKind::Public;
}

uint32_t V4At(const uint8_t* b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 | b[3];
}

TAddressKind ClassifyV6(const std::array<uint8_t, 16>& b) {
  const std::array<uint8_t, 16> zero{};
  if (b == zero) return TAddressKind::Unspecified;
  if (std::memcmp(b.data(), zero.data(), 15) == 0 && b[15] == 1) return TAddressKind::Loopback;
  if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) return TAddressKind::LinkLocal;  // fe80::/10
  if ((b[0] & 0xFE) == 0xFC) return TAddressKind::Private;                    // fc00::/7
  // IPv4 inside IPv6, mapped (::ffff:a.b.c.d) or compatible (::a.b.c.d):
  // judged as the IPv4 address it reaches.
  const bool first80_zero = std::memcmp(b.data(), zero.data(), 10) == 0;
  if (first80_zero && ((b[10] == 0xFF && b[11] == 0xFF) || (b[10] == 0 && b[11] == 0))) return ClassifyV4(V4At(&b[12]));
  return TAddressKind::Public;
}

}  // namespace

TAddressKind ClassifyAddress(const sockaddr* address, socklen_t length) {
  if (address == nullptr) return TAddressKind::NotInternet;
  if (address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return ClassifyV4(ntohl(in.sin_addr.s_addr));
  }
  if (address->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
    sockaddr_in6 in{};
    std::memcpy(&in, address, sizeof in);
    std::array<uint8_t, 16> b{};
    std::memcpy(b.data(), &in.sin6_addr, 16);
    return ClassifyV6(b);
  }
  return TAddressKind::NotInternet;
}

bool AddressAllowed(const sockaddr* address, socklen_t length, TNetAccess access) {
  const TAddressKind kind = ClassifyAddress(address, length);
  if (kind == TAddressKind::Public) return true;
  if (kind != TAddressKind::Loopback || access != TNetAccess::InternetAndTestServer) return false;
  if (address->sa_family != AF_INET) return false;
  sockaddr_in in{};
  std::memcpy(&in, address, sizeof in);
  return ntohl(in.sin_addr.s_addr) == INADDR_LOOPBACK;
}

std::string DescribeAddress(const sockaddr* address, socklen_t length) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address != nullptr && address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
  } else if (address != nullptr && address->sa_family == AF_INET6 &&
             length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
    sockaddr_in6 in{};
    std::memcpy(&in, address, sizeof in);
    inet_ntop(AF_INET6, &in.sin6_addr, text, sizeof text);
  }
  static const char* const kWhy[] = {"public", "loopback", "link-local", "private", "unspecified", "not an Internet address"};
  return std::string(text) + " (" + kWhy[static_cast<size_t>(ClassifyAddress(address, length))] + ")";
}

}  // namespace orba
