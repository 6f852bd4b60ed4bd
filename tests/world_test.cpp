#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TestWorld.h"
#include "geometry/Numeric.h"

using namespace tb;

TEST(ThingCollection, WalkSurvivesRemovalsAndAppends) {
  tbtest::TestWorld w;
  std::vector<std::shared_ptr<Thing>> things;
  for (int i = 0; i < 6; ++i) things.push_back(w.Round(Ball, 10.0f * i, 0, 1));
  std::vector<std::string> seen;
  w.frm.ThingCollection.Walk([&](Thing& t) {
    seen.push_back(t.ID);
    if (t.ID == "ID2") {
      w.frm.ThingCollection.Remove("ID2");  // the current one
      w.frm.ThingCollection.Remove("ID3");  // the next one
      w.frm.ThingCollection.Remove("ID1");  // an earlier one
      w.frm.NewExplosion(0, 0, 100);        // appended: ID7
    }
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"ID1", "ID2", "ID4", "ID5", "ID6", "ID7"}));
  std::vector<std::string> left;
  for (Thing* t : w.frm.ThingCollection.Items()) left.push_back(t->ID);
  EXPECT_EQ(left, (std::vector<std::string>{"ID4", "ID5", "ID6", "ID7"}));
  EXPECT_EQ(w.frm.ThingCollection.Find("ID5"), things[4].get());
  // The last thing leaving while it is visited, and one born in the same step: still visited.
  seen.clear();
  w.frm.ThingCollection.Walk([&](Thing& t) {
    seen.push_back(t.ID);
    if (t.ID == "ID7") {
      w.frm.ThingCollection.Remove("ID7");
      w.frm.NewExplosion(5, 5, 100);  // ID8
    }
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"ID4", "ID5", "ID6", "ID7", "ID8"}));
  // IDs go on after removals and are never reused.
  w.frm.NewGrenade(1, 1, 0, 0, 100, "ID4");
  EXPECT_NE(w.frm.ThingCollection.Find("ID9"), nullptr);
  // Many removals squeeze the holes out without losing order or keys.
  for (int i = 0; i < 50; ++i) w.Round(Ball, 0, 0, 1);
  for (int i = 10; i < 59; i += 2) w.frm.ThingCollection.Remove("ID" + std::to_string(i));
  std::vector<Thing*> items = w.frm.ThingCollection.Items();
  for (size_t i = 1; i < items.size(); ++i)
    EXPECT_LT(std::stoi(items[i - 1]->ID.substr(2)), std::stoi(items[i]->ID.substr(2)));
  for (Thing* t : items) EXPECT_EQ(w.frm.ThingCollection.Find(t->ID), t);
}

TEST(Arena, PlacementOnTheDesignSize) {
  tbtest::TestWorld w;
  w.frm.Timer1Tick();
  std::vector<Thing*> items = w.frm.ThingCollection.Items();
  ASSERT_GE(items.size(), 12u);
  const float xs[] = {100, 482, 482, 100}, ys[] = {100, 100, 455, 455};
  const int32_t colours[] = {0x00FF00, 0x0000FF, 0xFF0000, 0x00FFFF};
  const char* names[] = {"Green", "Red", "Blue", "Yellow"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i]->ID, "ID" + std::to_string(i + 1));
    EXPECT_EQ(w.frm.Player(names[i]), items[i]);
    EXPECT_EQ(items[i]->Color, colours[i]);
    EXPECT_EQ(items[i]->Width, 30);
    EXPECT_EQ(items[i]->Length, 60);
    EXPECT_NEAR(items[i]->Angle, (2 * i + 1) * 3.1415927 / 4, 1e-6);
    // Nothing touches a vehicle at rest: it has not moved on the first tick.
    EXPECT_EQ(items[i]->X, xs[i]);
    EXPECT_EQ(items[i]->Y, ys[i]);
  }
  struct WallCase {
    float x, y;
    int32_t w, l;
  } walls[] = {
      {291, -50, 582, 100}, {291, 605, 582, 100}, {-50, 278, 100, 555}, {632, 278, 100, 555}};
  for (int i = 0; i < 4; ++i) {
    Thing* t = items[4 + i];
    EXPECT_EQ(t->ThingType(), Wall);
    EXPECT_EQ(t->X, walls[i].x);
    EXPECT_EQ(t->Y, walls[i].y);
    EXPECT_EQ(t->Width, walls[i].w);
    EXPECT_EQ(t->Length, walls[i].l);
    EXPECT_EQ(t->Color, 0x646464);
  }
  EXPECT_TRUE(w.frm.Started());
}

