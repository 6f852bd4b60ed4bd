// Two real ENet peers on the loopback address, in one process: a short match, one world.
#include <gtest/gtest.h>

#include <chrono>

#include "net/enet/EnetTransport.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;

TEST(EnetLoopback, TwoPeersPlayOneShortMatch) {
  std::string error;
  auto hostNet = EnetTransport::Listen("127.0.0.1", 0, error);
  ASSERT_TRUE(hostNet) << error;
  ASSERT_NE(hostNet->Port(), 0);
  auto joinNet = EnetTransport::Connect("127.0.0.1", hostNet->Port(), error);
  ASSERT_TRUE(joinNet) << error;

  const int64_t ticks = 300;
  tbtest::KeyPlan plan = tbtest::KeyPlan::Random(3, ticks);
  SessionOptions hostOptions;
  hostOptions.host = true;
  hostOptions.password = "loop";
  hostOptions.seed = 99;
  hostOptions.lastTick = ticks;
  SessionOptions joinOptions;
  joinOptions.password = "loop";
  joinOptions.lastTick = ticks;
  tbtest::NetPeer host, joiner;
  host.session = std::make_unique<Session>(*hostNet, hostOptions, host.screen, host.sound);
  joiner.session = std::make_unique<Session>(*joinNet, joinOptions, joiner.screen, joiner.sound);
  for (tbtest::NetPeer* p : {&host, &joiner}) {
    p->planKeys.plan = &plan;
    p->planKeys.session = p->session.get();
  }

  // Real packets on a real socket: bounded by a count of frames and by ten seconds.
  const auto start = std::chrono::steady_clock::now();
  auto elapsedUs = [&] {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  auto done = [&] {
    for (tbtest::NetPeer* p : {&host, &joiner}) {
      RollbackGame* g = p->session->Game();
      if (g == nullptr || g->Tick() < ticks || g->Synced() < ticks || !g->Settled()) return false;
    }
    return true;
  };
  bool started = false;
  for (int64_t frame = 0; frame < 5000000 && elapsedUs() < 10000000 && !done(); ++frame) {
    host.session->Frame(elapsedUs(), host.planKeys);
    joiner.session->Frame(elapsedUs(), joiner.planKeys);
    if (!started && joiner.session->State() == Phase::Waiting) started = host.session->Start();
    ASSERT_NE(host.session->State(), Phase::Ended) << host.session->EndReason();
    ASSERT_NE(joiner.session->State(), Phase::Ended) << joiner.session->EndReason();
  }
  ASSERT_TRUE(done());
  EXPECT_EQ(joiner.session->LocalSeats(), 0x02);
  const uint64_t want = tbtest::PlainGameHash(99, 36000.0, plan, ticks, {-1, -1, 0, 0});
  EXPECT_EQ(host.session->Game()->CurrentHash(), want);
  EXPECT_EQ(joiner.session->Game()->CurrentHash(), want);
}

TEST(EnetLoopback, WrongPasswordIsRefusedBeforeTheMatch) {
  std::string error;
  auto hostNet = EnetTransport::Listen("127.0.0.1", 0, error);
  ASSERT_TRUE(hostNet) << error;
  auto joinNet = EnetTransport::Connect("127.0.0.1", hostNet->Port(), error);
  ASSERT_TRUE(joinNet) << error;
  SessionOptions hostOptions;
  hostOptions.host = true;
  hostOptions.password = "loop";
  SessionOptions joinOptions;
  joinOptions.password = "hoop";
  tbtest::NetPeer host, joiner;
  host.session = std::make_unique<Session>(*hostNet, hostOptions, host.screen, host.sound);
  joiner.session = std::make_unique<Session>(*joinNet, joinOptions, joiner.screen, joiner.sound);
  const auto start = std::chrono::steady_clock::now();
  while (joiner.session->State() != Phase::Ended &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
    host.session->Frame(0, host.keys);
    joiner.session->Frame(0, joiner.keys);
  }
  EXPECT_EQ(joiner.session->EndReason(), "refused by the host: wrong password");
  EXPECT_EQ(host.session->TakenSeats(), 0x01);
}

}  // namespace
