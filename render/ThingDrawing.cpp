#include <cmath>

#include "geometry/Numeric.h"
#include "render/Surface.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

namespace {
constexpr int32_t kGrey = 8421504;
constexpr int32_t kDarkGrey = 4210752;
float Fl(int32_t v) { return static_cast<float>(v); }
int32_t Mid(int32_t a, int32_t b) {
  return RoundToInt(static_cast<double>(static_cast<int64_t>(a) + b) / 2.0);
}
}  // namespace

void Thing::Draw() {
  switch (ThingType()) {
    case Vehicle:
      DrawVehicle();
      break;
    case Block:
    case Wall:
      DrawPolygon();
      break;
    case PowerUp:
    case Grenade:
    case Ball:
    case Explosion:
      DrawRound();
      break;
    default:
      break;
  }
}

void Thing::DrawPolygon() {
  Surface& s = Form->DrawingSurface();
  s.SetPenWidth(2);
  s.PlotPoint(Fl(PointsX[4]), Fl(PointsY[4]), kGrey);
  for (int k = 1; k <= 4; ++k) s.LineTo(Fl(PointsX[k]), Fl(PointsY[k]), kGrey);
  s.SetFillColor(Color);
  s.FloodFill(RoundToInt(D(X)), RoundToInt(D(Y)), s.BackgroundColor());
}

void Thing::DrawVehicle() {
  Surface& s = Form->DrawingSurface();
  // Halo.
  if (MaxSpeed > 8.0f || Invulnerable) {
    Pulse = F(D(Pulse) + 0.1);
    int32_t k = RoundToInt16(std::fabs(std::sin(D(Pulse))) * 255.0);
    int16_t pen = RoundToInt16(D(MaxSpeed) + 2.0 - 8.0);
    int32_t colour = k + 256 * k;
    if (Invulnerable && (MaxSpeed == 8.0f || (MaxSpeed > 8.0f && std::sin(D(Pulse)) < 0))) {
      pen = 3;
      colour = 65536 * k;
    }
    s.SetPenWidth(pen);
    s.PlotPoint(Fl(PointsX[1]), Fl(PointsY[1]), colour);
    for (int c : {2, 3, 4, 1}) s.LineTo(Fl(PointsX[c]), Fl(PointsY[c]), colour);
  }
  // Damage line: on the front edge when new, on the rear edge at 250.
  double f = Damage / 250.0;
  int32_t a = RoundToInt(BodyX[4] + f * (D(BodyX[3]) - BodyX[4]));
  int32_t b = RoundToInt(BodyY[4] + f * (D(BodyY[3]) - BodyY[4]));
  int32_t c = RoundToInt(BodyX[1] + f * (D(BodyX[2]) - BodyX[1]));
  int32_t d = RoundToInt(BodyY[1] + f * (D(BodyY[2]) - BodyY[1]));
  s.SetPenWidth(1);
  s.DrawLine(Fl(a), Fl(b), Fl(c), Fl(d), Color);
  // Body outline and the part behind the damage line.
  s.SetPenWidth(2);
  s.PlotPoint(Fl(BodyX[2]), Fl(BodyY[2]));
  for (int k : {3, 4, 1, 2}) s.LineTo(Fl(BodyX[k]), Fl(BodyY[k]), kGrey);
  s.SetFillColor(Color);
  s.FloodFill(RoundToInt(((D(BodyX[2]) + BodyX[3]) / 2.0 + (D(c) + a) / 2.0) / 2.0),
              RoundToInt(((D(BodyY[2]) + BodyY[3]) / 2.0 + (D(d) + b) / 2.0) / 2.0),
              s.BackgroundColor());
  // Outer outline and the two tracks.
  s.SetPenWidth(1);
  s.PlotPoint(Fl(OuterX[2]), Fl(OuterY[2]));
  for (int k : {3, 4, 1, 2}) s.LineTo(Fl(OuterX[k]), Fl(OuterY[k]), kGrey);
  s.SetFillColor(kDarkGrey);
  s.FloodFill(Mid(OuterX[2], BodyX[1]), Mid(OuterY[2], BodyY[1]), s.BackgroundColor());
  s.FloodFill(Mid(OuterX[3], BodyX[4]), Mid(OuterY[3], BodyY[4]), s.BackgroundColor());
  // Tread bars: even along the straight, bunched where the belt turns at the ends.
  const double pi = D(kPi);
  int32_t endArc = RoundToInt(D(static_cast<float>(Length)) / 8.0 * pi);
  int32_t straight = RoundToInt(Length / 2.0);
  int32_t belt = 2 * endArc + straight;
  auto bars = [&](float offset, int front, int rear) {
    for (int64_t i = RoundToInt(D(offset)); i <= belt; i += 8) {
      double t;
      if (i < endArc) {
        t = i * std::sin(D(i) / endArc * pi / 4.0);
      } else if (i > endArc + straight) {
        double rest = D(belt - i);
        t = Length - rest * std::sin(rest / endArc * pi / 4.0);
      } else {
        t = D(i - endArc) + Length / 4.0;
      }
      int32_t p = RoundToInt(t);
      int32_t x1 = RoundToInt(D(p) / Length * (D(BodyX[rear]) - BodyX[front]) + BodyX[front]);
      int32_t y1 = RoundToInt(D(p) / Length * (D(BodyY[rear]) - BodyY[front]) + BodyY[front]);
      int32_t x2 = x1 + (OuterX[front] - BodyX[front]);
      int32_t y2 = y1 + (OuterY[front] - BodyY[front]);
      s.SetPenWidth(1);
      s.DrawLine(Fl(x1), Fl(y1), Fl(x2), Fl(y2), kGrey);
    }
  };
  bars(RightTreadOffset, 1, 2);
  bars(LeftTreadOffset, 4, 3);
}

}  // namespace tb
