#include <gtest/gtest.h>

#include "TestWorld.h"

using namespace tb;
using tbtest::Field;

namespace {
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kGrey = 8421504;
constexpr uint32_t kDarkGrey = 4210752;

// A vehicle heading along +x at (200, 200): body x 170..230, y 185..215; tracks to y 170 / 230.
std::shared_ptr<Thing> DrawnVehicle(tbtest::TestWorld& w, int32_t damage) {
  auto car = w.Rect(Vehicle, 200, 200, 30, 60);
  car->Color = kGreen;
  Field<int32_t>(*car, "Damage") = damage;
  w.raster.Clear();
  car->Draw();
  return car;
}
}  // namespace

TEST(Drawing, VehicleBodyFollowsDamage) {
  {
    tbtest::TestWorld w;
    DrawnVehicle(w, 0);
    EXPECT_EQ(w.raster.PixelAt(200, 200), kGreen);
    EXPECT_EQ(w.raster.PixelAt(225, 200), kGreen);
    EXPECT_EQ(w.raster.PixelAt(170, 200), kGrey);  // rear edge of the body outline
    uint32_t track = w.raster.PixelAt(197, 223);
    EXPECT_TRUE(track == kDarkGrey || track == kGrey) << track;
    EXPECT_EQ(w.raster.PixelAt(200, 240), 0u);  // outside stays background
    EXPECT_EQ(w.raster.PixelAt(5, 5), 0u);
  }
  {
    tbtest::TestWorld w;
    DrawnVehicle(w, 125);
    EXPECT_EQ(w.raster.PixelAt(185, 200), kGreen);
    EXPECT_EQ(w.raster.PixelAt(215, 200), 0u);      // in front of the damage line
    EXPECT_EQ(w.raster.PixelAt(200, 200), kGreen);  // the line itself, in the colour
  }
  {
    // Past 250 the seed falls behind the vehicle: the colour leaks round it for that tick.
    tbtest::TestWorld w;
    DrawnVehicle(w, 300);
    EXPECT_EQ(w.raster.PixelAt(5, 5), kGreen);
    EXPECT_EQ(w.raster.PixelAt(200, 200), 0u);
  }
}

TEST(Drawing, HaloPulsesOnlyWhenBoostedOrShielded) {
  tbtest::TestWorld w;
  auto car = DrawnVehicle(w, 0);
  EXPECT_EQ(Field<float>(*car, "Pulse"), 0.0f);
  Field<bool>(*car, "Invulnerable") = true;
  w.raster.Clear();
  car->Draw();
  EXPECT_EQ(Field<float>(*car, "Pulse"), 0.1f);
  // Blue halo of width 3 along the outer outline at normal speed.
  uint32_t halo = w.raster.PixelAt(200, 231);
  EXPECT_EQ(halo & 0xFFFF, 0u);
  EXPECT_GT(halo >> 16, 0u);
}

TEST(Drawing, PolygonsRoundThingsAndUnknownKinds) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 300, 300, 40, 40);
  block->Color = 0x777777;
  auto ball = w.Round(Ball, 100, 400, 10);
  ball->Color = 100;
  auto odd = w.Round(Ball, 450, 100, 10);
  odd->ThingType(9);
  w.raster.Clear();
  block->Draw();
  ball->Draw();
  odd->Draw();
  EXPECT_EQ(w.raster.PixelAt(300, 300), 0x777777u);
  EXPECT_EQ(w.raster.PixelAt(320, 300), kGrey);
  EXPECT_EQ(w.raster.PixelAt(100, 400), 100u);
  EXPECT_EQ(w.raster.PixelAt(109, 400), 16777215u);  // white rim
  EXPECT_EQ(w.raster.PixelAt(450, 100), 0u);
  // A block whose centre is under earlier paint shows its outline only.
  auto hidden = w.Rect(Block, 100, 400, 40, 40);
  hidden->Color = 0x123456;
  hidden->Draw();
  EXPECT_EQ(w.raster.PixelAt(100, 400), 100u);
}
