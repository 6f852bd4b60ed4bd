// Online play: messages that survive any bytes, rollback that ends where the plain game
// ends, and peers that agree under delay, loss and a peer that vanishes.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "files/Files.h"
#include "net/Address.h"
#include "net/Protocol.h"
#include "net/Rollback.h"
#include "net/Session.h"
#include "state/Snapshot.h"
#include "tests/TestWorld.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using tbtest::KeyPlan;
using tbtest::NetMatch;

constexpr std::array<int64_t, 4> kNoDrops = {-1, -1, -1, -1};

Message Sample(Type type) {
  Message m;
  m.type = type;
  m.seats = 0x05;
  m.text = "word";
  m.seed = 0x123456789ULL;
  m.clockStart = 36000.5;
  m.tick = 250;
  m.sentMs = 77;
  m.echoMs = 55;
  m.acks = {1, 2, 3, 4};
  m.runs = {{1, 10, {1, 2, 31}}, {3, 7, {0}}};
  m.hash = 0xDEADBEEFCAFEULL;
  m.seat = 2;
  m.token = 0xABCDEF;
  m.peers = {{0x02, "127.0.0.2:24642"}, {0x0C, "[::1]:7"}};
  m.drops = 1;
  m.rounds = 3;
  m.roundTicks = 15000;
  m.watchers = 3;
  for (size_t i = 0; i < m.nonce.size(); ++i) {
    m.nonce[i] = static_cast<uint8_t>(i * 7 + 1);
    m.proof[i] = static_cast<uint8_t>(255 - i);
  }
  return m;
}

TEST(NetMessages, EveryTypeRoundTripsAndEveryCutIsRefused) {
  for (Type type : {Type::Hello, Type::Welcome, Type::Refuse, Type::Lobby, Type::Start,
                    Type::Inputs, Type::Hash, Type::Drop, Type::Stop, Type::PeerHello,
                    Type::Challenge, Type::Answer, Type::Watch, Type::Admit}) {
    std::string bytes = Encode(Sample(type));
    Message back;
    ASSERT_EQ(Decode(bytes, back), ReadResult::Ok) << static_cast<int>(type);
    EXPECT_EQ(Encode(back), bytes);
    for (size_t n = 0; n < bytes.size(); ++n)
      EXPECT_NE(Decode(bytes.substr(0, n), back), ReadResult::Ok) << static_cast<int>(type) << n;
    EXPECT_EQ(Decode(bytes + '\0', back), ReadResult::Malformed);
  }
}

TEST(NetMessages, FieldsOutsideTheGameAreRefused) {
  Message back;
  std::string other = Encode(Sample(Type::Hello));
  other[2] = static_cast<char>(kProtocolVersion + 1);
  EXPECT_EQ(Decode(other, back), ReadResult::OtherVersion);
  auto refused = [&](Message m) { return Decode(Encode(m), back) == ReadResult::Malformed; };
  Message m = Sample(Type::Inputs);
  m.runs[0].seat = 4;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Inputs);
  m.runs[1].seat = 1;  // two runs for one seat
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Inputs);
  m.runs[0].keys[0] = 0x20;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Inputs);
  m.runs[0].first = 0;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Inputs);
  m.runs[0].first = kMaxTick;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Inputs);
  m.acks[2] = kMaxTick + 1;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Hash);
  m.tick = 251;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Start);
  m.clockStart = 86400;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Welcome);
  m.seats = 0x10;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Start);
  m.peers.push_back({0x01, "x"});
  m.peers.push_back({0x01, "y"});  // four joiners cannot be
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Start);
  m.peers[0].seats = 0;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Lobby);
  m.watchers = kMaxWatchers + 1;
  EXPECT_TRUE(refused(m));
  m = Sample(Type::Refuse);
  m.text.assign(kMaxText + 1, 'x');
  EXPECT_TRUE(refused(m));
  EXPECT_EQ(Decode(std::string(kMaxMessageSize + 1, 'T'), back), ReadResult::Malformed);
}

