#pragma once
// Every object of the world is one Thing, told apart by its ThingType.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tb {

class MainFrm;

enum ThingKind : int32_t {
  Vehicle = 0,
  Block = 1,
  Wall = 2,
  PowerUp = 3,
  Grenade = 4,
  Ball = 5,
  Explosion = 6,
};

enum PowerUpKind : int32_t {
  SpeedBoost = 0,
  Invulnerability = 1,
  ExtraGrenade = 2,
  Repair = 3,
  BiggerBlast = 4,
};

// Outline corners live at indices 1 to 4; index 0 is unused so corner k is entry k.
using Corners = std::array<int32_t, 5>;

class Thing {
 public:
  explicit Thing(MainFrm& form) : Form(&form) {}
  // A thing of no window, as a snapshot holds it; Adopt gives it one.
  Thing() = default;
  // Makes this thing (a copy from a snapshot) one of the form's.
  void Adopt(MainFrm& form) { Form = &form; }

  // Public fields, read and written directly by the window and by other things.
  int32_t Width = 0;
  int32_t Length = 0;
  int32_t Radius = 0;
  float X = 0;
  float Y = 0;
  float Angle = 0;
  int32_t Color = 0;
  std::string ID;
  bool Rectangle = false;
  std::string Launcher;
  int32_t Free = 0;
  int32_t LastGoodX = 0;
  int32_t LastGoodY = 0;
  float XSpeed = 0;
  float YSpeed = 0;
  int32_t ExplosionSize = 100;

  int32_t PowerUpType() const { return StoredPowerUpType; }
  void PowerUpType(int32_t v);
  int32_t TrueWidth() const {
    if (ThingType() == Vehicle) return Width + 60;
    if (Rectangle) return Width;
    return 2 * Radius;
  }
  int32_t TrueLength() const { return Rectangle ? Length : 2 * Radius; }
  Corners PX() const { return PointsX; }
  Corners PY() const { return PointsY; }
  int32_t ThingType() const { return StoredThingType; }
  void ThingType(int32_t v);

  void RotateRight();
  void RotateLeft();
  void MoveForward();
  void MoveBackward();
  void LaunchGrenade();
  void Move();
  void GetPowerUp(const int32_t& TheType);
  float XPushAtPoint(const int32_t& PX, const int32_t& PY) const;
  float YPushAtPoint(const int32_t& PX, const int32_t& PY) const;
  bool HitThings(const bool& JustResults);
  void GetHit(float CrashX, float CrashY, float XPush, float YPush);
  void FindPoints();
  void Draw();

  // Read-only views of private state, for observers such as computer drivers.
  int32_t DamageTaken() const { return Damage; }
  int32_t GrenadesLeft() const { return Grenades; }
  int32_t LastLaunch() const { return LastLaunchTime; }
  int32_t Fuse() const { return FuseTime; }
  bool HasExploded() const { return Exploded; }
  bool IsInvulnerable() const { return Invulnerable; }
  float TopSpeed() const { return MaxSpeed; }
  float RightTrack() const { return RightTrackSpeed; }
  float LeftTrack() const { return LeftTrackSpeed; }

  // Every field by name, for the simulator's state dump, the world hash and tests.
  // The visitor is called with (name, reference) for int32_t, float, bool, std::string and
  // Corners members, in declaration order.
  template <class V>
  void VisitFields(V&& v);
  template <class V>
  void VisitFields(V&& v) const {
    const_cast<Thing*>(this)->VisitFields([&v](const char* n, const auto& f) { v(n, f); });
  }

  // Scenes and tests reach the private fields through it, one typed accessor per field.
  friend struct ThingAccess;

