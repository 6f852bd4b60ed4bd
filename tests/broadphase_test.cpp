#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "FullArena.h"
#include "TestWorld.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/StateDump.h"
#include "geometry/CollisionGrid.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"

namespace {

bool BoundsTouch(const tb::Thing& a, const tb::Thing& b) {
  return tb::Module1::BoundsOverlap(tb::RoundToInt(tb::D(a.X)), tb::RoundToInt(tb::D(a.Y)),
                                    a.TrueLength(), a.TrueWidth(), tb::RoundToInt(tb::D(b.X)),
                                    tb::RoundToInt(tb::D(b.Y)), b.TrueLength(), b.TrueWidth());
}

// What the grid hands a query of t, in order; false when the query must walk everything.
bool Candidates(tb::CollisionGrid& grid, const tb::Thing& t, std::vector<const tb::Thing*>& out) {
  out.clear();
  tb::CollisionGrid::Query q(grid, t, false);
  if (!q.Indexed()) return false;
  while (const tb::Thing* p = q.Next()) out.push_back(p);
  return true;
}

// Every pair the bounds test lets through is among the grid's candidates, in walk order,
// wherever the things are (far off, on negative coordinates, saturated) and whatever their
// sizes, also after moves nobody reported and after a rebuild.
TEST(CollisionGrid, NeverMissesAPairTheBoundsTestWouldExamine) {
  tbtest::TestWorld w;
  tb::Pcg32 r(99, true);
  auto coordinate = [&] {
    switch (r.Next() % 8) {
      case 0:
        return static_cast<float>(r.Next() % 200000) - 100000.0f;
      case 1:
        return 3.0e9f;  // saturates when rounded
      case 2:
        return -40.5f + static_cast<float>(r.Next() % 3);
      default:
        return r.Draw() * 700.0f - 50.0f;
    }
  };
  tb::OrderedThings things;
  tb::CollisionGrid grid(things);
  grid.SetMode(tb::BroadPhase::Always);
  std::vector<std::shared_ptr<tb::Thing>> all;
  for (int i = 1; i <= 400; ++i) {
    auto t = std::make_shared<tb::Thing>(w.frm);
    t->ID = "T" + std::to_string(i);
    t->Rectangle = r.Next() % 2 == 0;
    t->Width = static_cast<int32_t>(r.Next() % 120) - (r.Next() % 50 == 0 ? 200 : 0);
    t->Length = static_cast<int32_t>(r.Next() % (r.Next() % 20 == 0 ? 900 : 90));
    t->Radius = static_cast<int32_t>(r.Next() % 60);
    t->X = coordinate();
    t->Y = coordinate();
    things.Add(t->ID, t);
    all.push_back(t);
  }
  std::vector<const tb::Thing*> found;
  for (int round = 0; round < 4; ++round) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (!things.Contains(all[i]->ID) || !Candidates(grid, *all[i], found)) continue;
      // Places in the walk order of the things handed out.
      std::vector<tb::Thing*> order = things.Items();
      std::vector<size_t> near;
      for (const tb::Thing* p : found)
        near.push_back(std::find(order.begin(), order.end(), p) - order.begin());
      EXPECT_TRUE(std::is_sorted(near.begin(), near.end()));
      std::sort(near.begin(), near.end());
      for (size_t j = 0; j < order.size(); ++j) {
        if (order[j] == all[i].get() || !BoundsTouch(*all[i], *order[j])) continue;
        EXPECT_TRUE(std::binary_search(near.begin(), near.end(), j))
            << "round " << round << ": " << i << " misses " << order[j]->ID;
      }
      EXPECT_EQ(std::count(found.begin(), found.end(), all[i].get()), 0);
    }
    // Moves from outside the game are seen when the next walk begins.
    for (size_t i = 0; i < all.size(); i += 1 + round) {
      all[i]->X = coordinate();
      all[i]->Y = coordinate();
      if (i % 7 == 0) {
        things.Remove(all[i]->ID);
        if (round % 2 == 0) things.Add(all[i]->ID, all[i]);
      }
    }
    if (round == 2) {
      grid.Rebuild();
    } else {
      things.Walk([](tb::Thing&) { return true; });
    }
  }
}

