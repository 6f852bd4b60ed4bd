#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TestWorld.h"
#include "geometry/Numeric.h"
#include "render/Sound.h"

using namespace tb;

TEST(ThingRecord, DefaultsAndKindSetters) {
  tbtest::TestWorld w;
  Thing t(w.frm);
  EXPECT_EQ(t.ThingType(), Vehicle);
  EXPECT_FALSE(t.Rectangle);
  EXPECT_EQ(ThingAccess::Friction(t), 0.0f);
  EXPECT_EQ(ThingAccess::MaxSpeed(t), 8.0f);
  EXPECT_EQ(ThingAccess::Grenades(t), 3);
  EXPECT_EQ(t.ExplosionSize, 100);

  Thing ball(w.frm);
  ball.Color = 255;
  ball.Radius = 12;
  ball.ThingType(Ball);
  EXPECT_EQ(ball.Color, 255);
  EXPECT_EQ(ball.Radius, 12);
  EXPECT_EQ(ThingAccess::Friction(ball), 0.001f);
  EXPECT_EQ(ball.TrueWidth(), 24);
  EXPECT_EQ(ball.TrueLength(), 24);

  Thing grenade(w.frm);
  grenade.Color = 255;
  w.clock.now = 100.4f;
  grenade.ThingType(Grenade);
  EXPECT_EQ(grenade.Color, 0);
  EXPECT_EQ(grenade.Radius, 15);
  EXPECT_EQ(ThingAccess::FuseTime(grenade), 102);
  w.clock.now = 100.5f;
  grenade.ThingType(Grenade);
  EXPECT_EQ(ThingAccess::FuseTime(grenade), 102);  // 102.5 to even
  w.clock.now = 100.6f;
  grenade.ThingType(Grenade);
  EXPECT_EQ(ThingAccess::FuseTime(grenade), 103);

  Thing car(w.frm);
  car.Width = 30;
  car.Length = 60;
  car.ThingType(Vehicle);
  EXPECT_TRUE(car.Rectangle);
  EXPECT_EQ(ThingAccess::Friction(car), 0.1f);
  EXPECT_EQ(car.TrueWidth(), 90);
  EXPECT_EQ(car.TrueLength(), 60);
  Thing block(w.frm);
  block.Width = 40;
  block.ThingType(Block);
  EXPECT_EQ(block.TrueWidth(), 40);

  Thing token(w.frm);
  token.Color = 1234;
  token.PowerUpType(7);
  EXPECT_EQ(token.Color, 1234);
  const int32_t colours[] = {65535, 16711680, 65280, 16777215, 255};
  for (int k = 0; k < 5; ++k) {
    token.PowerUpType(k);
    EXPECT_EQ(token.Color, colours[k]);
  }
  Thing explosion(w.frm);
  explosion.ThingType(Explosion);
  EXPECT_EQ(explosion.Color, 255);
}

TEST(Driving, FirstStepsFromRestWithClampAndTreads) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 100, 100, 30, 60);
  car->MoveForward();
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*car), 0.77f);
  EXPECT_EQ(ThingAccess::LeftTrackSpeed(*car), 0.77f);
  car->Move();
  EXPECT_EQ(ThingAccess::DriveSpeed(*car), 0.77f);
  EXPECT_EQ(car->X, 100.77f);
  EXPECT_EQ(car->Y, 100.0f);
  EXPECT_EQ(car->Angle, 0.0f);
  EXPECT_FLOAT_EQ(ThingAccess::RightTrackSpeed(*car), 0.693f);
  // The tread pattern moved back by the speed and wrapped by 8.
  EXPECT_FLOAT_EQ(ThingAccess::RightTreadOffset(*car), 8.0f - 0.77f);

  auto spinner = w.Rect(Vehicle, 300, 300, 30, 60);
  spinner->RotateRight();
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*spinner), -0.77f);
  EXPECT_EQ(ThingAccess::LeftTrackSpeed(*spinner), 0.77f);
  spinner->Move();
  EXPECT_EQ(ThingAccess::DriveSpeed(*spinner), 0.0f);
  EXPECT_NEAR(spinner->Angle, 1.54 / 60, 1e-7);

  // Holding the key never takes a track past MaxSpeed: (7.2 + 0.7) * 1.1 is cut to 8.
  ThingAccess::RightTrackSpeed(*car) = 7.2f;
  ThingAccess::LeftTrackSpeed(*car) = 7.2f;
  car->MoveForward();
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*car), 8.0f);
  // A speed above a fallen MaxSpeed is cut at its next write only.
  ThingAccess::MaxSpeed(*car) = 10.0f;
  ThingAccess::RightTrackSpeed(*car) = 11.5f;
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*car), 11.5f);
  car->RotateLeft();
  EXPECT_EQ(ThingAccess::RightTrackSpeed(*car), 10.0f);
}

