// Which addresses a game's download may connect to. Games fetch from their
// own servers on the Internet; the user's own machine and network are
// refused: every address of this machine's interfaces, loopback,
// link-local, private, site-local, unspecified, the shared address space
// where mesh VPNs and cloud metadata services answer, the reserved,
// benchmarking and multicast ranges, and IPv4 carried inside IPv6 (mapped,
// compatible, NAT64, 6to4), judged as the IPv4 address it reaches, or
// refused outright where it cannot be read (Teredo, local-use NAT64). The
// check is made on the address a connection is about to be opened to,
// after name resolution and after every redirect, so that a name answering
// differently between a check and the connection cannot pass.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace orba {

enum class TAddressKind : uint8_t {
  Public,
  Loopback,
  LinkLocal,
  Private,
  Unspecified,
  NotInternet,
  Shared,       // 100.64.0.0/10
  Reserved,     // 192.0.0.0/24, 198.18.0.0/15, 240.0.0.0/4 with the broadcast address
  Multicast,    // 224.0.0.0/4, ff00::/8
  HiddenIPv4,   // Teredo and local-use NAT64: an IPv4 address that cannot be judged
  ThisMachine,  // an address of one of this machine's interfaces
  Unreadable,   // this machine's addresses could not be read
};

// Who may be reached beside the Internet: nobody, or the one address the
// tests' local servers listen on (127.0.0.1, as IPv4).
enum class TNetAccess : uint8_t { Internet, InternetAndTestServer };

// The range Address lies in (never ThisMachine nor Unreadable).
TAddressKind ClassifyAddress(const sockaddr* address, socklen_t length);
// As ClassifyAddress, and ThisMachine for an address in no refused range
// that one of this machine's interfaces holds now (read at each call, as
// interfaces come and go), itself or as the IPv4 address inside it.
TAddressKind ClassifyConnection(const sockaddr* address, socklen_t length);
// Whether a connection to Address may be opened; Kind, when given,
// receives what the address was judged to be (ClassifyConnection).
bool AddressAllowed(const sockaddr* address, socklen_t length, TNetAccess access, TAddressKind* kind = nullptr);
// "127.0.0.1 (loopback)": the address and what it was judged to be, for a
// trace.
std::string DescribeAddress(const sockaddr* address, socklen_t length, TAddressKind kind);
std::string DescribeAddress(const sockaddr* address, socklen_t length);

}  // namespace orba