// The cells do not wrap: things far apart in a large arena are not each other's candidates.
TEST(CollisionGrid, ThingsFarApartInALargeArenaAreNotCandidates) {
  tbtest::TestWorld w(4096, 4096);
  w.frm.Grid.SetMode(tb::BroadPhase::Always);
  auto a = w.Round(tb::Ball, 100, 100, 10);
  std::vector<std::shared_ptr<tb::Thing>> far;
  for (float x : {100.0f, 2148.0f, 4000.0f})
    for (float y : {100.0f, 2148.0f, 4000.0f})
      if (x != 100.0f || y != 100.0f) far.push_back(w.Round(tb::Ball, x, y, 10));
  auto b = w.Round(tb::Ball, 125, 100, 10);
  std::vector<const tb::Thing*> found;
  ASSERT_TRUE(Candidates(w.frm.Grid, *a, found));
  EXPECT_EQ(found, std::vector<const tb::Thing*>{b.get()});
}

// A crowded game, its vehicles wrecked and its tokens piling up, goes bit for bit the same
// whether collision queries use the grid or walk over every thing, and when the grid is
// rebuilt from scratch now and then. Each world plays on its own, with its own contact state.
TEST(CollisionGrid, GridAndFullWalkPlayTheSameGame) {
  struct Run {
    Run(uint64_t seed, tb::BroadPhase mode) : random(seed, true), players(seed) {
      form.Grid.SetMode(mode);
      form.Load();
    }
    tb::Raster raster{582, 555};
    tb::sim::ScriptedKeys keys;
    tb::sim::RecordingSoundPlayer sound;
    tb::sim::SimClock clock{36000};
    tb::Pcg32 random;
    tb::MainFrm form{raster, keys, sound, clock, random, "."};
    tb::sim::RandomPlayers players;
  };
  struct Trace {
    std::vector<uint64_t> hashes;
    std::vector<std::string> sounds;
    size_t things = 0;
  };
  auto play = [](uint64_t seed, tb::BroadPhase mode, int rebuildEvery) {
    Run run(seed, mode);
    Trace trace;
    for (int64_t tick = 1; tick <= 6000; ++tick) {
      run.clock.SetTick(tick);
      run.players.Press(tick, run.keys);
      run.form.Timer1Tick();
      for (const auto& e : run.sound.Log()) trace.sounds.push_back(e.path);
      run.sound.Clear();
      if (rebuildEvery != 0 && tick % rebuildEvery == 0) run.form.Grid.Rebuild();
      if (tick % 200 == 0) trace.hashes.push_back(tb::sim::WorldHash(run.form, ""));
    }
    trace.things = run.form.ThingCollection.Count();
    return trace;
  };
  for (uint64_t seed : {2u, 11u}) {
    Trace walk = play(seed, tb::BroadPhase::Never, 0);
    EXPECT_GT(walk.things, 40u) << "the world should have filled up";
    for (int rebuildEvery : {0, 97}) {
      if (rebuildEvery != 0 && seed != 2) continue;  // one rebuilding run is enough
      Trace grid = play(seed, tb::BroadPhase::Always, rebuildEvery);
      EXPECT_EQ(grid.hashes, walk.hashes) << "seed " << seed << " rebuild " << rebuildEvery;
      EXPECT_EQ(grid.sounds, walk.sounds) << "seed " << seed << " rebuild " << rebuildEvery;
    }
  }
}