TEST(Arena, CountsRangesAndNoOverlapOverManySeeds) {
  for (int seed = 1; seed <= 40; ++seed) {
    tbtest::TestWorld w;
    w.random.rest = Pcg32(static_cast<uint64_t>(seed), true);
    if (seed == 1) w.random.queue = {std::nextafter(1.0f, 0.0f)};  // the most blocks
    w.frm.Timer1Tick();
    int blocks = 0, balls = 0;
    for (Thing* t : w.frm.ThingCollection.Items()) {
      if (t->ThingType() == Block) {
        ++blocks;
        int32_t g = t->Color & 255;
        EXPECT_EQ(t->Color, g * 65793);
        EXPECT_GE(g, 100);
        EXPECT_LE(g, 255);
        EXPECT_GE(t->Width, 20);
        EXPECT_LE(t->Length, 120);
      } else if (t->ThingType() == Ball) {
        ++balls;
        EXPECT_LE(t->Color, 155);
        EXPECT_GE(t->Radius, 5);
        EXPECT_LE(t->Radius, 55);
      }
    }
    EXPECT_GE(blocks, 3);
    EXPECT_LE(blocks, 12);
    if (seed == 1) {
      EXPECT_EQ(blocks, 12);
    }
    EXPECT_GE(balls, 1);
    EXPECT_LE(balls, 2);
    // Balls were placed last, against everything, and overlap nothing.
    for (Thing* t : w.frm.ThingCollection.Items())
      if (t->ThingType() == Ball) {
        EXPECT_FALSE(t->HitThings(true)) << "seed " << seed;
      }
  }
}

// Set-up retries are bounded for the arena as a whole: a window with room for no block
// spends the bound once, not once per block, and starts with what fits.
TEST(Arena, TinyAreaStartsWithFewerThingsInsteadOfHanging) {
  tbtest::TestWorld w(20, 20);
  int64_t thuds = 0;
  w.sound.onPlay = [&](const std::string&) {
    ++thuds;
    w.sound.paths.clear();  // a million rejected places: count them, keep none
  };
  w.frm.Timer1Tick();
  size_t count = w.frm.ThingCollection.Count();
  EXPECT_GE(count, 8u);   // vehicles and walls are never left out
  EXPECT_LT(count, 12u);  // most blocks and balls found no place
  EXPECT_GE(thuds, MainFrm::kSetUpPlacementTries);
  EXPECT_LE(thuds, MainFrm::kSetUpPlacementTries + 20);
  EXPECT_TRUE(w.frm.Started());
}

// An ordinary window and seed whose twelfth block needs some 30,000 tries still gets it,
// and then both balls.
TEST(Arena, SlowPlacementStillCompletesTheArena) {
  tbtest::TestWorld w;
  w.random.rest = Pcg32(44276, true);
  w.frm.Timer1Tick();
  int blocks = 0, balls = 0;
  for (Thing* t : w.frm.ThingCollection.Items()) {
    blocks += t->ThingType() == Block;
    balls += t->ThingType() == Ball;
  }
  EXPECT_EQ(blocks, 12);
  EXPECT_EQ(balls, 2);
  EXPECT_GT(w.sound.Count("/Sounds/thuds/thud"), 20000);
}

