#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "TestWorld.h"
#include "geometry/Caption.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "shell/Random.h"

using namespace tb;
using namespace tb::Module1;

namespace {
// Corners 1 (110,105), 2 (90,105), 3 (90,95), 4 (110,95): a 20 x 10 box about (100, 100).
const Corners kBoxX{0, 110, 90, 90, 110};
const Corners kBoxY{0, 105, 105, 95, 95};
}  // namespace

TEST(Rounding, HalvesGoToEvenAndExtremesSaturate) {
  EXPECT_EQ(RoundToInt(0.5), 0);
  EXPECT_EQ(RoundToInt(1.5), 2);
  EXPECT_EQ(RoundToInt(2.5), 2);
  EXPECT_EQ(RoundToInt(-0.5), 0);
  EXPECT_EQ(RoundToInt(-1.5), -2);
  EXPECT_EQ(RoundToInt(277.5), 278);
  EXPECT_EQ(RoundToInt(100.5), 100);
  EXPECT_EQ(RoundToInt(1e30), INT32_MAX);
  EXPECT_EQ(RoundToInt(-1e30), INT32_MIN);
  EXPECT_EQ(RoundToInt(std::nan("")), 0);
  EXPECT_EQ(RoundToInt16(70000.0), 32767);
  // The fast path agrees with the library's rounding near every edge it could get wrong.
  EXPECT_EQ(RoundToInt(0.49999999999999994), 0);
  EXPECT_EQ(RoundToInt(-2147483647.5), -2147483648);
  EXPECT_EQ(RoundToInt(2147483646.5), 2147483646);
  for (double v : {-1e9, -65536.0, -3.0, 0.0, 3.0, 4096.0, 1e9}) {
    for (double d = v - 2.0; d <= v + 2.0; d = std::nextafter(d + 0.0625, 1e300)) {
      EXPECT_EQ(RoundToInt(d), static_cast<int32_t>(std::nearbyint(d))) << d;
      EXPECT_EQ(RoundToInt(std::nextafter(d, 1e300)),
                static_cast<int32_t>(std::nearbyint(std::nextafter(d, 1e300))));
    }
  }
}

TEST(Module1, CirclesAndBounds) {
  Contact = {};
  EXPECT_TRUE(CirclesTouch(0, 0, 5, 10, 0, 5));
  EXPECT_EQ(Contact.CrashPointX, 5);
  EXPECT_EQ(Contact.CrashPointY, 0);
  EXPECT_FALSE(CirclesTouch(0, 0, 5, 11, 0, 5));
  EXPECT_EQ(Contact.CrashPointX, 5);  // untouched by a miss
  EXPECT_TRUE(CirclesTouch(0, 0, 5, 5, 0, 5));
  EXPECT_EQ(Contact.CrashPointX, 2);  // 2.5 to even

  EXPECT_FALSE(BoundsOverlap(0, 0, 10, 10, 20, 0, 10, 10));
  EXPECT_TRUE(BoundsOverlap(0, 0, 10, 10, 19, 0, 10, 10));
  EXPECT_FALSE(BoundsOverlap(0, 0, 10, 10, 0, 20, 10, 10));
  EXPECT_FALSE(BoundsOverlap(INT32_MIN, 0, 10, 10, INT32_MAX, 0, 10, 10));
}

TEST(Module1, AngleToQuadrantsAndVertical) {
  EXPECT_EQ(AngleTo(0, 0, 1, 0), 0.0f);
  EXPECT_EQ(AngleTo(0, 0, -1, 0), 3.1415927f);
  EXPECT_EQ(AngleTo(0, 0, 1, 1), 0.7853982f);
  EXPECT_EQ(AngleTo(0, 0, -1, -1), 3.926991f);
  EXPECT_EQ(AngleTo(0, 0, 1, -1), 5.4977875f);
  EXPECT_EQ(AngleTo(0, 0, 0, 2), 1.5707964f);
  EXPECT_EQ(AngleTo(0, 0, 0, 1), 4.712389f);  // compared with 1, not 0
  EXPECT_EQ(AngleTo(0, 0, 0, -5), 4.712389f);
  EXPECT_EQ(AngleTo(0, 0, 0, 0), 4.712389f);
  // A tiny negative angle wraps up to exactly 2 pi.
  EXPECT_EQ(AngleTo(0, 0, 1e8f, -1), 6.2831855f);
}

