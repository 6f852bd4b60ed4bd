#include "geometry/Module1.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "geometry/Numeric.h"

namespace tb::Module1 {

ContactState Contact;

namespace {
double Hypot(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }
int Sign(int64_t v) { return (v > 0) - (v < 0); }
// A float difference of two huge coordinates may overflow; keep it the largest finite value.
float FiniteDifference(float a, float b) {
  double d = D(a) - D(b);
  if (d > FLT_MAX) return FLT_MAX;
  if (d < -FLT_MAX) return -FLT_MAX;
  return F(d);
}
}  // namespace

ClosedCorners Close(const Corners& c) { return {0, c[1], c[2], c[3], c[4], c[1]}; }

bool CirclesTouch(int32_t x1, int32_t y1, int32_t r1, int32_t x2, int32_t y2, int32_t r2) {
  double d = Hypot(D(x2) - x1, D(y2) - y1);
  if (d > D(r1) + r2) return false;
  Contact.CrashPointX = RoundToInt((D(x2) - x1) / 2.0 + x1);
  Contact.CrashPointY = RoundToInt((D(y2) - y1) / 2.0 + y1);
  return true;
}

bool BoundsOverlap(int32_t x1, int32_t y1, int32_t length1, int32_t width1, int32_t x2, int32_t y2,
                   int32_t length2, int32_t width2) {
  int64_t dx = std::llabs(static_cast<int64_t>(x2) - x1);
  int64_t dy = std::llabs(static_cast<int64_t>(y2) - y1);
  return dx < static_cast<int64_t>(width1) + width2 && dy < static_cast<int64_t>(length1) + length2;
}

float AngleTo(float x1, float y1, float x2, float y2) {
  float dx = FiniteDifference(x2, x1);
  float dy = FiniteDifference(y2, y1);
  float t = 0;
  if (dx != 0) t = F(D(dy) / D(dx));
  float a = F(std::atan(D(t)));
  if (dx < 0) a = F(D(a) + D(kPi));
  if (dx == 0) a = dy > 1 ? 1.5707964f : 4.712389f;
  if (a < 0) a = F(D(a) + D(kTwoPi));
  return a;
}

bool InnerSideOfEdge(int32_t px, int32_t py, int32_t x1, float y1, float x2, int32_t y2) {
  int32_t dx = RoundToInt(D(x2) - x1);
  int32_t ex = RoundToInt(D(x2) - px);
  if (dx == 0) {
    bool s = px > x1;
    return D(y1) < D(y2) ? !s : s;
  }
  if (ex == 0) return Sign(static_cast<int64_t>(py) - y2) == Sign(dx);
  float m1 = F((D(y2) - D(y1)) / dx);
  float m2 = F((D(y2) - py) / ex);
  bool r = m1 > m2;
  if (dx < 0) r = !r;
  if (ex < 0) r = !r;
  return r;
}

bool PointInPolygon(int32_t px, int32_t py, const ClosedCorners& PX, const ClosedCorners& PY) {
  for (int k = 1; k <= 4; ++k) {
    if (!InnerSideOfEdge(px, py, PX[k], static_cast<float>(PY[k]), static_cast<float>(PX[k + 1]),
                         PY[k + 1]))
      return false;
  }
  return true;
}

int32_t DistanceToSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t px, int32_t py) {
  int32_t L = RoundToInt(Hypot(D(x2) - x1, D(y2) - y1));
  if (L == 0) {
    // A zero-length edge is a single point: its distance, with the point as foot point.
    Contact.NearX = x1;
    Contact.NearY = y1;
    return RoundToInt(Hypot(D(x1) - px, D(y1) - py));
  }
  int32_t A = RoundToInt(Hypot(D(px) - x1, D(py) - y1));
  int32_t B = RoundToInt(Hypot(D(px) - x2, D(py) - y2));
  int32_t P = RoundToInt(D(A) - (D(A) + D(B) - D(L)) / 2.0);
  Contact.NearX = RoundToInt(D(P) / D(L) * (D(x2) - x1) + x1);
  Contact.NearY = RoundToInt(D(P) / D(L) * (D(y2) - y1) + y1);
  return RoundToInt(Hypot(D(Contact.NearY) - py, D(Contact.NearX) - px));
}

