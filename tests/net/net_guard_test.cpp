// Strangers at the door: passwords proved and never sent, wrong ones limited per machine,
// links that never show they belong closed, peers of an older protocol told why.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/Password.h"
#include "net/Protocol.h"
#include "net/Session.h"
#include "tests/net/NetMatch.h"

namespace {

using namespace tb::net;
using tbtest::NetMatch;

// One end of a link played by the test: what the session sends is kept, events are queued.
class HandLink final : public Transport {
 public:
  void Send(LinkId, const std::string& bytes, Delivery) override { sent.push_back(bytes); }
  bool Poll(LinkEvent& e) override {
    if (queue.empty()) return false;
    e = std::move(queue.front());
    queue.pop_front();
    return true;
  }
  void Close(LinkId) override { closed = true; }
  void Receive(const Message& m) { queue.push_back({LinkEvent::Received, 1, Encode(m)}); }
  Message Last() const {
    Message m;
    if (sent.empty() || Decode(sent.back(), m) != ReadResult::Ok) m.type = Type::Stop;
    return m;
  }
  std::deque<LinkEvent> queue;
  std::vector<std::string> sent;
  bool closed = false;
};

// Passes everything on and keeps what was sent, to look for the password in it.
class Tap final : public Transport {
 public:
  explicit Tap(Transport& inner) : inner_(inner) {}
  void Send(LinkId link, const std::string& bytes, Delivery d) override {
    sent += bytes;
    inner_.Send(link, bytes, d);
  }
  bool Poll(LinkEvent& e) override { return inner_.Poll(e); }
  void Close(LinkId link) override { inner_.Close(link); }
  std::string AddressOf(LinkId link) const override { return inner_.AddressOf(link); }
  std::string sent;

