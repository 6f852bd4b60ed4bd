#include <charconv>
#include <cmath>
#include <cstdio>

#include "geometry/Caption.h"
#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb {

using Module1::AngleTo;

std::string FormatStatisticByPrintf(double v) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%.15g", v);
  if (n <= 0) return std::string();
  // Whatever the locale puts between the units and the fraction (a comma, or several bytes)
  // becomes the one point the title always shows.
  std::string out;
  bool inPoint = false;
  for (int i = 0; i < n && i < static_cast<int>(sizeof buf) - 1; ++i) {
    const char c = buf[i];
    const bool plain = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e' || c == 'i' ||
                       c == 'n' || c == 'f' || c == 'a';
    if (plain) {
      out += c;
      inPoint = false;
    } else if (!inPoint) {
      out += '.';
      inPoint = true;
    }
  }
  return out;
}

std::string FormatStatistic(double v) {
#if defined(__cpp_lib_to_chars)
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, res.ptr);
#else
  return FormatStatisticByPrintf(v);
#endif
}

namespace {
float IntoHalfTurn(float a) {
  if (a > kPi) a = F(D(a) - D(kTwoPi));
  if (a < -kPi) a = F(D(a) + D(kTwoPi));
  return a;
}
}  // namespace

std::string SeparationCaption(int32_t total, int32_t count) {
  return FormatStatistic(static_cast<double>(total) / static_cast<double>(count));
}

namespace {
float PushAtPoint(const Thing& t, int32_t px, int32_t py, float speed, float turnSpeed,
                  bool alongX) {
  float v = 0;
  float th = 0;
  bool explosion = t.ThingType() == Explosion;
  auto trig = [alongX](double a) { return alongX ? std::cos(a) : std::sin(a); };
  if (explosion || t.Rectangle)
    th = AngleTo(t.X, t.Y, static_cast<float>(px), static_cast<float>(py));
  if (t.Rectangle) {
    float r =
        F(std::sqrt((D(px) - D(t.X)) * (D(px) - D(t.X)) + (D(py) - D(t.Y)) * (D(py) - D(t.Y))));
    v = F(D(r) * trig(D(th) + D(turnSpeed)) - D(r) * trig(D(th)));
  }
  v = F(D(v) + D(speed));
  if (explosion) v = F(D(v) + 25.0 * trig(D(th)));
  return v;
}
}  // namespace

float Thing::XPushAtPoint(const int32_t& PX, const int32_t& PY) const {
  return PushAtPoint(*this, PX, PY, XSpeed, TurnSpeed, true);
}

float Thing::YPushAtPoint(const int32_t& PX, const int32_t& PY) const {
  return PushAtPoint(*this, PX, PY, YSpeed, TurnSpeed, false);
}

void Thing::GetHit(float CrashX, float CrashY, float XPush, float YPush) {
  if (ThingType() == Wall) return;
  if (Rectangle) {
    if (ThingType() == Vehicle && !Invulnerable) {
      Damage = RoundToInt(D(Damage) + std::sqrt(D(XPush) * D(XPush) + D(YPush) * D(YPush)));
      if (Damage > 250) Explode();
    }
    float a1 = AngleTo(X, Y, CrashX, CrashY);
    float a2 = AngleTo(X, Y, F(D(CrashX) + D(XPush)), F(D(CrashY) + D(YPush)));
    float dA = F(D(a2) - D(a1));
    XSpeed = F(D(XSpeed) + D(XPush));
    YSpeed = F(D(YSpeed) + D(YPush));
    X = F(D(X) + D(XPush));
    Y = F(D(Y) + D(YPush));
    float q = F(D(dA) / D(kTwoPi) * (D(static_cast<float>(Width)) + 30.0) * D(kPi));
    SetRightTrackSpeed(F(D(RightTrackSpeed) - D(q)));
    SetLeftTrackSpeed(F(D(LeftTrackSpeed) + D(q)));
    TurnSpeed = dA;
    Angle = F(D(Angle) + D(dA));
    FindPoints();
    return;
  }
  if (ThingType() == Explosion) return;  // explosions are never pushed
  float a = AngleTo(X, Y, CrashX, CrashY);
  if (Module1::Contact.CentreInside) a = F(D(a) - D(kPi));
  a = IntoHalfTurn(a);
  Angle = IntoHalfTurn(AngleTo(0, 0, -XPush, -YPush));
  Angle = F(D(Angle) - 2.0 * (D(Angle) - D(a)) + D(kPi));
  float s = F(std::sqrt((D(XPush) + D(XSpeed)) * (D(XPush) + D(XSpeed)) +
                        (D(YPush) + D(YSpeed)) * (D(YPush) + D(YSpeed))) +
              0.6 * std::sqrt(D(XPush) * D(XPush) + D(YPush) * D(YPush)));
  XSpeed = F(D(s) * std::cos(D(Angle)));
  YSpeed = F(D(s) * std::sin(D(Angle)));
  X = F(D(X) + D(XSpeed));
  Y = F(D(Y) + D(YSpeed));
}

void Thing::SeparateThings(Thing& Other, int32_t& CrashX, int32_t& CrashY) {
  auto nudge = [&](Thing& t, int32_t step) {
    if (t.ThingType() == Explosion || t.ThingType() == Wall) return;
    float th = AngleTo(static_cast<float>(CrashX), static_cast<float>(CrashY),
                       static_cast<float>(t.LastGoodX), static_cast<float>(t.LastGoodY));
    t.X = F(D(t.X) + step * std::cos(D(th)));
    t.Y = F(D(t.Y) + step * std::sin(D(th)));
    t.FindPoints();
  };
  int32_t step = 1;
  bool r = false;
  do {
    nudge(*this, step);
    nudge(Other, step);
    step = step * 2;
    r = HitThings(true);
  } while (Other.ID == LastHitID && step < 200 && r);
  // The statistic stops growing rather than overflow in a very long game.
  if (SeparationTotal <= INT32_MAX - step && SeparationCount < INT32_MAX) {
    SeparationTotal = SeparationTotal + step;
    SeparationCount = SeparationCount + 1;
  }
  Form->SetCaption(SeparationCaption(SeparationTotal, SeparationCount));
  if (Rectangle) FindPoints();
  if (Other.Rectangle) Other.FindPoints();
}

}  // namespace tb
