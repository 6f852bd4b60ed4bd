// One code path: for each choice, the start screen and the command line give arguments that
// the one set-up of a local match turns into the same first 500 ticks.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "app/GameTargets.h"
#include "app/front/LocalMatch.h"
#include "app/front/Settings.h"
#include "app/front/StartScreen.h"
#include "render/Raster.h"
#include "shell/Controls.h"
#include "state/WorldHash.h"
#include "tests/front/FrontHelpers.h"

namespace {

using namespace fronttest;
using tb::front::Outcome;
using tb::front::StartScreen;

// Keys held by a script of the tick: every player's keys in turn, some together.
struct ScriptedKeys : tb::KeyState {
  const tb::cli::KeyTable table;
  long tick = 0;
  explicit ScriptedKeys(const tb::cli::KeyTable& t) : table(t) {}
  bool IsKeyDown(uint8_t k) const override {
    for (int s = 0; s < 4; ++s)
      for (int a = 0; a < 5; ++a)
        if (table[s][a] == k) return ((tick / 23 + s * 3 + a) % 7) < 2 + (a == 2);
    return false;
  }
};

struct FixedClock : tb::Clock {
  float now = 43200.0f;
  float Now() override { return now += 0.02f; }
};

// The world hash after each of the first 500 ticks of the match `args` starts, with the
// players pressing `physical` keys.
std::vector<uint64_t> FirstTicks(const tb::cli::GameArgs& args, const tb::cli::KeyTable& physical,
                                 int ticks = 500) {
  tb::Raster raster(582, 555);
  ScriptedKeys keys(physical);
  FixedClock clock;
  tb::Pcg32 random(20261208, true);
  tb::SilentSound sound;
  tb::front::LocalMatch match(args, raster, keys, keys, nullptr, clock, random, sound, ".");
  std::string problem;
  EXPECT_TRUE(match.Start(problem)) << problem;
  tb::MatchTarget target(match.Form(), match.Rounds(), match.Recording());
  std::vector<uint64_t> hashes;
  for (keys.tick = 0; keys.tick < ticks; ++keys.tick) {
    target.Tick();
    hashes.push_back(tb::WorldHash(match.Form(), raster.Caption()));
  }
  EXPECT_TRUE(match.Finish());
  return hashes;
}

Outcome Chosen(StartScreen& s, std::initializer_list<uint8_t> keys) {
  Press(s, keys);
  Outcome o = s.TakeOutcome();
  EXPECT_EQ(o.kind, Outcome::kStart);
  return o;
}

struct Case {
  const char* name;
  std::vector<uint8_t> keys;      // pressed on the start screen from its first page
  std::vector<std::string> argv;  // the command line for the same choice
};

TEST(SameGame, EachChoiceOfPlayHereMatchesItsCommandLine) {
  const std::vector<Case> cases = {
      {"plain", {kEnter, kUp, kUp, kEnter}, {}},
      {"drivers and rounds",
       {kEnter, kDown, kRight, kRight, kRight, kDown, kRight, kDown, kLeft, kDown, kRight, kRight,
        kDown, kEnter},
       {"--bot", "Red,Blue", "--level", "Red:hard", "--level", "Blue:easy", "--empty", "Yellow",
        "--rounds", "2"}},
      {"all computer",
       {kEnter, kRight, kRight, kDown, kRight, kRight, kDown, kRight, kRight, kDown, kRight, kRight,
        kDown, kDown, kEnter},
       {"--bot", "Green,Red,Blue,Yellow"}},
      {"one empty seat", {kEnter, kLeft, kUp, kUp, kEnter}, {"--empty", "Green"}},
  };
  std::set<uint64_t> lastHashes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartScreen s(tb::front::Settings{}, {});
    for (uint8_t k : c.keys) s.Key(k);
    Outcome o = s.TakeOutcome();
    ASSERT_EQ(o.kind, Outcome::kStart);
    const tb::cli::GameArgs cli = Cli(c.argv);
    EXPECT_TRUE(tb::cli::SameGame(o.args, cli));
    const auto fromScreen = FirstTicks(o.args, tb::cli::StandardKeys());
    const auto fromCli = FirstTicks(cli, tb::cli::StandardKeys());
    EXPECT_EQ(fromScreen, fromCli);
    lastHashes.insert(fromScreen.back());
  }
  // The choices really are different games, so the comparison above can fail.
  EXPECT_EQ(lastHashes.size(), cases.size());
}

