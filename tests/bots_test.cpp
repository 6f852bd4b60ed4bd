// Computer drivers in hand-built scenes, their seats and keys, and matches of rounds.
#include <gtest/gtest.h>

#include <sstream>

#include "TestWorld.h"
#include "app/cli/CommandLine.h"
#include "app/sim/Simulator.h"
#include "bots/Driver.h"
#include "bots/Seats.h"
#include "match/Rounds.h"
#include "shell/Controls.h"

namespace {

using tb::ThingAccess;
using tb::bots::Choice;
using tb::bots::Driver;
using tb::bots::Level;
using tb::bots::Steer;
using tbtest::TestWorld;

tb::bots::View ViewOf(TestWorld& w) {
  tb::bots::View view;
  view.now = w.clock.now;
  view.width = w.raster.DrawableWidth();
  view.height = w.raster.DrawableHeight();
  for (const tb::Thing* t : w.frm.ThingCollection.Items()) view.things.push_back(t);
  return view;
}

// The choice after looking at the same scene for a few ticks, long enough to notice it.
Choice ThinkFor(Driver& d, TestWorld& w, const tb::Thing& self, int ticks) {
  Choice c;
  for (int i = 0; i < ticks; ++i) c = d.Think(ViewOf(w), self);
  return c;
}

struct Scene : TestWorld {
  Scene() {
    frm.BeginWithoutArena();
    clock.now = 36000.5f;
  }
};

TEST(DriverScenes, TurnsAwayFromAGrenadeAboutToBurstBesideIt) {
  Scene w;
  auto me = w.Rect(tb::Vehicle, 300, 280, 30, 60, 0);
  auto rival = w.Rect(tb::Vehicle, 500, 480, 30, 60, 0);
  auto grenade = w.Round(tb::Grenade, 290, 330, 15);
  grenade->Launcher = rival->ID;
  ThingAccess::FuseTime(*grenade) = 36001;  // half a second left, below and a bit behind
  Driver hard("Green", Level::Hard, 1);
  // Heading along +x with the grenade below: away is up, a turn to the left.
  EXPECT_EQ(ThinkFor(hard, w, *me, 4).steer, Steer::Left);
  // An easy driver has not noticed it yet after so short a while: it turns to the rival.
  Driver easy("Green", Level::Easy, 1);
  EXPECT_EQ(ThinkFor(easy, w, *me, 4).steer, Steer::Right);
}

TEST(DriverScenes, FiresAtARivalStraightAheadInRangeButNotWhileTheLaunchCools) {
  Scene w;
  // Backing away at full speed while facing the rival: the grenade leaves at 2 a tick and
  // bursts about 150 pixels ahead, just short of the rival.
  auto me = w.Rect(tb::Vehicle, 150, 280, 30, 60, 0);
  me->XSpeed = -8;
  auto rival = w.Rect(tb::Vehicle, 350, 280, 30, 60, 0);
  Driver hard("Green", Level::Hard, 7);
  EXPECT_TRUE(ThinkFor(hard, w, *me, 1).fire);
  // The same with the last launch half a second ago.
  ThingAccess::LastLaunchTime(*me) = 36000;
  Driver cooling("Green", Level::Hard, 7);
  EXPECT_FALSE(ThinkFor(cooling, w, *me, 1).fire);
  // And with the rival off to the side, nothing to fire at.
  ThingAccess::LastLaunchTime(*me) = 0;
  rival->Y = 480;
  rival->FindPoints();
  Driver aside("Green", Level::Hard, 7);
  EXPECT_FALSE(ThinkFor(aside, w, *me, 1).fire);
}

TEST(DriverScenes, DoesNotTurnWithACornerAgainstTheWallButDoesInTheOpen) {
  Scene w;
  // Along the top wall, 31 from it: a turn either way swings a corner of the 60-wide outline
  // (42 from the centre) into the wall at once. The rival lies below, a turn to the right.
  auto me = w.Rect(tb::Vehicle, 300, 31, 30, 60, 0);
  w.Rect(tb::Vehicle, 300, 480, 30, 60, 0);
  for (Level level : {Level::Easy, Level::Hard}) {
    Driver d("Green", level, 3);
    Steer s = ThinkFor(d, w, *me, 1).steer;
    EXPECT_NE(s, Steer::Right);
    EXPECT_NE(s, Steer::Left);
  }
  // In the open the same driver turns to its rival at once.
  me->Y = 200;
  me->FindPoints();
  Driver open("Green", Level::Hard, 3);
  EXPECT_EQ(ThinkFor(open, w, *me, 1).steer, Steer::Right);
}

TEST(DriverSeats, DriversHoldTheirSeatsKeysAndLeaveTheOthersToThePlayers) {
  tbtest::HeldKeys human;
  human.down.insert(0x44);  // Green turns right
  tb::Raster raster(582, 555);
  tbtest::ManualClock clock;
  tbtest::SoundLog sound;
  tbtest::QueuedRandom random;
  tb::bots::Seats seats(human, raster, clock);
  seats.Add("Red", Level::Normal, 5);
  seats.Add("Red", Level::Hard, 5);  // a seat keeps its first driver
  ASSERT_EQ(seats.Drivers().size(), 1u);
  tb::MainFrm frm(raster, seats, sound, clock, random, "/game");
  seats.Attach(frm);
  frm.Timer1Tick();
  // The player's key still counts; only Red's keys come from the driver.
  EXPECT_TRUE(seats.IsKeyDown(0x44));
  for (const tb::PlayerKeys& k : tb::kPlayerKeys) {
    if (std::string(k.Name) == "Red") continue;
    for (uint8_t key : {k.Right, k.Left, k.Forward, k.Backward, k.Fire})
      if (key != 0x44) {
        EXPECT_FALSE(seats.IsKeyDown(key)) << k.Name;
      }
  }
  int held = 0;
  const tb::PlayerKeys& red = tb::kPlayerKeys[1];
  for (uint8_t key : {red.Right, red.Left, red.Forward, red.Backward}) held += seats.IsKeyDown(key);
  EXPECT_LE(held, 1);
}

TEST(DriverSeats, SeatListsAndSeeds) {
  EXPECT_EQ(tb::bots::LastSeats(2), (std::vector<std::string>{"Yellow", "Blue"}));
  EXPECT_EQ(tb::bots::LastSeats(4).back(), "Green");
  std::vector<std::string> seats;
  std::string error;
  EXPECT_TRUE(tb::bots::ParseSeats("Red,Blue", seats, error));
  EXPECT_EQ(seats, (std::vector<std::string>{"Red", "Blue"}));
  EXPECT_FALSE(tb::bots::ParseSeats("Red,Purple", seats, error));
  EXPECT_NE(error.find("Purple"), std::string::npos);
  EXPECT_FALSE(tb::bots::ParseSeats("", seats, error));
  EXPECT_NE(tb::bots::DriverSeed(1, "Red"), tb::bots::DriverSeed(1, "Blue"));
  EXPECT_NE(tb::bots::DriverSeed(1, "Red"), tb::bots::DriverSeed(2, "Red"));
}

TEST(DriverOptions, GameCommandLine) {
  tb::cli::GameArgs args;
  std::string error;
  ASSERT_TRUE(tb::cli::Parse(
      {"--bots", "2", "--bot", "Green", "--bot-level", "hard", "--rounds", "3"}, args, error))
      << error;
  EXPECT_EQ(args.botSeats, (std::vector<std::string>{"Yellow", "Blue", "Green"}));
  EXPECT_EQ(args.botLevel, "hard");
  EXPECT_EQ(args.rounds, 3);
  for (std::vector<std::string> bad : {std::vector<std::string>{"--bots", "5"},
                                       {"--bots", "x"},
                                       {"--bot", "Pink"},
                                       {"--bot-level", "expert"},
                                       {"--rounds", "0"}}) {
    tb::cli::GameArgs a;
    EXPECT_FALSE(tb::cli::Parse(bad, a, error)) << bad[0] << ' ' << bad[1];
    EXPECT_NE(error.find(bad[0]), std::string::npos) << error;
  }
  EXPECT_NE(tb::cli::HelpText().find("--bot-level"), std::string::npos);
}

// Runs the simulator in-process and returns what it printed.
std::string Sim(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  EXPECT_EQ(tb::sim::SimMain(args, out, err), 0) << err.str();
  return out.str();
}

TEST(DriverDeterminism, SameSeedSameMatchAndDriversChangeNothingWithoutThem) {
  std::vector<std::string> bots = {"--seed", "9", "--ticks",     "400", "--hash",
                                   "--bots", "4", "--bot-level", "hard"};
  std::string first = Sim(bots);
  EXPECT_EQ(first, Sim(bots));
  std::string alone = Sim({"--seed", "9", "--ticks", "400", "--hash"});
  EXPECT_NE(first, alone);
  // Naming no seat is the game without drivers, draw for draw.
  EXPECT_EQ(alone, Sim({"--seed", "9", "--ticks", "400", "--hash", "--bots", "0"}));
}

struct RoundsWorld {
  tb::Raster raster{582, 555};
  tb::match::ScoredCaption caption{raster};
  tbtest::HeldKeys keys;
  tbtest::ManualClock clock;
  tbtest::SoundLog sound;
  tbtest::QueuedRandom random;
  tb::MainFrm frm{caption, keys, sound, clock, random, "/game"};