// Tokens trying places in an arena packed with tokens, two vehicles still in it: most tries
// end at a hit, some events find no place at all, some find one late or land on a vehicle.
// Every try plays the same sound, and the contact state and the world end the same, whether
// the looks use the grid or walk over every thing. Each world plays on its own.
TEST(CollisionGrid, TokensTryingPlacesInAFullArenaGoAsWithTheWalk) {
  struct Trace {
    std::vector<std::string> sounds;
    std::vector<uint64_t> hashes;
    std::vector<std::array<int32_t, 6>> contacts;
    size_t things = 0;
  };
  auto play = [](tb::BroadPhase mode) {
    tb::Raster raster{582, 555};
    tb::sim::ScriptedKeys keys;
    tb::sim::RecordingSoundPlayer sound;
    tb::sim::SimClock clock{36000};
    tbtest::EventRandom random(5);
    tb::MainFrm form{raster, keys, sound, clock, random, "."};
    form.Grid.SetMode(tb::BroadPhase::Always);
    form.Load();
    int64_t tick = 0;
    clock.SetTick(++tick);
    form.Timer1Tick();
    for (const char* colour : {"Red", "Yellow"})
      form.ThingCollection.Remove(form.Player(colour)->ID);
    for (int step : {17, 3}) tbtest::FillWithTokens(form, step);
    form.Grid.SetMode(mode);
    Trace trace;
    for (int event = 0; event < 6; ++event) {
      const int32_t issued = form.IssuedIDs();
      random.fire = true;
      clock.SetTick(++tick);
      form.Timer1Tick();
      EXPECT_GT(form.IssuedIDs(), issued) << "the event did not fire";
      for (const auto& e : sound.Log()) trace.sounds.push_back(e.path);
      sound.Clear();
      trace.hashes.push_back(tb::sim::WorldHash(form, ""));
      const tb::Module1::ContactState& c = tb::Module1::Contact;
      trace.contacts.push_back(
          {c.CrashPointX, c.CrashPointY, c.CornerHits, c.CentreInside, c.NearX, c.NearY});
    }
    trace.things = form.ThingCollection.Count();
    return trace;
  };
  const Trace walk = play(tb::BroadPhase::Never);
  const Trace grid = play(tb::BroadPhase::Always);
  EXPECT_GT(walk.things, 600u) << "the arena should be full";
  EXPECT_GT(walk.sounds.size(), 3u * tb::MainFrm::kMaxPlacementTries) << "events should fail";
  EXPECT_EQ(grid.sounds, walk.sounds);
  EXPECT_EQ(grid.hashes, walk.hashes);
  EXPECT_EQ(grid.contacts, walk.contacts);
}

// A thing whose look found nothing does not look again until something changes where it
// looks; a neighbour that creeps closer inside the same cells, one born beside it, or an
// explosion growing over it must still be met, and a skipped look leaves the contact state
// as a real one would.
TEST(CollisionGrid, AQuietThingLooksAgainWhenItsNeighbourhoodChanges) {
  tbtest::TestWorld w;
  w.frm.Grid.SetMode(tb::BroadPhase::Always);
  auto nextWalk = [&] { w.frm.ThingCollection.Walk([](tb::Thing&) { return true; }); };
  auto token = w.Round(tb::PowerUp, 200, 200, 8);
  auto block = w.Rect(tb::Block, 230, 200, 20, 20);  // 12 pixels from the token's rim
  auto far = w.Round(tb::Ball, 400, 400, 10);
  for (int i = 0; i < 3; ++i) {
    tb::Module1::Contact.CentreInside = true;
    EXPECT_FALSE(token->HitThings(false));
    EXPECT_FALSE(tb::Module1::Contact.CentreInside) << "look " << i;
  }
  EXPECT_EQ(token->Free, 3);
  far->X = 420;  // a change elsewhere changes nothing here
  nextWalk();
  EXPECT_FALSE(token->HitThings(true));
  block->X = 217;  // same cells, now touching
  block->FindPoints();
  nextWalk();
  EXPECT_TRUE(token->HitThings(true));

  auto lone = w.Round(tb::Ball, 100, 400, 10);
  EXPECT_FALSE(lone->HitThings(true));
  EXPECT_FALSE(lone->HitThings(true));
  w.Round(tb::Ball, 115, 400, 10);
  EXPECT_TRUE(lone->HitThings(true));

  // An explosion grows as it is drawn, without a look of its own, within one walk.
  auto ball = w.Round(tb::Ball, 300, 100, 10);
  nextWalk();
  EXPECT_FALSE(ball->HitThings(true));
  EXPECT_FALSE(ball->HitThings(true));
  w.frm.NewExplosion(300, 160, 200);
  tb::Thing* blast = w.frm.ThingCollection.Find("ID" + std::to_string(w.frm.IssuedIDs()));
  ASSERT_NE(blast, nullptr);
  EXPECT_FALSE(ball->HitThings(true));
  nextWalk();
  blast->Radius = 25;
  EXPECT_FALSE(ball->HitThings(true));
  blast->Radius = 50;
  EXPECT_TRUE(ball->HitThings(true));
}

}  // namespace

