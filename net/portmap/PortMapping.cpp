#include "net/portmap/PortMapping.h"

#include <arpa/inet.h>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>
#include <sys/select.h>

#include <chrono>
#include <cstring>

namespace tb::net::portmap {

namespace {

constexpr const char* kDescription = "Treadbrawl";
// Leases end by themselves should the game die without removing them.
constexpr uint32_t kLeaseSeconds = 7200;
// UPnP errors: the router keeps only mappings without an end; the outside port is taken.
constexpr int kOnlyPermanentLeases = 725;
constexpr int kConflictInMappingEntry = 718;

using Clock = std::chrono::steady_clock;

}  // namespace

struct MappedRouter {
  // UPnP: where the router's WAN connection service answers.
  bool upnp = false;
  std::string controlUrl;
  std::string serviceType;
  std::string lanAddress;  // this machine's, as the router sees it
  // NAT-PMP: the gateway that answered.
  bool natpmp = false;
  in_addr_t gateway = 0;
};

namespace {

// UPnP IGD: search, pick the connected gateway, map, read the outside address.
// One UPnP mapping request; `lease` becomes 0 when the router keeps only mappings without an
// end.
int AddUpnpMapping(const char* controlUrl, const char* serviceType, const std::string& outside,
                   const std::string& inside, const char* lan, uint32_t& lease) {
  std::string leaseText = std::to_string(lease);
  int r = UPNP_AddPortMapping(controlUrl, serviceType, outside.c_str(), inside.c_str(), lan,
                              kDescription, "UDP", nullptr, leaseText.c_str());
  if (r == kOnlyPermanentLeases && lease != 0) {
    lease = 0;
    r = UPNP_AddPortMapping(controlUrl, serviceType, outside.c_str(), inside.c_str(), lan,
                            kDescription, "UDP", nullptr, "0");
  }
  return r;
}

bool OpenUpnp(uint16_t port, int discoverMs, MappedRouter& router, std::string& outside,
              uint16_t& outsidePort, uint32_t& lease, std::string& problem) {
  int error = 0;
  // TTL 2 as UPnP asks: the search reaches the router and no further.
  UPNPDev* devices = upnpDiscover(discoverMs, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
  if (devices == nullptr) {
    problem = "no UPnP router answered";
    return false;
  }
  UPNPUrls urls;
  IGDdatas data;
  std::memset(&urls, 0, sizeof urls);
  std::memset(&data, 0, sizeof data);
  char lan[64] = {0};
  const int found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
  freeUPNPDevlist(devices);
  if (found != 1 && found != 2) {
    if (found != 0) FreeUPNPUrls(&urls);
    problem = "no UPnP internet gateway answered";
    return false;
  }
  const std::string portText = std::to_string(port);
  int r = UPNPCOMMAND_UNKNOWN_ERROR;
  for (uint16_t outside : OutsidePortsToTry(port)) {
    const std::string outsideText = std::to_string(outside);
    lease = kLeaseSeconds;
    r = AddUpnpMapping(urls.controlURL, data.first.servicetype, outsideText, portText, lan, lease);
    if (r == UPNPCOMMAND_SUCCESS) {
      outsidePort = outside;
      break;
    }
    if (r != kConflictInMappingEntry) break;  // only a taken port is worth another try
  }
  if (r != UPNPCOMMAND_SUCCESS) {
    problem = std::string("the UPnP router refused the port (") + strupnperror(r) + ")";
    FreeUPNPUrls(&urls);
    return false;
  }
  char address[40] = {0};
  if (UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, address) ==
      UPNPCOMMAND_SUCCESS)
    outside = address;
  router.upnp = true;
  router.controlUrl = urls.controlURL;
  router.serviceType = data.first.servicetype;
  router.lanAddress = lan;
  FreeUPNPUrls(&urls);
  return true;
}

// One NAT-PMP answer to the request just sent, within what is left of `deadline`.
bool NatpmpAnswer(natpmp_t& p, Clock::time_point deadline, natpmpresp_t& response) {
  // Each retry doubles the wait; the deadline cuts it short long before the ninth.
  for (int round = 0; round < 64; ++round) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    timeval wait{};
    if (getnatpmprequesttimeout(&p, &wait) < 0) return false;
    const int64_t waitUs = int64_t{wait.tv_sec} * 1000000 + wait.tv_usec;
    const int64_t us = waitUs < left.count() ? waitUs : left.count();
    wait.tv_sec = static_cast<time_t>(us / 1000000);
    wait.tv_usec = static_cast<suseconds_t>(us % 1000000);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(p.s, &readable);
    if (select(p.s + 1, &readable, nullptr, nullptr, &wait) < 0) return false;
    const int r = readnatpmpresponseorretry(&p, &response);
    if (r == NATPMP_TRYAGAIN) continue;
    return r >= 0;
  }
  return false;
}

// NAT-PMP: ask the default gateway for the port, then for its outside address.
bool OpenNatpmp(uint16_t port, int budgetMs, MappedRouter& router, std::string& outside,
                uint16_t& outsidePort, uint32_t& lease, std::string& problem) {
  natpmp_t p;
  if (initnatpmp(&p, 0, 0) < 0) {
    problem = "no gateway for NAT-PMP";
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(budgetMs);
  natpmpresp_t response;
  std::memset(&response, 0, sizeof response);
  bool mapped =
      sendnewportmappingrequest(&p, NATPMP_PROTOCOL_UDP, port, port, kLeaseSeconds) >= 0 &&
      NatpmpAnswer(p, deadline, response) && response.type == NATPMP_RESPTYPE_UDPPORTMAPPING;
  if (!mapped) {
    problem = "no NAT-PMP answer from the gateway";
    closenatpmp(&p);
    return false;
  }
  // The router may give another outside port than the one asked for, and another lease.
  outsidePort = response.pnu.newportmapping.mappedpublicport;
  lease = response.pnu.newportmapping.lifetime;
  router.natpmp = true;
  router.gateway = p.gateway;
  std::memset(&response, 0, sizeof response);
  if (sendpublicaddressrequest(&p) >= 0 && NatpmpAnswer(p, deadline, response) &&
      response.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
    char text[INET_ADDRSTRLEN] = {0};
    if (inet_ntop(AF_INET, &response.pnu.publicaddress.addr, text, sizeof text) != nullptr)
      outside = text;
  }
  closenatpmp(&p);
  return true;
}

}  // namespace

PortMapping::PortMapping() : router_(std::make_unique<MappedRouter>()) {}

std::unique_ptr<PortMapping> PortMapping::Open(uint16_t port, const MappingLimits& limits,
                                               std::string& problem) {
  std::unique_ptr<PortMapping> mapping(new PortMapping());
  mapping->insidePort_ = port;
  mapping->limits_ = limits;
  std::string upnpProblem, natpmpProblem;
  if (OpenUpnp(port, limits.upnpDiscoverMs, *mapping->router_, mapping->outside_,
               mapping->outsidePort_, mapping->leaseSeconds_, upnpProblem)) {
    mapping->method_ = "UPnP";
    return mapping;
  }
  if (OpenNatpmp(port, limits.natpmpMs, *mapping->router_, mapping->outside_, mapping->outsidePort_,
                 mapping->leaseSeconds_, natpmpProblem)) {
    mapping->method_ = "NAT-PMP";
    return mapping;
  }
  problem = upnpProblem + ", " + natpmpProblem;
  return nullptr;
}

PortMapping::~PortMapping() { Remove(); }

void PortMapping::Remove() {
  if (removed_) return;
  removed_ = true;
  if (router_->upnp) {
    const std::string portText = std::to_string(outsidePort_);
    UPNP_DeletePortMapping(router_->controlUrl.c_str(), router_->serviceType.c_str(),
                           portText.c_str(), "UDP", nullptr);
  } else if (router_->natpmp) {
    // A lifetime of 0 deletes; the answer is awaited briefly so the request is not lost.
    natpmp_t p;
    if (initnatpmp(&p, 1, router_->gateway) < 0) return;
    natpmpresp_t response;
    if (sendnewportmappingrequest(&p, NATPMP_PROTOCOL_UDP, insidePort_, 0, 0) >= 0)
      NatpmpAnswer(p, Clock::now() + std::chrono::milliseconds(500), response);
    closenatpmp(&p);
  }
}

bool PortMapping::Renew(std::string& problem) {
  if (removed_) {
    problem = "the mapping was removed";
    return false;
  }
  if (router_->upnp) {
    uint32_t lease = leaseSeconds_;
    const int r = AddUpnpMapping(router_->controlUrl.c_str(), router_->serviceType.c_str(),
                                 std::to_string(outsidePort_), std::to_string(insidePort_),
                                 router_->lanAddress.c_str(), lease);
    if (r != UPNPCOMMAND_SUCCESS) {
      problem = std::string("the UPnP router refused to renew (") + strupnperror(r) + ")";
      return false;
    }
    leaseSeconds_ = lease;
    return true;
  }
  natpmp_t p;
  if (!router_->natpmp || initnatpmp(&p, 1, router_->gateway) < 0) {
    problem = "no gateway for NAT-PMP";
    return false;
  }
  natpmpresp_t response;
  std::memset(&response, 0, sizeof response);
  const auto deadline = Clock::now() + std::chrono::milliseconds(limits_.natpmpMs);
  const bool granted = sendnewportmappingrequest(&p, NATPMP_PROTOCOL_UDP, insidePort_, outsidePort_,
                                                 kLeaseSeconds) >= 0 &&
                       NatpmpAnswer(p, deadline, response) &&
                       response.type == NATPMP_RESPTYPE_UDPPORTMAPPING;
  closenatpmp(&p);
  if (!granted) {
    problem = "no NAT-PMP answer from the gateway";
    return false;
  }
  outsidePort_ = response.pnu.newportmapping.mappedpublicport;
  leaseSeconds_ = response.pnu.newportmapping.lifetime;
  return true;
}

std::vector<uint16_t> OutsidePortsToTry(uint16_t port) {
  std::vector<uint16_t> ports;
  uint32_t next = port;
  for (int i = 0; i < kOutsidePortTries; ++i) {
    ports.push_back(static_cast<uint16_t>(next));
    next = next >= 65535 ? 1024 : next + 1;
  }
  return ports;
}

double RenewalDelaySeconds(uint32_t leaseSeconds, int failures) {
  if (leaseSeconds == 0 || failures < 0 || failures >= kMaxRenewalFailures) return -1;
  const double at = leaseSeconds / 2.0 + double{kRenewalRetrySeconds} * failures;
  // A renewal after the lease ended would ask for a port that may be someone else's by then.
  return at < leaseSeconds ? at : -1;
}

bool PortMapping::OutsideIsPrivate() const { return IsPrivateAddress(outside_); }

bool IsPrivateAddress(const std::string& dotted) {
  in_addr a{};
  if (inet_pton(AF_INET, dotted.c_str(), &a) != 1) return false;
  const uint32_t v = ntohl(a.s_addr);
  return (v >> 24) == 10 || (v >> 24) == 127 || (v >> 20) == (172u << 4 | 1) ||
         (v >> 16) == (192u << 8 | 168) || (v >> 16) == (169u << 8 | 254) ||
         (v >> 22) == (100u << 2 | 1);  // 100.64.0.0/10, carrier-grade NAT
}

}  // namespace tb::net::portmap