 private:
  Transport& inner_;
};

struct Try {
  tbtest::NetPeer peer;
  std::unique_ptr<Tap> tap;
};

// A joiner on node `node` tries the password; frames run until it is in or refused.
std::string TryPassword(NetMatch& match, int node, const std::string& password, int64_t& tookUs,
                        std::string* wire = nullptr) {
  auto& host = *match.Peers()[0];
  auto& joinNode = *match.Peers()[node];
  // What earlier links of this node left behind is not the new joiner's.
  LinkEvent stale;
  for (int n = 0; n < 1000 && joinNode.transport->Poll(stale); ++n) {
  }
  Tap tap(*joinNode.transport);
  SessionOptions o;
  o.password = password;
  Session joiner(tap, o, joinNode.screen, joinNode.sound);
  match.Network().Connect(0, node, LinkConditions{2000, 0, 0, 0});
  const int64_t start = match.Now();
  for (int f = 0; f < 500 && joiner.State() == Phase::Joining; ++f) {
    match.Network().AdvanceTo(match.Now() + 10000);
    joiner.Frame(match.Now(), joinNode.keys);
    host.session->Frame(match.Now(), host.keys);
  }
  tookUs = match.Now() - start;
  if (wire != nullptr) *wire = tap.sent;
  return joiner.State() == Phase::Waiting ? "in" : joiner.EndReason();
}

TEST(NetGuard, WrongPasswordsAreLimitedPerMachineAndThePasswordIsNeverSent) {
  SessionOptions host;
  host.password = "caterpillar tracks";
  NetMatch match(21, 3, LinkConditions{2000, 0, 0, 0}, host, 0);
  int64_t took = 0;
  std::string wire;
  for (size_t i = 0; i < WrongTries::kTries; ++i) {
    EXPECT_EQ(TryPassword(match, 1, "caterpillar trucks", took),
              "refused by the host: wrong password");
    EXPECT_LT(took, 200000) << "wrong tries within the limit are answered at once";
  }
  // Past the limit even the right password is refused, unchecked and later.
  EXPECT_EQ(TryPassword(match, 1, "caterpillar tracks", took),
            "refused by the host: wrong password");
  EXPECT_GE(took, WrongTries::kDelayUs);
  // Another machine is not held back, and nothing it sends holds the password.
  EXPECT_EQ(TryPassword(match, 2, "caterpillar tracks", took, &wire), "in");
  EXPECT_EQ(wire.find("caterpillar"), std::string::npos);
  EXPECT_GT(wire.size(), 2 * kProofBytes);
  // A minute after its last wrong try, the first machine may try again.
  match.Network().AdvanceTo(match.Now() + WrongTries::kWindowUs);
  EXPECT_EQ(TryPassword(match, 1, "caterpillar tracks", took), "in");
}

TEST(NetGuard, WrongTriesForgetTheOldestOfManyMachines) {
  WrongTries tries;
  for (size_t m = 0; m <= WrongTries::kMachines; ++m)
    for (size_t i = 0; i < WrongTries::kTries; ++i)
      tries.Wrong("machine" + std::to_string(m), static_cast<int64_t>(m));
  EXPECT_FALSE(tries.Blocked("machine0", 1000));  // forgotten to keep memory bounded
  EXPECT_TRUE(tries.Blocked("machine256", 1000));
  EXPECT_FALSE(tries.Blocked("machine256", 1000 + WrongTries::kWindowUs));
}

TEST(NetGuard, AHostThatCannotProveThePasswordIsLeft) {
  PasswordKey key{};
  ASSERT_TRUE(DeriveKey("right", key));
  for (bool answerFirst : {true, false}) {
    HandLink link;
    tbtest::NetPeer p;
    SessionOptions o;
    o.password = "right";
    Session joiner(link, o, p.screen, p.sound);
    link.queue.push_back({LinkEvent::Connected, 1, {}});
    joiner.Frame(0, p.keys);
    const Message hello = link.Last();
    ASSERT_EQ(hello.type, Type::Hello);
    EXPECT_EQ(hello.nonce, link.Last().nonce);
    Message welcome;
    welcome.type = Type::Welcome;
    welcome.seats = 0x02;
    if (answerFirst) {
      Message challenge;
      challenge.type = Type::Challenge;
      challenge.nonce = FreshNonce();
      link.Receive(challenge);
      joiner.Frame(20000, p.keys);
      EXPECT_EQ(link.Last().type, Type::Answer);
      // The joiner's answer is bound to both challenges and to its role.
      EXPECT_TRUE(
          SameProof(link.Last().proof, Prove(key, Prover::Joiner, challenge.nonce, hello.nonce)));
      // Replaying the joiner's own answer as the host's proof does not pass.
      welcome.proof = link.Last().proof;
    }
    link.Receive(welcome);
    joiner.Frame(40000, p.keys);
    EXPECT_EQ(joiner.State(), Phase::Ended);
    EXPECT_EQ(joiner.EndReason(), "the host does not know the password; not joined");
  }
}

TEST(NetGuard, PeersOfTheOlderProtocolAreToldWhy) {
  // A joiner of version 2 says hello with its password in the clear.
  HandLink link;
  tbtest::NetPeer p;
  SessionOptions o;
  o.host = true;
  Session host(link, o, p.screen, p.sound);
  std::string hello = Encode(Message{});
  hello[2] = 2;
  link.queue.push_back({LinkEvent::Connected, 1, {}});
  link.queue.push_back({LinkEvent::Received, 1, hello + "\x04word"});
  host.Frame(0, p.keys);
  ASSERT_EQ(link.sent.size(), 1u);
  // The refusal is in the older form, which that joiner can read.
  std::string refuse = link.sent[0];
  EXPECT_EQ(refuse[2], 2);
  refuse[2] = static_cast<char>(kProtocolVersion);
  Message m;
  ASSERT_EQ(Decode(refuse, m), ReadResult::Ok);
  EXPECT_EQ(m.type, Type::Refuse);
  EXPECT_EQ(m.text, "the host plays another version");
  EXPECT_TRUE(link.closed);
  EXPECT_EQ(host.TakeNotices(),
            std::vector<std::string>{"refused a joiner: the host plays another version"});

  // A joiner of this version hearing from an older host.
  HandLink toHost;
  Session joiner(toHost, SessionOptions{}, p.screen, p.sound);
  toHost.queue.push_back({LinkEvent::Connected, 1, {}});
  Message welcome;
  welcome.type = Type::Welcome;
  welcome.seats = 2;
  std::string old = Encode(welcome);
  old[2] = 2;
  toHost.queue.push_back({LinkEvent::Received, 1, old});
  joiner.Frame(0, p.keys);
  EXPECT_EQ(joiner.EndReason(), "the host plays another version of the game");
}

TEST(NetGuard, SilentLinksAreClosedInTimeAndAPlayerStillGetsIn) {
  SessionOptions host;
  host.helloUs = 1000000;
  NetMatch match(22, 12, LinkConditions{2000, 0, 0, 0}, host, 0);
  // Ten links that never speak, and one that says hello but never answers.
  for (int n = 1; n <= 10; ++n) match.Network().Connect(0, n, LinkConditions{2000, 0, 0, 0});
  LinkId half = 0;
  match.Network().Connect(11, 0, LinkConditions{2000, 0, 0, 0});
  auto& h = *match.Peers()[0];
  for (int f = 0; f < 10; ++f) {
    match.Network().AdvanceTo(match.Now() + 20000);
    LinkEvent e;
    while (match.Peers()[11]->transport->Poll(e)) {
      if (e.kind != LinkEvent::Connected) continue;
      half = e.link;
      Message hello;
      hello.type = Type::Hello;
      match.Peers()[11]->transport->Send(half, Encode(hello), Delivery::Reliable);
    }
    h.session->Frame(match.Now(), h.keys);
  }
  EXPECT_NE(half, 0u);
  EXPECT_EQ(h.session->Stats().strangersClosed, 0);
  for (int f = 0; f < 50; ++f) {
    match.Network().AdvanceTo(match.Now() + 20000);
    h.session->Frame(match.Now(), h.keys);
  }
  EXPECT_EQ(h.session->Stats().strangersClosed, 11);
  int64_t took = 0;
  EXPECT_EQ(TryPassword(match, 1, "", took), "in");
  EXPECT_EQ(h.session->TakenSeats(), 0x03);
}

}  // namespace