TEST(SameGame, ChangedKeysMatchAKeysFileAndDriveAsTheGamesOwnDo) {
  const std::string dir = Scratch("samekeys");
  StartScreen s(tb::front::Settings{}, {});
  Repeat(s, kDown, 5);
  Press(s, {kEnter, kEnter, kEsc});  // Keys: the laptop layout, back
  Outcome o = Chosen(s, {kEnter, kUp, kUp, kEnter});
  ASSERT_TRUE(o.args.customKeys);

  tb::front::Settings file;
  file.keys = tb::front::LaptopKeys();
  std::string problem;
  ASSERT_TRUE(tb::front::SaveSettings(dir + "/keys.json", file, problem));
  tb::cli::GameArgs cli = Cli({"--keys", dir + "/keys.json"});
  ASSERT_TRUE(tb::front::ResolveKeysFile(cli, problem)) << problem;
  EXPECT_TRUE(tb::cli::SameGame(o.args, cli));

  const auto laptop = tb::front::LaptopKeys();
  const auto fromScreen = FirstTicks(o.args, laptop);
  EXPECT_EQ(fromScreen, FirstTicks(cli, laptop));
  // T, F, G, H and Y play Yellow exactly as the keypad does in the plain game.
  EXPECT_EQ(fromScreen, FirstTicks(Cli({}), tb::cli::StandardKeys()));
  // And the keypad no longer does anything with the laptop layout.
  EXPECT_NE(FirstTicks(o.args, tb::cli::StandardKeys()), fromScreen);
}

TEST(SameGame, RecordingEveryMatchWritesWhatTheCommandLineWrites) {
  const std::string dir = Scratch("samerecord");
  tb::front::StartScreenServices services;
  services.replayFolder = dir;
  services.recordName = [] { return std::string("screen"); };
  StartScreen s(tb::front::Settings{}, services);
  Press(s, {kDown, kDown, kDown, kEnter, kEnter, kEsc});  // record every match
  Outcome o = Chosen(s, {kEnter, kDown, kRight, kDown, kDown, kDown, kRight, kDown, kEnter});
  const tb::cli::GameArgs cli =
      Cli({"--bot", "Red", "--level", "Red:easy", "--rounds", "1", "--record", dir + "/cli.tbr"});
  EXPECT_EQ(o.args.recordPath, dir + "/screen.tbr");
  EXPECT_EQ(FirstTicks(o.args, tb::cli::StandardKeys()), FirstTicks(cli, tb::cli::StandardKeys()));
  auto read = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  };
  const std::string a = read(dir + "/screen.tbr"), b = read(dir + "/cli.tbr");
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(a, b);
}

TEST(PlayerKeyMap, EmptySeatsAnswerNothingAndControllersKeepTheirCodes) {
  struct Held : tb::KeyState {
    std::set<uint8_t> down;
    bool IsKeyDown(uint8_t k) const override { return down.count(k) != 0; }
  } keyboard, pads;
  const tb::cli::KeyTable laptop = tb::front::LaptopKeys();
  tb::front::PlayerKeyMap map(keyboard, &pads, laptop, 0x01);  // Green empty
  keyboard.down = {'T', 'W'};
  EXPECT_TRUE(map.IsKeyDown(tb::kPlayerKeys[3].Forward));   // Yellow by T
  EXPECT_FALSE(map.IsKeyDown(tb::kPlayerKeys[0].Forward));  // Green is nobody's
  EXPECT_FALSE(map.IsKeyDown('T'));                         // not a key the game asks for
  pads.down = {tb::kPlayerKeys[2].Fire};                    // a controller on Blue presses keypad 0
  EXPECT_TRUE(map.IsKeyDown(tb::kPlayerKeys[2].Fire));
  pads.down = {tb::kPlayerKeys[0].Fire};
  EXPECT_FALSE(map.IsKeyDown(tb::kPlayerKeys[0].Fire));
}

}  // namespace