TEST(Controls, PriorityOrderAndFiring) {
  tbtest::TestWorld w;
  w.frm.Timer1Tick();
  Thing* green = w.frm.Player("Green");
  Thing* red = w.frm.Player("Red");
  auto held = [&](std::set<uint8_t> keys) {
    w.keys.down = keys;
    ThingAccess::RightTrackSpeed(*green) = 0;
    ThingAccess::LeftTrackSpeed(*green) = 0;
    w.clock.now += 5;
    w.random.queue = {0.5f};  // keep the random event away
    w.frm.Timer1Tick();
    // Positive for a right turn, negative for a left turn, zero for driving.
    return ThingAccess::TurnSpeed(*green);
  };
  EXPECT_GT(held({0x44, 0x41}), 0.0f);  // right beats left
  EXPECT_LT(held({0x41, 0x57}), 0.0f);  // left beats forward
  EXPECT_EQ(held({0x57, 0x53}), 0.0f);
  EXPECT_GT(ThingAccess::DriveSpeed(*green), 0.0f);  // forward beats backward
  size_t before = w.frm.ThingCollection.Count();
  held({0x44, 0x45, 0x4F});  // Green turns and fires; Red fires on the same tick
  ASSERT_EQ(w.frm.ThingCollection.Count(), before + 2);
  std::vector<Thing*> items = w.frm.ThingCollection.Items();
  EXPECT_EQ(items[items.size() - 2]->Launcher, green->ID);
  EXPECT_EQ(items[items.size() - 1]->Launcher, red->ID);
}

TEST(Spawning, RandomEventKindsAndTokenPlacement) {
  const std::pair<float, int32_t> cases[] = {{0.599f, ExtraGrenade},
                                             {0.6f, Invulnerability},
                                             {0.75f, SpeedBoost},
                                             {0.85f, BiggerBlast},
                                             {0.95f, Repair}};
  for (auto [r, kind] : cases) {
    tbtest::TestWorld w;
    w.frm.Timer1Tick();
    int32_t issued = w.frm.IssuedIDs();
    // Event fires (r = 0), sound, kind, then a free place well inside the arena.
    w.random.queue = {0.0f, 0.0f, r, 0.5f, 0.02f};
    w.sound.paths.clear();
    w.frm.Timer1Tick();
    ASSERT_EQ(w.sound.Count("/Sounds/random/random1.wav"), 1);
    Thing* token = w.frm.ThingCollection.Find("ID" + std::to_string(issued + 1));
    if (token == nullptr) continue;  // handed out on the spot
    EXPECT_EQ(token->ThingType(), PowerUp);
    EXPECT_EQ(token->PowerUpType(), kind) << r;
    EXPECT_EQ(token->Radius, 8);
  }

  // A token dropped on Green is taken once, and its placement ends there.
  tbtest::TestWorld w;
  w.frm.Timer1Tick();
  Thing* green = w.frm.Player("Green");
  w.random.queue = {0.0f, 0.0f, 0.0f, 100.0f / 582, 100.0f / 555};
  w.sound.paths.clear();
  w.frm.Timer1Tick();
  EXPECT_EQ(ThingAccess::Grenades(*green), 4);
  EXPECT_EQ(w.sound.Count("/Sounds/bubbles/bubble"), 1);
  for (Thing* t : w.frm.ThingCollection.Items()) EXPECT_NE(t->ThingType(), PowerUp);
}

TEST(Explosions, GrowPushAndVanish) {
  tbtest::TestWorld w;
  w.frm.Timer1Tick();
  w.frm.NewExplosion(291, 278, 100);
  Thing* e = w.frm.ThingCollection.Find("ID" + std::to_string(w.frm.IssuedIDs()));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Radius, 0);
  EXPECT_EQ(e->Color, 255);
  std::string id = e->ID;
  for (int tick = 1; tick <= 4; ++tick) {
    w.random.queue = {0.5f};
    w.frm.Timer1Tick();
    ASSERT_NE(w.frm.ThingCollection.Find(id), nullptr);
    EXPECT_EQ(e->Radius, 25 * tick);
    EXPECT_EQ(e->X, 291.0f);  // never moved
  }
  w.frm.Timer1Tick();
  EXPECT_EQ(w.frm.ThingCollection.Find(id), nullptr);

  // Below 25: gone on its first tick, never drawn.
  tbtest::TestWorld v;
  v.frm.Timer1Tick();
  v.frm.NewExplosion(5, 5, 20);
  v.random.queue = {0.5f};
  v.frm.Timer1Tick();
  EXPECT_EQ(v.frm.ThingCollection.Find("ID" + std::to_string(v.frm.IssuedIDs())), nullptr);
  EXPECT_NE(v.raster.PixelAt(5, 5), 255u);

  // The outward push: a ball right of an explosion's centre is driven right.
  tbtest::TestWorld u;
  auto ball = u.Round(Ball, 120, 100, 10);
  u.frm.NewExplosion(100, 100, 100);
  Thing* blast = u.frm.ThingCollection.Find("ID2");
  blast->Radius = 25;
  ball->HitThings(false);
  EXPECT_GT(ball->XSpeed, 0.0f);
}

