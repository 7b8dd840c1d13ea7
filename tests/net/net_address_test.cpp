// Which addresses a download may connect to: every range of the user's own
// machine and network, written as IPv4, IPv6 and IPv4 inside IPv6, against
// public addresses just outside each range; the tests' one address; and a
// machine whose own addresses cannot be read.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
      {"febf:ffff::1", K::LinkLocal},       {"fec0::1", K::Private},
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

// Each range by its first and last address and the first address outside
// it on each side (where that side is another range, the neighbour's kind);
// IPv4 inside IPv6 judged by the IPv4 address it carries.
TEST(NetAddress, TheUsersNetworkRangesAndCarriedIPv4AreRefusedToTheirEdges) {
  const struct {
    const char* text;
    TAddressKind kind;
  } cases[] = {
      // 100.64.0.0/10, shared address space (mesh VPNs, cloud metadata).
      {"100.64.0.0", K::Shared}, {"100.127.255.255", K::Shared}, {"100.63.255.255", K::Public},
      {"100.128.0.0", K::Public}, {"100.100.100.200", K::Shared},
      // 192.0.0.0/24 and 198.18.0.0/15.
      {"192.0.0.0", K::Reserved}, {"192.0.0.255", K::Reserved}, {"191.255.255.255", K::Public},
      {"192.0.1.0", K::Public}, {"198.18.0.0", K::Reserved}, {"198.19.255.255", K::Reserved},
      {"198.17.255.255", K::Public}, {"198.20.0.0", K::Public},
      // 224.0.0.0/4, then 240.0.0.0/4 up to the broadcast address.
      {"224.0.0.0", K::Multicast}, {"239.255.255.255", K::Multicast}, {"223.255.255.255", K::Public},
      {"240.0.0.0", K::Reserved}, {"255.255.255.255", K::Reserved},
      // fec0::/10 between fe80::/10 and ff00::/8, which ends the space.
      {"fec0::", K::Private}, {"feff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::Private},
      {"febf:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::LinkLocal}, {"ff00::", K::Multicast},
      {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::Multicast}, {"ff02::1", K::Multicast},
      // Teredo, 2001::/32.
      {"2001::", K::HiddenIPv4}, {"2001:0:ffff:ffff:ffff:ffff:ffff:ffff", K::HiddenIPv4},
      {"2000:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::Public}, {"2001:1::", K::Public},
      // Local-use NAT64, 64:ff9b:1::/48, whatever it seems to carry.
      {"64:ff9b:1::", K::HiddenIPv4}, {"64:ff9b:1:ffff:ffff:ffff:ffff:ffff", K::HiddenIPv4},
      {"64:ff9b:1::5db8:d822", K::HiddenIPv4}, {"64:ff9b:0:ffff:ffff:ffff:ffff:ffff", K::Public},
      {"64:ff9b:2::", K::Public},
      // NAT64, 64:ff9b::/96: the last 32 bits.
      {"64:ff9b::", K::Unspecified}, {"64:ff9b::ffff:ffff", K::Reserved}, {"64:ff9b::a09:909", K::Private},
      {"64:ff9b::7f00:1", K::Loopback}, {"64:ff9b::6440:1", K::Shared}, {"64:ff9b::a9fe:a9fe", K::LinkLocal},
      {"64:ff9b::5db8:d822", K::Public}, {"64:ff9a:ffff:ffff:ffff:ffff:ffff:ffff", K::Public},
      {"64:ff9b::1:0:0", K::Public},
      // 6to4, 2002::/16: bits 16 to 47.
      {"2002::", K::Unspecified}, {"2002:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::Reserved},
      {"2001:ffff:ffff:ffff:ffff:ffff:ffff:ffff", K::Public}, {"2003::", K::Public},
      {"2002:7f00:1::1", K::Loopback}, {"2002:a09:909::1", K::Private}, {"2002:6464:64c8::1", K::Shared},
      {"2002:5db8:d822::1", K::Public},
      // Mapped, of the ranges above.
      {"::ffff:100.64.0.1", K::Shared}, {"::ffff:224.0.0.1", K::Multicast}, {"::ffff:198.18.0.1", K::Reserved},
  };
  for (const auto& c : cases) {
    const TLiteral literal(c.text);
    ASSERT_NE(literal.Length, 0u) << c.text;
    EXPECT_EQ(ClassifyAddress(literal.Address(), literal.Length), c.kind) << c.text;
    const bool allowed = AddressAllowed(literal.Address(), literal.Length, TNetAccess::InternetAndTestServer);
    EXPECT_EQ(allowed, c.kind == K::Public) << c.text;
  }
  const TLiteral shared("64:ff9b::6440:1");
  EXPECT_EQ(DescribeAddress(shared.Address(), shared.Length), "64:ff9b::6440:1 (shared address space)");
}

// In a child out of file descriptors, where this machine's addresses cannot
// be read: a public address is refused, and says why.
TEST(NetAddress, APublicAddressIsRefusedWhenThisMachinesAddressesCannotBeRead) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int lowest_free = dup(0);
    close(lowest_free);
    const rlimit none_left{static_cast<rlim_t>(lowest_free), static_cast<rlim_t>(lowest_free)};
    if (lowest_free < 0 || setrlimit(RLIMIT_NOFILE, &none_left) != 0) _exit(3);
    const TLiteral literal("93.184.216.34");
    TAddressKind kind = K::Public;
    const bool allowed = AddressAllowed(literal.Address(), literal.Length, TNetAccess::Internet, &kind);
    const bool described = DescribeAddress(literal.Address(), literal.Length, kind) ==
                           "93.184.216.34 (this machine's addresses cannot be read)";
    _exit(!allowed && kind == K::Unreadable && described ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
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
