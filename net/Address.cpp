#include "net/Address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace tb::net {

namespace {

// The kinds of address a peer may name.
enum class Kind { Name, Loopback, Unusable, Usable };

Kind KindOf(const std::string& host) {
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    const uint32_t a = ntohl(v4.s_addr);
    const uint32_t top = a >> 24;
    if (top == 127) return Kind::Loopback;
    if (top == 0 || top >= 224) return Kind::Unusable;  // this network, multicast, broadcast
    return Kind::Usable;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return Kind::Loopback;
    if (IN6_IS_ADDR_UNSPECIFIED(&v6) || IN6_IS_ADDR_MULTICAST(&v6)) return Kind::Unusable;
    return Kind::Usable;
  }
  return Kind::Name;
}

}  // namespace

bool ParseHostPort(const std::string& text, std::string& host, uint16_t& port,
                   std::string& problem) {
  port = kDefaultPort;
  std::string portText;
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) {
      problem = "'" + text + "' lacks the closing ]";
      return false;
    }
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') {
        problem = "'" + text + "': expected :PORT after ]";
        return false;
      }
      portText = text.substr(close + 2);
    }
  } else {
    size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
      host = text.substr(0, colon);
      portText = text.substr(colon + 1);
      if (portText.empty()) {
        problem = "'" + text + "': the port is missing after :";
        return false;
      }
    } else {
      host = text;  // a bare IPv6 address has several colons and no port
    }
  }
  if (host.empty()) {
    problem = "no host name in '" + text + "'";
    return false;
  }
  if (!portText.empty()) {
    unsigned long n = 0;
    for (char c : portText) {
      if (c < '0' || c > '9' || n > 65535) {
        problem = "'" + portText + "' is not a port (1 to 65535)";
        return false;
      }
      n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    if (n == 0 || n > 65535) {
      problem = "'" + portText + "' is not a port (1 to 65535)";
      return false;
    }
    port = static_cast<uint16_t>(n);
  }
  return true;
}

bool PeerDialable(const std::string& peer, const std::string& hostAddress) {
  std::string host, problem;
  uint16_t port = 0;
  if (peer.empty() || peer == hostAddress || !ParseHostPort(peer, host, port, problem))
    return false;
  std::string hostMachine;
  uint16_t hostPort = 0;
  const bool hostKnown = ParseHostPort(hostAddress, hostMachine, hostPort, problem);
  switch (KindOf(host)) {
    case Kind::Unusable:
      return false;
    case Kind::Loopback:
      return hostKnown && KindOf(hostMachine) == Kind::Loopback;
    case Kind::Name:
    case Kind::Usable:
      return true;
  }
  return false;
}

}  // namespace tb::net
