#include <gtest/gtest.h>

#include <cmath>

#include "TestWorld.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"

using namespace tb;

TEST(HitThings, VehiclePairClangsAndSharesThePush) {
  tbtest::TestWorld w;
  auto a = w.Rect(Vehicle, 100, 100, 30, 60);
  auto b = w.Rect(Vehicle, 150, 105, 30, 60);  // front corners of a inside b
  a->XSpeed = 4;
  EXPECT_TRUE(a->HitThings(false));
  EXPECT_GE(w.sound.Count("/Sounds/clangs/clang"), 1);
  EXPECT_EQ(ThingAccess::LastHitID(*a), "ID2");
  EXPECT_GT(b->XSpeed, 0.0f);  // P took half of the relative push, forward
  EXPECT_LT(a->XSpeed, 4.0f);  // T the opposite half
  EXPECT_GT(ThingAccess::Damage(*b), 0);
  EXPECT_GE(ThingAccess::SeparationCount(*a), 1);
}

TEST(HitThings, BallAgainstWallThudsAndOnlyTheBallMoves) {
  tbtest::TestWorld w;
  auto wall = w.Rect(Wall, 632, 277, 100, 555, kPi / 2);
  auto ball = w.Round(Ball, 575, 277, 10);
  ball->XSpeed = 5;
  auto wallX = wall->PX();
  EXPECT_TRUE(ball->HitThings(false));
  EXPECT_GE(w.sound.Count("/Sounds/thuds/thud"), 1);
  EXPECT_EQ(wall->PX(), wallX);
  EXPECT_EQ(wall->X, 632.0f);
  EXPECT_LT(ball->XSpeed, 0.0f);  // bounced back
}

TEST(HitThings, OwnGrenadeIsIgnoredWhileFresh) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 200, 200, 30, 60);
  auto g = w.Round(Grenade, 200, 200, 15);
  g->Launcher = car->ID;
  for (int freeCount : {0, 1}) {
    g->Free = freeCount;
    car->Free = 0;
    EXPECT_FALSE(car->HitThings(true));
    EXPECT_EQ(car->Free, 0);  // an excused contact does not count as a free walk
  }
  EXPECT_TRUE(w.sound.paths.empty());
  g->Free = 2;
  EXPECT_TRUE(car->HitThings(true));
  EXPECT_EQ(w.sound.Count("/Sounds/ricochets/ricochet"), 1);

  w.sound.paths.clear();
  for (int freeCount : {0, 1, 2}) {
    g->Free = freeCount;
    EXPECT_FALSE(g->HitThings(true));
  }
  EXPECT_TRUE(w.sound.paths.empty());
  g->Free = 3;
  EXPECT_TRUE(g->HitThings(true));
}

// A token is taken once in either mode, whichever side of the pair runs the query, even with
// CornerHits left at 2 by an earlier polygon test.
TEST(HitThings, PowerUpIsTakenOnceInBothModesAndOrders) {
  for (bool justResults : {false, true}) {
    for (bool tokenAsks : {false, true}) {
      tbtest::TestWorld w;
      auto car = w.Rect(Vehicle, 200, 200, 30, 60);
      auto token = w.Round(PowerUp, 200, 200, 8);
      token->PowerUpType(ExtraGrenade);
      Module1::Contact.CornerHits = 2;
      EXPECT_FALSE((tokenAsks ? token : car)->HitThings(justResults));
      EXPECT_FALSE(w.frm.ThingCollection.Contains(token->ID));
      EXPECT_EQ(ThingAccess::Grenades(*car), 4) << justResults << tokenAsks;
      EXPECT_EQ(w.sound.Count("/Sounds/thuds/thud"), 1) << justResults << tokenAsks;
      EXPECT_EQ(w.sound.Count("/Sounds/bubbles/bubble"), 1) << justResults << tokenAsks;
      EXPECT_EQ(car->Free, tokenAsks ? 0 : 1);
    }
  }
}

TEST(HitThings, CheckOnlyStopsAtFirstHitAndKeepsState) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 200, 200, 40, 40);
  auto first = w.Round(Ball, 220, 200, 10);
  auto second = w.Round(Ball, 180, 200, 10);
  block->Free = 5;
  block->LastGoodX = 7;
  EXPECT_TRUE(block->HitThings(true));
  EXPECT_EQ(ThingAccess::LastHitID(*block), first->ID);
  EXPECT_EQ(w.sound.paths.size(), 1u);
  EXPECT_EQ(block->Free, 5);
  EXPECT_EQ(block->LastGoodX, 7);
  EXPECT_EQ(first->X, 220.0f);  // no response in a check-only query
  (void)second;

  // A clear walk counts as free and records the last clear position.
  auto lone = w.Rect(Block, 450.6f, 400.5f, 20, 20);
  EXPECT_FALSE(lone->HitThings(true));
  EXPECT_EQ(lone->Free, 1);
  EXPECT_EQ(lone->LastGoodX, 451);
  EXPECT_EQ(lone->LastGoodY, 400);
}

TEST(HitThings, IdsDifferingInCaseAreDifferentThings) {
  tbtest::TestWorld w;
  auto a = w.Rect(Block, 200, 200, 40, 40);
  auto twin = std::make_shared<Thing>(w.frm);
  twin->Width = 40;
  twin->Length = 40;
  twin->X = 210;
  twin->Y = 205;
  twin->ThingType(Block);
  twin->FindPoints();
  twin->ID = "id1";
  w.frm.ThingCollection.Add(twin->ID, twin);
  EXPECT_TRUE(a->HitThings(true));
  EXPECT_EQ(ThingAccess::LastHitID(*a), "id1");
}