TEST(NetAddress, HostAndPort) {
  std::string host, problem;
  uint16_t port = 0;
  ASSERT_TRUE(ParseHostPort("example.org", host, port, problem));
  EXPECT_EQ(host, "example.org");
  EXPECT_EQ(port, kDefaultPort);
  ASSERT_TRUE(ParseHostPort("127.1.2.3:5000", host, port, problem));
  EXPECT_EQ(host, "127.1.2.3");
  EXPECT_EQ(port, 5000);
  ASSERT_TRUE(ParseHostPort("[::1]:7", host, port, problem));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(port, 7);
  for (const char* bad : {"", ":5", "h:", "h:0", "h:65536", "h:x1", "[::1", "[::1]5"})
    EXPECT_FALSE(ParseHostPort(bad, host, port, problem)) << bad;
  uint8_t seats = 0;
  ASSERT_TRUE(ParseSeats("green,BLUE", seats, problem));
  EXPECT_EQ(seats, 0x05);
  EXPECT_FALSE(ParseSeats("Green,Purple", seats, problem));
  EXPECT_FALSE(ParseSeats("", seats, problem));
}

// Addresses a hostile host may hand out for other joiners: none that nobody plays at, nor the
// host's own, nor this machine unless the host is on it too.
TEST(NetAddress, OnlyPeerAddressesWorthDialling) {
  for (const char* good : {"11.77.3.1:40000", "192.168.1.20:24642", "[2001:db8::1]:7", "node:2"})
    EXPECT_TRUE(PeerDialable(good, "11.77.1.2:24642")) << good;
  for (const char* bad : {"", "11.77.1.2:24642", "0.0.0.0:5", "255.255.255.255:5", "224.0.0.1:5",
                          "127.0.0.1:5", "[::1]:5", "[::]:5", "[ff02::1]:5", "h:0", "[::1"})
    EXPECT_FALSE(PeerDialable(bad, "11.77.1.2:24642")) << bad;
  EXPECT_TRUE(PeerDialable("127.0.0.1:5", "127.0.0.1:24642"));
}

// Counts the frames begun on it; draws nothing.
class CountingScreen final : public tb::sim::NullSurface {
 public:
  void Clear() override { ++frames; }
  int64_t frames = 0;
};

// Red's keys arrive late and in pieces: the game guesses, rolls back unseen and unheard, and
// ends exactly where the plain game ends.
TEST(NetRollback, LateKeysEndWhereThePlainGameEnds) {
  const int64_t ticks = 600;
  KeyPlan plan = KeyPlan::Random(5, ticks);
  CountingScreen screen;
  tbtest::SilentSound sound;
  RollbackGame game(screen, sound, 42, 36000.0, ".");
  game.SetSeats(0x01, 0x0C);  // Green here, Red far away, Blue and Yellow idle
  std::array<int64_t, 4> idle = {-1, -1, 0, 0};
  int64_t redSent = 0;
  for (int64_t t = 1; t <= ticks; ++t) {
    while (!game.CanAdvance()) {
      // Red's keys come in bursts of up to five ticks.
      int64_t n = std::min<int64_t>(1 + t % 5, ticks - redSent);
      std::vector<uint8_t> keys;
      for (int64_t i = 1; i <= n; ++i) keys.push_back(plan.byTick[redSent + i][1]);
      ASSERT_TRUE(game.AddKeys(1, redSent + 1, keys.data(), keys.size()));
      redSent += n;
      const int64_t frames = screen.frames, played = sound.played;
      ASSERT_TRUE(game.Reconcile(false));
      EXPECT_EQ(screen.frames, frames);
      EXPECT_EQ(sound.played, played);
    }
    const int64_t frames = screen.frames;
    game.Advance(plan.byTick[t]);
    EXPECT_EQ(screen.frames, frames + 1);
    ASSERT_LE(game.Tick() - game.Synced(), RollbackGame::kMaxAhead);
  }
  std::vector<uint8_t> rest;
  for (int64_t t = redSent + 1; t <= ticks; ++t) rest.push_back(plan.byTick[t][1]);
  if (!rest.empty()) {
    ASSERT_TRUE(game.AddKeys(1, redSent + 1, rest.data(), rest.size()));
  }
  const int64_t frames = screen.frames, played = sound.played;
  const bool wrongGuess = !game.Settled();
  ASSERT_TRUE(game.Reconcile(true));
  EXPECT_EQ(screen.frames, frames + (wrongGuess ? 1 : 0));  // only the corrected present
  EXPECT_EQ(sound.played, played);
  EXPECT_GT(sound.played, 0);
  EXPECT_GT(game.Stats().rollbacks, 0);
  EXPECT_LE(game.Stats().deepest, RollbackGame::kMaxAhead);
  EXPECT_EQ(game.CurrentHash(), tbtest::PlainGameHash(42, 36000.0, plan, ticks, idle));
  uint64_t hash = 0;
  EXPECT_TRUE(game.FinalHash(600, hash));
  EXPECT_EQ(hash, game.CurrentHash());
  // Keys already known stand: a repeated or forged message for them changes nothing.
  uint8_t forged[3] = {31, 31, 31};
  EXPECT_TRUE(game.AddKeys(1, 100, forged, 3));
  EXPECT_TRUE(game.Reconcile(false));
  EXPECT_EQ(game.CurrentHash(), tbtest::PlainGameHash(42, 36000.0, plan, ticks, idle));
  // Keys for our own seat, after a gap, or too far ahead are refused.
  EXPECT_FALSE(game.AddKeys(0, 601, forged, 1));
  EXPECT_FALSE(game.AddKeys(1, 700, forged, 1));
  EXPECT_FALSE(game.AddKeys(2, 1, forged, 1));
}

