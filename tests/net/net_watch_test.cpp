// Spectators: they see the players' world whether they come before the start or long after,
// never hold the players up, are no more than eight, and record replays that play back to
// the players' hashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "net/Session.h"
#include "state/Replay.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using tbtest::KeyPlan;
using tbtest::NetMatch;

bool Told(const std::vector<std::string>& notices, const std::string& line) {
  return std::find(notices.begin(), notices.end(), line) != notices.end();
}

// Three players and a computer driver on a lossy link; one spectator from the lobby, one that
// comes at tick 600 and catches up. Everyone ends in the plain game's world, and every replay
// plays back to the same hashes.
TEST(NetWatch, BeforeAndAfterTheStartTheSameWorld) {
  SessionOptions host;
  host.seed = 71;
  host.clockStart = 40000.0;
  host.botSeats = 0x01;  // Green by the computer; the host plays Yellow
  host.seats = 0x08;
  host.password = "tracks";
  host.recordPath = ::testing::TempDir() + "/net_watch";
  const int64_t ticks = 1500;
  const LinkConditions lossy{30000, 10000, 0.05, 0.05};
  NetMatch match(71, 3, lossy, host, ticks);
  const int early = match.Watch(host);
  ASSERT_TRUE(match.Gather(20000000));
  int late = -1;
  int64_t lagMost = 0, lagSum = 0, lagFrames = 0;  // the early spectator behind the host
  int64_t caughtUpFrames = 0;                      // the late one's frames to within 10 ticks
  KeyPlan plan = KeyPlan::Random(72, ticks);
  ASSERT_TRUE(match.Run(plan, 100000000, [&](tbtest::NetPeer& p, int64_t) {
    const int64_t hostTick = match.Peers()[0]->session->Game()->Tick();
    if (late < 0 && p.node == 0 && hostTick >= 600) late = match.Watch(host);
    if (p.node == early && hostTick > 100 && hostTick < ticks) {
      const int64_t lag = hostTick - p.session->Game()->Tick();
      lagMost = std::max(lagMost, lag);
      lagSum += lag;
      ++lagFrames;
    }
    if (late >= 0 && p.node == late && hostTick < ticks &&
        (p.session->Game() == nullptr || hostTick - p.session->Game()->Tick() > 10))
      ++caughtUpFrames;
  }));
  std::printf(
      "early spectator: %.1f ticks behind the host on average, %lld at most; the late "
      "one caught up in %lld frames\n",
      static_cast<double>(lagSum) / static_cast<double>(std::max<int64_t>(lagFrames, 1)),
      static_cast<long long>(lagMost), static_cast<long long>(caughtUpFrames));
  EXPECT_LT(lagMost, 30);
  EXPECT_LT(caughtUpFrames, 60);
  match.Settle(30);
  ASSERT_GE(late, 0);
  auto& peers = match.Peers();
  EXPECT_EQ(peers[0]->session->Watchers(), 2);
  EXPECT_EQ(peers[1]->session->Watchers(), 2);
  EXPECT_GT(peers[late]->session->Stats().caughtUpTicks, 500);
  EXPECT_EQ(peers[early]->session->Stats().caughtUpTicks, 0);
  std::vector<std::pair<int64_t, uint64_t>> hashes;
  uint64_t finalHash = 0;
  for (auto& p : peers) {
    Session& s = *p->session;
    ASSERT_EQ(s.State(), Phase::Playing) << p->node << ": " << s.EndReason();
    EXPECT_EQ(s.Game()->Tick(), ticks) << p->node;
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    tbtest::PlayedBack back = tbtest::PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << p->node;
    EXPECT_EQ(back.ticks, ticks) << p->node;
    EXPECT_EQ(back.finalHash, s.Game()->CurrentHash()) << p->node;
    if (hashes.empty()) {
      hashes = back.hashes;
      finalHash = back.finalHash;
    }
    EXPECT_EQ(back.hashes, hashes) << p->node;
    EXPECT_EQ(back.finalHash, finalHash) << p->node;
  }
  EXPECT_EQ(hashes.size(), static_cast<size_t>(ticks / tb::kCheckpointTicks));
}

// The messages a lying spectator sends at tick `tick`: keys for the players, a hash of another
// world, and the host's words.
std::vector<std::string> Forged(uint32_t tick) {
  std::vector<std::string> out;
  Message m;
  m.type = Type::Inputs;
  m.tick = tick;
  m.acks = {tick, tick, tick, tick};
  m.runs = {{0, tick + 1, std::vector<uint8_t>(kMaxRun, 0x1F)},
            {1, tick - 40, std::vector<uint8_t>(kMaxRun, 0x1F)}};
  out.push_back(Encode(m));
  m = Message{};
  m.type = Type::Hash;
  m.tick = (tick / kHashEvery) * kHashEvery;
  m.seat = 1;
  m.hash = 12345;
  out.push_back(Encode(m));
  for (Type t : {Type::Drop, Type::Stop, Type::Start, Type::Lobby, Type::Hello, Type::Watch}) {
    m = Message{};
    m.type = t;
    m.seat = 1;
    m.seats = 0x0F;
    m.text = "forged";
    out.push_back(Encode(m));
  }
  return out;
}