TEST(Module1, InnerSideAndPointInPolygon) {
  EXPECT_TRUE(InnerSideOfEdge(-5, 5, 0, 0, 0, 10));
  EXPECT_FALSE(InnerSideOfEdge(5, 5, 0, 0, 0, 10));
  EXPECT_TRUE(InnerSideOfEdge(0, 5, 0, 0, 0, 10));
  EXPECT_FALSE(InnerSideOfEdge(0, 5, 0, 10, 0, 0));
  EXPECT_FALSE(InnerSideOfEdge(5, 0, 0, 0, 10, 0));
  EXPECT_TRUE(InnerSideOfEdge(15, 0, 0, 0, 10, 0));
  EXPECT_FALSE(InnerSideOfEdge(-5, 0, 0, 0, 10, 0));
  EXPECT_FALSE(InnerSideOfEdge(10, 0, 0, 0, 10, 0));

  auto cx = Close(kBoxX), cy = Close(kBoxY);
  for (auto [x, y] :
       {std::pair{100, 100}, {100, 96}, {100, 104}, {91, 100}, {109, 100}, {110, 100}})
    EXPECT_TRUE(PointInPolygon(x, y, cx, cy)) << x << "," << y;
  for (auto [x, y] :
       {std::pair{110, 105}, {90, 105}, {90, 95}, {110, 95}, {100, 105}, {100, 95}, {90, 100}})
    EXPECT_FALSE(PointInPolygon(x, y, cx, cy)) << x << "," << y;
}

TEST(Module1, DistanceToSegmentAndZeroLengthEdge) {
  EXPECT_EQ(DistanceToSegment(0, 0, 10, 0, 5, 3), 3);
  EXPECT_EQ(Contact.NearX, 5);
  EXPECT_EQ(Contact.NearY, 0);
  EXPECT_EQ(DistanceToSegment(0, 0, 10, 0, 12, 0), 2);
  EXPECT_EQ(Contact.NearX, 10);
  EXPECT_EQ(DistanceToSegment(0, 0, 10, 0, -3, 4), 5);
  EXPECT_EQ(Contact.NearX, 0);
  EXPECT_EQ(Contact.NearY, 0);
  // A single point: its own distance, the point itself as foot point.
  EXPECT_EQ(DistanceToSegment(7, 7, 7, 7, 10, 11), 5);
  EXPECT_EQ(Contact.NearX, 7);
  EXPECT_EQ(Contact.NearY, 7);
}

TEST(Module1, CircleAgainstOutline) {
  EXPECT_TRUE(CircleTouchesPolygon(kBoxX, kBoxY, 100, 100, 5));
  EXPECT_TRUE(Contact.CentreInside);
  EXPECT_EQ(Contact.CrashPointX, 100);
  EXPECT_EQ(Contact.CrashPointY, 98);
  EXPECT_TRUE(CircleTouchesPolygon(kBoxX, kBoxY, 100, 112, 8));
  EXPECT_FALSE(Contact.CentreInside);
  EXPECT_EQ(Contact.CrashPointX, 100);
  EXPECT_EQ(Contact.CrashPointY, 105);
  EXPECT_FALSE(CircleTouchesPolygon(kBoxX, kBoxY, 100, 112, 7));
}

TEST(Module1, PolygonsOverlapCountsCorners) {
  const Corners bx{0, 125, 105, 105, 125}, by{0, 107, 107, 97, 97};
  EXPECT_TRUE(PolygonsOverlap(kBoxX, kBoxY, bx, by));
  EXPECT_EQ(Contact.CornerHits, 2);
  EXPECT_EQ(Contact.CrashPointX, 105);
  EXPECT_EQ(Contact.CrashPointY, 97);
  const Corners far{0, 215, 195, 195, 215};
  EXPECT_FALSE(PolygonsOverlap(kBoxX, kBoxY, far, by));
  EXPECT_EQ(Contact.CornerHits, 0);
}

