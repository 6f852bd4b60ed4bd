// One code path online: a host and a joiner started from the start screen play, tick by tick,
// the game the same host and joiner started from the command line play, changed keys and all.
#include <gtest/gtest.h>

#include <optional>

#include "app/GameTargets.h"
#include "app/front/OnlineMatch.h"
#include "app/front/Settings.h"
#include "app/front/StartScreen.h"
#include "net/SimNetwork.h"
#include "render/Raster.h"
#include "state/Replay.h"
#include "state/ReplayPlayer.h"
#include "state/WorldHash.h"
#include "tests/front/FrontHelpers.h"

namespace {

using namespace fronttest;
using tb::cli::GameArgs;
using tb::net::Phase;
using tb::net::Session;

constexpr int64_t kTicks = 500;

// The keys of `table` held by a script of the tick each peer is about to play.
struct PeerKeys : tb::KeyState {
  tb::cli::KeyTable table;
  const Session* session = nullptr;
  bool IsKeyDown(uint8_t k) const override {
    const tb::net::RollbackGame* game = const_cast<Session*>(session)->Game();
    const int64_t tick = game != nullptr ? game->Tick() + 1 : 0;
    for (int s = 0; s < 4; ++s)
      for (int a = 0; a < 5; ++a)
        if (table[s][a] == k) return ((tick / 19 + s * 3 + a) % 7) < 2 + (a == 2);
    return false;
  }
};

// The world hash after each tick of a replay, played back.
std::vector<uint64_t> ReplayHashes(const std::string& bytes) {
  tb::Replay replay;
  std::string problem;
  EXPECT_TRUE(tb::ParseReplay(bytes, replay, problem)) << problem;
  tb::Raster raster(replay.Width, replay.Height);
  tb::match::ScoredCaption scored(raster);
  tb::SilentSound sound;
  tb::ReplayPlayer player(std::move(replay));
  tb::MainFrm form(scored, player.Keys(), sound, player.GameClock(), player.Random(), ".");
  std::optional<tb::match::Rounds> rounds;
  if (player.Data().Rounds > 0) {
    rounds.emplace(player.Data().Rounds, scored, player.Data().RoundTicks);
    player.SetRules(&*rounds);
  }
  player.Start(form);
  std::vector<uint64_t> hashes;
  while (!player.AtEnd() && player.Step(form, problem)) hashes.push_back(tb::WorldHash(form));
  EXPECT_EQ(problem, "");
  return hashes;
}

// The first ticks of the match a host with `hostArgs` and a joiner with `joinArgs` play over
// the in-process network, each peer's own record of them; players press `physical` keys.
std::array<std::vector<uint64_t>, 2> Online(const GameArgs& hostArgs, const GameArgs& joinArgs,
                                            const tb::cli::KeyTable& physical) {
  tb::net::SimNetwork net(7);
  tb::net::SimTransport& hostLink = net.AddNode();
  tb::net::SimTransport& joinLink = net.AddNode();
  tb::Raster hostScreen(582, 555), joinScreen(582, 555);
  tb::SilentSound sound;
  tb::net::SessionOptions ho = tb::front::OnlineOptions(hostArgs, 20261208, 43200.0, ".");
  tb::net::SessionOptions jo = tb::front::OnlineOptions(joinArgs, 1, 0, ".");
  ho.lastTick = jo.lastTick = kTicks;
  Session host(hostLink, ho, hostScreen, sound), join(joinLink, jo, joinScreen, sound);
  PeerKeys hostKeys, joinKeys;
  hostKeys.table = joinKeys.table = physical;
  hostKeys.session = &host;
  joinKeys.session = &join;
  const tb::front::OnlineKeys hostRead(hostArgs, hostKeys, hostKeys, nullptr);
  const tb::front::OnlineKeys joinRead(joinArgs, joinKeys, joinKeys, nullptr);
  net.Connect(0, 1, tb::net::LinkConditions{15000, 4000, 0.03, 0.02});
  bool started = false;
  int settle = 30;  // frames after the last tick, for the joiner to learn it is final
  for (int64_t f = 0; f < 20000 && settle > 0; ++f) {
    const int64_t now = f * 10000;  // the two machines' frames fall between each other's
    net.AdvanceTo(now);
    if (f % 2 == 0)
      host.Frame(now, hostRead.Keys());
    else
      join.Frame(now, joinRead.Keys());
    if (!started && join.State() == Phase::Waiting) started = host.Start();
    if (started && host.Game()->Synced() >= kTicks && join.Game() != nullptr &&
        join.Game()->Synced() >= kTicks)
      --settle;
  }
  EXPECT_EQ(settle, 0);
  EXPECT_EQ(host.State(), Phase::Playing) << host.EndReason();
  EXPECT_EQ(join.State(), Phase::Playing) << join.EndReason();
  std::array<std::vector<uint64_t>, 2> out;
  std::string bytes;
  if (host.ReplayBytes(bytes)) out[0] = ReplayHashes(bytes);
  if (join.ReplayBytes(bytes)) out[1] = ReplayHashes(bytes);
  return out;
}

TEST(SameGameOnline, HostAndJoinFromTheStartScreenMatchTheirCommandLines) {
  const std::string dir = Scratch("sameonline");
  tb::front::Settings s;
  s.hostSeats = {tb::front::HostSeat::kHere, tb::front::HostSeat::kFriend,
                 tb::front::HostSeat::kComputer, tb::front::HostSeat::kFriend};
  s.hostLevel = 2;
  s.hostRounds = 2;
  s.joinAddress = "127.0.0.1:24642";
  s.joinSeats = 0x02;
  s.keys = tb::front::LaptopKeys();
  const GameArgs menuHost = tb::front::StartScreen::HostArgs(s, "");
  GameArgs menuJoin;
  std::string problem;
  ASSERT_TRUE(tb::front::StartScreen::JoinArgs(s, menuJoin, problem)) << problem;
  ASSERT_TRUE(menuHost.customKeys && menuJoin.customKeys);  // changed keys hold online too

  tb::front::Settings file;
  file.keys = tb::front::LaptopKeys();
  ASSERT_TRUE(tb::front::SaveSettings(dir + "/keys.json", file, problem)) << problem;
  GameArgs cliHost = Cli({"--host", "--seats", "Green", "--bot", "Blue", "--bot-level", "hard",
                          "--rounds", "2", "--keys", dir + "/keys.json"});
  GameArgs cliJoin = Cli({"--join", "127.0.0.1", "--seats", "Red", "--keys", dir + "/keys.json"});
  ASSERT_TRUE(tb::front::ResolveKeysFile(cliHost, problem)) << problem;
  ASSERT_TRUE(tb::front::ResolveKeysFile(cliJoin, problem)) << problem;

  const auto laptop = tb::front::LaptopKeys();
  const auto fromScreen = Online(menuHost, menuJoin, laptop);
  ASSERT_GE(fromScreen[0].size(), static_cast<size_t>(kTicks));
  EXPECT_EQ(fromScreen[0], fromScreen[1]);  // one game on both peers
  const auto fromCli = Online(cliHost, cliJoin, laptop);
  for (int64_t t = 0; t < kTicks; ++t)
    ASSERT_EQ(fromScreen[0][t], fromCli[0][t]) << "tick " << t + 1;
  EXPECT_EQ(fromScreen[1], fromCli[1]);
  // The laptop layout drives as the keypad does in the game without options; with it the
  // keypad itself does nothing, so the keys really are read through the table online.
  GameArgs plainHost =
      Cli({"--host", "--seats", "Green", "--bot", "Blue", "--bot-level", "hard", "--rounds", "2"});
  GameArgs plainJoin = Cli({"--join", "127.0.0.1", "--seats", "Red"});
  EXPECT_EQ(Online(plainHost, plainJoin, tb::cli::StandardKeys())[0], fromScreen[0]);
  EXPECT_NE(Online(menuHost, menuJoin, tb::cli::StandardKeys())[0], fromScreen[0]);
}

}  // namespace