TEST(Response, DamageThresholdAndInvulnerability) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 200, 200, 30, 60);
  ThingAccess::Damage(*car) = 240;
  car->GetHit(215, 200, 10.4f, 0);
  EXPECT_EQ(ThingAccess::Damage(*car), 250);
  EXPECT_TRUE(w.frm.ThingCollection.Contains(car->ID));
  ThingAccess::Damage(*car) = 240;
  car->GetHit(215, 200, 10.6f, 0);
  EXPECT_EQ(ThingAccess::Damage(*car), 251);
  EXPECT_FALSE(w.frm.ThingCollection.Contains(car->ID));
  EXPECT_EQ(w.sound.Count("/Sounds/bombs/bomb"), 1);
  car->GetHit(215, 200, 10.6f, 0);  // a wreck pushed again explodes no more
  EXPECT_EQ(w.sound.Count("/Sounds/bombs/bomb"), 1);
  EXPECT_EQ(w.frm.ThingCollection.Count(), 1u);  // the one explosion

  auto shielded = w.Rect(Vehicle, 400, 400, 30, 60);
  ThingAccess::Invulnerable(*shielded) = true;
  shielded->GetHit(400, 430, 20, 0);
  EXPECT_EQ(ThingAccess::Damage(*shielded), 0);
  EXPECT_EQ(shielded->X, 420.0f);
  EXPECT_NE(shielded->Angle, 0.0f);
}

TEST(Response, TurnsOfRectangles) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 100, 100, 30, 30);
  block->GetHit(110, 100, -5, 0);  // level with the centre, straight in: no turn
  EXPECT_EQ(ThingAccess::TurnSpeed(*block), 0.0f);
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*block), 0.0f);
  EXPECT_EQ(block->X, 95.0f);
  EXPECT_EQ(block->XSpeed, -5.0f);

  // Swinging the crash point across direction 0 gives a turn of nearly a full circle,
  // whose track correction is clamped.
  auto car = w.Rect(Vehicle, 300, 300, 30, 60);
  car->GetHit(310, 301, 0, -2);
  float a1 = Module1::AngleTo(300, 300, 310, 301);
  float a2 = Module1::AngleTo(300, 300, 310, 299);
  EXPECT_GT(a2, 6.0f);
  EXPECT_EQ(ThingAccess::TurnSpeed(*car), F(D(a2) - D(a1)));
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*car), -8.0f);
  EXPECT_EQ(ThingAccess::LeftTrackSpeed(*car), 8.0f);
  EXPECT_EQ(car->Angle, F(D(a2) - D(a1)));
}

TEST(Response, BallBounceOffWall) {
  tbtest::TestWorld w;
  auto ball = w.Round(Ball, 100, 100, 10);
  ball->XSpeed = 5;
  Module1::Contact.CentreInside = false;
  ball->GetHit(110, 100, -5, 0);
  EXPECT_FLOAT_EQ(ball->Angle, kPi);
  EXPECT_NEAR(ball->XSpeed, -3.0f, 1e-6);
  EXPECT_NEAR(ball->YSpeed, 0.0f, 1e-6);
  EXPECT_NEAR(ball->X, 97.0f, 1e-5);

  auto wall = w.Rect(Wall, 300, 300, 50, 50);
  auto before = wall->PX();
  wall->GetHit(300, 300, 50, 50);
  EXPECT_EQ(wall->PX(), before);
  EXPECT_EQ(wall->X, 300.0f);
}

TEST(Response, SeparationCountsCapAndTitle) {
  tbtest::TestWorld w;
  // Deep inside a huge wall: eight nudges (255 units) cannot free it.
  auto wall = w.Rect(Wall, 0, 0, 2000, 2000);
  auto block = w.Rect(Block, 0, 0, 40, 40);
  block->LastGoodX = 0;
  block->LastGoodY = 0;
  EXPECT_TRUE(block->HitThings(false));
  int32_t total = ThingAccess::SeparationTotal(*block);
  int32_t count = ThingAccess::SeparationCount(*block);
  ASSERT_GE(count, 1);
  EXPECT_EQ(total, 256 * count);
  EXPECT_EQ(w.raster.Caption(), "256");
  EXPECT_EQ(wall->X, 0.0f);  // walls are never nudged
}

// A vehicle destroyed by the first push of a deep contact is examined again: a second
// clang and push, more damage, and still a single explosion.
TEST(HitThings, DestroyedPartnerIsExaminedASecondTime) {
  tbtest::TestWorld w;
  auto a = w.Rect(Vehicle, 100, 300, 30, 60);
  auto b = w.Rect(Vehicle, 140, 310, 30, 60);
  a->XSpeed = 20;
  ThingAccess::Damage(*b) = 245;
  std::vector<int32_t> damageAtClang;
  w.sound.onPlay = [&](const std::string& p) {
    if (p.find("/Sounds/clangs/clang") != std::string::npos)
      damageAtClang.push_back(ThingAccess::Damage(*b));
  };
  EXPECT_TRUE(a->HitThings(false));
  ASSERT_EQ(damageAtClang.size(), 2u);
  EXPECT_EQ(damageAtClang[0], 245);
  EXPECT_GT(damageAtClang[1], 250);  // destroyed by the first push
  EXPECT_GT(ThingAccess::Damage(*b), damageAtClang[1]);
  EXPECT_EQ(w.sound.Count("/Sounds/bombs/bomb"), 1);
  EXPECT_FALSE(w.frm.ThingCollection.Contains(b->ID));
  int explosions = 0;
  for (Thing* t : w.frm.ThingCollection.Items()) explosions += t->ThingType() == Explosion;
  EXPECT_EQ(explosions, 1);
}
