#include "net/Address.h"

namespace tb::net {

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

}  // namespace tb::net