// Going back 8 ticks in an arena full of tokens and playing them again with other keys ends
// where playing those keys straight through ends: the same sounds, world, contact state and
// generator, tick by tick. The restore keeps the grid and its quiet looks where nothing
// differs; a grid rebuilt after each restore must give the same game too. Two vehicles drive
// and fire among the tokens, collecting some, so that things leave, come back and are born.
TEST(CollisionGrid, RollbackInAFullArenaGoesAsStraightPlay) {
  enum class Way { Straight, Restored, Rebuilt };
  struct Trace {
    std::vector<std::string> sounds;
    std::vector<uint64_t> hashes;
    // What the game reads of the contact state, and the generator's state. The foot point of
    // the latest miss is left out: nothing reads it, and a skipped quiet look leaves the one
    // before, so it follows which looks were skipped (also when a grid is rebuilt).
    std::vector<std::array<int32_t, 5>> contacts;
    size_t fewest = SIZE_MAX;
    int collected = 0;
  };
  // The keys of a tick, held for four ticks: Green and Blue steer, and fire now and then.
  auto press = [](uint64_t seed, int64_t tick, tb::sim::ScriptedKeys& keys) {
    tb::Pcg32 r(seed * 1000003 + static_cast<uint64_t>(tick / 4), true);
    keys.ReleaseAll();
    for (int seat : {0, 2}) {
      const tb::PlayerKeys& p = tb::kPlayerKeys[seat];
      const uint8_t steer[] = {p.Right, p.Left, p.Forward, p.Forward, p.Backward};
      keys.Press(steer[r.Next() % 5]);
      if (r.Next() % 8 == 0) keys.Press(p.Fire);
    }
  };
  auto play = [&press](Way way) {
    tb::Raster raster{582, 555};
    tb::sim::ScriptedKeys keys;
    tb::sim::RecordingSoundPlayer sound;
    tb::sim::SimClock clock{36000};
    tb::Pcg32 random(9, true);
    tb::MainFrm form{raster, keys, sound, clock, random, "."};
    form.Load();
    int64_t tick = 0;
    auto step = [&](uint64_t seed) {
      clock.SetTick(++tick);
      press(seed, tick, keys);
      form.Timer1Tick();
    };
    step(1);
    for (const char* colour : {"Red", "Yellow"})
      form.ThingCollection.Remove(form.Player(colour)->ID);
    tbtest::FillWithTokens(form, 17);
    sound.Clear();
    Trace trace;
    tb::Snapshot snap;
    for (int round = 0; round < 6; ++round) {
      if (way != Way::Straight) {
        form.TakeSnapshot(snap);
        const int64_t base = tick;
        for (int i = 0; i < 8; ++i) step(2);  // the guess
        sound.Clear();
        form.RestoreSnapshot(snap);
        if (way == Way::Rebuilt) form.Grid.Rebuild();
        tick = base;
      }
      for (int i = 0; i < 8; ++i) {
        const size_t before = form.ThingCollection.Count();
        step(3);
        trace.collected += form.ThingCollection.Count() < before;
        for (const auto& e : sound.Log()) trace.sounds.push_back(e.path);
        sound.Clear();
        trace.hashes.push_back(tb::sim::WorldHash(form, ""));
        const tb::Module1::ContactState& c = tb::Module1::Contact;
        trace.contacts.push_back({c.CrashPointX, c.CrashPointY, c.CornerHits, c.CentreInside,
                                  static_cast<int32_t>(random.SaveState())});
        trace.fewest = std::min(trace.fewest, form.ThingCollection.Count());
      }
    }
    return trace;
  };
  const Trace straight = play(Way::Straight);
  EXPECT_GT(straight.fewest, 650u) << "the arena should stay full";
  EXPECT_GT(straight.collected, 0) << "the vehicles should collect tokens";
  for (Way way : {Way::Restored, Way::Rebuilt}) {
    const Trace again = play(way);
    const int w = static_cast<int>(way);
    EXPECT_EQ(again.sounds, straight.sounds) << "way " << w;
    EXPECT_EQ(again.hashes, straight.hashes) << "way " << w;
    EXPECT_EQ(again.contacts, straight.contacts) << "way " << w;
  }
}
