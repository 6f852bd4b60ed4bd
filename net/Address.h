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

}  // namespace tb::net