// Arbitrary coordinates, degenerate outlines included: never NaN, never a crash.
TEST(Module1, PrimitivesStayFiniteOnArbitraryInput) {
  Pcg32 rng(99, true);
  auto any = [&]() -> int32_t {
    switch (rng.Next() % 4) {
      case 0:
        return static_cast<int32_t>(rng.Next());
      case 1:
        return static_cast<int32_t>(rng.Next() % 21) - 10;
      case 2:
        return rng.Next() % 2 ? INT32_MAX : INT32_MIN;
      default:
        return static_cast<int32_t>(rng.Next() % 2001) - 1000;
    }
  };
  for (int i = 0; i < 20000; ++i) {
    Corners ax{0, any(), any(), any(), any()}, ay{0, any(), any(), any(), any()};
    Corners bx{0, any(), any(), any(), any()}, by{0, any(), any(), any(), any()};
    CirclesTouch(any(), any(), any(), any(), any(), any());
    CircleTouchesPolygon(ax, ay, any(), any(), any());
    int32_t d = DistanceToSegment(any(), any(), any(), any(), any(), any());
    EXPECT_GE(d, 0);
    PolygonsOverlap(ax, ay, bx, by);
    BoundsOverlap(any(), any(), any(), any(), any(), any(), any(), any());
    float a = AngleTo(static_cast<float>(any()), static_cast<float>(any()),
                      std::ldexp(static_cast<float>(any()), static_cast<int>(rng.Next() % 200)),
                      static_cast<float>(any()));
    ASSERT_TRUE(std::isfinite(a));
    ASSERT_GE(a, 0.0f);
    ASSERT_LE(a, 6.2831855f);
  }
}

// The quick answer for a circle near an outline is never wrong: wherever it calls the circle
// clear, the full test misses, and the trace a miss leaves is the full test's. Outlines of
// things of every rectangular kind, size and heading, and arbitrary four-cornered ones, with
// centres all round them.
TEST(Module1, SurelyClearCirclesMissAndLeaveTheMissTrace) {
  tbtest::TestWorld w;
  Pcg32 rng(7, true);
  auto pick = [&](int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(rng.Next() % static_cast<uint32_t>(hi - lo + 1));
  };
  const int32_t kinds[] = {Block, Wall, Vehicle};
  int clear = 0, cases = 0;
  for (int i = 0; i < 600; ++i) {
    Corners px, py;
    if (i % 4 == 3) {
      px = {0, pick(-60, 60), pick(-60, 60), pick(-60, 60), pick(-60, 60)};
      py = {0, pick(-60, 60), pick(-60, 60), pick(-60, 60), pick(-60, 60)};
    } else {
      auto t = w.Rect(kinds[i % 3], static_cast<float>(pick(-3000, 3000)) / 7.0f,
                      static_cast<float>(pick(-3000, 3000)) / 7.0f, pick(0, 130), pick(0, 130),
                      rng.Draw() * 6.2831855f);
      px = t->PX();
      py = t->PY();
    }
    const int32_t cx = (px[1] + px[3]) / 2, cy = (py[1] + py[3]) / 2;
    for (int j = 0; j < 400; ++j) {
      const int32_t x = cx + pick(-120, 120), y = cy + pick(-120, 120), r = pick(0, 20);
      if (!CircleSurelyClearOfPolygon(px, py, x, y, r)) continue;
      ++clear;
      Contact = {1, 2, 3, true, 4, 5};
      ASSERT_FALSE(CircleTouchesPolygon(px, py, x, y, r)) << i << " " << x << "," << y;
      const ContactState full = Contact;
      Contact = {1, 2, 3, true, 4, 5};
      LeaveCircleMissTrace(px, py, x, y);
      EXPECT_EQ(Contact.CentreInside, full.CentreInside);
      EXPECT_EQ(Contact.NearX, full.NearX);
      EXPECT_EQ(Contact.NearY, full.NearY);
      EXPECT_EQ(Contact.CrashPointX, full.CrashPointX);
      EXPECT_EQ(Contact.CrashPointY, full.CrashPointY);
      EXPECT_EQ(Contact.CornerHits, full.CornerHits);
    }
    cases += 400;
  }
  // Most centres a short way off are told at once.
  EXPECT_GT(clear, cases / 2);
  // Far off (beyond where the rounded slopes are safe), or with a negative radius: no answer.
  EXPECT_FALSE(CircleSurelyClearOfPolygon(kBoxX, kBoxY, 100 + 2100, 100, 8));
  EXPECT_FALSE(CircleSurelyClearOfPolygon(kBoxX, kBoxY, 100, 150, -1));
  EXPECT_TRUE(CircleSurelyClearOfPolygon(kBoxX, kBoxY, 100, 150, 8));
  // Just beyond reach of the rounding: the full test decides.
  EXPECT_FALSE(CircleSurelyClearOfPolygon(kBoxX, kBoxY, 100, 105 + 8 + 3, 8));
  EXPECT_TRUE(CircleSurelyClearOfPolygon(kBoxX, kBoxY, 100, 105 + 8 + 4, 8));
}

