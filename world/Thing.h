#pragma once
// Every object of the world is one Thing, told apart by its ThingType.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tb {

class MainFrm;

// The kinds a thing can be, by the numbers stored in ThingType.
enum ThingKind : int32_t {
  Vehicle = 0,
  Block = 1,
  Wall = 2,
  PowerUp = 3,
  Grenade = 4,
  Ball = 5,
  Explosion = 6,
};

// What a power-up token gives, by the numbers stored in PowerUpType.
enum PowerUpKind : int32_t {
  SpeedBoost = 0,
  Invulnerability = 1,
  ExtraGrenade = 2,
  Repair = 3,
  BiggerBlast = 4,
};

// Outline corners live at indices 1 to 4; index 0 is unused so corner k is entry k.
using Corners = std::array<int32_t, 5>;

// One object of the world; its kind decides which fields mean something.
class Thing {
 public:
  // A thing of the given window, with a new thing's defaults.
  explicit Thing(MainFrm& form) : Form(&form) {}
  // A thing of no window, as a snapshot holds it; Adopt gives it one.
  Thing() = default;
  // Makes this thing (a copy from a snapshot) one of the form's.
  void Adopt(MainFrm& form) { Form = &form; }

  // Public fields, read and written directly by the window and by other things.
  int32_t Width = 0;   // across the heading; a vehicle's body without its tracks
  int32_t Length = 0;  // along the heading
  int32_t Radius = 0;  // of a round thing; an explosion's grows
  float X = 0;         // centre
  float Y = 0;
  float Angle = 0;         // heading in radians, clockwise on screen, never wrapped
  int32_t Color = 0;       // red + 256 * green + 65536 * blue
  std::string ID;          // key in the window's collection
  bool Rectangle = false;  // outlined by four corners; else a circle of Radius
  std::string Launcher;    // a grenade's: the ID of the vehicle that launched it
  int32_t Free = 0;        // finished query walks that excused no own-grenade contact
  int32_t LastGoodX = 0;   // a recent place where its query found it clear
  int32_t LastGoodY = 0;
  float XSpeed = 0;  // added to X at each motion step
  float YSpeed = 0;
  int32_t ExplosionSize = 100;  // radius its explosion grows to
  // Where the collision grid last kept this thing, to find it without a search; the grid
  // checks it before use. Not game state: no field list, hash or file holds it.
  mutable uint32_t GridEntry = UINT32_MAX;

  int32_t PowerUpType() const { return StoredPowerUpType; }
  // Stores the power-up kind and colours the thing after it.
  void PowerUpType(int32_t v);
  // Width and length for the quick bounds test; a vehicle's box is wider than its outline.
  int32_t TrueWidth() const {
    if (ThingType() == Vehicle) return Width + 60;
    if (Rectangle) return Width;
    return 2 * Radius;
  }
  int32_t TrueLength() const { return Rectangle ? Length : 2 * Radius; }
  // Copies of the outline corners.
  Corners PX() const { return PointsX; }
  Corners PY() const { return PointsY; }
  int32_t ThingType() const { return StoredThingType; }
  // Stores the kind and applies its defaults (outline, colour, radius, fuse, friction).
  void ThingType(int32_t v);

  // The steering commands: each changes the track speeds.
  void RotateRight();
  void RotateLeft();
  void MoveForward();
  void MoveBackward();
  // At most once a second: a grenade ahead if any are left, else the horn.
  void LaunchGrenade();
  // One motion step: drive, move, friction, outline, collision query, boost decay.
  void Move();
  // Applies a power-up of the given kind to this vehicle.
  void GetPowerUp(const int32_t& TheType);
  // Velocity of the thing's material at a point, x and y parts.
  float XPushAtPoint(const int32_t& PX, const int32_t& PY) const;
  float YPushAtPoint(const int32_t& PX, const int32_t& PY) const;
  // The collision query against every other thing; JustResults: check only, push nothing.
  // True when it found at least one general hit (pickups do not count).
  bool HitThings(const bool& JustResults);
  // Takes a push at a crash point: moves, turns, bounces or is damaged.
  void GetHit(float CrashX, float CrashY, float XPush, float YPush);
  // Recomputes the outline corners from the centre, size and heading.
  void FindPoints();
  // Paints the thing on the window's surface.
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
  // Corners members, in a fixed order that snapshot files and the world hash depend on.
  template <class V>
  void VisitFields(V&& v);
  // The same, read-only.
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
  // `boundsMet`: the caller has just found the bounds meeting, so the test is not made again.
  bool Examine(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
               bool& EndQuery, bool boundsMet = false);
  bool ExamineBoth(Thing& P, bool JustResults, bool& HitFlag, bool& OwnGrenade, bool& Result,
                   bool boundsMet = false);
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
