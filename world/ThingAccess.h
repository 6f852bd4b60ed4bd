#pragma once
// A thing's private state by reference, field by field, so that a misspelt or mistyped field
// does not compile. Hand-built scenes and tests use it to put a thing into a state that would
// take many ticks of play to reach; the game itself never does.
#include <cstdint>
#include <string>

#include "world/Thing.h"

namespace tb {

struct ThingAccess {
  static bool& Exploded(Thing& t) { return t.Exploded; }
  static int32_t& Damage(Thing& t) { return t.Damage; }
  static std::string& LastHitID(Thing& t) { return t.LastHitID; }
  static int32_t& SeparationTotal(Thing& t) { return t.SeparationTotal; }
  static int32_t& SeparationCount(Thing& t) { return t.SeparationCount; }
  static float& TurnSpeed(Thing& t) { return t.TurnSpeed; }
  static float& DriveSpeed(Thing& t) { return t.DriveSpeed; }
  static float& DriveXSpeed(Thing& t) { return t.DriveXSpeed; }
  static float& DriveYSpeed(Thing& t) { return t.DriveYSpeed; }
  static float& RightTrackSpeed(Thing& t) { return t.RightTrackSpeed; }
  static float& LeftTrackSpeed(Thing& t) { return t.LeftTrackSpeed; }
  static float& RightTreadOffset(Thing& t) { return t.RightTreadOffset; }
  static float& LeftTreadOffset(Thing& t) { return t.LeftTreadOffset; }
  static float& Friction(Thing& t) { return t.Friction; }
  static float& MaxSpeed(Thing& t) { return t.MaxSpeed; }
  static float& SpeedDecayTime(Thing& t) { return t.SpeedDecayTime; }
  static float& BlastDecayTime(Thing& t) { return t.BlastDecayTime; }
  static bool& Invulnerable(Thing& t) { return t.Invulnerable; }
  static int32_t& InvulnerableUntil(Thing& t) { return t.InvulnerableUntil; }
  static int32_t& Grenades(Thing& t) { return t.Grenades; }
  static float& Pulse(Thing& t) { return t.Pulse; }
  static int32_t& FuseTime(Thing& t) { return t.FuseTime; }
  static int32_t& LastLaunchTime(Thing& t) { return t.LastLaunchTime; }
  static Corners& BodyX(Thing& t) { return t.BodyX; }
  static Corners& BodyY(Thing& t) { return t.BodyY; }
  static Corners& PointsX(Thing& t) { return t.PointsX; }
};

}  // namespace tb
