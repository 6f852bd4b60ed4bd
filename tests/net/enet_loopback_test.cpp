// Two real ENet peers on the loopback address, in one process: a short match, one world.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "net/enet/EnetTransport.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;

// Three machines in one: the host and two joiners, who also link up with each other; and a
// spectator that comes once the match runs.
TEST(EnetLoopback, ThreePeersPlayOneShortMatch) {
  std::string error;
  auto hostNet = EnetTransport::Listen("127.0.0.1", 0, error);
  ASSERT_TRUE(hostNet) << error;
  ASSERT_NE(hostNet->Port(), 0);
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
  std::vector<std::unique_ptr<EnetTransport>> nets;
  nets.push_back(std::move(hostNet));
  std::vector<std::unique_ptr<tbtest::NetPeer>> peers;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      nets.push_back(EnetTransport::Connect("127.0.0.1", nets[0]->Port(), error));
      ASSERT_TRUE(nets.back()) << error;
    }
    auto p = std::make_unique<tbtest::NetPeer>();
    p->session = std::make_unique<Session>(*nets[i], i == 0 ? hostOptions : joinOptions, p->screen,
                                           p->sound);
    p->planKeys.plan = &plan;
    p->planKeys.session = p->session.get();
    peers.push_back(std::move(p));
  }

  // Real packets on a real socket: bounded by a count of frames and by ten seconds.
  const auto start = std::chrono::steady_clock::now();
  auto elapsedUs = [&] {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
  };
  auto watch = [&] {
    nets.push_back(EnetTransport::Connect("127.0.0.1", nets[0]->Port(), error));
    ASSERT_TRUE(nets.back()) << error;
    SessionOptions watchOptions = joinOptions;
    watchOptions.watch = true;
    auto p = std::make_unique<tbtest::NetPeer>();
    p->session = std::make_unique<Session>(*nets.back(), watchOptions, p->screen, p->sound);
    peers.push_back(std::move(p));
  };
  auto done = [&] {
    if (peers.size() < 4) return false;
    for (auto& p : peers) {
      RollbackGame* g = p->session->Game();
      if (g == nullptr || g->Tick() < ticks || g->Synced() < ticks || !g->Settled()) return false;
    }
    return true;
  };
  bool started = false;
  for (int64_t frame = 0; frame < 5000000 && elapsedUs() < 10000000 && !done(); ++frame) {
    for (auto& p : peers) {
      p->session->Frame(elapsedUs(), p->planKeys);
      ASSERT_NE(p->session->State(), Phase::Ended) << p->session->EndReason();
    }
    if (!started && peers[0]->session->TakenSeats() == 0x07) started = peers[0]->session->Start();
    if (started && peers.size() == 3 && peers[0]->session->Game()->Tick() >= 100) watch();
  }
  ASSERT_TRUE(done());
  const uint64_t want = tbtest::PlainGameHash(99, 36000.0, plan, ticks, {-1, -1, -1, 0});
  for (auto& p : peers) EXPECT_EQ(p->session->Game()->CurrentHash(), want);
  EXPECT_EQ(peers[1]->session->DirectLinks(), 1);
  EXPECT_EQ(peers[2]->session->DirectLinks(), 1);
  EXPECT_EQ(peers[0]->session->Watchers(), 1);
  EXPECT_EQ(peers[3]->session->DirectLinks(), 0);
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

// Links that never say who they are: one machine keeps at most 8, its oldest going first,
// and a confirmed link is never the one to go.
TEST(EnetLoopback, OneMachineHoldsFewUnconfirmedLinks) {
  std::string error;
  auto host = EnetTransport::Listen("127.0.0.1", 0, error);
  ASSERT_TRUE(host) << error;
  std::vector<std::unique_ptr<EnetTransport>> strangers;
  std::vector<LinkId> order;  // host-side links, in the order they came up
  std::set<LinkId> gone;
  const auto start = std::chrono::steady_clock::now();
  auto pump = [&] {
    LinkEvent e;
    for (int n = 0; n < 1000 && host->Poll(e); ++n) {
      if (e.kind == LinkEvent::Connected) order.push_back(e.link);
      if (e.kind == LinkEvent::Disconnected) gone.insert(e.link);
    }
    for (auto& s : strangers)
      for (int n = 0; n < 100 && s->Poll(e); ++n) {
      }
  };
  for (int i = 0; i < 12; ++i) {
    strangers.push_back(EnetTransport::Connect("127.0.0.1", host->Port(), error));
    ASSERT_TRUE(strangers.back()) << error;
    // Each link comes up before the next is dialled; bounded by count and five seconds (the
    // count alone can run out in a few milliseconds on an idle machine).
    for (int n = 0; n < 10000000 && order.size() < static_cast<size_t>(i) + 1 &&
                    std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
         ++n) {
      pump();
      std::this_thread::yield();
    }
    ASSERT_EQ(order.size(), static_cast<size_t>(i) + 1);
    if (i == 0) host->Confirm(order[0]);
  }
  pump();
  // The first was confirmed; of the eleven others the three oldest made room.
  EXPECT_EQ(gone, (std::set<LinkId>{order[1], order[2], order[3]}));
  EXPECT_EQ(host->Guarded().evicted, 3);
}

}  // namespace
