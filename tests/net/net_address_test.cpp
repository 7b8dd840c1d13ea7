// Which addresses a download may connect to: every range of the user's own
// machine and network, written as IPv4, IPv6 and IPv4 inside IPv6, against
// public addresses just outside each range; and the tests' one address.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <string>

#include "net/net_address.h"

namespace orba {
namespace {

// The socket address of an IPv4 or IPv6 literal.
struct TLiteral {
  sockaddr_storage Storage{};
  socklen_t Length = 0;
  explicit TLiteral(const std::string& text) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&Storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&Storage);
    if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
      v4->sin_family = AF_INET;
      Length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
      v6->sin6_family = AF_INET6;
      Length = sizeof(sockaddr_in6);
    }
  }
  const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&Storage); }
};

using K = TAddressKind;

TEST(NetAddress, EveryLocalRangeIsRefusedAndItsPublicNeighboursAreNot) {
  const struct {
    const char* text;
    TAddressKind kind;
  } cases[] = {
      {"0.0.0.0", K::Unspecified},          {"0.255.255.255", K::Unspecified},
      {"1.0.0.0", K::Public},               {"127.0.0.1", K::Loopback},
      {"127.255.255.254", K::Loopback},     {"126.255.255.255", K::Public},
      {"128.0.0.0", K::Public},             {"10.0.0.1", K::Private},
      {"10.255.255.255", K::Private},       {"9.255.255.255", K::Public},
      {"11.0.0.0", K::Public},              {"172.16.0.0", K::Private},
      {"172.31.255.255", K::Private},       {"172.15.255.255", K::Public},
      {"172.32.0.0", K::Public},            {"192.168.0.1", K::Private},
      {"192.168.255.255", K::Private},      {"192.167.255.255", K::Public},
      {"192.169.0.0", K::Public},           {"169.254.169.254", K::LinkLocal},
      {"169.254.0.0", K::LinkLocal},        {"169.253.255.255", K::Public},
      {"169.255.0.0", K::Public},           {"93.184.216.34", K::Public},
      {"::", K::Unspecified},               {"::1", K::Loopback},
      {"::2", K::Unspecified},              {"fe80::1", K::LinkLocal},
      {"febf:ffff::1", K::LinkLocal},       {"fec0::1", K::Public},
      {"fe7f::1", K::Public},               {"fc00::1", K::Private},
      {"fdff:ffff::1", K::Private},         {"fbff::1", K::Public},
      {"fe00::1", K::Public},               {"2001:db8::1", K::Public},
      {"2606:4700::6810:84e5", K::Public},  {"::ffff:127.0.0.1", K::Loopback},
      {"::ffff:10.1.2.3", K::Private},      {"::ffff:169.254.169.254", K::LinkLocal},
      {"::ffff:192.168.1.1", K::Private},   {"::ffff:172.16.5.4", K::Private},
      {"::ffff:0.0.0.0", K::Unspecified},   {"::ffff:93.184.216.34", K::Public},
      {"::127.0.0.1", K::Loopback},         {"::10.0.0.1", K::Private},
      {"::93.184.216.34", K::Public},       {"1::ffff:127.0.0.1", K::Public},
  };
  for (const auto& c : cases) {
    const TLiteral literal(c.text);
    ASSERT_NE(literal.Length, 0u) << c.text;
    EXPECT_EQ(ClassifyAddress(literal.Address(), literal.Length), c.kind) << c.text;
    EXPECT_EQ(AddressAllowed(literal.Address(), literal.Length, TNetAccess::Internet), c.kind == K::Public) << c.text;
  }
}

TEST(NetAddress, TheTestsMayReachOnly127001BesideTheInternet) {
  for (const char* text : {"127.0.0.1", "93.184.216.34", "2001:db8::1"}) {
    const TLiteral literal(text);
    EXPECT_TRUE(AddressAllowed(literal.Address(), literal.Length, TNetAccess::InternetAndTestServer)) << text;
  }
  for (const char* text : {"127.0.0.2", "::1", "::ffff:127.0.0.1", "0.0.0.0", "10.0.0.1", "169.254.169.254", "fe80::1"}) {
    const TLiteral literal(text);
    EXPECT_FALSE(AddressAllowed(literal.Address(), literal.Length, TNetAccess::InternetAndTestServer)) << text;
  }
}

TEST(NetAddress, ShortOrForeignAddressesAreNoInternetAddresses) {
  const TLiteral v4("93.184.216.34"), v6("2001:db8::1");
  EXPECT_EQ(ClassifyAddress(v4.Address(), v4.Length - 1), K::NotInternet);
  EXPECT_EQ(ClassifyAddress(v6.Address(), v6.Length - 1), K::NotInternet);
  EXPECT_EQ(ClassifyAddress(nullptr, 0), K::NotInternet);
  sockaddr_storage unix_socket{};
  unix_socket.ss_family = AF_UNIX;
  EXPECT_FALSE(AddressAllowed(reinterpret_cast<const sockaddr*>(&unix_socket), sizeof unix_socket,
                              TNetAccess::InternetAndTestServer));
  EXPECT_EQ(DescribeAddress(v6.Address(), v6.Length), "2001:db8::1 (public)");
  const TLiteral metadata("169.254.169.254");
  EXPECT_EQ(DescribeAddress(metadata.Address(), metadata.Length), "169.254.169.254 (link-local)");
}

}  // namespace
}  // namespace orba
