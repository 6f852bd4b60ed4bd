// After a match of rounds the host plays again on the same links, or sends everyone back:
// the match played again is the very game a new match with its seed would be, and a host's
// word that cannot be is not followed.
#include <gtest/gtest.h>

#include "net/Protocol.h"
#include "net/Session.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using tbtest::KeyPlan;
using tbtest::NetMatch;

constexpr int64_t kTicks = 420;  // one round of at most 200 ticks, its pause, and some

SessionOptions OneRound(uint64_t seed) {
  SessionOptions host;
  host.seed = seed;
  host.botSeats = 0x08;  // Yellow driven by the host's computer
  host.rounds = 1;
  host.roundTicks = 200;
  return host;
}

// Runs the match until every peer has played and confirmed the last tick.
void PlayOut(NetMatch& match, const KeyPlan& plan) {
  ASSERT_TRUE(match.Run(plan, match.Now() + 60000000));
  match.Settle(10);
}

TEST(NetAgain, TheMessageCarriesSeatsAndSeedAndNothingElse) {
  Message m;
  m.type = Type::Again;
  m.seats = 0x0B;
  m.seed = 0xFEEDULL;
  Message back;
  const std::string bytes = Encode(m);
  ASSERT_EQ(Decode(bytes, back), ReadResult::Ok);
  EXPECT_EQ(back.seats, 0x0B);
  EXPECT_EQ(back.seed, 0xFEEDULL);
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_NE(Decode(bytes.substr(0, n), back), ReadResult::Ok);
  m.seats = 0x10;  // no such seat
  EXPECT_EQ(Decode(Encode(m), back), ReadResult::Malformed);
  m.seats = 0;  // going back, yet with a seed
  EXPECT_EQ(Decode(Encode(m), back), ReadResult::Malformed);
  m.seed = 0;
  EXPECT_EQ(Decode(Encode(m), back), ReadResult::Ok);
}

TEST(NetAgain, PlayedAgainIsTheGameANewMatchWithItsSeedIs) {
  const LinkConditions lossy{30000, 8000, 0.05, 0.05};
  const KeyPlan plan = KeyPlan::Random(51, kTicks);
  NetMatch match(52, 3, lossy, OneRound(50), kTicks);
  ASSERT_TRUE(match.Gather(20000000));
  Session& host = *match.Peers()[0]->session;
  // Nothing to play again before the match is over, and only the host chooses.
  EXPECT_FALSE(host.PlayAgain(77));
  EXPECT_FALSE(match.Peers()[1]->session->PlayAgain(77));
  PlayOut(match, plan);
  for (auto& p : match.Peers()) ASSERT_TRUE(p->session->RoundsOver()) << p->node;
  EXPECT_FALSE(match.Peers()[1]->session->GoBack());
  EXPECT_FALSE(host.PlayAgain(0));
  ASSERT_TRUE(host.PlayAgain(77));
  PlayOut(match, plan);
  // The same game as a match started with that seed from the first.
  NetMatch fresh(53, 3, lossy, OneRound(77), kTicks);
  ASSERT_TRUE(fresh.Gather(20000000));
  PlayOut(fresh, plan);
  const uint64_t expected = fresh.Peers()[0]->session->Game()->CurrentHash();
  for (auto& p : match.Peers()) {
    Session& s = *p->session;
    ASSERT_EQ(s.State(), Phase::Playing) << s.EndReason();
    EXPECT_EQ(s.MatchNumber(), 2);
    EXPECT_EQ(s.Game()->Tick(), kTicks);
    EXPECT_EQ(s.Game()->CurrentHash(), expected) << p->node;
    EXPECT_EQ(s.MatchRounds()->Scores(), fresh.Peers()[0]->session->MatchRounds()->Scores());
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    EXPECT_EQ(tbtest::PlayBack(bytes).problem, "") << p->node;  // the new match's own replay
  }
  // Back: everyone returns to the start, the links close.
  for (auto& p : match.Peers()) ASSERT_TRUE(p->session->RoundsOver()) << p->node;
  ASSERT_TRUE(host.GoBack());
  match.Settle(20);
  for (auto& p : match.Peers()) {
    EXPECT_EQ(p->session->State(), Phase::Ended) << p->node;
    EXPECT_TRUE(p->session->WentBack()) << p->node;
  }
}

TEST(NetAgain, AHostsWordForSeatsThatDidNotPlayIsNotFollowed) {
  const KeyPlan plan = KeyPlan::Random(61, kTicks);
  NetMatch match(62, 2, LinkConditions{}, OneRound(60), kTicks);
  ASSERT_TRUE(match.Gather(20000000));
  PlayOut(match, plan);
  // A host that lies: seats nobody played, or without the joiner's own seat.
  Session& joiner = *match.Peers()[1]->session;
  for (uint8_t seats : {uint8_t{0x07}, uint8_t{0x01}}) {
    Message lie;
    lie.type = Type::Again;
    lie.seats = seats;
    lie.seed = 5;
    // Sent over the host's own link, as the host would.
    match.Peers()[0]->transport->Send(1, Encode(lie), Delivery::Reliable);
    match.Settle(5);
    EXPECT_EQ(joiner.MatchNumber(), 1);
    EXPECT_EQ(joiner.State(), Phase::Playing) << joiner.EndReason();
  }
  // The same link with seats that did play is followed.
  Message again;
  again.type = Type::Again;
  again.seats = 0x0B;
  again.seed = 5;
  match.Peers()[0]->transport->Send(1, Encode(again), Delivery::Reliable);
  match.Settle(5);
  EXPECT_EQ(joiner.MatchNumber(), 2);
}

}  // namespace