TEST(OutlinePoints, CornerNumberingOnRotatedRectangles) {
  tbtest::TestWorld w;
  auto block = w.Rect(Block, 100, 100, 10, 20);
  EXPECT_EQ(block->PX(), (Corners{0, 110, 90, 90, 110}));
  EXPECT_EQ(block->PY(), (Corners{0, 105, 105, 95, 95}));

  auto car = w.Rect(Vehicle, 100, 100, 40, 60);
  EXPECT_EQ(ThingAccess::BodyX(*car), (Corners{0, 130, 70, 70, 130}));
  EXPECT_EQ(ThingAccess::BodyY(*car), (Corners{0, 120, 120, 80, 80}));
  EXPECT_EQ(car->PX(), (Corners{0, 130, 70, 70, 130}));
  EXPECT_EQ(car->PY(), (Corners{0, 135, 135, 65, 65}));

  auto down = w.Rect(Block, 200, 150, 40, 60, kPi / 2);
  EXPECT_EQ(down->PX(), (Corners{0, 180, 180, 220, 220}));
  EXPECT_EQ(down->PY(), (Corners{0, 180, 120, 120, 180}));

  auto ball = w.Round(Ball, 50, 50, 10);
  ball->FindPoints();
  EXPECT_EQ(ball->PX(), (Corners{}));
}

TEST(Caption, MeanSeparationText) {
  EXPECT_EQ(SeparationCaption(2, 1), "2");
  EXPECT_EQ(SeparationCaption(10, 3), "3.33333333333333");
  EXPECT_EQ(SeparationCaption(2147483647, 1), "2147483647");
  EXPECT_EQ(SeparationCaption(3, 2), "1.5");
  EXPECT_EQ(SeparationCaption(512, 2), "256");
}

// The snprintf text, used where the standard library has no floating-point to_chars, is
// to_chars' own: for every mean the title can show and for doubles of every size.
TEST(Caption, PrintfFallbackWritesWhatToCharsWrites) {
  auto reference = [](double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
  };
  for (int32_t count = 1; count <= 300; ++count)
    for (int32_t total = 0; total <= 3000; total += 7)
      ASSERT_EQ(FormatStatisticByPrintf(static_cast<double>(total) / count),
                reference(static_cast<double>(total) / count))
          << total << '/' << count;
  tb::Pcg32 rng(77, true);
  for (int i = 0; i < 200000; ++i) {
    const uint64_t bits = (static_cast<uint64_t>(rng.Next()) << 32) | rng.Next();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    ASSERT_EQ(FormatStatisticByPrintf(v), reference(v)) << bits;
  }
  EXPECT_EQ(FormatStatistic(10.0 / 3.0), FormatStatisticByPrintf(10.0 / 3.0));
}