bool CircleTouchesPolygon(const Corners& PX, const Corners& PY, int32_t x, int32_t y, int32_t r) {
  ClosedCorners cx = Close(PX);
  ClosedCorners cy = Close(PY);
  Contact.CentreInside = false;
  if (PointInPolygon(x, y, cx, cy)) {
    Contact.CentreInside = true;
    Contact.CrashPointX = RoundToInt((D(cx[1]) + cx[3]) / 2.0);
    Contact.CrashPointY = RoundToInt((D(cy[1]) + cy[3]) / 2.0);
    float a =
        AngleTo(static_cast<float>(x), static_cast<float>(y),
                static_cast<float>(Contact.CrashPointX), static_cast<float>(Contact.CrashPointY));
    Contact.CrashPointX = RoundToInt(D(r) / 2.0 * std::cos(D(a)) + x);
    Contact.CrashPointY = RoundToInt(D(r) / 2.0 * std::sin(D(a)) + y);
    return true;
  }
  for (int k = 1; k <= 4; ++k) {
    if (DistanceToSegment(cx[k], cy[k], cx[k + 1], cy[k + 1], x, y) < r) {
      Contact.CrashPointX = Contact.NearX;
      Contact.CrashPointY = Contact.NearY;
      return true;
    }
  }
  return false;
}

bool CircleSurelyClearOfPolygon(const Corners& PX, const Corners& PY, int32_t x, int32_t y,
                                int32_t r) {
  // Within this reach of the centre the float slopes of InnerSideOfEdge keep the order of
  // the exact ones for a centre as far off the edge's line as asked below (their rounding
  // moves the compared cross product by less than 2, it is at least 4 there).
  constexpr int64_t kNear = 2048;
  if (r < 0) return false;
  for (int k = 1; k <= 4; ++k) {
    const int64_t dx = int64_t{PX[k]} - x, dy = int64_t{PY[k]} - y;
    if (dx <= -kNear || dx >= kNear || dy <= -kNear || dy >= kNear) return false;
  }
  // The foot point of DistanceToSegment lies on the edge's line within 1.5 pixels of the
  // edge, and its roundings take off less than 1.5 more: a centre this far beyond a line
  // that has the whole outline on its inner side is more than the radius from every edge.
  const int64_t m = int64_t{r} + 4;
  for (int k = 1; k <= 4; ++k) {
    const int k2 = k % 4 + 1;
    const int64_t ex = int64_t{PX[k2]} - PX[k], ey = int64_t{PY[k2]} - PY[k];
    // Positive on the side InnerSideOfEdge calls inner.
    auto side = [&](int64_t px, int64_t py) { return ex * (py - PY[k]) - ey * (px - PX[k]); };
    const int64_t c = side(x, y);
    if (c >= 0 || c * c < m * m * (ex * ex + ey * ey)) continue;
    bool outlineWithin = true;
    for (int j = 1; j <= 4; ++j)
      if (j != k && j != k2 && side(PX[j], PY[j]) < 0) outlineWithin = false;
    // Then this edge's InnerSideOfEdge is false too, so the centre is not inside.
    if (outlineWithin) return true;
  }
  return false;
}

void LeaveCircleMissTrace(const Corners& PX, const Corners& PY, int32_t x, int32_t y) {
  // A miss tests every edge, the last one from corner 4 back to corner 1.
  Contact.CentreInside = false;
  DistanceToSegment(PX[4], PY[4], PX[1], PY[1], x, y);
}

bool PolygonsOverlap(const Corners& AX, const Corners& AY, const Corners& BX, const Corners& BY) {
  Contact.CornerHits = 0;
  bool result = false;
  ClosedCorners ax = Close(AX), ay = Close(AY), bx = Close(BX), by = Close(BY);
  for (int k = 1; k <= 4; ++k) {
    if (PointInPolygon(ax[k], ay[k], bx, by)) {
      ++Contact.CornerHits;
      result = true;
      Contact.CrashPointX = ax[k];
      Contact.CrashPointY = ay[k];
    }
    if (PointInPolygon(bx[k], by[k], ax, ay)) {
      ++Contact.CornerHits;
      result = true;
      Contact.CrashPointX = bx[k];
      Contact.CrashPointY = by[k];
    }
  }
  return result;
}

}  // namespace tb::Module1