TEST(Driving, TreadOffsetsWrapBothWays) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 300, 300, 30, 60);
  auto run = [&](float offset, float speed) {
    ThingAccess::RightTreadOffset(*car) = offset;
    ThingAccess::RightTrackSpeed(*car) = speed;
    car->Move();
    return ThingAccess::RightTreadOffset(*car);
  };
  EXPECT_EQ(run(1, 3), 6.0f);
  EXPECT_EQ(run(6, -3), 1.0f);
  EXPECT_EQ(run(5, 0), 5.0f);
  EXPECT_EQ(run(8, 0), 8.0f);
  EXPECT_EQ(run(0, 0), 0.0f);
  EXPECT_EQ(run(1, -18), 3.0f);  // 19 -> 3
  EXPECT_EQ(run(0, 4), 4.0f);    // -4 -> 4
  EXPECT_EQ(run(0, 14), 2.0f);   // -14 -> 2

  // Any finite value gives what the loops of whole periods give, each step stored as a float.
  auto loops = [](float v) {
    while (v > 8.0f) v = F(D(v) - 8.0);
    while (v < 0.0f) v = F(D(v) + 8.0);
    return v;
  };
  std::vector<float> values = {8.0f,     16.0f,     7992.0f, 8000.0f,  8008.0f,  8001.5f,
                               80000.0f, 1048584.f, -8.0f,   -8008.0f, -1e-30f,  -8000.25f,
                               9.5e6f,   -9.5e6f,   1e-40f,  -3.0e-7f, 8.000001f};
  tb::Pcg32 rng(7, true);
  for (int i = 0; i < 500; ++i) values.push_back(F((D(rng.Draw()) - 0.5) * 4.0e5));
  for (float v : values) {
    float got = run(v, 0);
    EXPECT_EQ(got, loops(v)) << v;
    EXPECT_FALSE(std::signbit(got)) << v;
  }
  // Beyond 2^27 a float step of 8 no longer changes the value; such values are whole
  // multiples of 8 and wrap as every multiple does.
  EXPECT_EQ(run(1e30f, 0), 8.0f);
  EXPECT_EQ(run(4.0e9f, 0), 8.0f);
  EXPECT_EQ(run(-1e30f, 0), 0.0f);
  EXPECT_FALSE(std::signbit(run(-1e30f, 0)));
  EXPECT_FALSE(std::signbit(run(-0.0f, 0)));
  for (float v : {INFINITY, -INFINITY, NAN}) EXPECT_EQ(run(v, 0), 0.0f) << v;
}

// The free velocity is an intermediate until XSpeed is stored: rounding it to a float first
// would give 4.40558863 here.
TEST(Driving, FreeVelocityIsRoundedOnlyWhenStored) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 300, 300, 20, 20);
  block->XSpeed = 4.81758404f;
  ThingAccess::DriveXSpeed(*block) = -0.0775148869f;
  block->YSpeed = -4.81758404f;
  ThingAccess::DriveYSpeed(*block) = 0.0775148869f;
  block->Move();
  EXPECT_EQ(block->XSpeed, 4.4055891f);
  EXPECT_EQ(block->YSpeed, -4.4055891f);
  EXPECT_EQ(block->X, F(300.0 + D(4.4055891f)));

  // With a drive of its own the stored sum keeps the same single rounding.
  auto car = w.Rect(Vehicle, 100, 100, 30, 60);
  car->XSpeed = 4.81758404f;
  ThingAccess::DriveXSpeed(*car) = -0.0775148869f;
  ThingAccess::RightTrackSpeed(*car) = 2.0f;
  ThingAccess::LeftTrackSpeed(*car) = 2.0f;
  car->Move();
  EXPECT_EQ(car->XSpeed, F(2.0 + D(4.4055891f)));
}

