#include <cmath>

#include "geometry/Numeric.h"
#include "world/Thing.h"

namespace tb {

namespace {
// Corners of a w x l rectangle about (x, y) with heading `angle`, numbered 1 front right,
// then clockwise on the screen.
void RectangleCorners(int32_t w, int32_t l, float x, float y, float angle, Corners& px,
                      Corners& py) {
  const double pi = D(kPi);
  float R = F(std::sqrt(D(l) * l + D(w) * w) / 2.0);
  float Dd = F(2.0 * std::atan(D(w) / D(l)));
  float E = F(pi - D(Dd));
  float A = F((D(E) / 2.0 + D(angle)) + pi / 2.0);
  auto at = [&](float a, int k) {
    px[k] = RoundToInt(D(R) * std::cos(D(a)) + D(x));
    py[k] = RoundToInt(D(R) * std::sin(D(a)) + D(y));
  };
  at(A, 2);
  A = F(D(A) + D(Dd));
  at(A, 3);
  A = F(D(A) + D(E));
  at(A, 4);
  A = F(D(A) + D(Dd));
  at(A, 1);
}
}  // namespace

void Thing::FindPoints() {
  switch (ThingType()) {
    case Vehicle:
      FindVehiclePoints();
      break;
    case Block:
    case Wall:
      FindRectanglePoints();
      break;
    default:
      break;
  }
}

void Thing::FindRectanglePoints() {
  RectangleCorners(Width, Length, X, Y, Angle, PointsX, PointsY);
}

void Thing::FindVehiclePoints() {
  RectangleCorners(Width, Length, X, Y, Angle, BodyX, BodyY);
  RectangleCorners(Width + 30, Length, X, Y, Angle, OuterX, OuterY);
  PointsX = OuterX;
  PointsY = OuterY;
}

}  // namespace tb
