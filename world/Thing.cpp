#include "world/Thing.h"

#include <cmath>
#include <cstring>

#include "geometry/Numeric.h"
#include "render/Sound.h"
#include "shell/MainFrm.h"

namespace tb {

namespace {
constexpr float kSteeringStep = 0.7f;
}

void Thing::PowerUpType(int32_t v) {
  StoredPowerUpType = v;
  switch (PowerUpType()) {
    case ExtraGrenade:
      Color = 65280;
      break;
    case Invulnerability:
      Color = 16711680;
      break;
    case SpeedBoost:
      Color = 65535;
      break;
    case Repair:
      Color = 16777215;
      break;
    case BiggerBlast:
      Color = 255;
      break;
    default:
      break;
  }
}

void Thing::ThingType(int32_t v) {
  StoredThingType = v;
  if (v == Vehicle || v == Block || v == Wall) {
    Rectangle = true;
  } else if (v == Grenade) {
    Color = 0;
    Radius = 15;
    FuseTime = RoundToInt(D(Form->GameClock().Now()) + 2.0);
  } else if (v == Explosion) {
    Color = 255;
  }
  Friction = Rectangle ? 0.1f : 0.001f;
}

float Thing::WithinMaxSpeed(float v) const {
  if (v > MaxSpeed) return MaxSpeed;
  if (-MaxSpeed > v) return -MaxSpeed;
  return v;
}

void Thing::SetRightTrackSpeed(float v) { RightTrackSpeed = WithinMaxSpeed(v); }

void Thing::SetLeftTrackSpeed(float v) { LeftTrackSpeed = WithinMaxSpeed(v); }

namespace {
// Wraps into [0, 8] by whole periods of 8, as stepping by 8 with each step stored as a float
// would: fmod is exact, so one step does it for any size. Only the last step up from below 0
// can round (to 8). Multiples of 8 above 8 give 8, negative ones 0; never a negative zero.
float WrapTread(float v) {
  if (!std::isfinite(v)) return 0.0f;
  const float r = std::fmod(v, 8.0f);
  if (v > 8.0f) return r == 0.0f ? 8.0f : r;
  if (v < 0.0f) return r < 0.0f ? F(D(r) + 8.0) : 0.0f;
  return v == 0.0f ? 0.0f : v;
}
}  // namespace

void Thing::SetRightTreadOffset(float v) { RightTreadOffset = WrapTread(v); }
void Thing::SetLeftTreadOffset(float v) { LeftTreadOffset = WrapTread(v); }

namespace {
// The cosine and sine of a heading. Most things keep theirs from tick to tick (a token never
// turns), so the last heading's are kept: the same bits give the same values.
void CosSin(double angle, double& cosine, double& sine) {
  struct Last {
    uint64_t bits = 0;
    double cosine = 1.0, sine = 0.0;  // of +0.0, whose bits are 0
  };
  thread_local Last last;
  uint64_t bits = 0;
  std::memcpy(&bits, &angle, sizeof bits);
  if (bits != last.bits) {
    last.bits = bits;
    last.cosine = std::cos(angle);
    last.sine = std::sin(angle);
  }
  cosine = last.cosine;
  sine = last.sine;
}
}  // namespace

#define TB_STEER(right, left)                                      \
  SetRightTrackSpeed(F(D(RightTrackSpeed) + (right)));             \
  SetLeftTrackSpeed(F(D(LeftTrackSpeed) + (left)));                \
  SetRightTrackSpeed(F((D(Friction) + 1.0) * D(RightTrackSpeed))); \
  SetLeftTrackSpeed(F((D(Friction) + 1.0) * D(LeftTrackSpeed)))

void Thing::RotateRight() { TB_STEER(-D(kSteeringStep), D(kSteeringStep)); }
void Thing::RotateLeft() { TB_STEER(D(kSteeringStep), -D(kSteeringStep)); }
void Thing::MoveForward() { TB_STEER(D(kSteeringStep), D(kSteeringStep)); }
void Thing::MoveBackward() { TB_STEER(-D(kSteeringStep), -D(kSteeringStep)); }
#undef TB_STEER

void Thing::Move() {
  DriveSpeed = F((D(LeftTrackSpeed) + D(RightTrackSpeed)) / 2.0);
  const double pi = D(kPi);
  float turn = F(((D(LeftTrackSpeed) - D(DriveSpeed)) - (D(RightTrackSpeed) - D(DriveSpeed))) /
                 (2.0 * (D(static_cast<float>(Width)) + 30.0) * pi) * pi * 2.0);
  TurnSpeed = turn;
  Angle = F(D(turn) + D(Angle));
  // The free part is an intermediate: rounded only when stored.
  const double vx = D(XSpeed) - D(DriveXSpeed);
  const double vy = D(YSpeed) - D(DriveYSpeed);
  XSpeed = F((1.0 - D(Friction)) * vx);
  YSpeed = F((1.0 - D(Friction)) * vy);
  double cosine = 0, sine = 0;
  CosSin(D(Angle), cosine, sine);
  DriveXSpeed = F(D(DriveSpeed) * cosine);
  DriveYSpeed = F(D(DriveSpeed) * sine);
  XSpeed = F(D(DriveXSpeed) + D(XSpeed));
  YSpeed = F(D(DriveYSpeed) + D(YSpeed));
  X = F(D(X) + D(XSpeed));
  Y = F(D(Y) + D(YSpeed));
  SetRightTreadOffset(F(D(RightTreadOffset) - D(RightTrackSpeed)));
  SetLeftTreadOffset(F(D(LeftTreadOffset) - D(LeftTrackSpeed)));
  SetLeftTrackSpeed(F((1.0 - D(Friction)) * D(LeftTrackSpeed)));
  SetRightTrackSpeed(F((1.0 - D(Friction)) * D(RightTrackSpeed)));
  FindPoints();
  HitThings(false);
  UpdateBoosts();
}

void Thing::UpdateBoosts() {
  Clock& clock = Form->GameClock();
  if (MaxSpeed > 8.0f) {
    float now = clock.Now();
    double gap = D(now) - D(SpeedDecayTime);
    if (gap < 1.0) MaxSpeed = F(D(MaxSpeed) - gap / 10.0);
    SpeedDecayTime = now;
  } else if (MaxSpeed < 8.0f) {
    MaxSpeed = 8.0f;
  }
  if (ThingType() == Vehicle) {
    if (ExplosionSize > 100) {
      float now = clock.Now();
      double gap = D(now) - D(BlastDecayTime);
      if (gap < 1.0 && gap > 0.0) {
        // Whole units come off as the counted seconds add up, so the fall does not
        // depend on the tick rate.
        BlastDecayCarry = F(D(BlastDecayCarry) + gap);
        double whole = std::floor(D(BlastDecayCarry));
        if (whole >= 1.0) {
          int64_t size = static_cast<int64_t>(ExplosionSize) - static_cast<int64_t>(whole);
          ExplosionSize = size < 100 ? 100 : static_cast<int32_t>(size);
          BlastDecayCarry = F(D(BlastDecayCarry) - whole);
        }
        if (ExplosionSize <= 100) BlastDecayCarry = 0;
      }
      BlastDecayTime = now;
    } else if (ExplosionSize < 100) {
      ExplosionSize = 100;
    }
  }
  if (Invulnerable && D(clock.Now()) > D(InvulnerableUntil)) Invulnerable = false;
}

void Thing::LaunchGrenade() {
  if (Exploded) return;
  Clock& clock = Form->GameClock();
  if (D(clock.Now()) - static_cast<double>(LastLaunchTime) <= 1.0) return;
  if (Grenades <= 0) {
    PlayCategory(*Form, kHornSounds);
  } else {
    PlayCategory(*Form, kGunSounds);
    Grenades = Grenades - 1;
    Form->NewGrenade(RoundToInt(D(X)), RoundToInt(D(Y)),
                     RoundToInt(10.0 * std::cos(D(Angle)) + D(XSpeed)),
                     RoundToInt(10.0 * std::sin(D(Angle)) + D(YSpeed)), ExplosionSize, ID);
  }
  LastLaunchTime = RoundToInt(D(clock.Now()));
}

void Thing::GetPowerUp(const int32_t& TheType) {
  PlayCategory(*Form, kBubbleSounds);
  switch (TheType) {
    case SpeedBoost:
      MaxSpeed = F(D(MaxSpeed) + 4.0);
      break;
    case Invulnerability: {
      Invulnerable = true;
      Clock& clock = Form->GameClock();
      if (D(clock.Now()) > D(InvulnerableUntil)) InvulnerableUntil = RoundToInt(D(clock.Now()));
      if (InvulnerableUntil < INT32_MAX - 20) InvulnerableUntil += 20;
      break;
    }
    case ExtraGrenade:
      if (Grenades < INT32_MAX) Grenades = Grenades + 1;
      break;
    case Repair:
      Damage = Damage - 25;
      if (Damage < 0) Damage = 0;
      break;
    case BiggerBlast:
      if (ExplosionSize < INT32_MAX - 40) ExplosionSize = ExplosionSize + 40;
      break;
    default:
      break;
  }
}

}  // namespace tb