TEST(Driving, FreeVelocityWearsByFriction) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 100, 300, 20, 20);
  block->XSpeed = 10;
  block->Move();
  EXPECT_FLOAT_EQ(block->X, 109.0f);
  auto ball = w.Round(Ball, 400, 300, 5);
  ball->XSpeed = 10;
  ball->Move();
  EXPECT_FLOAT_EQ(ball->X, 409.99f);
  ball->XSpeed = 5;
  for (int i = 0; i < 50; ++i) ball->Move();
  EXPECT_NEAR(ball->XSpeed, 5 * std::pow(0.999, 50), 1e-4);
  block->XSpeed = 5;
  for (int i = 0; i < 50; ++i) block->Move();
  EXPECT_NEAR(block->XSpeed, 5 * std::pow(0.9, 50), 1e-4);
}

TEST(Boosts, DecaysFollowTheClock) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 300, 300, 30, 60);
  ThingAccess::MaxSpeed(*car) = 12;
  ThingAccess::SpeedDecayTime(*car) = 999.98f;
  w.clock.now = 1000.0f;
  car->Move();
  EXPECT_NEAR(ThingAccess::MaxSpeed(*car), 11.998f, 1e-5);
  w.clock.now = 1002.0f;  // a pause of two seconds does not count
  car->Move();
  EXPECT_NEAR(ThingAccess::MaxSpeed(*car), 11.998f, 1e-5);
  EXPECT_EQ(ThingAccess::SpeedDecayTime(*car), 1002.0f);
  ThingAccess::MaxSpeed(*car) = 7.5f;
  car->Move();
  EXPECT_EQ(ThingAccess::MaxSpeed(*car), 8.0f);

  // ExplosionSize 140 falls to 100 in 40 s of play, at 50 and at 20 ticks per second alike.
  for (double step : {0.02, 0.05}) {
    car->ExplosionSize = 140;
    double t = 2000.0;
    w.clock.now = static_cast<float>(t);
    car->Move();  // first look only starts the measurement
    int steps = static_cast<int>(std::lround(20.0 / step));
    for (int i = 0; i < steps; ++i) {
      t += step;
      w.clock.now = static_cast<float>(t);
      car->Move();
    }
    EXPECT_NEAR(car->ExplosionSize, 120, 1) << step;
    for (int i = 0; i < steps + 10; ++i) {
      t += step;
      w.clock.now = static_cast<float>(t);
      car->Move();
    }
    EXPECT_EQ(car->ExplosionSize, 100) << step;
  }
  auto block = w.Rect(Block, 100, 100, 20, 20);
  block->ExplosionSize = 140;
  block->Move();
  EXPECT_EQ(block->ExplosionSize, 140);
  car->ExplosionSize = 60;
  car->Move();
  EXPECT_EQ(car->ExplosionSize, 100);

  ThingAccess::Invulnerable(*car) = true;
  ThingAccess::InvulnerableUntil(*car) = 3000;
  w.clock.now = 3000.0f;
  car->Move();
  EXPECT_TRUE(ThingAccess::Invulnerable(*car));
  w.clock.now = 3000.02f;
  car->Move();
  EXPECT_FALSE(ThingAccess::Invulnerable(*car));
}

