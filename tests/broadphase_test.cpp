#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "TestWorld.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "app/sim/StateDump.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "shell/SpatialIndex.h"

namespace {

bool BoundsTouch(const tb::Thing& a, const tb::Thing& b) {
  return tb::Module1::BoundsOverlap(tb::RoundToInt(tb::D(a.X)), tb::RoundToInt(tb::D(a.Y)),
                                    a.TrueLength(), a.TrueWidth(), tb::RoundToInt(tb::D(b.X)),
                                    tb::RoundToInt(tb::D(b.Y)), b.TrueLength(), b.TrueWidth());
}

// Every pair the bounds test lets through is among the grid's candidates, wherever the things
// are (far off, on negative coordinates, saturated) and whatever their sizes, also after moves.
TEST(SpatialIndex, NeverMissesAPairTheBoundsTestWouldExamine) {
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
  std::vector<std::shared_ptr<tb::Thing>> things;
  tb::SpatialIndex grid;
  for (uint64_t i = 1; i <= 400; ++i) {
    auto t = std::make_shared<tb::Thing>(w.frm);
    t->Rectangle = r.Next() % 2 == 0;
    t->Width = static_cast<int32_t>(r.Next() % 120) - (r.Next() % 50 == 0 ? 200 : 0);
    t->Length = static_cast<int32_t>(r.Next() % (r.Next() % 20 == 0 ? 900 : 90));
    t->Radius = static_cast<int32_t>(r.Next() % 60);
    t->X = coordinate();
    t->Y = coordinate();
    grid.Insert(*t, i);
    things.push_back(t);
  }
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < things.size(); ++i) {
      std::vector<tb::SpatialIndex::Candidate> found;
      if (!grid.Near(*things[i], found)) continue;  // the caller then looks at everything
      std::vector<uint64_t> near;
      for (const auto& c : found) {
        EXPECT_EQ(grid.Get(c), things[c.seq - 1].get());
        near.push_back(c.seq);
      }
      EXPECT_TRUE(std::is_sorted(near.begin(), near.end()));
      for (size_t j = 0; j < things.size(); ++j) {
        if (i == j || !BoundsTouch(*things[i], *things[j])) continue;
        EXPECT_TRUE(std::binary_search(near.begin(), near.end(), j + 1))
            << "round " << round << ": " << i << " misses " << j;
      }
      EXPECT_FALSE(std::binary_search(near.begin(), near.end(), i + 1));
    }
    for (size_t i = 0; i < things.size(); i += 1 + round) {
      things[i]->X = coordinate();
      things[i]->Y = coordinate();
      grid.Refresh(*things[i]);
      if (i % 7 == 0) grid.Erase(*things[i]), grid.Insert(*things[i], i + 1);
    }
  }
}

// A crowded game, its vehicles wrecked and its tokens piling up, goes bit for bit the same
// whether collision queries use the grid or walk over every thing.
TEST(SpatialIndex, GridAndFullWalkPlayTheSameGame) {
  for (uint64_t seed : {2u, 11u}) {
    struct Run {
      explicit Run(uint64_t seed, tb::BroadPhase mode) : random(seed, true), players(seed) {
        form.ThingCollection.SetBroadPhase(mode);
        form.Load();
      }
      tb::Raster raster{582, 555};
      tb::sim::ScriptedKeys keys;
      tb::sim::RecordingSoundPlayer sound;
      tb::sim::SimClock clock{36000};
      tb::Pcg32 random;
      tb::MainFrm form{raster, keys, sound, clock, random, "."};
      tb::sim::RandomPlayers players;
      std::vector<std::string> sounds;
      void Tick(int64_t tick) {
        clock.SetTick(tick);
        players.Press(tick, keys);
        form.Timer1Tick();
        for (const auto& e : sound.Log()) sounds.push_back(e.path);
        sound.Clear();
      }
    };
    Run grid(seed, tb::BroadPhase::Always);
    Run walk(seed, tb::BroadPhase::Never);
    for (int64_t tick = 1; tick <= 6000; ++tick) {
      grid.Tick(tick);
      walk.Tick(tick);
      if (tick % 200 != 0) continue;
      ASSERT_EQ(tb::sim::WorldHash(grid.form, ""), tb::sim::WorldHash(walk.form, ""))
          << "seed " << seed << " tick " << tick;
      ASSERT_EQ(grid.sounds, walk.sounds) << "seed " << seed << " tick " << tick;
    }
    EXPECT_GT(grid.form.ThingCollection.Count(), 40u) << "the world should have filled up";
  }
}

// A thing whose look found nothing does not look again until something changes where it
// looks; a neighbour that creeps closer inside the same cells, or one born beside it, must
// still be met, and a skipped look leaves the contact state as a real one would.
TEST(SpatialIndex, AQuietThingLooksAgainWhenItsNeighbourhoodChanges) {
  tbtest::TestWorld w;
  w.frm.ThingCollection.SetBroadPhase(tb::BroadPhase::Always);
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
  w.frm.ThingCollection.Refresh(*far);
  EXPECT_FALSE(token->HitThings(true));
  block->X = 217;  // same cells, now touching
  block->FindPoints();
  w.frm.ThingCollection.Refresh(*block);
  EXPECT_TRUE(token->HitThings(true));

  auto lone = w.Round(tb::Ball, 100, 400, 10);
  EXPECT_FALSE(lone->HitThings(true));
  EXPECT_FALSE(lone->HitThings(true));
  w.Round(tb::Ball, 115, 400, 10);
  EXPECT_TRUE(lone->HitThings(true));
}

}  // namespace