// One spectator on a slow, lossy link, another that lies and then falls silent: the players
// play at their own pace and their own game, the silent one is let go, the slow one still
// ends in the players' world.
TEST(NetWatch, SpectatorsNeitherSlowNorSteerThePlayers) {
  SessionOptions host;
  host.seed = 81;
  const int64_t ticks = 1500;
  NetMatch match(81, 2, LinkConditions{20000, 5000, 0.02, 0}, host, ticks);
  const LinkConditions awful{400000, 100000, 0.3, 0.1};
  const int slow = match.Watch(host, &awful);
  const int silent = match.Watch(host);
  ASSERT_TRUE(match.Gather(20000000));
  const int64_t startUs = match.Now();
  int64_t doneUs = 0;  // when the host played the last tick
  std::vector<std::string> notices;
  KeyPlan plan = KeyPlan::Random(82, ticks);
  ASSERT_TRUE(match.Run(plan, 100000000, [&](tbtest::NetPeer& p, int64_t now) {
    if (p.node == 0) {
      for (const std::string& line : p.session->TakeNotices()) notices.push_back(line);
      tbtest::NetPeer& liar = *match.Peers()[silent];
      const int64_t tick = p.session->Game()->Tick();
      if (tick >= 200 && tick < 300 && tick % 10 == 0)
        for (const std::string& bytes : Forged(static_cast<uint32_t>(tick)))
          liar.transport->Send(liar.hostLink, bytes, Delivery::Reliable);
      if (tick == 300 && liar.alive) match.Kill(silent);
      if (doneUs == 0 && p.session->Game()->Tick() == ticks) doneUs = now;
    }
  }));
  auto& peers = match.Peers();
  EXPECT_TRUE(Told(notices, "a spectator left (not heard from for 3 seconds)")) << notices.size();
  EXPECT_EQ(peers[0]->session->Watchers(), 1);
  // The players' time: the ticks themselves and a few frames.
  for (int i : {0, 1}) {
    EXPECT_LT(peers[i]->session->Stats().waitedFrames, 20) << i;
    EXPECT_LE(peers[i]->session->Stats().driftFrames, 2) << i;
  }
  EXPECT_LT(doneUs - startUs, (ticks + 30) * 20000);
  const uint64_t want = tbtest::PlainGameHash(81, 36000.0, plan, ticks, {-1, -1, 0, 0});
  EXPECT_EQ(peers[0]->session->Game()->CurrentHash(), want);
  EXPECT_EQ(peers[1]->session->Game()->CurrentHash(), want);
  ASSERT_EQ(peers[slow]->session->State(), Phase::Playing) << peers[slow]->session->EndReason();
  EXPECT_EQ(peers[slow]->session->Game()->CurrentHash(), want);
}

// Eight spectators watch; a ninth and one with the wrong password are refused, saying why.
// The players' lobby counts them.
TEST(NetWatch, EightAtMostAndThePasswordHolds) {
  SessionOptions host;
  host.password = "gate";
  NetMatch match(91, 2, LinkConditions{10000, 0, 0, 0}, host, 100);
  for (int i = 0; i < kMaxWatchers; ++i) match.Watch(host);
  SessionOptions wrong = host;
  wrong.password = "fence";
  const int stranger = match.Watch(wrong);
  match.Settle(20);
  const int ninth = match.Watch(host);
  match.Settle(20);
  ASSERT_TRUE(match.Gather(20000000));
  match.Settle(5);
  auto& peers = match.Peers();
  EXPECT_EQ(peers[stranger]->session->EndReason(), "refused by the host: wrong password");
  EXPECT_EQ(peers[ninth]->session->EndReason(),
            std::string("refused by the host: ") + kWatchersFull);
  EXPECT_EQ(peers[0]->session->Watchers(), kMaxWatchers);
  EXPECT_EQ(peers[1]->session->Watchers(), kMaxWatchers);
  for (int i = 2; i < 2 + kMaxWatchers; ++i) {
    EXPECT_EQ(peers[i]->session->State(), Phase::Playing) << i;
    EXPECT_EQ(peers[i]->session->LocalSeats(), 0) << i;
  }
}

// The lobby's titles: the players see how many watch; a spectator sees that it watches.
TEST(NetWatch, TheLobbyCountsThem) {
  SessionOptions host;
  NetMatch match(93, 2, LinkConditions{10000, 0, 0, 0}, host, 100);
  const int w = match.Watch(host);
  match.Settle(20);
  auto& peers = match.Peers();
  EXPECT_EQ(peers[0]->session->Title(),
            "Treadbrawl online: Green (you) connected; 1 watching; Enter starts the match");
  EXPECT_EQ(peers[w]->session->Title(),
            "Treadbrawl online (spectator): Green connected; 1 watching; waiting for the host "
            "to start");
  EXPECT_TRUE(Told(peers[0]->session->TakeNotices(), "a spectator came to watch"));
}

}  // namespace
