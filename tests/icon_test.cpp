#include "pictures/Icon.h"

#include <gtest/gtest.h>

#include "geometry/Module1.h"

using namespace tb;

namespace {
struct Rgba {
  int r, g, b, a;
};
Rgba At(const IconImage& icon, int x, int y) {
  const uint8_t* p = &icon.rgba[(static_cast<size_t>(y) * icon.size + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}
}  // namespace

// Every installed size: a green body in the middle, clear corners, smoothed edges.
TEST(Icon, GreenVehicleOnTransparentGround) {
  for (int size : {16, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(size);
    const IconImage icon = DrawIcon(size);
    ASSERT_EQ(icon.size, size);
    ASSERT_EQ(icon.rgba.size(), static_cast<size_t>(size) * size * 4);
    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
      EXPECT_EQ(At(icon, x, y).a, 0);
    const Rgba centre = At(icon, size / 2, size / 2);
    EXPECT_EQ(centre.a, 255);
    EXPECT_EQ(centre.r, 0);
    EXPECT_EQ(centre.g, 255);
    EXPECT_EQ(centre.b, 0);
    int partial = 0, clear = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        int a = At(icon, x, y).a;
        partial += a > 0 && a < 255;
        clear += a == 0;
      }
    EXPECT_GT(partial, 0);
    EXPECT_GT(clear, size * size / 5);  // the slanted vehicle leaves the corners free
  }
}

// The window icon may be drawn while a game runs: the shared contact state stays as it was.
TEST(Icon, LeavesTheGameStateAlone) {
  Module1::Contact.CornerHits = 3;
  Module1::Contact.NearX = 17;
  const IconImage first = DrawIcon(32);
  EXPECT_EQ(Module1::Contact.CornerHits, 3);
  EXPECT_EQ(Module1::Contact.NearX, 17);
  Module1::Contact = {};
  EXPECT_EQ(DrawIcon(32).rgba, first.rgba);
}