  void Destroy(const char* colour) { frm.ThingCollection.Remove(frm.Player(colour)->ID); }
};

TEST(Rounds, SurvivorScoresANewArenaFollowsAndTheLastRoundNamesTheWinner) {
  RoundsWorld w;
  tb::match::Rounds rounds(2, w.caption);
  EXPECT_EQ(w.raster.Caption(), "Form1 \u2014 Green 0 \u00b7 Red 0 \u00b7 Blue 0 \u00b7 Yellow 0");
  tb::PlayTick(w.frm, &rounds);
  ASSERT_TRUE(w.frm.Started());
  w.Destroy("Green");
  w.Destroy("Blue");
  w.Destroy("Yellow");
  tb::PlayTick(w.frm, &rounds);
  EXPECT_EQ(rounds.Scores()[1], 1);
  EXPECT_NE(w.raster.Caption().find("Green 0 \u00b7 Red 1 \u00b7"), std::string::npos);
  // Three seconds on, the same set-up builds a new arena; IDs go on counting.
  for (int i = 0; i < tb::match::Rounds::kPauseTicks; ++i) {
    EXPECT_EQ(rounds.Round(), 1);
    tb::PlayTick(w.frm, &rounds);
  }
  EXPECT_EQ(rounds.Round(), 2);
  int32_t issued = w.frm.IssuedIDs();
  tb::PlayTick(w.frm, &rounds);
  EXPECT_EQ(w.frm.Player("Green")->ID, "ID" + std::to_string(issued + 1));
  EXPECT_TRUE(w.frm.ThingCollection.Contains(w.frm.Player("Red")->ID));
  // Nobody left: nobody scores; the match is over and Red has won it.
  for (const char* c : {"Green", "Red", "Blue", "Yellow"}) w.Destroy(c);
  tb::PlayTick(w.frm, &rounds);
  for (int i = 0; i < tb::match::Rounds::kPauseTicks && !rounds.Over(); ++i)
    tb::PlayTick(w.frm, &rounds);
  ASSERT_TRUE(rounds.Over());
  EXPECT_EQ(rounds.Scores(), (std::array<int, 4>{0, 1, 0, 0}));
  EXPECT_NE(w.raster.Caption().find("Red wins"), std::string::npos) << w.raster.Caption();
  // Over: the game stands still.
  int drawn = w.random.drawn;
  tb::PlayTick(w.frm, &rounds);
  EXPECT_EQ(w.random.drawn, drawn);
}

TEST(Rounds, TimeUpGoesToTheLeastDamaged) {
  RoundsWorld w;
  tb::match::Rounds rounds(1, w.caption, 3);  // rounds of three ticks
  tb::PlayTick(w.frm, &rounds);
  ThingAccess::Damage(*w.frm.Player("Green")) = 30;
  ThingAccess::Damage(*w.frm.Player("Red")) = 20;
  ThingAccess::Damage(*w.frm.Player("Blue")) = 40;
  w.Destroy("Yellow");
  tb::PlayTick(w.frm, &rounds);
  tb::PlayTick(w.frm, &rounds);
  EXPECT_EQ(rounds.Scores(), (std::array<int, 4>{0, 1, 0, 0}));
  // A tie for the least damage scores nobody.
  tb::match::Rounds tied(1, w.caption, 1);
  ThingAccess::Damage(*w.frm.Player("Green")) = 20;
  tied.AfterTick(w.frm);
  EXPECT_EQ(tied.Scores(), (std::array<int, 4>{0, 0, 0, 0}));
}

}  // namespace
