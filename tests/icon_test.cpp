// The icon: one drawing for the desktop and the window, its outside transparent.
#include "shell/Icon.h"

#include <gtest/gtest.h>

#include "render/Raster.h"

namespace tb {
namespace {

TEST(Icon, GreenVehicleOnATransparentOutside) {
  Raster raster(kIconSize, kIconSize);
  DrawIcon(raster);
  EXPECT_EQ(raster.PixelAt(48, 48), 0x00FF00u);  // the body, in the middle
  EXPECT_EQ(raster.PixelAt(0, 0), 0u);
  std::vector<uint8_t> rgba = WithTransparentBackground(raster);
  ASSERT_EQ(rgba.size(), static_cast<size_t>(kIconSize) * kIconSize * 4);
  auto alpha = [&](int x, int y) { return rgba[(static_cast<size_t>(y) * kIconSize + x) * 4 + 3]; };
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(kIconSize - 1, kIconSize - 1), 0);
  EXPECT_EQ(alpha(48, 48), 255);
  size_t i = (static_cast<size_t>(48) * kIconSize + 48) * 4;
  EXPECT_EQ(rgba[i], 0x00);  // R, G, B, A in that order
  EXPECT_EQ(rgba[i + 1], 0xFF);
  EXPECT_EQ(rgba[i + 2], 0x00);
  int opaque = 0;
  for (size_t p = 3; p < rgba.size(); p += 4) opaque += rgba[p] == 255;
  EXPECT_GT(opaque, 30 * 60 / 2);  // about the vehicle's area, not the square
  EXPECT_LT(opaque, kIconSize * kIconSize / 2);
}

TEST(Icon, BackgroundEnclosedByTheDrawingStaysOpaque) {
  Raster ring(9, 9);
  ring.Clear();
  ring.SetPenWidth(1);
  ring.DrawLine(2, 2, 6, 2, 0xFFFFFF);
  ring.LineTo(6, 6, 0xFFFFFF);
  ring.LineTo(2, 6, 0xFFFFFF);
  ring.LineTo(2, 2, 0xFFFFFF);
  std::vector<uint8_t> rgba = WithTransparentBackground(ring);
  EXPECT_EQ(rgba[(4 * 9 + 4) * 4 + 3], 255);  // black inside the ring
  EXPECT_EQ(rgba[(4 * 9 + 0) * 4 + 3], 0);    // black outside it
  EXPECT_EQ(rgba[(2 * 9 + 4) * 4 + 3], 255);  // the ring
}

}  // namespace
}  // namespace tb
