// An online match started from the start screen: Escape asks while the match runs on for the
// others, and after a match of rounds the host's choice is everyone's.
#include <gtest/gtest.h>

#include <functional>

#include "app/front/MenuTarget.h"
#include "net/SimNetwork.h"
#include "platform/PadKeys.h"
#include "render/Raster.h"

namespace {

using tb::net::Phase;
using tb::net::Session;

// A host and a joiner of a match of one short round, each behind its guard, on a virtual clock.
struct GuardedPair {
  tb::net::SimNetwork net{3};
  tb::Raster hostScreen{582, 555}, joinScreen{582, 555};
  tb::SilentSound sound;
  tb::net::MaskKeyState noKeys;
  int64_t now = 0;
  std::unique_ptr<Session> host, join;
  std::unique_ptr<tb::OnlineTarget> hostTarget, joinTarget;
  std::unique_ptr<tb::front::OnlineGuard> hostGuard, joinGuard;

  GuardedPair() {
    tb::net::SessionOptions o;
    o.rounds = 1;
    o.roundTicks = 60;
    o.host = true;
    o.seed = 5;
    host = std::make_unique<Session>(net.AddNode(), o, hostScreen, sound);
    o.host = false;
    join = std::make_unique<Session>(net.AddNode(), o, joinScreen, sound);
    tb::OnlineScreen screen;
    screen.nowUs = [this] { return now; };
    hostTarget = std::make_unique<tb::OnlineTarget>(*host, noKeys, 0, screen);
    joinTarget = std::make_unique<tb::OnlineTarget>(*join, noKeys, 0, screen);
    hostGuard = std::make_unique<tb::front::OnlineGuard>(
        *hostTarget, *host, true, [] { return uint64_t{99}; }, nullptr);
    joinGuard =
        std::make_unique<tb::front::OnlineGuard>(*joinTarget, *join, false, nullptr, nullptr);
    net.Connect(0, 1, tb::net::LinkConditions{10000, 2000, 0, 0});
  }
  // Frames of both until `done` holds or a bound is reached; false at the bound.
  bool Until(const std::function<bool()>& done, int frames = 3000) {
    for (int f = 0; f < frames; ++f) {
      if (done()) return true;
      now += 10000;
      net.AdvanceTo(now);
      (f % 2 == 0 ? *hostGuard : *joinGuard).Tick();
    }
    return done();
  }
  // Gathered and started by the host's Enter.
  void Start() {
    ASSERT_TRUE(Until([&] { return join->State() == Phase::Waiting; }));
    hostGuard->KeyDown(tb::vk::kReturn, 0);
    ASSERT_EQ(host->State(), Phase::Playing);
    ASSERT_TRUE(Until([&] { return join->State() == Phase::Playing; }));
  }
  bool BothChoosing() { return hostGuard->Choosing() && joinGuard->Choosing(); }
};

TEST(OnlineGuard, TheHostPlaysAgainThenGoesBackAndTheJoinerFollows) {
  GuardedPair p;
  p.Start();
  // Escape asks; the match runs on meanwhile; another key plays on.
  p.joinGuard->KeyDown(tb::vk::kEscape, 0);
  EXPECT_TRUE(p.joinGuard->Asking());
  const int64_t before = p.join->Game()->Tick();
  ASSERT_TRUE(p.Until([&] { return p.join->Game()->Tick() > before + 10; }));
  p.joinGuard->KeyDown(tb::vk::kA, 0);
  EXPECT_FALSE(p.joinGuard->Asking());
  EXPECT_FALSE(p.joinGuard->Closed());
  ASSERT_TRUE(p.Until([&] { return p.BothChoosing(); }));
  // The joiner's keys choose nothing; the host's Enter plays again with a new seed.
  p.joinGuard->KeyDown(tb::vk::kReturn, 0);
  EXPECT_EQ(p.host->MatchNumber(), 1);
  p.hostGuard->KeyDown(tb::vk::kReturn, 0);
  EXPECT_EQ(p.host->MatchNumber(), 2);
  EXPECT_FALSE(p.hostGuard->Choosing());
  ASSERT_TRUE(p.Until([&] { return p.join->MatchNumber() == 2; }));
  EXPECT_FALSE(p.joinGuard->Choosing());
  // Then back, chosen by the controller: everyone returns to the start screen.
  ASSERT_TRUE(p.Until([&] { return p.BothChoosing(); }));
  p.hostGuard->PadPressed(tb::PadButton::kDown);
  p.hostGuard->PadPressed(tb::PadButton::kA);
  EXPECT_TRUE(p.hostGuard->Closed());
  ASSERT_TRUE(p.Until([&] { return p.joinGuard->Closed(); }));
  EXPECT_TRUE(p.join->WentBack());
}

TEST(OnlineGuard, ASecondEscapeLeavesAndTheOthersSeeTheSeatGo) {
  GuardedPair p;
  p.Start();
  // The pad drives its seat during the match: only Escape's question takes it.
  p.joinGuard->PadPressed(tb::PadButton::kB);
  EXPECT_FALSE(p.joinGuard->Asking());
  p.joinGuard->KeyDown(tb::vk::kEscape, 0);
  p.joinGuard->KeyDown(tb::vk::kEscape, 0);
  EXPECT_TRUE(p.joinGuard->Closed());
  EXPECT_FALSE(p.hostGuard->Closed());
}

}  // namespace
