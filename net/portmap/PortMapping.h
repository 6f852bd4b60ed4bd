#pragma once
// Asks the home router to forward the game's UDP port to this machine, so that friends outside
// can join without forwarding it by hand: UPnP IGD first, NAT-PMP when no IGD answers.
// The only code that speaks to routers; the mapping is removed when the object goes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tb::net::portmap {

// Outside ports asked for when the router says one is taken: the game's own port first.
inline constexpr int kOutsidePortTries = 4;
// Failed renewals in a row after which the mapping is left to run out.
inline constexpr int kMaxRenewalFailures = 5;
// Seconds between renewals that failed.
inline constexpr int kRenewalRetrySeconds = 60;

// The outside ports to ask for in turn for inside `port`: itself, then the ones above it
// (past 65535 on from 1024), kOutsidePortTries in all.
std::vector<uint16_t> OutsidePortsToTry(uint16_t port);
// Seconds after a lease of `leaseSeconds` was granted when it is asked for again, with
// `failures` renewals failed since: halfway, then every kRenewalRetrySeconds. Negative for
// never: a lease without an end, or when the tries are spent or the lease would have ended.
double RenewalDelaySeconds(uint32_t leaseSeconds, int failures);

// How long each way of asking may take, in milliseconds.
struct MappingLimits {
  int upnpDiscoverMs = 500;  // waiting for answers to each of the four searches
  int natpmpMs = 1500;       // the whole NAT-PMP exchange, retries included
};

// Where the router that made a mapping answers, to remove it again.
struct MappedRouter;

// A UDP port the router forwards to us, until Remove() or destruction.
class PortMapping {
 public:
  // Asks for UDP `port`; nullptr with `problem` saying what each way answered.
  static std::unique_ptr<PortMapping> Open(uint16_t port, const MappingLimits& limits,
                                           std::string& problem);
  ~PortMapping();
  PortMapping(const PortMapping&) = delete;
  PortMapping& operator=(const PortMapping&) = delete;

  // Tells the router to forget the mapping; later calls do nothing.
  void Remove();
  // Asks the router again for the same ports, within the limits; false with `problem` when it
  // did not grant them. The outside port is the one it gives, perhaps another than before.
  bool Renew(std::string& problem);
  // The lease the router granted, in seconds; 0 for one without an end.
  uint32_t LeaseSeconds() const { return leaseSeconds_; }
  // "UPnP" or "NAT-PMP".
  const std::string& Method() const { return method_; }
  // The router's outside address, dotted; "" when it did not say.
  const std::string& OutsideAddress() const { return outside_; }
  // The port friends give, on the outside address.
  uint16_t OutsidePort() const { return outsidePort_; }
  // Whether the outside address is itself private (another router stands in front).
  bool OutsideIsPrivate() const;

 private:
  PortMapping();
  std::unique_ptr<MappedRouter> router_;
  std::string method_;
  std::string outside_;
  uint16_t insidePort_ = 0;
  uint16_t outsidePort_ = 0;
  uint32_t leaseSeconds_ = 0;
  MappingLimits limits_;
  bool removed_ = false;
};

// Whether a dotted IPv4 address is private, shared, loopback or link-local.
bool IsPrivateAddress(const std::string& dotted);

}  // namespace tb::net::portmap
