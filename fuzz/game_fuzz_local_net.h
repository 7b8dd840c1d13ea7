// The whole-player fuzzer's own network: where it can (as root), the fuzzing
// process moves into a network namespace of its own before it plays any
// game, holding only its loopback interface. Nothing a fuzzed game fetches
// can leave the machine there, so the game's downloads go through the
// player's real HTTP client and its address check for every address the
// script writes.
//
// kPlantLocalAddresses gives that interface addresses the check must
// refuse however they are written (a shared-address-space one, IPv4 inside
// NAT64 and 6to4 addresses, a site-local one, and two ordinary public
// addresses that are refused only because this machine holds them), with
// one listener on all of them, and makes HTTP items fetching from each. A
// connection the listener takes is a finding: a download reached the
// user's own machine.
#pragma once

#include <string>
#include <vector>

namespace orba::fuzz {

// What the items of kPlantLocalAddresses fetch ("local1" the first,
// "local2" the second ...), one URL per address put on the loopback
// interface, each fetched on port 80.
inline constexpr const char* kLocalUrls[] = {
    "http://100.100.100.200/",     // shared address space (100.64.0.0/10)
    "http://[64:ff9b::a09:909]/",  // NAT64 of 10.9.9.9
    "http://[2002:7f00:1::1]/",    // 6to4 of 127.0.0.1
    "http://[fec0::1]/",           // site-local
    "http://198.51.100.7/",        // refused only as an address of this machine
    "http://[2001:db8::7]/",       // the same in IPv6
};

// Moves this thread (the one that plays the games, before it starts any
// thread of its own) into a network namespace of its own with its loopback
// up and the addresses of kLocalUrls on it, and starts the listener. False
// (and said once on standard error) where no namespace can be made: the
// HTTP client then fetches nothing but the flood server's address.
bool EnterPrivateNetwork();
// Whether EnterPrivateNetwork succeeded.
bool InPrivateNetwork();
// Makes the items of kPlantLocalAddresses in the game the shell has
// started; nothing outside a private network.
void PlantLocalAddresses();
// The local addresses connected to since the last call, one line each.
std::vector<std::string> TakeLocalConnections();

}  // namespace orba::fuzz
