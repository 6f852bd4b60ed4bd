// The router rules that need no router: which outside ports are asked for when one is taken,
// and when a lease is renewed.
#include <gtest/gtest.h>

#include <vector>

#include "net/portmap/PortMapping.h"

namespace {

using namespace tb::net::portmap;

TEST(PortMappingRules, ATakenPortGivesWayToTheFewAboveIt) {
  EXPECT_EQ(OutsidePortsToTry(24642), (std::vector<uint16_t>{24642, 24643, 24644, 24645}));
  // Past the last port the tries go on above the well-known ones, never to port 0.
  EXPECT_EQ(OutsidePortsToTry(65534), (std::vector<uint16_t>{65534, 65535, 1024, 1025}));
}

TEST(PortMappingRules, ALeaseIsRenewedHalfwayThenRetriedUntilItWouldEnd) {
  EXPECT_DOUBLE_EQ(RenewalDelaySeconds(7200, 0), 3600.0);
  EXPECT_DOUBLE_EQ(RenewalDelaySeconds(7200, 1), 3660.0);
  EXPECT_DOUBLE_EQ(RenewalDelaySeconds(7200, kMaxRenewalFailures - 1),
                   3600.0 + kRenewalRetrySeconds * (kMaxRenewalFailures - 1));
  EXPECT_LT(RenewalDelaySeconds(7200, kMaxRenewalFailures), 0) << "the tries are spent";
  EXPECT_LT(RenewalDelaySeconds(0, 0), 0) << "a mapping without an end is never renewed";
  // A router's short lease: retries stop before it ends.
  EXPECT_DOUBLE_EQ(RenewalDelaySeconds(120, 0), 60.0);
  EXPECT_LT(RenewalDelaySeconds(120, 1), 0);
  EXPECT_DOUBLE_EQ(RenewalDelaySeconds(1, 0), 0.5);
}

}  // namespace