TEST(Grenades, CoolDownStockAndLaunchVelocity) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 100.5f, 200, 30, 60);
  w.clock.now = 100.6f;
  car->LaunchGrenade();
  EXPECT_EQ(ThingAccess::LastLaunchTime(*car), 101);
  EXPECT_EQ(ThingAccess::Grenades(*car), 2);
  Thing* g = w.frm.ThingCollection.Find("ID2");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->ThingType(), Grenade);
  EXPECT_EQ(g->X, 100.0f);  // 100.5 to even
  EXPECT_EQ(g->Y, 200.0f);
  EXPECT_EQ(g->XSpeed, 10.0f);
  EXPECT_EQ(g->YSpeed, 0.0f);
  EXPECT_EQ(g->Launcher, "ID1");
  EXPECT_EQ(g->ExplosionSize, 100);
  w.clock.now = 102.0f;
  car->LaunchGrenade();
  EXPECT_EQ(ThingAccess::Grenades(*car), 2);  // 102 - 101 is not more than 1
  w.clock.now = 102.01f;
  car->ExplosionSize = 140;
  car->XSpeed = 3.4f;
  car->LaunchGrenade();
  EXPECT_EQ(ThingAccess::Grenades(*car), 1);
  Thing* g2 = w.frm.ThingCollection.Find("ID3");
  ASSERT_NE(g2, nullptr);
  EXPECT_EQ(g2->XSpeed, 13.0f);
  EXPECT_EQ(g2->ExplosionSize, 140);
  car->ExplosionSize = 100;
  EXPECT_EQ(g2->ExplosionSize, 140);  // taken at the launch

  car->Angle = kPi / 2;
  car->XSpeed = 0;
  w.clock.now = 104.0f;
  car->LaunchGrenade();
  Thing* g3 = w.frm.ThingCollection.Find("ID4");
  ASSERT_NE(g3, nullptr);
  EXPECT_EQ(g3->XSpeed, 0.0f);
  EXPECT_EQ(g3->YSpeed, 10.0f);
  EXPECT_EQ(w.sound.Count("/Sounds/guns/gun"), 3);

  // Empty stock: a horn once per cool-down, no grenade.
  w.clock.now = 106.0f;
  car->LaunchGrenade();
  EXPECT_EQ(w.sound.Count("/Sounds/horns/horn"), 1);
  car->LaunchGrenade();
  EXPECT_EQ(w.sound.Count("/Sounds/horns/horn"), 1);
  EXPECT_EQ(w.frm.ThingCollection.Count(), 4u);
  EXPECT_EQ(ThingAccess::Grenades(*car), 0);

  // A destroyed vehicle launches nothing and stays silent.
  auto wreck = w.Rect(Vehicle, 300, 300, 30, 60);
  ThingAccess::Exploded(*wreck) = true;
  size_t sounds = w.sound.paths.size();
  w.clock.now = 200.0f;
  wreck->LaunchGrenade();
  EXPECT_EQ(w.sound.paths.size(), sounds);
  EXPECT_EQ(ThingAccess::LastLaunchTime(*wreck), 0);
}

TEST(PowerUps, EffectsAndStacking) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 100, 100, 30, 60);
  w.clock.now = 500.3f;
  car->GetPowerUp(Invulnerability);
  EXPECT_TRUE(ThingAccess::Invulnerable(*car));
  EXPECT_EQ(ThingAccess::InvulnerableUntil(*car), 520);
  w.clock.now = 510.0f;
  car->GetPowerUp(Invulnerability);
  EXPECT_EQ(ThingAccess::InvulnerableUntil(*car), 540);

  ThingAccess::Damage(*car) = 10;
  car->GetPowerUp(Repair);
  EXPECT_EQ(ThingAccess::Damage(*car), 0);
  ThingAccess::Damage(*car) = 100;
  car->GetPowerUp(Repair);
  EXPECT_EQ(ThingAccess::Damage(*car), 75);

  car->GetPowerUp(SpeedBoost);
  car->GetPowerUp(SpeedBoost);
  EXPECT_EQ(ThingAccess::MaxSpeed(*car), 16.0f);
  car->GetPowerUp(ExtraGrenade);
  EXPECT_EQ(ThingAccess::Grenades(*car), 4);
  car->GetPowerUp(BiggerBlast);
  EXPECT_EQ(car->ExplosionSize, 140);
  car->GetPowerUp(9);
  EXPECT_EQ(w.sound.Count("/Sounds/bubbles/bubble"), 9);
}

TEST(Sounds, PathAndNumberDraw) {
  const float below1 = std::nextafter(1.0f, 0.0f);
  EXPECT_EQ(SoundNumber(below1, kBombSounds), 4);
  EXPECT_EQ(SoundNumber(below1, kRandomSounds), 7);
  EXPECT_EQ(SoundNumber(0.0f, kThudSounds), 1);
  EXPECT_EQ(SoundNumber(0.25f, kThudSounds), 2);
  EXPECT_EQ(SoundPath("/opt/tb", kBombSounds, 3), "/opt/tb/Sounds/bombs/bomb3.wav");
  EXPECT_EQ(SoundPath("/g", kRandomSounds, 7), "/g/Sounds/random/random7.wav");
  EXPECT_EQ(&ContactSound(Vehicle, Vehicle), &kClangSounds);
  EXPECT_EQ(&ContactSound(Vehicle, Grenade), &kRicochetSounds);
  EXPECT_EQ(&ContactSound(Grenade, Grenade), &kRicochetSounds);
  EXPECT_EQ(&ContactSound(Ball, Wall), &kThudSounds);

  // The game's own generator never yields 1.
  tb::Pcg32 rng(1, true);
  for (int i = 0; i < 100000; ++i) ASSERT_LT(rng.Draw(), 1.0f);
}

