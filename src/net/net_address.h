// Which addresses a game's download may connect to. Games fetch from their
// own servers on the Internet; the user's own machine and network
// (loopback, link-local, private and unspecified addresses, also written as
// IPv4 inside IPv6) are refused. The check is made on the address a
// connection is about to be opened to, after name resolution and after
// every redirect, so that a name answering differently between a check and
// the connection cannot pass.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace orba {

enum class TAddressKind : uint8_t { Public, Loopback, LinkLocal, Private, Unspecified, NotInternet };

// Who may be reached beside the Internet: nobody, or the one address the
// tests' local servers listen on (127.0.0.1, as IPv4).
enum class TNetAccess : uint8_t { Internet, InternetAndTestServer };

TAddressKind ClassifyAddress(const sockaddr* address, socklen_t length);
// Whether a connection to Address may be opened.
bool AddressAllowed(const sockaddr* address, socklen_t length, TNetAccess access);
// "127.0.0.1 (loopback)": the address and why it is refused, for a trace.
std::string DescribeAddress(const sockaddr* address, socklen_t length);

}  // namespace orba