TEST(NetLobby, SeatsInJoinOrderPasswordAndFullMatch) {
  SessionOptions host;
  host.password = "tracks";
  LinkConditions lan{2000, 500, 0, 0};
  NetMatch match(3, 5, lan, host, 0);
  // The fourth joiner has the right password but finds the match full; a fifth node with
  // the wrong word is refused before it reaches the match.
  for (int i = 1; i < 5; ++i) {
    auto& p = match.Peers()[i];
    SessionOptions o;
    o.password = "tracks";
    p->session = std::make_unique<Session>(*p->transport, o, p->screen, p->sound);
  }
  auto wrong = std::make_unique<tbtest::NetPeer>();
  tb::net::SimTransport& wrongNet = match.Network().AddNode();
  SessionOptions bad;
  bad.password = "treads";
  Session badSession(wrongNet, bad, wrong->screen, wrong->sound);
  match.Network().Connect(0, 5, lan);
  for (int f = 0; f < 20; ++f) {
    match.Network().AdvanceTo(match.Now() + 20000);
    badSession.Frame(match.Now(), wrong->keys);
    match.Peers()[0]->session->Frame(match.Now(), wrong->keys);
  }
  EXPECT_EQ(badSession.State(), Phase::Ended);
  EXPECT_EQ(badSession.EndReason(), "refused by the host: wrong password");
  ASSERT_TRUE(match.Gather(10000000));
  EXPECT_EQ(match.Peers()[0]->session->LocalSeats(), 0x01);
  EXPECT_EQ(match.Peers()[1]->session->LocalSeats(), 0x02);
  EXPECT_EQ(match.Peers()[2]->session->LocalSeats(), 0x04);
  EXPECT_EQ(match.Peers()[3]->session->LocalSeats(), 0x08);
  EXPECT_EQ(match.Peers()[4]->session->State(), Phase::Ended);
  EXPECT_EQ(match.Peers()[4]->session->EndReason(), "refused by the host: the match is full");
}

TEST(NetLobby, WaitingTitleSaysWhoIsConnected) {
  SessionOptions host;
  host.botSeats = 0x0A;  // Red and Yellow, but Red comes to play
  NetMatch match(4, 2, LinkConditions{2000, 0, 0, 0}, host, 0);
  match.Network().Connect(0, 1, LinkConditions{2000, 0, 0, 0});
  for (int f = 0; f < 10; ++f)
    for (auto& p : match.Peers())
      p->session->Frame(match.Now() + f * 20000, p->keys),
          match.Network().AdvanceTo(match.Now() + 10000);
  EXPECT_EQ(match.Peers()[0]->session->Title(),
            "Treadbrawl online: Green (you), Red connected; computer drivers for Yellow; Enter "
            "starts the match");
  EXPECT_EQ(match.Peers()[1]->session->Title(),
            "Treadbrawl online: Green, Red (you) connected; waiting for the host to start");
  EXPECT_FALSE(match.Peers()[1]->session->Start());
}

