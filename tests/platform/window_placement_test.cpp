#include <gtest/gtest.h>

#include <vector>

#include "platform/WindowPlacement.h"

namespace tb {
namespace {

TEST(WindowPlacement, WholeModeTakesTheLargestWholeMultipleCentred) {
  const ScaleMode whole = ScaleMode::kWhole;
  EXPECT_EQ(PlaceImage(582, 555, 582, 555, whole).scale, 1);
  EXPECT_EQ(PlaceImage(1200, 1200, 582, 555, whole).scale, 2);
  EXPECT_EQ(PlaceImage(1164, 1109, 582, 555, whole).scale, 1);
  ImagePlacement big = PlaceImage(3000, 2000, 582, 555, whole);
  EXPECT_EQ(big.scale, 3);
  EXPECT_EQ(big.width, 1746);
  EXPECT_EQ(big.height, 1665);
  EXPECT_EQ(big.x, (3000 - 1746) / 2);
  EXPECT_EQ(big.y, (2000 - 1665) / 2);
  EXPECT_FALSE(big.Smooth(582, 555));
  ImagePlacement tiny = PlaceImage(300, 200, 582, 555, whole);  // never below 1: centre shows
  EXPECT_EQ(tiny.scale, 1);
  EXPECT_LT(tiny.x, 0);
  EXPECT_EQ(PlaceImage(1920, 1080, 582, 555, whole).height, 555);
}

TEST(WindowPlacement, FitModeFillsTheScreenSharply) {
  const ScaleMode fit = ScaleMode::kFit;
  // 1920 x 1080: 1.95x, drawn at 2x and smoothed down; full height, centred.
  ImagePlacement hd = PlaceImage(1920, 1080, 582, 555, fit);
  EXPECT_EQ(hd.height, 1080);
  EXPECT_EQ(hd.width, 1133);  // 1080 * 582 / 555 = 1132.5...
  EXPECT_EQ(hd.scale, 2);
  EXPECT_EQ(hd.x, (1920 - 1133) / 2);
  EXPECT_EQ(hd.y, 0);
  EXPECT_TRUE(hd.Smooth(582, 555));
  // 2560 x 1440 and 3840 x 2160: a whole multiple fills three quarters of the fit, so it stays.
  ImagePlacement qhd = PlaceImage(2560, 1440, 582, 555, fit);
  EXPECT_EQ(qhd.scale, 2);
  EXPECT_EQ(qhd.height, 1110);
  EXPECT_FALSE(qhd.Smooth(582, 555));
  EXPECT_EQ(PlaceImage(3840, 2160, 582, 555, fit).height, 1665);
  // A tall output is limited by its width.
  ImagePlacement tall = PlaceImage(900, 2000, 582, 555, fit);
  EXPECT_EQ(tall.width, 900);
  EXPECT_EQ(tall.height, 858);  // 900 * 555 / 582 = 858.2
  EXPECT_EQ(tall.scale, 2);
  // Smaller than the picture: smoothed down from 1x, all of it showing.
  ImagePlacement tiny = PlaceImage(291, 400, 582, 555, fit);
  EXPECT_EQ(tiny.scale, 1);
  EXPECT_EQ(tiny.width, 291);
  EXPECT_GE(tiny.x, 0);
  EXPECT_TRUE(tiny.Smooth(582, 555));
  EXPECT_FALSE(PlaceImage(582, 555, 582, 555, fit).Smooth(582, 555));
}

TEST(WindowPlacement, FirstWindowIsLargeButLeavesRoomForTheFrame) {
  const ScaleMode fit = ScaleMode::kFit, whole = ScaleMode::kWhole;
  // At least half the desktop's height: a whole multiple where one is that large...
  EXPECT_EQ(InitialWindowSize(1920, 1080, 582, 555, fit).height, 555);
  EXPECT_EQ(InitialWindowSize(2560, 1400, 582, 555, fit).height, 1110);  // 2x
  EXPECT_EQ(InitialWindowSize(3840, 2100, 582, 555, fit).height, 1665);  // 3x
  EXPECT_EQ(InitialWindowSize(1366, 740, 582, 555, fit).height, 555);
  // ...otherwise nine tenths of the largest fit, keeping the shape.
  WindowSize tall = InitialWindowSize(1920, 1150, 582, 555, fit);
  EXPECT_EQ(tall.height, (1150 - 48) * 9 / 10);
  EXPECT_NEAR(tall.width * 555.0 / 582, tall.height, 1.0);
  EXPECT_EQ(InitialWindowSize(1920, 1150, 582, 555, whole).height, 555);
  EXPECT_EQ(InitialWindowSize(800, 600, 582, 555, fit).height, 555);  // never below 1x
  EXPECT_EQ(InitialWindowSize(2560, 1400, 582, 555, whole).height, 1110);
  EXPECT_EQ(InitialWindowSize(1164 + 4, 1110 + 4, 582, 555, whole).height, 555);  // no frame
}

// Every field of a placement: scale, x, y, width, height.
std::vector<int> Fields(const ImagePlacement& p) { return {p.scale, p.x, p.y, p.width, p.height}; }

TEST(WindowPlacement, OddSizesAreCentredWithTheSpareColumnOnTheRight) {
  // 3x of 101 x 77 in 400 x 300 leaves 97 columns and 69 rows: 48 left, 34 above.
  ImagePlacement odd = PlaceImage(400, 300, 101, 77, ScaleMode::kWhole);
  EXPECT_EQ(Fields(odd), (std::vector<int>{3, 48, 34, 303, 231}));
  // Fit, at 2.86x: the height limits; the width rounds to the nearest pixel (220 * 101 / 77
  // = 288.6) and the picture is drawn sharp at 3x, smoothed down and centred.
  ImagePlacement fit = PlaceImage(292, 220, 101, 77, ScaleMode::kFit);
  EXPECT_EQ(Fields(fit), (std::vector<int>{3, 1, 0, 289, 220}));
  EXPECT_TRUE(fit.Smooth(101, 77));
}

TEST(WindowPlacement, AWholeMultipleFillingThreeQuartersIsKept) {
  // 75 x 75 at 2x in 200 x 200: exactly three quarters of the fit, kept sharp.
  ImagePlacement exact = PlaceImage(200, 200, 75, 75, ScaleMode::kFit);
  EXPECT_EQ(Fields(exact), (std::vector<int>{2, 25, 25, 150, 150}));
  EXPECT_FALSE(exact.Smooth(75, 75));
  // 100 x 100 at 2x: 200 of 266 is just over three quarters, 200 of 267 just under.
  EXPECT_EQ(PlaceImage(266, 266, 100, 100, ScaleMode::kFit).height, 200);
  ImagePlacement filled = PlaceImage(267, 267, 100, 100, ScaleMode::kFit);
  EXPECT_EQ(Fields(filled), (std::vector<int>{3, 0, 0, 267, 267}));
  EXPECT_TRUE(filled.Smooth(100, 100));
  // Whole mode never fills: 2x it stays.
  EXPECT_EQ(PlaceImage(267, 267, 100, 100, ScaleMode::kWhole).height, 200);
}

TEST(WindowPlacement, EmptyImagesAndOutputsStayAtOneTime) {
  EXPECT_EQ(Fields(PlaceImage(800, 600, 0, 555, ScaleMode::kFit)),
            (std::vector<int>{1, 0, 0, 0, 555}));
  // No output at all (a minimised window): 1x, centred on the empty area.
  EXPECT_EQ(Fields(PlaceImage(0, 0, 582, 555, ScaleMode::kFit)),
            (std::vector<int>{1, -291, -277, 582, 555}));
  // A desktop smaller than the frame still opens the window at 1x.
  WindowSize tiny = InitialWindowSize(10, 10, 582, 555, ScaleMode::kFit);
  EXPECT_EQ(tiny.width, 582);
  EXPECT_EQ(tiny.height, 555);
}

}  // namespace
}  // namespace tb