 private:
  // v held within plus or minus MaxSpeed.
  float WithinMaxSpeed(float v) const;
  void SetRightTrackSpeed(float v);
  void SetLeftTrackSpeed(float v);
  void SetRightTreadOffset(float v);
  void SetLeftTreadOffset(float v);
  void UpdateBoosts();
  void FindRectanglePoints();
  void FindVehiclePoints();
  void SeparateThings(Thing& Other, int32_t& CrashX, int32_t& CrashY);
  void DrawVehicle();
  void DrawPolygon();
  void DrawRound();
  void Explode();
  bool Examine(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
               bool& EndQuery);
  bool ExamineBoth(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result);
  bool BoundsMeet(const Thing& P) const;
  // For a check-only look of a small round thing: the first general hit among `found` (in
  // walk order, each one whose bounds meet its own), with its traces; false when there is
  // none or a token could change hands.
  bool FirstHit(const std::vector<Thing*>& found);

  MainFrm* Form = nullptr;

  int32_t StoredThingType = 0;
  int32_t StoredPowerUpType = 0;
  bool Exploded = false;
  int32_t Damage = 0;
  std::string LastHitID;
  int32_t SeparationTotal = 0;
  int32_t SeparationCount = 0;
  float TurnSpeed = 0;
  float DriveSpeed = 0;
  float DriveXSpeed = 0;
  float DriveYSpeed = 0;
  Corners PointsX{};
  Corners PointsY{};
  float RightTrackSpeed = 0;
  float LeftTrackSpeed = 0;
  float RightTreadOffset = 0;
  float LeftTreadOffset = 0;
  float Friction = 0;
  float MaxSpeed = 8.0f;
  float SpeedDecayTime = 0;
  float BlastDecayTime = 0;
  // Seconds of play not yet taken off ExplosionSize, which falls in whole units.
  float BlastDecayCarry = 0;
  bool Invulnerable = false;
  int32_t InvulnerableUntil = 0;
  int32_t Grenades = 3;
  float Pulse = 0;
  int32_t FuseTime = 0;
  int32_t LastLaunchTime = 0;
  Corners BodyX{};
  Corners BodyY{};
  Corners OuterX{};
  Corners OuterY{};
};

template <class V>
void Thing::VisitFields(V&& v) {
  v("ID", ID);
  v("ThingType", StoredThingType);
  v("Width", Width);
  v("Length", Length);
  v("Radius", Radius);
  v("X", X);
  v("Y", Y);
  v("Angle", Angle);
  v("Color", Color);
  v("Rectangle", Rectangle);
  v("Launcher", Launcher);
  v("Free", Free);
  v("LastGoodX", LastGoodX);
  v("LastGoodY", LastGoodY);
  v("XSpeed", XSpeed);
  v("YSpeed", YSpeed);
  v("ExplosionSize", ExplosionSize);
  v("PowerUpType", StoredPowerUpType);
  v("Exploded", Exploded);
  v("Damage", Damage);
  v("LastHitID", LastHitID);
  v("SeparationTotal", SeparationTotal);
  v("SeparationCount", SeparationCount);
  v("TurnSpeed", TurnSpeed);
  v("DriveSpeed", DriveSpeed);
  v("DriveXSpeed", DriveXSpeed);
  v("DriveYSpeed", DriveYSpeed);
  v("PointsX", PointsX);
  v("PointsY", PointsY);
  v("RightTrackSpeed", RightTrackSpeed);
  v("LeftTrackSpeed", LeftTrackSpeed);
  v("RightTreadOffset", RightTreadOffset);
  v("LeftTreadOffset", LeftTreadOffset);
  v("Friction", Friction);
  v("MaxSpeed", MaxSpeed);
  v("SpeedDecayTime", SpeedDecayTime);
  v("BlastDecayTime", BlastDecayTime);
  v("BlastDecayCarry", BlastDecayCarry);
  v("Invulnerable", Invulnerable);
  v("InvulnerableUntil", InvulnerableUntil);
  v("Grenades", Grenades);
  v("Pulse", Pulse);
  v("FuseTime", FuseTime);
  v("LastLaunchTime", LastLaunchTime);
  v("BodyX", BodyX);
  v("BodyY", BodyY);
  v("OuterX", OuterX);
  v("OuterY", OuterY);
}

}  // namespace tb