// Two peers on a link that loses, repeats and reorders a great deal: the same world.
TEST(NetMatch, HostileLinkStillOneGame) {
  SessionOptions host;
  host.seed = 11;
  host.clockStart = 86000.0;  // the match runs across midnight
  LinkConditions awful{40000, 35000, 0.25, 0.3};
  const int64_t ticks = 1500;
  NetMatch match(9, 2, awful, host, ticks);
  KeyPlan plan = KeyPlan::Random(12, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  ASSERT_TRUE(match.Run(plan, 200000000));
  const uint64_t want = tbtest::PlainGameHash(11, 86000.0, plan, ticks, {-1, -1, 0, 0});
  for (auto& p : match.Peers()) {
    ASSERT_EQ(p->session->State(), Phase::Playing) << p->session->EndReason();
    EXPECT_EQ(p->session->Game()->CurrentHash(), want);
  }
}

// A joiner whose frame timer runs 2 % slow: the host leaves out a frame now and then, never
// more than one a second, instead of running into the 8-tick limit.
TEST(NetMatch, ClocksThatDriftAreBroughtInStep) {
  SessionOptions host;
  const int64_t ticks = 1500;
  NetMatch match(8, 2, LinkConditions{40000, 5000, 0.02, 0}, host, ticks);
  match.Peers()[1]->frameUs = 20400;
  KeyPlan plan = KeyPlan::Random(9, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  ASSERT_TRUE(match.Run(plan, 100000000));
  const SessionStats& hostStats = match.Peers()[0]->session->Stats();
  const double seconds = static_cast<double>(match.Now()) / 1e6;
  EXPECT_GT(hostStats.driftFrames, 15);
  EXPECT_LE(hostStats.driftFrames, seconds + 1);
  EXPECT_LT(hostStats.waitedFrames, 20);
  EXPECT_EQ(match.Peers()[1]->session->Stats().driftFrames, 0);
  const uint64_t want = tbtest::PlainGameHash(1, 36000.0, plan, ticks, {-1, -1, 0, 0});
  for (auto& p : match.Peers()) EXPECT_EQ(p->session->Game()->CurrentHash(), want);
}

// Both joiners behind home routers that let in only answers: both dial at once, both dials
// come through, and both ends keep the one the lower seat dialled. The keys go directly, the
// players are told so, and the three replays agree.
TEST(NetMatch, JoinersBehindTwoRoutersLinkDirectly) {
  SessionOptions host;
  host.seed = 29;
  const int64_t ticks = 600;
  NetMatch match(29, 3, LinkConditions{30000, 5000, 0.02, 0}, host, ticks);
  match.Network().BehindRouter(1);
  match.Network().BehindRouter(2);
  KeyPlan plan = KeyPlan::Random(30, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  std::vector<std::string> told[3];
  bool fellBack = false;
  ASSERT_TRUE(match.Run(plan, 100000000, [&](tbtest::NetPeer& p, int64_t) {
    for (const std::string& line : p.session->TakeNotices()) told[p.node].push_back(line);
    fellBack = fellBack || (p.node == 1 && p.session->RouteTo(2) == tb::net::Route::ThroughHost);
  }));
  match.Settle(20);
  EXPECT_FALSE(fellBack);
  EXPECT_EQ(match.Network().OpenLinks(1, 2), 1);
  EXPECT_EQ(match.Network().OpenLinks(2, 1), 0);
  EXPECT_EQ(told[1], std::vector<std::string>{"Blue: direct link"});
  EXPECT_EQ(told[2], std::vector<std::string>{"Red: direct link"});
  const uint64_t want = tbtest::PlainGameHash(29, 36000.0, plan, ticks, {-1, -1, -1, 0});
  std::vector<std::pair<int64_t, uint64_t>> hashes;
  for (int i = 0; i < 3; ++i) {
    Session& s = *match.Peers()[i]->session;
    ASSERT_EQ(s.State(), Phase::Playing) << i << ": " << s.EndReason();
    EXPECT_EQ(s.DirectLinks(), i == 0 ? 0 : 1) << i;
    EXPECT_EQ(s.RouteTo(0), i == 0 ? tb::net::Route::None : tb::net::Route::Direct);
    EXPECT_EQ(s.RouteTo(i == 1 ? 2 : 1), tb::net::Route::Direct) << i;
    EXPECT_EQ(s.Game()->CurrentHash(), want) << i;
    std::string bytes;
    ASSERT_TRUE(s.ReplayBytes(bytes));
    tbtest::PlayedBack back = tbtest::PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << i;
    if (i == 0) hashes = back.hashes;
    EXPECT_EQ(back.hashes, hashes) << i;
  }
}

// Red's router gives every flow a port of its own, so neither dial finds its way: both are
// given up in bounded time, the keys go through the host, and the players are told.
TEST(NetMatch, ADirectLinkThatNeverOpensFallsBackToTheHost) {
  SessionOptions host;
  host.seed = 31;
  const int64_t ticks = 600;
  NetMatch match(31, 3, LinkConditions{30000, 5000, 0.0, 0}, host, ticks);
  match.Network().BehindRouter(1, false);
  match.Network().BehindRouter(2);
  KeyPlan plan = KeyPlan::Random(32, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  std::vector<std::string> told[3];
  ASSERT_TRUE(match.Run(plan, 100000000, [&](tbtest::NetPeer& p, int64_t) {
    for (const std::string& line : p.session->TakeNotices()) told[p.node].push_back(line);
  }));
  EXPECT_EQ(match.Network().OpenLinks(1, 2) + match.Network().OpenLinks(2, 1), 0);
  EXPECT_EQ(told[1], std::vector<std::string>{"Blue: through the host (no direct link)"});
  EXPECT_EQ(told[2], std::vector<std::string>{"Red: through the host (no direct link)"});
  const uint64_t want = tbtest::PlainGameHash(31, 36000.0, plan, ticks, {-1, -1, -1, 0});
  for (auto& p : match.Peers()) {
    ASSERT_EQ(p->session->State(), Phase::Playing) << p->session->EndReason();
    EXPECT_EQ(p->session->Game()->CurrentHash(), want);
    EXPECT_EQ(p->session->DirectLinks(), 0);
  }
}

// A world that went its own way is found at the next hash, and every peer stops and saves
// its replay, named in the message. The others' replays play back; the tampered one's stops
// where its world left the keys.
TEST(NetMatch, DifferentWorldsStopTheMatchEverywhere) {
  SessionOptions host;
  host.replayFolder = ::testing::TempDir();
  const int64_t ticks = 400;
  NetMatch match(5, 3, LinkConditions{30000, 5000, 0.02, 0}, host, ticks);
  KeyPlan plan = KeyPlan::Random(6, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  bool tampered = false;
  match.Run(plan, 100000000, [&](tbtest::NetPeer& p, int64_t) {
    if (!tampered && p.node == 2 && p.session->Game() != nullptr &&
        p.session->Game()->Tick() == 120) {
      tb::ThingAccess::Damage(*p.session->Game()->Form().Player("Blue")) += 1;
      tampered = true;
    }
  });
  ASSERT_TRUE(tampered);
  match.Settle(50);  // what is in flight
  for (auto& p : match.Peers()) {
    Session& s = *p->session;
    ASSERT_EQ(s.State(), Phase::Ended);
    EXPECT_NE(s.EndReason().find("the games differ at tick 150"), std::string::npos)
        << s.EndReason();
    ASSERT_NE(s.SavedReplay(), "");
    EXPECT_NE(s.EndReason().find("the replay is saved as " + s.SavedReplay()), std::string::npos);
    std::string bytes, problem;
    ASSERT_TRUE(tb::ReadWholeFile(s.SavedReplay(), 1 << 24, bytes, problem)) << problem;
    tbtest::PlayedBack back = tbtest::PlayBack(bytes);
    if (p->node == 2) {
      EXPECT_NE(back.problem.find("differs from the recording by tick 150"), std::string::npos)
          << back.problem;
    } else {
      EXPECT_EQ(back.problem, "") << p->node;
      EXPECT_GE(back.ticks, 100);
    }
    std::remove(s.SavedReplay().c_str());
  }
}

// Four peers, 150 ms round trip to the host with jitter and loss, three minutes of play;
// Yellow's machine dies after a minute and the others play on to the end, and their replays
// agree.
TEST(NetMatch, FourPeersThreeMinutesOneDies) {
  SessionOptions host;
  host.seed = 2026;
  host.clockStart = 45000.0;
  LinkConditions wan{75000, 20000, 0.05, 0.0};
  const int64_t ticks = 9000;
  NetMatch match(21, 4, wan, host, ticks);
  KeyPlan plan = KeyPlan::Random(77, ticks);
  ASSERT_TRUE(match.Gather(20000000));
  int64_t killedAt = -1;
  ASSERT_TRUE(match.Run(plan, 400000000, [&](tbtest::NetPeer& p, int64_t) {
    if (killedAt < 0 && p.node == 0 && p.session->Game()->Tick() >= 3000) {
      killedAt = p.session->Game()->Tick();
      match.Kill(3);
      for (auto& q : match.Peers())
        std::printf("peer %d before the kill: %lld frames waited, deepest rollback %lld\n", q->node,
                    static_cast<long long>(q->session->Stats().waitedFrames),
                    static_cast<long long>(q->session->Game()->Stats().deepest));
    }
  }));
  std::array<int64_t, 4> dropped = kNoDrops;
  dropped[3] = match.Peers()[0]->session->DroppedAfter(3);
  ASSERT_GE(dropped[3], killedAt - RollbackGame::kMaxAhead);
  const uint64_t want = tbtest::PlainGameHash(2026, 45000.0, plan, ticks, dropped);
  int64_t deepest = 0, waited = 0;
  for (int i = 0; i < 3; ++i) {
    Session& s = *match.Peers()[i]->session;
    ASSERT_EQ(s.State(), Phase::Playing) << i << ": " << s.EndReason();
    EXPECT_EQ(s.DroppedAfter(3), dropped[3]);
    EXPECT_EQ(s.DirectLinks(), i == 0 ? 0 : 1);  // Red and Blue, to each other
    EXPECT_EQ(s.Game()->Tick(), ticks);
    EXPECT_EQ(s.Game()->CurrentHash(), want) << i;
    deepest = std::max(deepest, s.Game()->Stats().deepest);
    waited += s.Stats().waitedFrames;
    const double seconds = static_cast<double>(match.Now()) / 1e6;
    std::printf(
        "peer %d: deepest rollback %lld ticks, %lld rollbacks, %lld frames waited, "
        "%lld drift frames, %.0f bytes/s sent\n",
        i, static_cast<long long>(s.Game()->Stats().deepest),
        static_cast<long long>(s.Game()->Stats().rollbacks),
        static_cast<long long>(s.Stats().waitedFrames),
        static_cast<long long>(s.Stats().driftFrames),
        static_cast<double>(match.Peers()[i]->transport->BytesSent()) / seconds);
  }
  EXPECT_LE(deepest, RollbackGame::kMaxAhead);
  // Every survivor's replay plays back to the same world, with the same hashes on the way.
  match.Settle(30);
  std::vector<std::pair<int64_t, uint64_t>> hashes;
  for (int i = 0; i < 3; ++i) {
    std::string bytes;
    ASSERT_TRUE(match.Peers()[i]->session->ReplayBytes(bytes));
    tbtest::PlayedBack back = tbtest::PlayBack(bytes);
    EXPECT_EQ(back.problem, "") << i;
    EXPECT_EQ(back.ticks, ticks) << i;
    EXPECT_EQ(back.finalHash, want) << i;
    if (i == 0) hashes = back.hashes;
    EXPECT_EQ(back.hashes, hashes) << i;
    std::printf("peer %d: replay of %lld ticks, %zu bytes\n", i, static_cast<long long>(back.ticks),
                bytes.size());
  }
}

}  // namespace
