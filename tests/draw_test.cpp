#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "TestWorld.h"

using namespace tb;

namespace {
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kGrey = 8421504;
constexpr uint32_t kDarkGrey = 4210752;

// A vehicle heading along +x at (200, 200): body x 170..230, y 185..215; tracks to y 170 / 230.
std::shared_ptr<Thing> DrawnVehicle(tbtest::TestWorld& w, int32_t damage) {
  auto car = w.Rect(Vehicle, 200, 200, 30, 60);
  car->Color = kGreen;
  ThingAccess::Damage(*car) = damage;
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
  EXPECT_EQ(ThingAccess::Pulse(*car), 0.0f);
  ThingAccess::Invulnerable(*car) = true;
  w.raster.Clear();
  car->Draw();
  EXPECT_EQ(ThingAccess::Pulse(*car), 0.1f);
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

namespace {
constexpr uint32_t kWhite = 0xFFFFFF;

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
};
Box Painted(const Raster& r) {
  Box b;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      if (r.PixelAt(x, y) != 0) {
        b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
        ++b.count;
      }
  return b;
}
}  // namespace

// A dot is as wide as the pen, each way, with no spikes: even widths sit on a pixel corner.
TEST(Raster, DotsHaveThePensDiameter) {
  const std::pair<int, int> pixels[] = {{1, 1}, {2, 4}, {3, 9}, {4, 12}, {5, 21}, {6, 32}};
  for (auto [width, count] : pixels) {
    Raster r(40, 40);
    r.SetPenWidth(static_cast<int16_t>(width));
    r.PlotPoint(20.4f, 19.6f, kWhite);
    Box b = Painted(r);
    EXPECT_EQ(b.x1 - b.x0 + 1, width);
    EXPECT_EQ(b.y1 - b.y0 + 1, width);
    EXPECT_EQ(b.count, count) << width;
    EXPECT_EQ(r.PixelAt(20, 20), kWhite);
    EXPECT_EQ(b.x0, 20 - (width - 1) / 2) << width;  // odd: centred on (20, 20); even: right of it
  }
  Raster r(80, 80);
  r.SetPenWidth(30);
  r.PlotPoint(40, 40, kWhite);
  Box b = Painted(r);
  EXPECT_EQ(b.x1 - b.x0 + 1, 30);
  EXPECT_EQ(b.y1 - b.y0 + 1, 30);
  int top = 0, middle = 0;
  for (int x = 0; x < 80; ++x) {
    top += r.PixelAt(x, b.y0) != 0;
    middle += r.PixelAt(x, 40) != 0;
  }
  EXPECT_EQ(top, 8);  // a flat cap, not a one-pixel spike
  EXPECT_EQ(middle, 30);
}

TEST(Raster, LinesHaveRoundEnds) {
  Raster r(100, 100);
  r.SetPenWidth(6);
  r.DrawLine(20, 50, 60, 50, kWhite);
  Box b = Painted(r);
  EXPECT_EQ(b.x0, 18);
  EXPECT_EQ(b.x1, 63);
  EXPECT_EQ(b.y1 - b.y0 + 1, 6);
  for (int x : {18, 63}) {
    EXPECT_EQ(r.PixelAt(x, b.y0), 0u) << x;  // the corners of the ends are cut off
    EXPECT_EQ(r.PixelAt(x, b.y1), 0u) << x;
    EXPECT_EQ(r.PixelAt(x, 50), kWhite) << x;
  }
  EXPECT_EQ(r.PixelAt(40, b.y0), kWhite);
}

TEST(Raster, FillsStayInsideAndIgnoreSeedsOutside) {
  Raster r(100, 100);
  r.SetPenWidth(1);
  r.PlotPoint(50, 20, kGrey);
  for (auto [x, y] : {std::pair{80, 50}, {50, 80}, {20, 50}, {50, 20}})
    r.LineTo(static_cast<float>(x), static_cast<float>(y), kGrey);
  r.SetFillColor(kGreen);
  r.FloodFill(50, 50, 0);
  int inside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      if (r.PixelAt(x, y) == kGreen) {
        ++inside;
        EXPECT_LT(std::abs(x - 50) + std::abs(y - 50), 30) << x << ',' << y;
      }
  EXPECT_GT(inside, 1000);
  EXPECT_EQ(r.PixelAt(5, 5), 0u);

  Raster blank(30, 30);
  blank.SetFillColor(kGreen);
  for (auto [x, y] : {std::pair{-1, 5}, {30, 5}, {5, -1}, {5, 30}, {-100000, 1 << 30}})
    blank.FloodFill(x, y, 0);
  EXPECT_EQ(Painted(blank).count, 0);
}
