// Replays of online matches: every peer records the ticks once they are final, so that each
// peer's replay plays back to the same hashes; drivers and rounds are one game on every peer
// and in the replays.
#include <gtest/gtest.h>

#include <cstdio>

#include "files/Files.h"
#include "net/Session.h"
#include "shell/Controls.h"
#include "state/Replay.h"
#include "state/Snapshot.h"
#include "tests/TestWorld.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using tbtest::KeyPlan;
using tbtest::NetMatch;
using tbtest::PlayBack;
using tbtest::PlayedBack;

std::string ReadFile(const std::string& path) {
  std::string bytes, problem;
  EXPECT_TRUE(tb::ReadWholeFile(path, size_t{1} << 26, bytes, problem)) << path << ": " << problem;
  return bytes;
}

// Three peers on a lossy, jittery link: every peer's replay (in memory and in its --record
// file) plays back to its end, with the same hashes as the others' and the plain game's world.
TEST(NetReplay, EveryPeersReplayPlaysBackToTheSameHashes) {
  SessionOptions host;
  host.seed = 31;
  host.clockStart = 50000.0;
  host.recordPath = ::testing::TempDir() + "/net_replay";
  const int64_t ticks = 1000;
  NetMatch match(30, 3, LinkConditions{50000, 15000, 0.05, 0.1}, host, ticks);
  KeyPlan plan = KeyPlan::Random(32, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  ASSERT_TRUE(match.Run(plan, 100000000));
  match.Settle(30);
  const uint64_t want = tbtest::PlainGameHash(31, 50000.0, plan, ticks, {-1, -1, -1, 0});
  std::vector<std::pair<int64_t, uint64_t>> hashes;
  for (auto& p : match.Peers()) {
    Session& s = *p->session;
    ASSERT_EQ(s.State(), Phase::Playing) << s.EndReason();
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    PlayedBack back = PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << p->node;
    EXPECT_EQ(back.ticks, ticks) << p->node;
    EXPECT_EQ(back.finalHash, want) << p->node;
    EXPECT_EQ(back.finalHash, s.Game()->CurrentHash());
    ASSERT_EQ(back.hashes.size(), static_cast<size_t>(ticks / tb::kCheckpointTicks));
    if (hashes.empty()) hashes = back.hashes;
    EXPECT_EQ(back.hashes, hashes) << p->node;
    // The hashes the peers compared during the match, as far as the game still keeps them.
    int kept = 0;
    for (const auto& [tick, hash] : back.hashes) {
      uint64_t compared = 0;
      if (!s.Game()->FinalHash(tick, compared)) continue;
      EXPECT_EQ(hash, compared) << p->node << " at " << tick;
      ++kept;
    }
    EXPECT_EQ(kept, RollbackGame::kHashesKept);
    std::printf("peer %d: replay of %lld ticks, %zu bytes\n", p->node,
                static_cast<long long>(back.ticks), bytes.size());
    // The file, closed when the session goes, holds the same bytes.
    p->session.reset();
    EXPECT_EQ(ReadFile(host.recordPath + "." + std::to_string(p->node)), bytes) << p->node;
  }
}

// Blue's route to the host fails while its link to Red still works: Red gets keys of Blue
// the host never has, and the host's drop of Blue takes them back. Red's replay must not have
// taken those ticks as final; both replays play back to the same world.
TEST(NetReplay, KeysTheHostNeverGotAreNotFinal) {
  SessionOptions host;
  host.seed = 61;
  const int64_t ticks = 1200;
  NetMatch match(60, 3, LinkConditions{40000, 5000, 0.05, 0}, host, ticks);
  KeyPlan plan = KeyPlan::Random(62, ticks);
  for (auto& keys : plan.byTick) keys[2] = 4;  // Blue always drives forward
  ASSERT_TRUE(match.Gather(20000000));
  int64_t redKnewOfBlue = -1;
  bool cut = false;
  ASSERT_TRUE(match.Run(plan, 200000000, [&](tbtest::NetPeer& p, int64_t) {
    if (p.node == 0 && !cut && p.session->Game() != nullptr && p.session->Game()->Tick() >= 400) {
      match.Network().Cut(0, 2);
      cut = true;
    }
    RollbackGame* red = match.Peers()[1]->session->Game();
    if (red != nullptr && match.Peers()[0]->session->DroppedAfter(2) < 0)
      redKnewOfBlue = red->Known(2);
  }));
  match.Settle(30);
  const int64_t dropped = match.Peers()[0]->session->DroppedAfter(2);
  EXPECT_GT(redKnewOfBlue, dropped);                            // what this test is about
  EXPECT_EQ(match.Peers()[2]->session->State(), Phase::Ended);  // Blue lost the host
  const uint64_t want = tbtest::PlainGameHash(61, 36000.0, plan, ticks, {-1, -1, dropped, 0});
  std::vector<std::pair<int64_t, uint64_t>> hashes;
  for (int i = 0; i < 2; ++i) {
    Session& s = *match.Peers()[i]->session;
    ASSERT_EQ(s.State(), Phase::Playing) << s.EndReason();
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    PlayedBack back = PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << i;
    EXPECT_EQ(back.ticks, ticks) << i;
    EXPECT_EQ(back.finalHash, want) << i;
    if (i == 0) hashes = back.hashes;
    EXPECT_EQ(back.hashes, hashes) << i;
  }
}

// The host's drivers take the seats nobody took and its rounds hold for everyone: every peer
// ends with the same world and score, and so does every peer's replay.
TEST(NetReplay, DriversAndRoundsAreOneGameEverywhere) {
  SessionOptions host;
  host.seed = 44;
  host.botSeats = 0x0C;  // Blue and Yellow; Blue is taken by the second joiner
  host.botLevel = tb::bots::Level::Hard;
  host.rounds = 3;
  host.roundTicks = 400;
  const int64_t ticks = 1800;  // three rounds of at most 400 ticks, each with its pause
  NetMatch match(45, 3, LinkConditions{40000, 10000, 0.05, 0.05}, host, ticks);
  KeyPlan plan = KeyPlan::Random(46, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  int64_t driven = 0;
  ASSERT_TRUE(match.Run(plan, 200000000, [&](tbtest::NetPeer& p, int64_t) {
    RollbackGame* g = p.session->Game();
    if (p.node == 0 && g->Known(3) > 0 && g->KeysOf(3, g->Known(3)) != 0) ++driven;
  }));
  match.Settle(30);
  EXPECT_GT(driven, 100);  // Yellow was driven
  Session& first = *match.Peers()[0]->session;
  ASSERT_NE(first.MatchRounds(), nullptr);
  EXPECT_TRUE(first.MatchRounds()->Over());
  for (auto& p : match.Peers()) {
    Session& s = *p->session;
    ASSERT_EQ(s.State(), Phase::Playing) << s.EndReason();
    EXPECT_EQ(s.TakenSeats(), tb::net::kAllSeats);
    EXPECT_EQ(s.Game()->CurrentHash(), first.Game()->CurrentHash()) << p->node;
    ASSERT_NE(s.MatchRounds(), nullptr);
    EXPECT_EQ(s.MatchRounds()->Scores(), first.MatchRounds()->Scores());
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    PlayedBack back = PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << p->node;
    EXPECT_EQ(back.ticks, ticks);
    EXPECT_EQ(back.rounds, 3);
    EXPECT_EQ(back.finalHash, s.Game()->CurrentHash()) << p->node;
    EXPECT_EQ(back.scores, s.MatchRounds()->Scores());
  }
  const auto& sc = first.MatchRounds()->Scores();
  std::printf("rounds: Green %d, Red %d, Blue %d, Yellow %d\n", sc[0], sc[1], sc[2], sc[3]);
}

}  // namespace
