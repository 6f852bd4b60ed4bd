#pragma once
// Where a host is: "host", "host:port" or "[IPv6]:port".
#include <cstdint>
#include <string>

namespace tb::net {

// The UDP port a host listens on unless told otherwise.
inline constexpr uint16_t kDefaultPort = 24642;

// Splits an address into host and port (kDefaultPort when none is given); false with the
// problem.
bool ParseHostPort(const std::string& text, std::string& host, uint16_t& port,
                   std::string& problem);

// Whether a joiner should dial the address the host gave for another joiner: a port, and
// no address nobody plays at (unspecified, broadcast, multicast), nor the host's own; the
// machine itself only when the host is on it too. Names that are no IP numbers are left to
// the transport, which dials numbers only.
bool PeerDialable(const std::string& peer, const std::string& hostAddress);

}  // namespace tb::net