TEST(Grenades, FuseBoundaryAndBlinking) {
  tbtest::TestWorld w;
  w.clock.now = 36100.4f;
  w.frm.NewGrenade(291, 278, 0, 0, 100, "ID0");
  std::shared_ptr<Thing> g = w.frm.ThingCollection.Share("ID1");
  ASSERT_EQ(ThingAccess::FuseTime(*g), 36102);
  w.clock.now = 36102.0f;  // equal: not yet
  g->Draw();
  ASSERT_TRUE(w.frm.ThingCollection.Contains("ID1"));
  EXPECT_GT(g->Color, 0);  // blinking red
  EXPECT_LE(g->Color, 255);
  w.clock.now = 36102.01f;
  g->Draw();
  EXPECT_FALSE(w.frm.ThingCollection.Contains("ID1"));
  EXPECT_EQ(w.sound.Count("/Sounds/bombs/bomb"), 1);
  Thing* e = w.frm.ThingCollection.Find("ID2");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->ThingType(), Explosion);
  EXPECT_EQ(e->X, 291.0f);
  EXPECT_EQ(e->ExplosionSize, 100);
  g->Draw();  // a second fuse check explodes nothing more
  EXPECT_EQ(w.sound.Count("/Sounds/bombs/bomb"), 1);
}

TEST(Scenario, GrenadeDestroysVehicleAndItsFireKeyThenDoesNothing) {
  tbtest::TestWorld w;
  w.frm.Timer1Tick();
  Thing* green = w.frm.Player("Green");
  Thing* red = w.frm.Player("Red");
  // Red waits right in front of Green, already worn.
  red->X = 100 + 70;
  red->Y = 100 + 70;
  red->FindPoints();
  ThingAccess::Damage(*red) = 244;
  w.keys.down = {0x45};
  bool destroyed = false;
  for (int tick = 0; tick < 200 && !destroyed; ++tick) {
    w.clock.now += 0.02f;
    w.random.queue = {0.5f};
    w.frm.Timer1Tick();
    destroyed = !w.frm.ThingCollection.Contains(red->ID);
  }
  ASSERT_TRUE(destroyed);
  EXPECT_GE(w.sound.Count("/Sounds/ricochets/ricochet"), 2);  // more than one hit
  EXPECT_GE(w.sound.Count("/Sounds/bombs/bomb"), 1);
  EXPECT_EQ(w.frm.Player("Red"), red);  // still a player
  EXPECT_TRUE(w.frm.ThingCollection.Contains(green->ID));
  w.keys.down = {0x4F};
  size_t sounds = w.sound.Count("/Sounds/guns/gun");
  for (int tick = 0; tick < 100; ++tick) {
    w.clock.now += 0.02f;
    w.random.queue = {0.5f};
    w.frm.Timer1Tick();
  }
  EXPECT_EQ(w.sound.Count("/Sounds/guns/gun"), sounds);
}

TEST(Tick, EscapeClosesWhateverTheShift) {
  tbtest::TestWorld w;
  w.frm.KeyDown(0x41, 0);
  EXPECT_FALSE(w.frm.Closed());
  w.frm.KeyDown(27, 1);
  EXPECT_TRUE(w.frm.Closed());
}