// Each operation takes its clock readings afresh, in its own order: with a clock that moves
// on at every reading, a reading taken once and reused gives other values.
TEST(FreshClock, LaunchFuseAndHorn) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 100, 100, 30, 60);
  w.clock.now = 100.4f;
  w.clock.step = 0.2;
  car->LaunchGrenade();  // readings: cool-down 100.4, fuse 100.6, launch time 100.8
  std::shared_ptr<Thing> g = w.frm.ThingCollection.Share("ID2");  // kept while it explodes
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(ThingAccess::FuseTime(*g), 103);
  EXPECT_EQ(ThingAccess::LastLaunchTime(*car), 101);

  // The fuse: compared with one reading, the blink phase taken from the next.
  w.clock.now = 102.9f;
  g->Draw();  // 102.9 is not past 103; t = 103.1
  EXPECT_EQ(ThingAccess::Pulse(*g), F((2.0 - (103.0 - D(103.1f))) / 2.0 * 0.5));
  EXPECT_TRUE(w.frm.ThingCollection.Contains(g->ID));
  w.clock.now = 103.0f;
  w.clock.step = 0.2;
  g->Draw();  // 103.0 is not past 103 yet
  EXPECT_TRUE(w.frm.ThingCollection.Contains(g->ID));
  g->Draw();  // the next reading, 103.4, is
  EXPECT_FALSE(w.frm.ThingCollection.Contains(g->ID));

  ThingAccess::Grenades(*car) = 0;
  w.clock.now = 200.4f;
  car->LaunchGrenade();  // horn: cool-down 200.4, launch time 200.6
  EXPECT_EQ(w.sound.Count("/Sounds/horns/horn"), 1);
  EXPECT_EQ(ThingAccess::LastLaunchTime(*car), 201);
}

TEST(FreshClock, PowerUpAndBoosts) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 100, 100, 30, 60);
  ThingAccess::InvulnerableUntil(*car) = 500;
  w.clock.now = 500.45f;
  w.clock.step = 0.1;
  car->GetPowerUp(Invulnerability);  // 500.45 is past 500; then round(500.55) + 20
  EXPECT_EQ(ThingAccess::InvulnerableUntil(*car), 521);

  // Speed, blast and shield each read the clock: 999.9, 1000.0 and 1000.1.
  ThingAccess::MaxSpeed(*car) = 12;
  ThingAccess::SpeedDecayTime(*car) = 999.5f;
  car->ExplosionSize = 140;
  ThingAccess::BlastDecayTime(*car) = 999.5f;
  ThingAccess::InvulnerableUntil(*car) = 1000;
  w.clock.now = 999.9f;
  car->Move();
  EXPECT_EQ(ThingAccess::SpeedDecayTime(*car), 999.9f);
  EXPECT_EQ(ThingAccess::MaxSpeed(*car), F(12.0 - (D(999.9f) - 999.5) / 10.0));
  EXPECT_EQ(ThingAccess::BlastDecayTime(*car), F(D(999.9f) + 0.1));
  EXPECT_FALSE(ThingAccess::Invulnerable(*car));
}

// The launch velocity takes cos and sin of the heading in double: in float, 10 cos(1) + XSpeed
// and 10 sin(1) + YSpeed would fall on the other side of a half here.
TEST(FreshClock, LaunchVelocityTrigInDouble) {
  tbtest::TestWorld w;
  auto car = w.Rect(Vehicle, 300, 300, 30, 60, 1.0f);
  const double cd = std::cos(1.0), sd = std::sin(1.0);
  const double cf = D(std::cos(1.0f)), sf = D(std::sin(1.0f));
  car->XSpeed = F(5.5 - 10.0 * (cd + cf) / 2.0);
  car->YSpeed = F(8.5 - 10.0 * (sd + sf) / 2.0);
  ASSERT_EQ(RoundToInt(10.0 * cf + D(car->XSpeed)), 5);
  ASSERT_EQ(RoundToInt(10.0 * sf + D(car->YSpeed)), 8);
  car->LaunchGrenade();
  Thing* g = w.frm.ThingCollection.Find("ID2");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->XSpeed, 6.0f);
  EXPECT_EQ(g->YSpeed, 9.0f);
}
